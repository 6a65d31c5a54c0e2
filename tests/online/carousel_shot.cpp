// The advertisement window as operators see it: runs the real start-up in
// the current folder, attaches the carousel to the QML main window with
// pictures from a loopback HTTP server, and writes the screen's picture of
// the main window to the PNG named by SPOOLSMITH_SHOT.
#include "app/program_entry.h"
#include "app/spoolsmith_app.h"
#include "online/carousel_image_window.h"
#include "tests/qml/shot_steps.h"
#include "tests/support/http_test_server.h"

#include <QBuffer>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QQuickWindow>
#include <QScreen>
#include <QtQml/qqmlextensionplugin.h>

Q_IMPORT_QML_PLUGIN(Spoolsmith2024Plugin)

namespace {

QByteArray advertisement(const QColor &from, const QColor &to, const QString &title)
{
    QImage image(500, 300, QImage::Format_RGB32);
    QPainter painter(&image);
    QLinearGradient gradient(0, 0, 500, 300);
    gradient.setColorAt(0, from);
    gradient.setColorAt(1, to);
    painter.fillRect(image.rect(), gradient);
    painter.setPen(Qt::white);
    QFont font = painter.font();
    font.setPixelSize(40);
    font.setBold(true);
    painter.setFont(font);
    painter.drawText(image.rect().adjusted(0, 0, 0, -60), Qt::AlignCenter, title);
    font.setPixelSize(20);
    font.setBold(false);
    painter.setFont(font);
    painter.drawText(image.rect().adjusted(0, 120, 0, 0), Qt::AlignCenter, QStringLiteral("Spoolsmith"));
    painter.end();
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

class Photographer : public ShotSteps
{
public:
    Photographer(SpoolsmithApp &app, QString target)
        : ShotSteps(app, std::move(target), "carousel_shot")
        , m_http(new HttpTestServer(this))
    {
        if (!m_http->start()) {
            fail(QStringLiteral("no HTTP server"), 4);
            return;
        }
        m_http->setBody(QStringLiteral("/ad1.png"),
                        advertisement(QColor(0x1e, 0x88, 0xe5), QColor(0x43, 0xa0, 0x47), QStringLiteral("新品标签材料")),
                        "image/png");
        m_http->setBody(QStringLiteral("/ad2.png"),
                        advertisement(QColor(0xe5, 0x39, 0x35), QColor(0xfb, 0x8c, 0x00), QStringLiteral("模切刀具八折")),
                        "image/png");
    }

private:
    void step() override
    {
        if (!waitFor(window(), "the window on screen"))
            return;
        QQuickWindow *main = window();
        if (!m_carousel) {
            if (!waitFor(settled(), "the main window at rest"))
                return;
            m_carousel = new CarouselImageWindow(static_cast<QWindow *>(main));
            m_carousel->installEventFilter(&m_paints);
            m_carousel->setImageUrl({m_http->url(QStringLiteral("/ad1.png")).toString(),
                                     m_http->url(QStringLiteral("/ad2.png")).toString()},
                                    {QStringLiteral("https://example.invalid/offer")});
            m_carousel->startPlay();
            return;
        }
        // Shown once the first picture came, then painted with it.
        if (!m_carousel->isVisible()) {
            m_paintsWhenShown = -1;
        } else if (m_paintsWhenShown < 0) {
            m_paintsWhenShown = m_paints.count;
            m_carousel->update();
        }
        if (!waitFor(m_paintsWhenShown >= 0 && m_paints.count > m_paintsWhenShown, "the carousel shown and painted"))
            return;
        // The screen, not the window: the carousel is a window of its own.
        const QRect frame = main->geometry();
        const QImage image = main->screen()->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height()).toImage();
        const bool saved = !image.isNull() && image.save(m_target);
        qInfo() << "carousel_shot" << m_target << image.size() << m_carousel->geometry() << saved;
        finish(saved ? 0 : 3);
    }

    HttpTestServer *m_http;
    CarouselImageWindow *m_carousel = nullptr;
    PaintCount m_paints;
    int m_paintsWhenShown = -1;
};

} // namespace

int main(int argc, char *argv[])
{
    return runProgram(argc, argv, [](SpoolsmithApp &app) {
        new Photographer(app, qEnvironmentVariable("SPOOLSMITH_SHOT"));
    });
}
