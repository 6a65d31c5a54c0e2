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
#include "tests/qml/shot_steps.h"
#include "tests/support/http_test_server.h"

#include <QElapsedTimer>
#include <QImage>
#include <QProgressBar>
#include <QQuickWindow>
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
    const bool answered = soft.takeAnswer(R"({"code":200,"data":{"softName":"Spoolsmith","softVersion":"2.2.0","softCode":"Spoolsmith",)"
                    R"("releaseDate":"2026-12-01","content":"<ul><li>Faster mark search</li><li>Firmware download checks</li></ul>"}})",
                    QStringLiteral("shot"), QStringLiteral("2.1.5"));
    soft.show();

    UpgradesWidget firmware;
    firmware.setHost(server.address().toString());
    FirmwareQuery query;
    query.machineCode = QStringLiteral("AB07X3Q9");
    query.firmNo = QStringLiteral("1.2.0");
    // The program gives the server half a second an answer: on a busy
    // machine it asks again, within the hang bound.
    QElapsedTimer asking;
    asking.start();
    bool listed = firmware.postUpgrades(query);
    while (!listed && asking.elapsed() < kHangMs)
        listed = firmware.postUpgrades(query);
    if (auto *bar = firmware.findChild<QProgressBar *>(QStringLiteral("progressBar"))) {
        bar->setFormat(UpgradesWidget::tr("下载进度%p%"));
        bar->setValue(64);
        bar->show();
    }
    firmware.show();

    // Both were filled before they showed; what is left is their layout.
    if (!answered || !listed) {
        qCritical() << "help_page_shot" << "the update dialogs were not filled" << answered << listed;
        return false;
    }
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    return soft.grab().save(pictureBeside(target, QStringLiteral("_soft_dialog")))
           && firmware.grab().save(pictureBeside(target, QStringLiteral("_firmware_dialog")));
}

class Photographer : public ShotSteps
{
public:
    Photographer(SpoolsmithApp &app, QString target)
        : ShotSteps(app, std::move(target), "help_page_shot")
    {
    }

private:
    void step() override
    {
        if (!waitFor(window(), "the window on screen"))
            return;
        auto *pages = window()->findChild<QObject *>(QStringLiteral("pages"));
        if (!m_shown) {
            // The start-up has settled: the machine as an upload leaves it.
            if (!waitFor(pages && settled(), "the start-up at rest"))
                return;
            TRV610Plus *device = TRV610Plus::instance();
            device->setIdent(QStringLiteral("AB07X3Q9"));
            // No address: setting one would link to it.
            device->setUpdateProgress(42.5f);
            pages->setProperty("currentIndex", 2);
            m_shown = true;
            changed();
            return;
        }
        QObject *help = window()->findChild<QObject *>(QStringLiteral("helpStackPage"));
        if (!waitFor(settled() && help && help->property("visible").toBool(), "the help tab at rest"))
            return;
        const QImage image = window()->grabWindow();
        const bool saved = !image.isNull() && image.save(m_target) && photographDialogs(m_target);
        qInfo() << "help_page_shot" << m_target << image.size() << saved;
        TRV610Plus::instance()->setUpdateProgress(0.0f);
        finish(saved ? 0 : 3);
    }

    bool m_shown = false;
};

} // namespace

int main(int argc, char *argv[])
{
    return runProgram(argc, argv, [](SpoolsmithApp &app) {
        new Photographer(app, qEnvironmentVariable("SPOOLSMITH_SHOT"));
    });
}
