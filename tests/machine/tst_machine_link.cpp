#include "config.h"
#include "machine_simulator.h"
#include "posix_socket.h"
#include "trv610plus.h"

#include <QDir>
#include <QElapsedTimer>
#include <QLoggingCategory>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QNetworkDatagram>
#include <QUdpSocket>

#include <future>
#include <memory>
#include <thread>

namespace {

QByteArray cmd(const char *body)
{
    return TRV610Plus::packFrame(QStringLiteral("CCMD"), QString::fromLatin1(body));
}

int entries(const char *dir)
{
    return int(QDir(QString::fromLatin1(dir)).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System).size());
}

MachineSimulator::Options quietOptions(const QString &address = QStringLiteral("127.0.0.1"), quint16 port = 0)
{
    MachineSimulator::Options o;
    o.address = address;
    o.port = port;
    o.announce = false;
    return o;
}

} // namespace

class TestMachineLink : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<Config> m_config;
    std::unique_ptr<MachineSimulator> m_sim;
    std::unique_ptr<TRV610Plus> m_device;

    // Links the driver to the simulator and clears what the start sequence left.
    bool linkUp()
    {
        m_device->setPort(m_sim->port());
        m_device->setIp(m_sim->address());
        if (!m_device->linked())
            return false;
        m_sim->clearReceived();
        return true;
    }
    static qint64 timed(const std::function<void()> &f)
    {
        QElapsedTimer t;
        t.start();
        f();
        return t.elapsed();
    }

private slots:
    void initTestCase()
    {
        QLoggingCategory::setFilterRules(QStringLiteral("default.info=false\ndefault.debug=false"));
    }
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_config = std::make_unique<Config>(m_dir->path());
        Config::setInstance(m_config.get());
        m_sim = std::make_unique<MachineSimulator>(quietOptions());
        QVERIFY(m_sim->start());
        m_device = std::make_unique<TRV610Plus>();
    }
    void cleanup()
    {
        if (m_sim)
            m_sim->setFault(SimFault::None);
        m_device.reset();
        m_sim.reset();
        Config::setInstance(nullptr);
        m_config.reset();
    }

    void linkRunsTheStartSequence()
    {
        QSignalSpy ipSpy(m_device.get(), &TRV610Plus::ipChanged);
        m_config->setCheckLight(30);
        m_config->setCheckBKLight(40);
        m_config->setMarkLight(50);
        m_device->setPort(m_sim->port());
        m_device->setIp(m_sim->address());
        QVERIFY(m_device->linked());
        QVERIFY(m_device->connected());
        QCOMPARE(ipSpy.count(), 1);
        const QList<QByteArray> expected{"CCMD;1,0,0,0,0,0;", "CCMD;18,0,0;", "CCMD;17;", "CCMD;10,0,0;",
                                         "CCMD;6,0,0,0;", "CCMD;7,0,0,0;", "CCMD;13,1,2,70,0,0;",
                                         "CCMD;13,1,1,40,0,0;", "CCMD;13,1,0,50,0,0;"};
        QCOMPARE(m_sim->receivedPayloads(), expected);
        // The same address again does nothing.
        m_device->setIp(m_sim->address());
        QCOMPARE(ipSpy.count(), 1);
        QCOMPARE(m_sim->acceptedConnections(), 1);
    }

    void unlinkedCommandsFailAtOnce()
    {
        QTest::ignoreMessage(QtCriticalMsg, QRegularExpression("TRV610Plus::sendCMD.*send failed, dislink"));
        bool ok = true;
        QVERIFY(timed([&] { ok = m_device->sendCMD(cmd("6,0,0,0;")); }) < 100);
        QVERIFY(!ok);
        QCOMPARE(m_sim->acceptedConnections(), 0);
    }

    void failedConnectClearsTheAddress()
    {
        const quint16 deadPort = m_sim->port();
        m_sim.reset(); // nothing listens there now
        m_device->setPort(deadPort);
        QTest::ignoreMessage(QtCriticalMsg, QRegularExpression("TRV610Plus::link.*Connect failed"));
        m_device->setIp(QStringLiteral("127.0.0.1"));
        QCOMPARE(m_device->ip(), QString());
        QVERIFY(!m_device->connected());
    }

    void repliesWakeTheirOwnSender()
    {
        QVERIFY(linkUp());
        // Speed answers late, pressure at once: each sender gets its own reply.
        m_sim->setReplyHandler(6, [](const QStringList &, SimMachineState &) {
            return SimReply{{simReplyPayload(6, {"0", "0", "12"})}, 300};
        });
        auto speed = std::async(std::launch::async, [&] { return m_device->sendCMD(cmd("6,0,0,0;")); });
        QTRY_COMPARE_WITH_TIMEOUT(m_sim->commandCount(6), 1, 2000);
        bool pressure = false;
        QVERIFY(timed([&] { pressure = m_device->sendCMD(cmd("7,0,0,0;")); }) < 250);
        QVERIFY(pressure);
        QCOMPARE(speed.wait_for(std::chrono::seconds(0)), std::future_status::timeout);
        QVERIFY(speed.get());
    }

    void taskStatusRepliesWakeOnlyTheirKey()
    {
        QVERIFY(linkUp());
        // The machine answers every command 12 with "paused".
        m_sim->setReplyHandler(12, [](const QStringList &, SimMachineState &) {
            return SimReply{{simReplyPayload(12, {"0"})}, 50};
        });
        auto stop = std::async(std::launch::async, [&] { return m_device->sendCMD(cmd("12,2;"), true, 100); });
        const bool pause = m_device->sendCMD(cmd("12,0;"), true, 101);
        QVERIFY(pause);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("TRV610Plus::sendCMD 500 send no return"));
        QVERIFY(!stop.get());
    }

    void replyTimeOuts()
    {
        m_config->setProperty(Config::CPT_wait_TcpRet_Msecs_Max, 2500);
        QVERIFY(linkUp());
        m_sim->setFault(SimFault::NoReply);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("TRV610Plus::sendCMD 500 send no return"));
        bool ok = true;
        qint64 ms = timed([&] { ok = m_device->sendCMD(cmd("6,0,0,0;")); });
        QVERIFY(!ok);
        QVERIFY2(ms >= 500 && ms < 1500, qPrintable(QString::number(ms)));

        // Moves and resets wait for the long time-out.
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("TRV610Plus::sendCMD 2500 send no return"));
        ms = timed([&] { ok = m_device->sendCMD(cmd("4,1,10,10;"), true, 10000); });
        QVERIFY(!ok);
        QVERIFY2(ms >= 2500 && ms < 4000, qPrintable(QString::number(ms)));

        // A waiter keeps the time-out it was made with.
        m_config->setProperty(Config::CPT_wait_TcpRet_Msecs, 100);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("TRV610Plus::sendCMD 500 send no return"));
        QVERIFY(timed([&] { m_device->sendCMD(cmd("6,0,0,0;")); }) >= 500);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("TRV610Plus::sendCMD 100 send no return"));
        QVERIFY(timed([&] { m_device->sendCMD(cmd("21;")); }) < 400);
    }

    void lateReplyIsLoggedAndTheLinkGoesOn()
    {
        QVERIFY(linkUp());
        m_sim->setLateReplyMs(700);
        m_sim->setFault(SimFault::LateReply);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("send no return"));
        QVERIFY(!m_device->sendCMD(cmd("6,0,0,0;")));
        m_sim->setFault(SimFault::None);
        QTRY_VERIFY_WITH_TIMEOUT(m_sim->receivedPayloads().size() == 1, 1000);
        QTest::qWait(400); // let the late answer arrive
        QVERIFY(m_device->sendCMD(cmd("7,0,0,0;")));
    }

    void garbageAndOneByteSegmentsStillDecode()
    {
        QVERIFY(linkUp());
        m_sim->setFault(SimFault::Garbage);
        QVERIFY(m_device->sendCMD(cmd("6,0,0,0;")));
        QVERIFY(m_device->sendCMD(cmd("18,0,0;")));
        m_sim->setFault(SimFault::SplitBytes);
        QVERIFY(m_device->sendCMD(cmd("1,0,0,0,0,0;")));
        QVERIFY(m_device->sendCMD(cmd("20,1,3,0,0,0;"), true, 105));
    }

    void floodIsDroppedAndTheNextFrameDecoded()
    {
        QVERIFY(linkUp());
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("TRV610Plus::readData unterminated data dropped"));
        m_sim->sendRawToAll(QByteArray(100 * 1024, 'x'));
        QVERIFY(m_device->sendCMD(cmd("6,0,0,0;")));
    }

    void droppedLinkFailsThePendingCommand()
    {
        QVERIFY(linkUp());
        QSignalSpy ipSpy(m_device.get(), &TRV610Plus::ipChanged);
        m_sim->setFault(SimFault::DropConnection);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("send no return"));
        bool ok = true;
        const qint64 ms = timed([&] { ok = m_device->sendCMD(cmd("6,0,0,0;")); });
        QVERIFY(!ok);
        QVERIFY(ms >= 500);
        QTRY_COMPARE(m_device->ip(), QString());
        QVERIFY(!m_device->connected());
        QVERIFY(!m_device->linked());
        QTRY_COMPARE(ipSpy.count(), 1);
        QTest::ignoreMessage(QtCriticalMsg, QRegularExpression("send failed, dislink"));
        QVERIFY(!m_device->sendCMD(cmd("6,0,0,0;")));
    }

    void newAddressRelinksAndIdentForgetsIt()
    {
        QVERIFY(linkUp());
        MachineSimulator second(quietOptions(QStringLiteral("127.0.0.2"), m_sim->port()));
        if (!second.start())
            QSKIP("127.0.0.2 not usable here");
        m_device->setIp(second.address());
        QVERIFY(m_device->linked());
        QCOMPARE(second.commandCount(1), 1); // start sequence replayed there
        QTRY_COMPARE(m_sim->activeConnections(), 0); // the old one is closed

        QSignalSpy ipSpy(m_device.get(), &TRV610Plus::ipChanged);
        QSignalSpy identSpy(m_device.get(), &TRV610Plus::identChanged);
        m_device->setIdent(QStringLiteral("AB07X3Q9"));
        QCOMPARE(identSpy.count(), 1);
        QCOMPARE(ipSpy.count(), 0);
        QCOMPARE(m_device->ip(), QString());
        QVERIFY(!m_device->connected());
        QTRY_COMPARE(second.activeConnections(), 0);

        // An empty address only drops.
        QVERIFY(linkUp());
        m_device->setIp(QString());
        QVERIFY(!m_device->connected());
        QCOMPARE(m_sim->commandCount(1), 0);
    }

    void shutdownStopsTheMotorsFirst()
    {
        m_config->setTrim(true);
        QVERIFY(linkUp());
        m_device->unInit();
        const QList<QByteArray> expected{"CCMD;20,1,1,0,0,0;", "CCMD;20,1,0,0,0,0;", "CCMD;20,1,3,0,0,0;",
                                         "CCMD;20,1,4,0,0,0;"};
        QCOMPARE(m_sim->receivedPayloads(), expected);
        QVERIFY(!m_device->connected());
        QTRY_COMPARE(m_sim->activeConnections(), 0);
        m_sim->clearReceived();
        m_device->unInit(); // not linked: nothing sent
        QVERIFY(m_sim->receivedPayloads().isEmpty());
    }

    void shutdownIsBoundedWithAMuteMachine()
    {
        QVERIFY(linkUp());
        m_sim->setFault(SimFault::NoReply);
        for (int i = 0; i < 3; ++i)
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression("send no return"));
        // Three motor stops at 500 ms each, then the socket closes.
        QVERIFY(timed([&] { m_device->unInit(); }) < 3000);
        QVERIFY(!m_device->connected());
    }

    void firmwareUploadAndProgress()
    {
        QVERIFY(linkUp());
        QByteArray file(100 * 1024, '\0');
        for (int i = 0; i < file.size(); ++i)
            file[i] = char(i * 7); // 0x02 and 0x03 included
        const QByteArray frame = TRV610Plus::packRawFrame("UPG;2;" + file);
        QCOMPARE(frame.size(), file.size() + 15);
        m_device->sendAsync(frame);
        QTRY_COMPARE(m_device->updateProgress(), 100.0f);
        QCOMPARE(m_sim->state().firmwareModule, 2);
        QCOMPARE(m_sim->state().firmwareFile, file);

        m_sim->sendToAll("UPG;1,0,42.5;");
        QTRY_COMPARE(m_device->updateProgress(), 42.5f);
        m_sim->sendToAll("UPG;1,1,60;");
        QVERIFY(m_device->sendCMD(cmd("3;")));
        QCOMPARE(m_device->updateProgress(), 42.5f);
    }

    void packageSizeBelowOneSendsAnyway()
    {
        m_config->setProperty(Config::CPT_Package_size, 0);
        QVERIFY(linkUp());
        QVERIFY(m_device->sendCMD(TRV610Plus::packFrame("CCMD", "22," + QString(3000, '1') + ";")));
    }

    void stalledLargeSendRefusesOthersAndDropsTheLink()
    {
        // A peer that accepts and never reads: the upload stalls part-way.
        m_config->setProperty(Config::CPT_wait_TcpRet_Msecs, 20);
        const int listenFd = PosixSocket::listenTcp(QStringLiteral("127.0.0.1"), 0, nullptr);
        QVERIFY(listenFd >= 0);
        int peer = -1;
        std::thread acceptor([&] { peer = PosixSocket::acceptTcp(listenFd, 5000); });
        m_device->setPort(PosixSocket::localPort(listenFd));
        m_device->setIp(QStringLiteral("127.0.0.1"));
        acceptor.join();
        QVERIFY(peer >= 0);
        QVERIFY(m_device->linked());

        QTest::ignoreMessage(QtCriticalMsg, QRegularExpression("TRV610Plus::sendMsg send failed: "));
        QTest::ignoreMessage(QtCriticalMsg, QRegularExpression("TRV610Plus::sendMsg frame cut after"));
        m_device->sendAsync(TRV610Plus::packRawFrame("UPG;1;" + QByteArray(64 * 1024 * 1024, 'f')));
        // While it is on its way every other send is turned away at once.
        const auto refusedAtOnce = [&] {
            bool sent = true;
            return timed([&] { sent = m_device->sendCMD(cmd("3;"), false); }) < 20 && !sent && m_device->connected();
        };
        QTRY_VERIFY(refusedAtOnce());
        // The frame cannot be finished, so the link goes rather than half a frame staying.
        QTRY_COMPARE_WITH_TIMEOUT(m_device->ip(), QString(), 20000);
        QVERIFY(!m_device->connected());
        PosixSocket::closeFd(peer);
        PosixSocket::closeFd(listenFd);
    }

    void reconnectCyclesLeakNothing()
    {
        // One cycle first, so lazily made threads and sockets are counted.
        QVERIFY(linkUp());
        m_sim->dropConnections();
        QTRY_COMPARE(m_device->ip(), QString());
        QTRY_COMPARE(m_sim->activeConnections(), 0);
        QTest::qWait(50);
        const int fds = entries("/proc/self/fd");
        const int threads = entries("/proc/self/task");
        for (int i = 0; i < 50; ++i) {
            QVERIFY(linkUp());
            m_sim->dropConnections();
            QTRY_COMPARE(m_device->ip(), QString());
        }
        QTRY_COMPARE(m_sim->activeConnections(), 0);
        QTRY_VERIFY2(entries("/proc/self/fd") <= fds, qPrintable(QString("fds %1 -> %2").arg(fds).arg(entries("/proc/self/fd"))));
        QTRY_VERIFY2(entries("/proc/self/task") <= threads,
                     qPrintable(QString("threads %1 -> %2").arg(threads).arg(entries("/proc/self/task"))));
        QCOMPARE(m_sim->acceptedConnections(), 51);
    }

    void announcesOnLoopbackOnly()
    {
        QUdpSocket listener;
        QVERIFY(listener.bind(QHostAddress::LocalHost, 0));
        MachineSimulator::Options o = quietOptions();
        o.announce = true;
        o.announcePort = listener.localPort();
        o.announceIntervalMs = 100;
        o.ident = QStringLiteral("AB07X4Z1");
        MachineSimulator sim(o);
        QVERIFY(sim.start());
        QTRY_VERIFY(listener.hasPendingDatagrams());
        const QNetworkDatagram d = listener.receiveDatagram();
        QCOMPARE(d.data(), QByteArray("DISA;AB07X4Z1\x03"));
        QCOMPARE(d.senderAddress().toIPv4Address(), QHostAddress(QHostAddress::LocalHost).toIPv4Address());
    }
};

QTEST_GUILESS_MAIN(TestMachineLink)
#include "tst_machine_link.moc"
