// The application's delayed online start: no server address starts nothing;
// with one, the MQTT client connects to a real broker and the advertisement
// window sits over the main window.
#include "app/online/online_services.h"
#include "online/carousel_image_window.h"
#include "online/mqtt_message.h"
#include "tests/support/device_fixture.h"
#include "tests/support/gui_lookup.h"
#include "tests/support/hang_bound.h"
#include "tests/support/http_test_server.h"
#include "tests/support/log_capture.h"
#include "tests/support/mosquitto_broker.h"
#include "tests/support/solid_png.h"

#include <QApplication>
#include <QTcpServer>
#include <QTest>
#include <QWindow>

namespace {

CarouselImageWindow *advertisementWindow()
{
    return findTopLevelWidget<CarouselImageWindow>();
}

} // namespace

class TestOnlineStart : public QObject
{
    Q_OBJECT

    std::unique_ptr<LogCapture> log;
    DeviceFixture f;
    QWindow mainWindow;

    std::unique_ptr<OnlineServices> makeServices()
    {
        AppServices services{[this] { return f.config.get(); }, [] { return static_cast<TRV610Plus *>(nullptr); }};
        return std::make_unique<OnlineServices>(services, [] {}, [this] { return &mainWindow; });
    }

private slots:
    void initTestCase()
    {
        log = std::make_unique<LogCapture>();
        QVERIFY(f.makeSettings());
        mainWindow.resize(900, 700);
        mainWindow.show();
    }
    void cleanupTestCase() { f.tearDown(); }
    void init() { LogCapture::clear(); }

    void anEmptyServerAddressStartsNothing()
    {
        f.config->setProperty(Config::CPT_IP, QString());
        auto services = makeServices();
        services->start(QStringLiteral("2.1.5"));
        QVERIFY(!services->mqtt());
        QVERIFY(LogCapture::contains(QStringLiteral("online services skipped")));
        QVERIFY(!advertisementWindow());
    }

    void noBrokerIsLoggedAndShowsNothing()
    {
        QTcpServer probe;
        QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
        const quint16 unused = probe.serverPort();
        probe.close();
        f.config->setProperty(Config::CPT_IP, QStringLiteral("127.0.0.1"));
        auto services = makeServices();
        services->setBrokerPort(unused);
        services->start(QStringLiteral("2.1.5"));
        QVERIFY(LogCapture::contains(QStringLiteral("connectToServer failed")));
        QVERIFY(!advertisementWindow());
    }

    void advertisementsAppearOverTheMainWindow()
    {
        if (const QString reason = MosquittoBroker::unavailableReason(); !reason.isEmpty())
            QSKIP(qPrintable(reason));
        MosquittoBroker broker({{QStringLiteral("ostla"), QStringLiteral("wolk@1873")}},
                               {QStringLiteral("planning_ad")});
        QVERIFY2(broker.start(), qPrintable(broker.log()));
        HttpTestServer http;
        QVERIFY(http.start());
        http.setBody(QStringLiteral("/ad.png"), solidPng(Qt::darkCyan, QSize(500, 200)), "image/png");

        f.config->setProperty(Config::CPT_IP, QStringLiteral("127.0.0.1"));
        auto services = makeServices();
        services->setBrokerPort(broker.port());
        services->start(QStringLiteral("2.1.5"));
        QVERIFY(services->mqtt() && services->mqtt()->isConnectToServer());
        QVERIFY(!LogCapture::contains(QStringLiteral("wolk@1873")));
        CarouselImageWindow *window = advertisementWindow();
        QVERIFY(window);
        QCOMPARE(window->windowHandle()->parent(), &mainWindow);

        mqttMessage sender;
        mqttSetting settings;
        settings.hostname = QStringLiteral("127.0.0.1");
        settings.port = broker.port();
        settings.username = QStringLiteral("ostla");
        settings.password = QStringLiteral("wolk@1873");
        QVERIFY(sender.connectToServer(settings));
        const QByteArray message = "{\"messageType\":2,\"coverImage\":\"" + http.url(QStringLiteral("/ad.png")).toEncoded()
            + "\",\"link\":\"https://example.invalid/\"}";
        QVERIFY(sender.pubTopic(QStringLiteral("planning_ad"), message));
        QTRY_VERIFY_WITH_TIMEOUT(window->isVisible(), kHangMs);
        QCOMPARE(window->geometry(), QRect(900 - 500, 700 - 200, 500, 200));

        services.reset();
        QVERIFY(!advertisementWindow());
    }
};

QTEST_MAIN(TestOnlineStart)
#include "tst_online_start.moc"
