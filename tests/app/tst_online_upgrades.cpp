// The application's update checks against the HTTP test server: the software
// check of the delayed start, the firmware check on a firmware report with
// the file reaching the simulator, the empty server address, the exit.
#include "tests/support/app_test_main.h"
#include "tests/support/device_fixture.h"
#include "tests/support/hang_bound.h"
#include "tests/support/http_test_server.h"
#include "tests/support/recording_prompt.h"
#include "app/spoolsmith_app.h"
#include "online/upgrades/upgrades_soft_widget.h"
#include "online/upgrades/upgrades_widget.h"

#include <QApplication>
#include <QLoggingCategory>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>

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
template <typename Dialog>
Dialog *topLevel()
{
    for (QWidget *widget : QApplication::topLevelWidgets()) {
        if (auto *dialog = qobject_cast<Dialog *>(widget))
            return dialog;
    }
    return nullptr;
}

// Runs `act` on the next modal dialog, then closes it.
void onNextModal(std::function<void(QWidget *)> act, bool *opened)
{
    auto *poll = new QTimer;
    QObject::connect(poll, &QTimer::timeout, poll, [poll, act, opened] {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal)
            return;
        poll->stop();
        *opened = true;
        act(modal);
        modal->close();
        poll->deleteLater();
    });
    poll->start(20);
}
} // namespace

class TestOnlineUpgrades : public QObject
{
    Q_OBJECT
    DeviceFixture f;
    HttpTestServer server;
    RecordingPrompt prompt;

    SpoolsmithApp *app() { return SpoolsmithApp::instance(); }

private slots:
    void initTestCase()
    {
        QLoggingCategory::setFilterRules(QStringLiteral("default.debug=false"));
        QVERIFY(server.listenOnSomeLoopback(38021));
        setJson(server, "/getIP", R"({"data":"198.51.100.7"})");
        setJson(server, "/getLocation", R"({"data":"Shenzhen"})");
        QVERIFY(f.makeSettings());
        QVERIFY(f.startSimulator());
        f.makeDevice(DeviceFixture::Driver::Registered);
    }

    void cleanupTestCase()
    {
        f.device->unInit();
        f.tearDown();
    }

    void init() { server.clearRequests(); }

    void anEmptyServerAddressAsksNothing()
    {
        f.config->setProperty(Config::CPT_IP, QString());
        app()->startOnlineServices();
        app()->upgrade();
        QVERIFY(server.requestLines().isEmpty());
        QVERIFY(!topLevel<UpgradesWidget>());
    }

    void theDelayedStartAsksForANewerProgram()
    {
        f.config->setProperty(Config::CPT_IP, server.address().toString());
        setJson(server, "/machine/software/version",
                       R"({"code":200,"data":{"softName":"Spoolsmith","softVersion":"2.2.0","softCode":"Spoolsmith",)"
                       R"("releaseDate":"2026-12-01","content":"notes"}})");
        bool opened = false;
        onNextModal([](QWidget *) {}, &opened);
        QTest::ignoreMessage(QtCriticalMsg, QRegularExpression("connectToServer failed"));
        app()->startOnlineServices();
        QVERIFY(opened);
        QCOMPARE(server.requestLinesFor("/machine/software/version"),
                 QList<QByteArray>{"GET /machine/software/version?softName=Spoolsmith&softVersion=2.1.5"
                                   "&softCode=Spoolsmith HTTP/1.1"});
        QVERIFY(topLevel<UpgradesSoftWidget>());
    }

    void aFirmwareReportOffersTheVersionAndItsFileReachesTheMachine()
    {
        f.config->setProperty(Config::CPT_IP, server.address().toString());
        QVERIFY(f.link());
        const QString firmware = f.device->firmware();
        QVERIFY(!firmware.isEmpty());
        const QByteArray file(3000, 'f');
        HttpTestServer::Response answer;
        answer.body = file;
        server.setResponse("/fw/control.bin", answer);
        setJson(server, "/machine/firmware/versions",
                       R"({"code":200,"rows":[{"firmModule":0,"firmModuleStr":"控制模块","firmNo":"9.0.0",)"
                       R"("createTime":"2026-12-01","isCurrentVersion":false,"files":)"
                           + ('"' + server.url("/fw/control.bin").toEncoded() + '"') + "}]}");
        bool opened = false;
        onNextModal([](QWidget *modal) { modal->findChild<QPushButton *>("pushButton_upgrade")->click(); }, &opened);
        app()->upgrade();
        QVERIFY(opened);
        const QList<QByteArray> lines = server.requestLinesFor("/machine/firmware/versions");
        QCOMPARE(lines.size(), 1);
        QVERIFY2(lines.first().contains("?firmNo=" + firmware.toUtf8() + "&pcbCode="), lines.first());
        QVERIFY2(lines.first().contains("&machineCode=" + f.device->ident().toUtf8() + "&"), lines.first());
        QVERIFY(lines.first().contains("&firmModule=0&top=3 "));
        QTRY_VERIFY_WITH_TIMEOUT(f.sim->receivedPayloads().contains("UPG;0;" + file), kHangMs);

        // The dialog is made once and asks again on the next report.
        opened = false;
        onNextModal([](QWidget *) {}, &opened);
        app()->upgrade();
        QVERIFY(opened);
        QCOMPARE(server.requestLinesFor("/machine/firmware/versions").size(), 2);
        int dialogs = 0;
        for (QWidget *widget : QApplication::topLevelWidgets())
            dialogs += qobject_cast<UpgradesWidget *>(widget) ? 1 : 0;
        QCOMPARE(dialogs, 1);
    }

    void leavingClosesTheDialogs()
    {
        UpgradesWidget *firmware = topLevel<UpgradesWidget>();
        UpgradesSoftWidget *soft = topLevel<UpgradesSoftWidget>();
        QVERIFY(firmware && soft);
        firmware->show();
        soft->show();
        f.device->setUpdateProgress(100.0f);
        QVERIFY(app()->allowedExit());
        QVERIFY(!firmware->isVisible());
        QVERIFY(!soft->isVisible());
    }
};

SPOOLSMITH_APP_TEST_MAIN(TestOnlineUpgrades)
#include "tst_online_upgrades.moc"
