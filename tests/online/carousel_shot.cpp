// The advertisement window as operators see it: runs the real start-up in
// the current folder, attaches the carousel to the QML main window with
// pictures from a loopback HTTP server, and writes the screen's picture of
// the main window to the PNG named by SPOOLSMITH_SHOT.
#include "app/program_entry.h"
#include "app/spoolsmith_app.h"
#include "online/carousel_image_window.h"
#include "tests/qml/exposed_window.h"
#include "tests/support/hang_bound.h"
#include "tests/support/http_test_server.h"

#include <QBuffer>
#include <QElapsedTimer>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QQuickWindow>
#include <QScreen>
#include <QTimer>
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

void photograph(SpoolsmithApp &app)
{
    const QString target = qEnvironmentVariable("SPOOLSMITH_SHOT");
    auto *http = new HttpTestServer(&app);
    if (!http->start()) {
        qCritical() << "carousel_shot" << "no HTTP server";
        app.exitApp(4);
        return;
    }
    http->setBody(QStringLiteral("/ad1.png"),
                  advertisement(QColor(0x1e, 0x88, 0xe5), QColor(0x43, 0xa0, 0x47), QStringLiteral("新品标签材料")),
                  "image/png");
    http->setBody(QStringLiteral("/ad2.png"),
                  advertisement(QColor(0xe5, 0x39, 0x35), QColor(0xfb, 0x8c, 0x00), QStringLiteral("模切刀具八折")),
                  "image/png");

    auto *clock = new QElapsedTimer;
    clock->start();
    auto *carousel = new CarouselImageWindow *(nullptr);
    auto *poll = new QTimer(&app);
    QObject::connect(poll, &QTimer::timeout, &app, [&app, poll, clock, carousel, http, target] {
        QQuickWindow *window = exposedQuickWindow();
        if (!window) {
            if (clock->elapsed() > kHangMs) {
                qCritical() << "carousel_shot" << "no window exposed";
                app.exitApp(2);
            }
            return;
        }
        if (!*carousel) {
            *carousel = new CarouselImageWindow(static_cast<QWindow *>(window));
            (*carousel)->setImageUrl({http->url(QStringLiteral("/ad1.png")).toString(),
                                      http->url(QStringLiteral("/ad2.png")).toString()},
                                     {QStringLiteral("https://example.invalid/offer")});
            (*carousel)->startPlay();
            clock->restart();
            return;
        }
        // Give the downloads and the first frames time to settle.
        if (!(*carousel)->isVisible() || clock->elapsed() < 1500) {
            if (clock->elapsed() > kHangMs) {
                qCritical() << "carousel_shot" << "the carousel never showed";
                app.exitApp(5);
            }
            return;
        }
        poll->stop();
        // The screen, not the window: the carousel is a window of its own.
        const QRect frame = window->geometry();
        const QImage image =
            window->screen()->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height()).toImage();
        const bool saved = !image.isNull() && image.save(target);
        qInfo() << "carousel_shot" << target << image.size() << (*carousel)->geometry() << saved;
        app.exitApp(saved ? 0 : 3);
    });
    poll->start(100);
}

} // namespace

int main(int argc, char *argv[])
{
    return runProgram(argc, argv, photograph);
}
