// The firmware tab and the two update dialogs as operators see them,
// photographed: runs the real start-up in the current folder, shows the help
// tab with an upload at 42.5 %, then fills the software dialog and the
// firmware dialog (its version list from a test server on loopback) and
// writes them beside the tab's picture ("_soft_dialog", "_firmware_dialog").
#include "app/program_entry.h"
#include "app/spoolsmith_app.h"
#include "machine/trv610plus.h"
#include "online/upgrades/upgrades_soft_widget.h"
#include "online/upgrades/upgrades_widget.h"
#include "tests/qml/exposed_window.h"
#include "tests/qml/shot_steps.h"
#include "tests/support/http_test_server.h"

#include <QElapsedTimer>
#include <QImage>
#include <QProgressBar>
#include <QQuickWindow>
#include <QTimer>
#include <QtQml/qqmlextensionplugin.h>

Q_IMPORT_QML_PLUGIN(Spoolsmith2024Plugin)

namespace {

// A JSON answer, optionally late.
void setJson(HttpTestServer &server, const QString &path, const QByteArray &json, int delayMs = 0)
{
    HttpTestServer::Response response;
    response.contentType = "application/json; charset=utf-8";
    response.body = json;
    response.delayMs = delayMs;
    server.setResponse(path, response);
}

bool photographDialogs(const QString &target)
{
    HttpTestServer server;
    if (!server.listenOnSomeLoopback(38021))
        return false;
    setJson(server, "/getIP", R"({"data":"198.51.100.7"})");
    setJson(server, "/getLocation", R"({"data":"Shenzhen"})");
    setJson(server, "/machine/firmware/versions",
                   R"({"code":200,"rows":[)"
                   R"({"firmModule":0,"firmModuleStr":"控制模块","firmNo":"1.3.0","createTime":"2026-12-01 10:20:00","files":"x","isCurrentVersion":false},)"
                   R"({"firmModule":0,"firmModuleStr":"控制模块","firmNo":"1.2.4","createTime":"2026-10-14 09:00:00","files":"x","isCurrentVersion":false}]})");

    UpgradesSoftWidget soft;
    soft.takeAnswer(R"({"code":200,"data":{"softName":"Spoolsmith","softVersion":"2.2.0","softCode":"Spoolsmith",)"
                    R"("releaseDate":"2026-12-01","content":"<ul><li>Faster mark search</li><li>Firmware download checks</li></ul>"}})",
                    QStringLiteral("shot"), QStringLiteral("2.1.5"));
    soft.show();

    UpgradesWidget firmware;
    firmware.setHost(server.address().toString());
    FirmwareQuery query;
    query.machineCode = QStringLiteral("AB07X3Q9");
    query.firmNo = QStringLiteral("1.2.0");
    firmware.postUpgrades(query);
    if (auto *bar = firmware.findChild<QProgressBar *>(QStringLiteral("progressBar"))) {
        bar->setFormat(UpgradesWidget::tr("下载进度%p%"));
        bar->setValue(64);
        bar->show();
    }
    firmware.show();

    QElapsedTimer settle;
    settle.start();
    while (settle.elapsed() < 800)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    return soft.grab().save(pictureBeside(target, QStringLiteral("_soft_dialog")))
           && firmware.grab().save(pictureBeside(target, QStringLiteral("_firmware_dialog")));
}

void photograph(SpoolsmithApp &app)
{
    const QString target = qEnvironmentVariable("SPOOLSMITH_SHOT");
    auto *clock = new QElapsedTimer;
    clock->start();
    auto *poll = new QTimer(&app);
    QObject::connect(poll, &QTimer::timeout, &app, [&app, poll, clock, target] {
        QQuickWindow *window = exposedQuickWindow();
        if (!window || clock->elapsed() < 1000) {
            if (clock->elapsed() > 20000) {
                qCritical() << "help_page_shot" << "no window exposed";
                app.exitApp(2);
            }
            return;
        }
        if (QObject *pages = window->findChild<QObject *>(QStringLiteral("pages"));
            pages && pages->property("currentIndex").toInt() != 2) {
            // The start-up has settled: the machine as an upload leaves it.
            TRV610Plus *device = TRV610Plus::instance();
            device->setIdent(QStringLiteral("AB07X3Q9"));
            // No address: setting one would link to it.
            device->setUpdateProgress(42.5f);
            pages->setProperty("currentIndex", 2);
            clock->restart();
            return;
        }
        poll->stop();
        const QImage image = window->grabWindow();
        const bool saved = !image.isNull() && image.save(target) && photographDialogs(target);
        qInfo() << "help_page_shot" << target << image.size() << saved;
        TRV610Plus::instance()->setUpdateProgress(0.0f);
        app.exitApp(saved ? 0 : 3);
    });
    poll->start(100);
}

} // namespace

int main(int argc, char *argv[])
{
    return runProgram(argc, argv, photograph);
}
