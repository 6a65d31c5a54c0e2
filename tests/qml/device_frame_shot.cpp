// The machine status panel with each machine version's diagram, photographed:
// runs the real start-up in the current folder, lays a status panel over the
// window as the machine parameters page places it (beside its 400-wide
// column, above the tab bar), gives the driver readings and running motors,
// and writes one picture per version: SPOOLSMITH_SHOT names version 1's,
// versions 2 and 3 get "_v2" and "_v3" before ".png", "_banner" shows the
// banner and the sensor lamps, and "_cell" the panel in a cell of the task
// overview page. Texts of the bottom row that run into the sensor lamps, or a
// top row that runs into the wind button, end with code 4.
#include "app/program_entry.h"
#include "app/spoolsmith_app.h"
#include "machine/trv610plus.h"
#include "settings/config.h"
#include "tests/qml/shot_steps.h"

#include <QColor>
#include <QImage>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QScreen>
#include <QtQml/qqmlextensionplugin.h>

Q_IMPORT_QML_PLUGIN(Spoolsmith2024Plugin)

namespace {

QRectF inPanel(QQuickItem *panel, const char *name)
{
    auto *item = panel->findChild<QQuickItem *>(QLatin1String(name));
    if (!item || !item->isVisible())
        return {};
    return item->mapRectToItem(panel, QRectF(0, 0, item->width(), item->height()));
}

// The right end of the bottom row's visible texts, in the panel.
qreal bottomRowEnd(QQuickItem *panel)
{
    auto *row = panel->findChild<QQuickItem *>(QStringLiteral("bottom_row"));
    qreal end = 0;
    for (QQuickItem *child : row ? row->childItems() : QList<QQuickItem *>()) {
        if (child->isVisible())
            end = std::max(end, child->mapRectToItem(panel, QRectF(0, 0, child->width(), child->height())).right());
    }
    return end;
}

int countOverlaps(QQuickItem *panel)
{
    int faults = 0;
    const QRectF lamps = inPanel(panel, "sensorBar");
    if (!lamps.isNull() && bottomRowEnd(panel) > lamps.left()) {
        qCritical() << "device_frame_shot" << "readings run into the sensor lamps" << bottomRowEnd(panel) << lamps;
        ++faults;
    }
    const QRectF top = inPanel(panel, "top_row");
    const QRectF wind = inPanel(panel, "windButton");
    if (top.right() > wind.left()) {
        qCritical() << "device_frame_shot" << "top row runs into the wind button" << top << wind;
        ++faults;
    }
    return faults;
}

class Photographer : public ShotSteps
{
public:
    Photographer(SpoolsmithApp &app, QString target)
        : ShotSteps(app, std::move(target), "device_frame_shot")
    {
    }

private:
    bool buildPanel(QQuickWindow *window)
    {
        QQmlEngine *engine = qmlEngine(window);
        if (!engine)
            return false;
        QQmlComponent component(engine, QUrl(QStringLiteral("qrc:/Spoolsmith2024/DeviceFrame.qml")));
        QObject *object = component.create(engine->rootContext());
        m_panel = qobject_cast<QQuickItem *>(object);
        if (!m_panel) {
            qCritical() << "device_frame_shot" << component.errorString();
            delete object;
            return false;
        }
        m_panel->setParent(window->contentItem());
        m_panel->setParentItem(window->contentItem());
        m_panel->setZ(1000);
        m_panel->setProperty("color", QColor(Qt::white));
        if (QObject *border = m_panel->property("border").value<QObject *>()) {
            border->setProperty("width", 1);
            border->setProperty("color", QColor::fromRgbF(0.8, 0.8, 0.8, 1));
        }
        m_panel->setPosition(QPointF(0, 0));
        m_panel->setSize(QSizeF(window->width() - 400, window->height() - 40));
        return true;
    }

    void stage(int shot)
    {
        Config *config = Config::instance();
        TRV610Plus *device = TRV610Plus::instance();
        // No address: setting one would link to it.
        device->setIdent(QStringLiteral("AB07X3Q9"));
        device->setCollectRoller(72.5);
        device->setFilmRoller(64.0);
        device->setPrintRoller(88.0);
        device->setGyroscope(-3.5);
        device->setCollectMotorRunning(true);
        device->setFilmMotorRunning(true);
        device->setFeedMotorRunning(true);
        config->setVersion(shot < 3 ? shot + 1 : shot == 3 ? 2 : 1);
        if (shot == 3) {
            config->setEnableScanAndTrim(false);
            device->setSensor6(true);
            device->setSensor7(false);
            device->setDeviceState(0x20 | 0x8);
        }
        if (shot == 4) {
            // One cell of the task overview page's two-by-two grid.
            device->setDeviceState(0);
            QQuickWindow *window = m_panel->window();
            m_panel->setSize(QSizeF(window->width() / 2.0, (window->height() - 40) / 2.0));
        }
    }

    void step() override
    {
        QQuickWindow *window = this->window();
        if (!waitFor(window, "the window on screen"))
            return;
        // Without a window manager "maximized" is not applied: fill the
        // screen as a maximized window would.
        const QRect screen = window->screen()->availableGeometry();
        if (!m_resized) {
            window->setGeometry(screen);
            m_resized = true;
        }
        if (!waitFor(window->size() == screen.size() && window->contentItem()->size() == QSizeF(screen.size()),
                     "the window filling the screen"))
            return;
        if (!m_panel) {
            if (!buildPanel(window))
                return fail(QStringLiteral("no status panel"), 2);
            stage(m_shot);
            changed();
            return;
        }
        if (!waitFor(settled(), "the panel at rest"))
            return;
        static const char *const suffixes[] = {"", "_v2", "_v3", "_banner", "_cell"};
        const QImage image = window->grabWindow();
        const QString file = m_shot == 0 ? m_target : pictureBeside(m_target, QLatin1String(suffixes[m_shot]));
        if (image.isNull() || !image.save(file))
            return fail(QStringLiteral("cannot save a picture"), 3);
        qInfo() << "device_frame_shot" << file << image.size();
        m_faults += countOverlaps(m_panel);
        if (++m_shot == 5)
            return finish(m_faults == 0 ? 0 : 4);
        stage(m_shot);
        changed();
    }

    QQuickItem *m_panel = nullptr;
    bool m_resized = false;
    int m_shot = 0;
    int m_faults = 0;
};

} // namespace

int main(int argc, char *argv[])
{
    return runProgram(argc, argv, [](SpoolsmithApp &app) {
        new Photographer(app, qEnvironmentVariable("SPOOLSMITH_SHOT"));
    });
}
