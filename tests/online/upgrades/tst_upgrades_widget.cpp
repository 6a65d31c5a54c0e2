// The firmware update dialog against the HTTP test server, and its hand-over
// to the driver linked to the simulator.
#include "online/upgrades/upgrades_widget.h"
#include "tests/support/device_fixture.h"
#include "tests/support/hang_bound.h"
#include "tests/support/http_test_server.h"
#include "tests/support/recording_prompt.h"

#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QStandardItemModel>
#include <QTest>
#include <QTreeView>

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
const QString kVersions = QStringLiteral("/machine/firmware/versions");

QByteArray row(int module, const QByteArray &firmNo, const QByteArray &files, bool current = false,
               const QByteArray &extra = {})
{
    return R"({"firmModule":)" + QByteArray::number(module) + R"(,"firmModuleStr":"控制模块","firmNo":")" + firmNo
           + R"(","createTime":"2026-12-01","files":")" + files + R"(","isCurrentVersion":)"
           + (current ? "true" : "false") + extra + "}";
}

QByteArray rows(const QList<QByteArray> &list)
{
    return R"({"code":200,"rows":[)" + list.join(',') + "]}";
}

FirmwareQuery query(const QString &machine, const QString &firmNo)
{
    FirmwareQuery q;
    q.machineCode = machine;
    q.machineModelCode = QStringLiteral("TRV610");
    q.firmNo = firmNo;
    q.pcbCode = QStringLiteral("PCB7");
    q.pcbversion = QStringLiteral("B");
    return q;
}

QByteArray firmware()
{
    QByteArray file(4096, '\0');
    for (int i = 0; i < file.size(); ++i)
        file[i] = char(i * 13);
    return file;
}
} // namespace

class TestUpgradesWidget : public QObject
{
    Q_OBJECT
    HttpTestServer server;
    std::unique_ptr<RecordingPrompt> prompt;

    std::unique_ptr<UpgradesWidget> makeWidget()
    {
        auto widget = std::make_unique<UpgradesWidget>();
        widget->setHost(server.address().toString());
        widget->setDownloadLimits(800, 1024 * 1024, 2000);
        return widget;
    }

    QString firstVersion(UpgradesWidget &w) const
    {
        const QStandardItem *module = w.model()->item(0);
        return module && module->rowCount() ? module->child(0)->text() : QString();
    }

    // Lists one version whose download is `answer`, selects it and presses "升级".
    void download(UpgradesWidget &w, const HttpTestServer::Response &answer, const QByteArray &extra = {})
    {
        server.setResponse("/fw/control.bin", answer);
        setJson(server, kVersions, rows({row(0, "1.2.0", server.url("/fw/control.bin").toEncoded(), false, extra)}));
        QVERIFY(w.postUpgrades(query(QStringLiteral("AB07X3Q9"), QStringLiteral("1.1.0"))));
        w.on_pushButton_upgrade_clicked();
    }

private slots:
    void initTestCase()
    {
        QVERIFY(server.listenOnSomeLoopback(38021));
        setJson(server, "/getIP", R"({"data":"198.51.100.7"})");
        setJson(server, "/getLocation", R"({"data":"Shenzhen"})");
    }

    void init()
    {
        server.clearRequests();
        prompt = std::make_unique<RecordingPrompt>();
    }

    void cleanup() { prompt.reset(); }

    void queryItemsGoInTheirOrderAndTheLookUpsAreCached()
    {
        setJson(server, kVersions, rows({}));
        auto w = makeWidget();
        QCOMPARE(w->requestUrl(), "http://" + server.address().toString() + ":38021/machine/firmware/versions");
        QVERIFY(!w->postUpgrades(query(QStringLiteral("AB07X3Q9"), QStringLiteral("1.1.0"))));
        QVERIFY(!w->postUpgrades(query(QStringLiteral("AB07X3Q9"), QStringLiteral("1.1.0"))));
        const QList<QByteArray> expected{
            "GET /getIP HTTP/1.1", "GET /getLocation HTTP/1.1",
            "GET /machine/firmware/versions?firmNo=1.1.0&pcbCode=PCB7&pcbversion=B&machineCode=AB07X3Q9"
            "&machineModelCode=TRV610&ip=198.51.100.7&location=Shenzhen&language=&loginContext=&firmModule=0&top=3"
            " HTTP/1.1"};
        QCOMPARE(server.requestLines(), expected + expected.mid(2));
    }

    void absentLookUpsSendEmptyParametersAndAskAgain()
    {
        HttpTestServer bare; // no /getIP, no /getLocation: 404
        QVERIFY(bare.listenOnSomeLoopback(38021));
        setJson(bare, kVersions, rows({}));
        UpgradesWidget w;
        w.setHost(bare.address().toString());
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("UpgradesWidget::getIP"));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("UpgradesWidget::getLocation"));
        w.postUpgrades(query(QStringLiteral("AB07X3Q9"), QStringLiteral("1.1.0")));
        QVERIFY(bare.requestLinesFor(kVersions).value(0).contains("&ip=&location=&"));
        setJson(bare, "/getIP", R"({"data":"198.51.100.9"})");
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("UpgradesWidget::getLocation"));
        w.postUpgrades(query(QStringLiteral("AB07X3Q9"), QStringLiteral("1.1.0")));
        QVERIFY(bare.requestLinesFor(kVersions).value(1).contains("&ip=198.51.100.9&location=&"));
    }

    void theTreeFollowsTheRows()
    {
        auto w = makeWidget();
        // Another module's row first is skipped; the first own row is selected.
        setJson(server, kVersions, rows({row(1, "9.9.9", "http://x/d.bin"), row(0, "1.3.0", "http://x/a.bin"),
                                        row(0, "1.2.0", "http://x/b.bin")}));
        QVERIFY(w->postUpgrades(query(QStringLiteral("AB07X3Q9"), QStringLiteral("1.1.0"))));
        QCOMPARE(w->model()->rowCount(), 1);
        const QStandardItem *module = w->model()->item(0);
        QCOMPARE(module->text(), QStringLiteral("控制模块"));
        QCOMPARE(w->model()->item(0, 1)->text(), QStringLiteral("当前版本：1.1.0"));
        QCOMPARE(module->rowCount(), 2);
        QCOMPARE(module->child(0, 1)->text(), QStringLiteral("2026-12-01"));
        QVERIFY(!w->treeView()->currentIndex().isValid()); // row 0 was another module's

        // The same query again rebuilds, never duplicates.
        setJson(server, kVersions, rows({row(0, "1.3.0", "http://x/a.bin"), row(0, "1.2.0", "http://x/b.bin")}));
        QVERIFY(w->postUpgrades(query(QStringLiteral("AB07X3Q9"), QStringLiteral("1.1.0"))));
        QCOMPARE(w->model()->rowCount(), 1);
        QCOMPARE(w->model()->item(0)->rowCount(), 2);
        QCOMPARE(w->treeView()->currentIndex().data().toString(), QStringLiteral("1.3.0"));
        QCOMPARE(w->treeView()->currentIndex().data(UpgradesWidget::RowRole).toMap().value("files").toString(),
                 QStringLiteral("http://x/a.bin"));

        // First row current: the entry goes although a later row is newer.
        setJson(server, kVersions, rows({row(0, "1.1.0", "http://x/c.bin", true), row(0, "1.4.0", "http://x/e.bin")}));
        QVERIFY(!w->postUpgrades(query(QStringLiteral("AB07X3Q9"), QStringLiteral("1.1.0"))));
        QCOMPARE(w->model()->rowCount(), 0);

        // An empty list, and a wrong answer, leave no entry.
        setJson(server, kVersions, rows({row(0, "1.3.0", "http://x/a.bin")}));
        QVERIFY(w->postUpgrades(query(QStringLiteral("AB07X3Q9"), QStringLiteral("1.1.0"))));
        setJson(server, kVersions, rows({}));
        QVERIFY(!w->postUpgrades(query(QStringLiteral("AB07X3Q9"), QStringLiteral("1.1.0"))));
        setJson(server, kVersions, R"({"code":500,"rows":[]})");
        QTest::ignoreMessage(QtCriticalMsg, QRegularExpression("UpgradesWidget::postUpgrades.*错误的返回"));
        QTest::ignoreMessage(QtCriticalMsg, QRegularExpression("UpgradesWidget::postUpgrades QJsonObject"));
        QVERIFY(!w->postUpgrades(query(QStringLiteral("AB07X3Q9"), QStringLiteral("1.1.0"))));
    }

    void aSlowVersionListEndsWithinItsBound()
    {
        auto w = makeWidget();
        // Answered past any wait the dialog may make, and past the hang bound.
        setJson(server, kVersions, rows({row(0, "1.3.0", "http://x/a.bin")}), kLongHangMs);
        QTest::ignoreMessage(QtCriticalMsg, QRegularExpression("UpgradesWidget::postUpgrades"));
        QElapsedTimer clock;
        clock.start();
        QVERIFY(!w->postUpgrades(query(QStringLiteral("AB07X3Q9"), QStringLiteral("1.1.0"))));
        QVERIFY2(clock.elapsed() < kHangMs, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(w->model()->rowCount(), 0);
    }

    // Complete means the announced length met, or the row's digest matched.
    void aGoodDownloadReachesTheMachine_data()
    {
        QTest::addColumn<bool>("announced");
        QTest::addColumn<bool>("digest");
        QTest::newRow("length and digest") << true << true;
        QTest::newRow("length only") << true << false;
        QTest::newRow("digest only") << false << true;
    }

    void aGoodDownloadReachesTheMachine()
    {
        QFETCH(bool, announced);
        QFETCH(bool, digest);
        DeviceFixture f;
        QVERIFY(f.setUp());
        QVERIFY(f.link());
        auto w = makeWidget();
        connect(w.get(), &UpgradesWidget::upgrade, f.device.get(), &TRV610Plus::slotUpgrade);
        QSignalSpy progress(w.get(), &UpgradesWidget::downloadProgress);
        const QByteArray file = firmware();
        HttpTestServer::Response answer;
        answer.body = file;
        answer.omitLength = !announced;
        const QByteArray sha256 = QCryptographicHash::hash(file, QCryptographicHash::Sha256).toHex();
        download(*w, answer, digest ? ",\"sha256\":\"" + sha256 + "\"" : QByteArray());

        QTRY_COMPARE_WITH_TIMEOUT(f.sim->receivedPayloads(), QList<QByteArray>{"UPG;0;" + file}, kHangMs);
        QVERIFY(!progress.isEmpty());
        auto *bar = w->findChild<QProgressBar *>("progressBar");
        QCOMPARE(bar->format(), QStringLiteral("升级进度%p%"));
        QVERIFY(prompt->shown.isEmpty());
        f.tearDown();
    }

    void aFailedDownloadIsReportedAndNothingIsSent_data()
    {
        QTest::addColumn<QString>("fault");
        for (const char *fault : {"404", "web page with 200", "short body", "empty body", "wrong digest",
                                  "redirect to file", "stall", "too large", "endless fast body",
                                  "drips past the total bound", "no length, closed early"})
            QTest::newRow(fault) << QString::fromLatin1(fault);
    }

    void aFailedDownloadIsReportedAndNothingIsSent()
    {
        QFETCH(QString, fault);
        HttpTestServer::Response answer;
        QByteArray extra;
        if (fault == "404") {
            answer.status = 404;
            answer.body = "gone";
        } else if (fault == "web page with 200") {
            answer.body = "<!DOCTYPE html><html><body>Log in</body></html>";
            answer.contentType = "text/html";
        } else if (fault == "short body") {
            answer.body = firmware().left(1000);
            answer.announcedLength = 4096;
        } else if (fault == "wrong digest") {
            answer.body = firmware();
            extra = ",\"sha256\":\"" + QByteArray(64, 'a') + "\"";
        } else if (fault == "redirect to file") {
            answer.status = 302;
            answer.headers = {{"Location", "file:" "///etc/passwd"}};
        } else if (fault == "stall") {
            answer.body = firmware();
            answer.stallAfter = 100;
        } else if (fault == "too large") {
            answer.body = QByteArray(2 * 1024 * 1024, 'x');
        } else if (fault == "endless fast body") {
            answer.body = firmware();
            answer.endless = true;
        } else if (fault == "drips past the total bound") {
            // A byte every 100 ms never trips the 800 ms stall bound.
            answer.body = firmware();
            answer.dripMs = 100;
        } else if (fault == "no length, closed early") {
            answer.body = firmware().left(600);
            answer.omitLength = true;
        }
        auto w = makeWidget();
        QSignalSpy upgrade(w.get(), &UpgradesWidget::upgrade);
        QTest::ignoreMessage(QtCriticalMsg, QRegularExpression("UpgradesWidget::on_pushButton_upgrade_clicked download failed"));
        download(*w, answer, extra);
        QCOMPARE(upgrade.count(), 0);
        QCOMPARE(prompt->shown.size(), 1);
        qInfo() << fault << prompt->shown.first();
        QVERIFY2(prompt->shown.first().startsWith(QStringLiteral("固件下载失败\n")), qPrintable(prompt->shown.first()));
        auto *bar = w->findChild<QProgressBar *>("progressBar");
        QCOMPARE(bar->value(), 0);
        QVERIFY(bar->isHidden());
        QVERIFY(w->findChild<QPushButton *>("pushButton_upgrade")->isEnabled());
    }

    void nonWebAddressesAndMissingLinksAreRefused()
    {
        auto w = makeWidget();
        QSignalSpy upgrade(w.get(), &UpgradesWidget::upgrade);
        // A row without a link, then one with a link that is no web address.
        setJson(server, kVersions, rows({R"({"firmModule":0,"firmModuleStr":"M","firmNo":"2"})",
                                        row(0, "3", "ftp" "://127.0.0.1/x")}));
        QVERIFY(w->postUpgrades(query(QStringLiteral("AB07X3Q9"), QStringLiteral("1"))));
        w->on_pushButton_upgrade_clicked();
        QCOMPARE(prompt->shown, QStringList{QStringLiteral("没有下载链接")});
        w->treeView()->setCurrentIndex(w->model()->item(0)->child(1)->index());
        QTest::ignoreMessage(QtCriticalMsg, QRegularExpression("download failed"));
        w->on_pushButton_upgrade_clicked();
        QCOMPARE(prompt->shown.size(), 2);
        QVERIFY(prompt->shown.last().contains(QStringLiteral("ftp://")));
        // The module entry itself carries no row: nothing happens.
        w->treeView()->setCurrentIndex(w->model()->item(0)->index());
        w->on_pushButton_upgrade_clicked();
        QCOMPARE(prompt->shown.size(), 2);
        QCOMPARE(upgrade.count(), 0);
    }

    void successIsToldOnlyForTheFlashedVersionOnTheSameMachine()
    {
        auto w = makeWidget();
        connect(w.get(), &UpgradesWidget::upgrade, this, [] {});
        HttpTestServer::Response answer;
        answer.body = firmware();
        download(*w, answer); // 1.2.0 for AB07X3Q9, which runs 1.1.0
        QVERIFY(prompt->shown.isEmpty());

        setJson(server, kVersions, rows({}));
        // Another machine reports the same version: not ours.
        w->postUpgrades(query(QStringLiteral("CD07X4A1"), QStringLiteral("1.2.0")));
        // Ours, with some other version: not what was flashed.
        w->postUpgrades(query(QStringLiteral("AB07X3Q9"), QStringLiteral("1.1.5")));
        QVERIFY(prompt->shown.isEmpty());
        w->postUpgrades(query(QStringLiteral("AB07X3Q9"), QStringLiteral("1.2.0")));
        QCOMPARE(prompt->shown, QStringList{QStringLiteral("升级成功")});
        // Told once.
        w->postUpgrades(query(QStringLiteral("AB07X3Q9"), QStringLiteral("1.2.0")));
        QCOMPARE(prompt->shown.size(), 1);
    }

    void progressAndTheButtonFollowTheMachine()
    {
        auto w = makeWidget();
        auto *bar = w->findChild<QProgressBar *>("progressBar");
        auto *button = w->findChild<QPushButton *>("pushButton_upgrade");
        bar->setValue(10);
        w->onDownloadProgress(512, 1024);
        QCOMPARE(bar->value(), 50);
        w->onDownloadProgress(700, 0);
        w->onDownloadProgress(700, -1);
        QCOMPARE(bar->value(), 50);

        QVERIFY(button->isEnabled());
        w->setProgress(42);
        QCOMPARE(bar->value(), 42);
        QVERIFY(!button->isEnabled());
        w->setProgress(100);
        QVERIFY(button->isEnabled());
        bool uploading = true;
        w->setUploadProbe([&uploading] { return uploading; });
        QVERIFY(!button->isEnabled());

        // Pressed anyway while the machine still takes a file: nothing is fetched.
        setJson(server, kVersions, rows({row(0, "1.2.0", server.url("/fw/control.bin").toEncoded())}));
        QVERIFY(w->postUpgrades(query(QStringLiteral("AB07X3Q9"), QStringLiteral("1.1.0"))));
        server.clearRequests();
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("still running"));
        w->on_pushButton_upgrade_clicked();
        QVERIFY(server.requestLinesFor("/fw/control.bin").isEmpty());
        uploading = false;
        w->setProgress(0);
        QVERIFY(button->isEnabled());
    }

    void aFirmwareReportDuringTheDownloadKeepsTheRow()
    {
        auto w = makeWidget();
        QSignalSpy upgrade(w.get(), &UpgradesWidget::upgrade);
        HttpTestServer::Response slow;
        slow.body = firmware();
        slow.delayMs = 300;
        // While the file is on its way the machine reports again; the tree is
        // rebuilt under the running download.
        connect(&server, &HttpTestServer::requestReceived, this, [&](const QByteArray &line) {
            if (line.contains("/fw/control.bin"))
                QMetaObject::invokeMethod(this, [&] {
                    setJson(server, kVersions, rows({}));
                    w->postUpgrades(query(QStringLiteral("AB07X3Q9"), QStringLiteral("1.1.0")));
                }, Qt::QueuedConnection);
        });
        download(*w, slow);
        server.disconnect(this);
        QCOMPARE(upgrade.count(), 1);
        QCOMPARE(upgrade.first().at(2).toMap().value("firmNo").toString(), QStringLiteral("1.2.0"));
        QCOMPARE(w->model()->rowCount(), 0);
    }
};


QTEST_MAIN(TestUpgradesWidget)
#include "tst_upgrades_widget.moc"
