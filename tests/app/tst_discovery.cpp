// Machine discovery on loopback: the announcements of the simulator, the
// online list, the machine family settings and the driver's link.
#include "tests/support/app_test_main.h"
#include "tests/support/hang_bound.h"
#include "tools/simulator/machine_simulator.h"
#include "tests/support/recording_prompt.h"
#include "app/spoolsmith_app.h"
#include "machine/trv610plus.h"
#include "machine/discovery/machine_discovery.h"

#include <QElapsedTimer>
#include <QFile>
#include <QLoggingCategory>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUdpSocket>

#include <memory>

class TestDiscovery : public QObject
{
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<Config> m_config;
    std::unique_ptr<TRV610Plus> m_device;
    RecordingPrompt m_prompt;
    SpoolsmithApp *app() { return SpoolsmithApp::instance(); }
    QString devIni() const { return QCoreApplication::applicationDirPath() + QStringLiteral("/dev.ini"); }

    void announce(const QByteArray &datagram)
    {
        QUdpSocket out;
        out.writeDatagram(datagram, QHostAddress::LocalHost, app()->discoveryPort());
    }
    static QByteArray disa(const char *ident) { return QByteArray("DISA;") + ident + '\x03'; }
    // A simulated machine that announces itself to this test's discovery port.
    MachineSimulator::Options announcingMachine()
    {
        MachineSimulator::Options o;
        o.port = 0;
        o.ident = QStringLiteral("AB07X3Q9");
        o.announcePort = app()->discoveryPort();
        o.announceIntervalMs = 300;
        return o;
    }

private slots:
    void initTestCase()
    {
        QLoggingCategory::setFilterRules(QStringLiteral("default.info=false\ndefault.debug=false"));
        // The application object of a test run never listens on the
        // machines' port: another program's announcements stay out.
        QVERIFY(app()->discoveryPort() != 0);
        QVERIFY(app()->discoveryPort() != MachineDiscovery::kPort);
    }
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QFile ini(m_dir->filePath("config.ini"));
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.close();
        m_config = std::make_unique<Config>(m_dir->path(), m_dir->filePath("config.db"));
        Config::setInstance(m_config.get());
        m_device = std::make_unique<TRV610Plus>();
        TRV610Plus::setInstance(m_device.get());
        // A fresh loopback port per case: no table left from the last one.
        QVERIFY(app()->bindDiscovery(QHostAddress::LocalHost, 0));
        QMetaObject::invokeMethod(app(), "slotUdpTimer");
    }
    void cleanup()
    {
        TRV610Plus::setInstance(nullptr);
        m_device.reset();
        Config::setInstance(nullptr);
        m_config.reset();
        QFile::remove(devIni());
    }

    // The environment names the port listened on from the start.
    void startPortFromTheEnvironment()
    {
        QUdpSocket probe;
        QVERIFY(probe.bind(QHostAddress::LocalHost, 0));
        const quint16 free = probe.localPort();
        probe.close();
        const QByteArray saved = qgetenv("SPOOLSMITH_DISCOVERY_PORT");
        qputenv("SPOOLSMITH_DISCOVERY_PORT", QByteArray::number(free));
        {
            MachineDiscovery discovery([] { return nullptr; }, [] { return nullptr; });
            QCOMPARE(discovery.port(), free);
        }
        qputenv("SPOOLSMITH_DISCOVERY_PORT", saved);
        QCOMPARE(MachineDiscovery::startPort(), quint16(saved.toUInt()));
    }

    void datagramParsingAndFamilySettings()
    {
        QVERIFY(app()->onlineDevices().isEmpty());
        QCOMPARE(SpoolsmithApp::typeCodeValue(QStringLiteral("07X3")), 10263u);
        QFile ini(devIni());
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write("[DeviceModel]\n10263=TRV610 Plus/roll\n");
        ini.close();
        m_config->setIdent(QStringLiteral("AB07X3Q9"));
        m_device->setIdent(QStringLiteral("AB07X3Q9"));
        m_device->setPort(1); // nothing listens: the link fails, the table stays
        announce(disa("AB07X3Q9") + "trailing");
        QTRY_COMPARE_WITH_TIMEOUT(app()->onlineDevices(), QStringList{"AB07X3Q9"}, kHangMs);
        const DiscoveredDevice d = app()->discoveredDevices().first();
        QCOMPARE(d.ip, QStringLiteral("127.0.0.1"));
        QCOMPARE(d.model, QStringLiteral("TRV610 Plus"));
        QCOMPARE(m_config->version(), 1);
        QCOMPARE(m_config->getPropertyName(Config::CPT_Gyroscope_Trigger), QStringLiteral("送纸陀螺仪触发值"));
        QCOMPARE(m_config->getPropertyName(Config::CPT_Gyroscope_speed), QStringLiteral("送纸速度"));

        // Other machines are listed and change nothing; unknown families and
        // malformed datagrams are dropped.
        m_config->setEnableScanAndTrim(true);
        announce(disa("CD07X4A1"));
        announce(disa("EF07X9A1"));
        announce("DISA;GH07X3B2");
        announce(disa(""));
        QTRY_COMPARE_WITH_TIMEOUT(app()->onlineDevices(), (QStringList{"AB07X3Q9", "CD07X4A1"}), kHangMs);
        QTest::qWait(100);
        QCOMPARE(app()->onlineDevices().size(), 2);
        QCOMPARE(m_config->version(), 1);
        QVERIFY(m_config->enableScanAndTrim());
        QCOMPARE(m_config->ident(), QStringLiteral("AB07X3Q9"));
        // A sweep keeps machines heard lately.
        QMetaObject::invokeMethod(app(), "slotUdpTimer");
        QCOMPARE(app()->onlineDevices().size(), 2);
    }

    void firstMachineIsAdoptedWhenNoneIsConfigured()
    {
        QVERIFY(m_config->ident().isEmpty());
        m_config->setEnableScanAndTrim(true);
        m_config->setProperty(Config::CPT_Enable_Print, true);
        m_device->setPort(1);
        announce(disa("AB07X5K2"));
        QTRY_COMPARE_WITH_TIMEOUT(m_config->ident(), QStringLiteral("AB07X5K2"), kHangMs);
        QCOMPARE(m_device->ident(), QStringLiteral("AB07X5K2"));
        QCOMPARE(m_config->version(), 3);
        QVERIFY(!m_config->enableScanAndTrim());
        QVERIFY(!m_config->getProperty(Config::CPT_Enable_Print).toBool());
        QCOMPARE(m_config->getPropertyName(Config::CPT_Gyroscope_Limit), QStringLiteral("排废陀螺仪限位"));
        announce(disa("CD07X3A1"));
        QTRY_COMPARE_WITH_TIMEOUT(app()->onlineDevices().size(), 2, kHangMs);
        QCOMPARE(m_device->ident(), QStringLiteral("AB07X5K2"));
    }

    // An announcement heard before the settings exist (a warning box at
    // start-up runs the event loop early) is not handled: the machine's next
    // one is newly heard and installs its family settings.
    void announcementBeforeTheSettingsIsHeardAgain()
    {
        Config *settings = nullptr;
        MachineDiscovery discovery([&settings] { return settings; }, [this] { return m_device.get(); });
        QVERIFY(discovery.bind(QHostAddress::LocalHost, 0));
        QUdpSocket out;
        m_device->setPort(1);
        m_config->setEnableScanAndTrim(true);
        for (Config *present : {static_cast<Config *>(nullptr), m_config.get()}) {
            settings = present;
            out.writeDatagram(disa("AB07X5K2"), QHostAddress::LocalHost, discovery.port());
            QTRY_VERIFY_WITH_TIMEOUT(!present || !discovery.onlineDevices().isEmpty(), kHangMs);
            discovery.receivePending(); // loopback delivers at once: the first one is read here
            QCOMPARE(discovery.onlineDevices().isEmpty(), !present);
        }
        QCOMPARE(m_config->ident(), QStringLiteral("AB07X5K2"));
        QCOMPARE(m_config->version(), 3);
        QVERIFY(!m_config->enableScanAndTrim());
    }

    // Choosing a listed machine on the device page applies its family at
    // once: it is already in the table, so it is never newly heard.
    void chosenMachineAppliesItsFamily_data()
    {
        QTest::addColumn<QByteArray>("configured");
        QTest::addColumn<QByteArray>("chosen");
        QTest::addColumn<bool>("chosenHeard");
        QTest::addColumn<int>("version"); // after the choice
        QTest::addColumn<bool>("printOn");
        QTest::addColumn<QString>("limitLabel");
        QTest::newRow("feed family to the print-less one")
            << QByteArray("AB07X3Q9") << QByteArray("CD07X5A1") << true << 3 << false << "排废陀螺仪限位";
        QTest::newRow("print-less family to the feed one")
            << QByteArray("AB07X5K2") << QByteArray("CD07X3A1") << true << 1 << true << "送纸陀螺仪限位";
        QTest::newRow("a machine not heard changes nothing")
            << QByteArray("AB07X3Q9") << QByteArray("CD07X5A1") << false << 1 << true << "送纸陀螺仪限位";
    }
    void chosenMachineAppliesItsFamily()
    {
        QFETCH(QByteArray, configured);
        QFETCH(QByteArray, chosen);
        QFETCH(bool, chosenHeard);
        QFETCH(int, version);
        QFETCH(bool, printOn);
        QFETCH(QString, limitLabel);
        m_config->setIdent(QString::fromLatin1(configured));
        m_device->setIdent(QString::fromLatin1(configured));
        m_device->setPort(1);
        announce(disa(configured));
        if (chosenHeard)
            announce(disa(chosen));
        QTRY_COMPARE_WITH_TIMEOUT(app()->onlineDevices().size(), chosenHeard ? 2 : 1, kHangMs);
        m_config->setProperty(Config::CPT_Enable_Print, true);
        // What the device page does with the machine picked from its list.
        m_device->setIdent(QString::fromLatin1(chosen));
        m_config->setIdent(QString::fromLatin1(chosen));
        QCOMPARE(m_config->version(), version);
        QCOMPARE(m_config->getProperty(Config::CPT_Enable_Print).toBool(), printOn);
        QCOMPARE(m_config->getPropertyName(Config::CPT_Gyroscope_Limit), limitLabel);
    }

    void simulatorAnnouncementsLinkTheDriverAndRelinkAfterADrop()
    {
        const MachineSimulator::Options o = announcingMachine();
        MachineSimulator sim(o);
        m_config->setIdent(o.ident);
        m_device->setIdent(o.ident);
        QElapsedTimer t;
        t.start();
        QVERIFY(sim.start());
        m_device->setPort(sim.port());
        QTRY_VERIFY_WITH_TIMEOUT(m_device->linked(), kHangMs);
        qInfo() << "linked after" << t.elapsed() << "ms";
        QCOMPARE(m_device->ip(), QStringLiteral("127.0.0.1"));
        QCOMPARE(sim.commandCount(1), 1);
        QCOMPARE(sim.acceptedConnections(), 1);

        // Repeated announcements of the same address cost nothing.
        QTest::qWait(700);
        QCOMPARE(sim.acceptedConnections(), 1);

        // The machine drops the link: the next announcement links again and
        // the start sequence runs again.
        sim.dropConnections();
        // The link may be back before a poll sees it down: wait for the
        // machine to be linked again, not for the gap between.
        QTRY_COMPARE_WITH_TIMEOUT(sim.acceptedConnections(), 2, kHangMs);
        QTRY_VERIFY_WITH_TIMEOUT(m_device->linked(), kHangMs);
        QCOMPARE(sim.acceptedConnections(), 2);
        QCOMPARE(sim.commandCount(1), 2);
        QCOMPARE(sim.commandCount(13), 6);
        m_device->unInit();
    }

    // Announcements carry no proof of who sent them: a second sender of the
    // configured ident never takes a working link away; once that link is
    // gone, the machine is followed to the address it announces from.
    void aWorkingLinkIsKeptAgainstOtherAnnouncers()
    {
        MachineSimulator::Options o = announcingMachine();
        MachineSimulator sim(o);
        m_config->setIdent(o.ident);
        m_device->setIdent(o.ident);
        QVERIFY(sim.start());
        m_device->setPort(sim.port());
        QTRY_VERIFY_WITH_TIMEOUT(m_device->linked(), kHangMs);

        QUdpSocket impostor;
        if (!impostor.bind(QHostAddress(QStringLiteral("127.0.0.2")), 0))
            QSKIP("127.0.0.2 not usable here");
        QSignalSpy ipSpy(m_device.get(), &TRV610Plus::ipChanged);
        for (int i = 0; i < 10; ++i) {
            impostor.writeDatagram(disa("AB07X3Q9"), QHostAddress::LocalHost, app()->discoveryPort());
            QTest::qWait(30); // interleaved with the real machine's own announcements
        }
        QTest::qWait(400);
        QCOMPARE(m_device->ip(), QStringLiteral("127.0.0.1"));
        QVERIFY(m_device->linked());
        QCOMPARE(ipSpy.count(), 0);
        QCOMPARE(sim.acceptedConnections(), 1);

        // The machine moved: its old link is gone, the new address is taken.
        o.address = QStringLiteral("127.0.0.2");
        o.port = sim.port();
        o.announce = false;
        MachineSimulator moved(o);
        QVERIFY(moved.start());
        sim.stop();
        QTRY_VERIFY_WITH_TIMEOUT(!m_device->linked(), kHangMs);
        impostor.writeDatagram(disa("AB07X3Q9"), QHostAddress::LocalHost, app()->discoveryPort());
        QTRY_VERIFY_WITH_TIMEOUT(m_device->linked(), kHangMs);
        QCOMPARE(m_device->ip(), QStringLiteral("127.0.0.2"));
        QCOMPARE(moved.acceptedConnections(), 1);
        m_device->unInit();
    }

    // Linking a machine that never answers takes seconds (the start sequence
    // waits out every reply); the window goes on meanwhile.
    void aSilentMachineNeverStallsTheGuiThread()
    {
        const MachineSimulator::Options o = announcingMachine();
        MachineSimulator sim(o);
        sim.setFault(SimFault::NoReply);
        m_config->setIdent(o.ident);
        m_device->setIdent(o.ident);
        QVERIFY(sim.start());
        m_device->setPort(sim.port());
        QTRY_COMPARE_WITH_TIMEOUT(sim.acceptedConnections(), 1, kHangMs);
        int ticks = 0;
        QTimer timer;
        connect(&timer, &QTimer::timeout, this, [&ticks] { ++ticks; });
        timer.start(20);
        QTRY_VERIFY_WITH_TIMEOUT(ticks >= 10, kHangMs);
        // Still waiting for its replies: the ticks came during the start sequence.
        QVERIFY(!m_device->linked());
        QCOMPARE(sim.commandCount(13), 0);
        timer.stop();
        m_device->unInit(); // bounded: the start sequence in progress ends first
        QVERIFY(!m_device->linked());
    }
};

SPOOLSMITH_APP_TEST_MAIN(TestDiscovery)
#include "tst_discovery.moc"
