#include "tests/support/device_fixture.h"
#include "tests/support/hang_bound.h"
#include "tests/support/log_capture.h"
#include "platform/socket/posix_socket.h"
#include "settings/param_limits.h"

#include <QDir>
#include <QElapsedTimer>
#include <QLoggingCategory>
#include <QRegularExpression>
#include <QScopeGuard>
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

} // namespace

class TestMachineLink : public QObject
{
    Q_OBJECT

    DeviceFixture f;

    static qint64 timed(const std::function<void()> &work)
    {
        QElapsedTimer t;
        t.start();
        work();
        return t.elapsed();
    }
    // The number each log line so far says, of the lines pattern matches
    // (its one capture): what a wait used, not how long a loaded machine
    // took over it.
    static QList<int> logged(const char *pattern)
    {
        QList<int> numbers;
        QRegularExpressionMatchIterator it = QRegularExpression(QLatin1String(pattern)).globalMatch(LogCapture::all());
        while (it.hasNext())
            numbers << it.next().captured(1).toInt();
        return numbers;
    }
    static QList<int> replyWaitsRunOut() { return logged("TRV610Plus::sendCMD (\\d+) send no return"); }

private slots:
    void init()
    {
        // This suite keeps the TCP path: time-outs, drops and reconnects on a real socket.
        f.transport = DeviceFixture::Transport::Tcp;
        QVERIFY(f.setUp());
    }
    void cleanup() { f.tearDown(); }

    void linkRunsTheStartSequence()
    {
        QSignalSpy ipSpy(f.device.get(), &TRV610Plus::ipChanged);
        f.config->setCheckLight(30);
        f.config->setCheckBKLight(40);
        f.config->setMarkLight(50);
        f.device->setPort(f.sim->port());
        f.device->setIp(f.sim->address());
        QVERIFY(f.device->linked());
        QVERIFY(f.device->connected());
        QCOMPARE(ipSpy.count(), 1);
        const QList<QByteArray> expected{"CCMD;1,0,0,0,0,0;", "CCMD;18,0,0;", "CCMD;17;", "CCMD;10,0,0;",
                                         "CCMD;6,0,0,0;", "CCMD;7,0,0,0;", "CCMD;13,1,2,70,0,0;",
                                         "CCMD;13,1,1,40,0,0;", "CCMD;13,1,0,50,0,0;"};
        QCOMPARE(f.sim->receivedPayloads(), expected);
        // The same address again does nothing.
        f.device->setIp(f.sim->address());
        QCOMPARE(ipSpy.count(), 1);
        QCOMPARE(f.sim->acceptedConnections(), 1);
    }

    void unlinkedCommandsFailAtOnce()
    {
        // A reply wait would take seconds and say so in its log line:
        // failing at once is told apart from it however loaded the machine.
        f.config->setProperty(Config::CPT_wait_TcpRet_Msecs, 10000);
        LogCapture log;
        LogCapture::clear();
        QTest::ignoreMessage(QtCriticalMsg, QRegularExpression("TRV610Plus::sendCMD.*send failed, dislink"));
        bool ok = true;
        QVERIFY(timed([&] { ok = f.device->sendCMD(cmd("6,0,0,0;")); }) < kHangMs);
        QVERIFY(!ok);
        QVERIFY(replyWaitsRunOut().isEmpty());
        QCOMPARE(f.sim->acceptedConnections(), 0);
    }

    void failedConnectClearsTheAddress()
    {
        const quint16 deadPort = f.sim->port();
        f.sim.reset(); // nothing listens there now
        f.device->setPort(deadPort);
        QTest::ignoreMessage(QtCriticalMsg, QRegularExpression("TRV610Plus::link.*Connect failed"));
        f.device->setIp(QStringLiteral("127.0.0.1"));
        QCOMPARE(f.device->ip(), QString());
        QVERIFY(!f.device->connected());
    }

    void repliesWakeTheirOwnSender()
    {
        // Speed is answered only once pressure was, pressure at once: each
        // sender gets its own reply, pressure's before speed's. The longest
        // reply wait the settings take: speed's outlasts pressure's answer
        // many times over however loaded the machine.
        f.config->setProperty(Config::CPT_wait_TcpRet_Msecs, 10000);
        QVERIFY(f.link());
        f.sim->setReplyHandler(6, [](const QStringList &, SimMachineState &) { return SimReply{}; });
        auto speed = std::async(std::launch::async, [&] { return f.device->sendCMD(cmd("6,0,0,0;")); });
        QTRY_COMPARE_WITH_TIMEOUT(f.sim->commandCount(6), 1, kHangMs);
        bool pressure = false;
        QVERIFY(timed([&] { pressure = f.device->sendCMD(cmd("7,0,0,0;")); }) < kHangMs);
        QVERIFY(pressure);
        QCOMPARE(speed.wait_for(std::chrono::seconds(0)), std::future_status::timeout);
        f.sim->sendToAll(simReplyPayload(6, {"0", "0", "12"}));
        QCOMPARE(speed.wait_for(std::chrono::milliseconds(kHangMs)), std::future_status::ready);
        QVERIFY(speed.get());
    }

    void taskStatusRepliesWakeOnlyTheirKey()
    {
        QVERIFY(f.link());
        // The machine answers every command 12 with "paused".
        f.sim->setReplyHandler(12, [](const QStringList &, SimMachineState &) {
            return SimReply{{simReplyPayload(12, {"0"})}, 50};
        });
        auto stop = std::async(std::launch::async, [&] { return f.device->sendCMD(cmd("12,2;"), true, 100); });
        const bool pause = f.device->sendCMD(cmd("12,0;"), true, 101);
        QVERIFY(pause);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("TRV610Plus::sendCMD 500 send no return"));
        QVERIFY(!stop.get());
    }

    void replyTimeOuts()
    {
        f.config->setProperty(Config::CPT_wait_TcpRet_Msecs_Max, 2500);
        QVERIFY(f.link());
        f.sim->setFault(SimFault::NoReply);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("TRV610Plus::sendCMD 500 send no return"));
        bool ok = true;
        qint64 ms = timed([&] { ok = f.device->sendCMD(cmd("6,0,0,0;")); });
        QVERIFY(!ok);
        // The value each wait used is in its log line (the long one would
        // say 2500), so no upper bound a loaded machine could pass.
        QVERIFY2(ms >= 500, qPrintable(QString::number(ms)));

        // Moves and resets wait for the long time-out.
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("TRV610Plus::sendCMD 2500 send no return"));
        ms = timed([&] { ok = f.device->sendCMD(cmd("4,1,10,10;"), true, 10000); });
        QVERIFY(!ok);
        QVERIFY2(ms >= 2500 && ms < 2500 + kHangMs, qPrintable(QString::number(ms)));

        // A waiter keeps the time-out it was made with.
        f.config->setProperty(Config::CPT_wait_TcpRet_Msecs, 100);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("TRV610Plus::sendCMD 500 send no return"));
        QVERIFY(timed([&] { f.device->sendCMD(cmd("6,0,0,0;")); }) >= 500);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("TRV610Plus::sendCMD 100 send no return"));
        QVERIFY(timed([&] { f.device->sendCMD(cmd("21;")); }) < kHangMs);
    }

    void lateReplyIsLoggedAndTheLinkGoesOn()
    {
        // The first speed read is answered ("77") only after its time-out,
        // while the second is held back for that reply; the second is
        // answered ("33") at once. The test sends the late reply itself,
        // and a reply wait of seconds leaves it the whole grace to do so,
        // however loaded the machine.
        constexpr int replyWaitMs = 5000;
        f.config->setProperty(Config::CPT_wait_TcpRet_Msecs, replyWaitMs);
        QVERIFY(f.link());
        QLoggingCategory::setFilterRules(QStringLiteral("default.info=true\ndefault.debug=false"));
        LogCapture log;
        LogCapture::clear();
        std::atomic<int> reads{0};
        f.sim->setReplyHandler(6, [&reads](const QStringList &, SimMachineState &) {
            if (reads.fetch_add(1) == 0)
                return SimReply{};
            return SimReply{{simReplyPayload(6, {"0", "0", "33"})}, 0};
        });
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("send no return"));
        QVERIFY(!f.device->rSpeed());
        QCOMPARE(reads.load(), 1);
        auto second = std::async(std::launch::async, [&] { return f.device->rSpeed(); });
        QTRY_VERIFY_WITH_TIMEOUT(LogCapture::contains(QStringLiteral("for the reply owed on key 6")), kHangMs);
        f.sim->sendToAll(simReplyPayload(6, {"0", "0", "77"}));
        QCOMPARE(second.wait_for(std::chrono::milliseconds(kHangMs)), std::future_status::ready);
        QVERIFY(second.get());
        QCOMPARE(f.device->speed(), 33);
        QCOMPARE(reads.load(), 2);
        QVERIFY(LogCapture::contains(QStringLiteral("late reply dropped")));
        // Other keys never waited on the owed reply.
        QVERIFY(f.device->sendCMD(cmd("7,0,0,0;")));
    }

    void aSilentMachineCostsOneGracePeriod()
    {
        // The grace after a time-out is the reply wait again, during which
        // the machine's late reply would still be taken for the old command.
        constexpr int replyWaitMs = 2000;
        f.config->setProperty(Config::CPT_wait_TcpRet_Msecs, replyWaitMs);
        QVERIFY(f.link());
        // A held-back command says so in an info line, with how long it may be held.
        QLoggingCategory::setFilterRules(QStringLiteral("default.info=true\ndefault.debug=false"));
        LogCapture log;
        LogCapture::clear();
        const auto holds = [] { return logged("held back at most (\\d+) ms for the reply owed on key 6"); };
        f.sim->setFault(SimFault::NoReply);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("send no return"));
        QElapsedTimer sinceFirst;
        sinceFirst.start();
        QVERIFY(!f.device->sendCMD(cmd("6,0,0,0;")));
        f.sim->setFault(SimFault::None);
        // The next command on the key waits out the grace once, then gets its
        // own reply; no chain of time-outs follows. Told by what the waits
        // were, not by how long a loaded machine took over them.
        QVERIFY(f.device->sendCMD(cmd("6,0,0,0;")));
        // The first command's wait and the grace after it, both whole,
        // however late the test came to send again.
        QVERIFY2(sinceFirst.elapsed() >= 2 * replyWaitMs - 100, qPrintable(QString::number(sinceFirst.elapsed())));
        const QList<int> held = holds();
        QCOMPARE(held.size(), 1);
        QVERIFY2(held.first() <= replyWaitMs, qPrintable(QString::number(held.first())));
        QVERIFY(f.device->sendCMD(cmd("6,0,0,0;")));
        QCOMPARE(holds().size(), 1);
        QCOMPARE(replyWaitsRunOut(), QList<int>{replyWaitMs});
    }

    void garbageAndOneByteSegmentsStillDecode()
    {
        QVERIFY(f.link());
        f.sim->setFault(SimFault::Garbage);
        QVERIFY(f.device->sendCMD(cmd("6,0,0,0;")));
        QVERIFY(f.device->sendCMD(cmd("18,0,0;")));
        f.sim->setFault(SimFault::SplitBytes);
        QVERIFY(f.device->sendCMD(cmd("1,0,0,0,0,0;")));
        QVERIFY(f.device->sendCMD(cmd("20,1,3,0,0,0;"), true, 105));
    }

    void floodIsDroppedAndTheNextFrameDecoded()
    {
        QVERIFY(f.link());
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("TRV610Plus::readData unterminated data dropped"));
        f.sim->sendRawToAll(QByteArray(100 * 1024, 'x'));
        QVERIFY(f.device->sendCMD(cmd("6,0,0,0;")));
    }

    // Half a reply from a dropped connection and the other half as the first
    // bytes of the next one must never make a reply. A raw peer stands in for
    // the machine, so nothing else arrives between the two halves.
    void aNewConnectionStartsWithAnEmptyReceiveBuffer()
    {
        f.config->setProperty(Config::CPT_wait_TcpRet_Msecs, 50); // the start sequence goes unanswered
        const int listenFd = PosixSocket::listenTcp(QStringLiteral("127.0.0.1"), 0, nullptr);
        QVERIFY(listenFd >= 0);
        f.device->setPort(PosixSocket::localPort(listenFd));
        const QByteArray reply = MachineFrame::wrap("CMD;6,0,0,0,10;");
        const auto connectPeer = [&] {
            int peer = -1;
            std::thread acceptor([&] { peer = PosixSocket::acceptTcp(listenFd, kHangMs); });
            f.device->setIp(QStringLiteral("127.0.0.1"));
            acceptor.join();
            return peer;
        };
        // Every unanswered start command logs; those lines are not what this tests.
        const QtMessageHandler previous = qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
        const auto restore = qScopeGuard([previous] { qInstallMessageHandler(previous); });

        const int first = connectPeer();
        QVERIFY(first >= 0);
        QVERIFY(f.device->linked());
        QCOMPARE(PosixSocket::sendAll(first, reply.constData(), 9, kHangMs), qsizetype(9));
        PosixSocket::shutdownBoth(first);
        QTRY_COMPARE_WITH_TIMEOUT(f.device->ip(), QString(), kHangMs);

        const int second = connectPeer();
        QVERIFY(second >= 0);
        QVERIFY(f.device->linked());
        std::future<bool> sent = std::async(std::launch::async, [&] { return f.device->sendCMD(cmd("6,0,0,0;")); });
        QByteArray seen;
        const auto commandSeen = [&] {
            char buffer[4096];
            while (PosixSocket::waitReadable(second, 0)) {
                const qsizetype n = PosixSocket::receive(second, buffer, sizeof buffer);
                if (n <= 0)
                    break;
                seen.append(buffer, n);
            }
            return seen.contains("CCMD;6,0,0,0;");
        };
        QTRY_VERIFY_WITH_TIMEOUT(commandSeen(), kHangMs);
        QCOMPARE(PosixSocket::sendAll(second, reply.constData() + 9, reply.size() - 9, kHangMs), reply.size() - 9);
        QVERIFY(!sent.get());
        f.device->setIp(QString());
        PosixSocket::closeFd(first);
        PosixSocket::closeFd(second);
        PosixSocket::closeFd(listenFd);
    }

    void droppedLinkFailsThePendingCommand()
    {
        QVERIFY(f.link());
        QSignalSpy ipSpy(f.device.get(), &TRV610Plus::ipChanged);
        f.sim->setFault(SimFault::DropConnection);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("send no return"));
        bool ok = true;
        const qint64 ms = timed([&] { ok = f.device->sendCMD(cmd("6,0,0,0;")); });
        QVERIFY(!ok);
        QVERIFY(ms >= 500);
        QTRY_COMPARE_WITH_TIMEOUT(f.device->ip(), QString(), kHangMs);
        QVERIFY(!f.device->connected());
        QVERIFY(!f.device->linked());
        QTRY_COMPARE_WITH_TIMEOUT(ipSpy.count(), 1, kHangMs);
        QTest::ignoreMessage(QtCriticalMsg, QRegularExpression("send failed, dislink"));
        QVERIFY(!f.device->sendCMD(cmd("6,0,0,0;")));
    }

    void newAddressRelinksAndIdentForgetsIt()
    {
        QVERIFY(f.link());
        MachineSimulator second(DeviceFixture::quietOptions(QStringLiteral("127.0.0.2"), f.sim->port()));
        if (!second.start())
            QSKIP("127.0.0.2 not usable here");
        f.device->setIp(second.address());
        QVERIFY(f.device->linked());
        QCOMPARE(second.commandCount(1), 1); // start sequence replayed there
        QTRY_COMPARE_WITH_TIMEOUT(f.sim->activeConnections(), 0, kHangMs); // the old one is closed

        QSignalSpy ipSpy(f.device.get(), &TRV610Plus::ipChanged);
        QSignalSpy identSpy(f.device.get(), &TRV610Plus::identChanged);
        f.device->setIdent(QStringLiteral("AB07X3Q9"));
        QCOMPARE(identSpy.count(), 1);
        QCOMPARE(ipSpy.count(), 0);
        QCOMPARE(f.device->ip(), QString());
        QVERIFY(!f.device->connected());
        QTRY_COMPARE_WITH_TIMEOUT(second.activeConnections(), 0, kHangMs);

        // An empty address only drops.
        QVERIFY(f.link());
        f.device->setIp(QString());
        QVERIFY(!f.device->connected());
        QCOMPARE(f.sim->commandCount(1), 0);
    }

    void shutdownStopsTheMotorsFirst()
    {
        f.config->setTrim(true);
        QVERIFY(f.link());
        f.device->unInit();
        const QList<QByteArray> expected{"CCMD;20,1,1,0,0,0;", "CCMD;20,1,0,0,0,0;", "CCMD;20,1,3,0,0,0;",
                                         "CCMD;20,1,4,0,0,0;"};
        QCOMPARE(f.sim->receivedPayloads(), expected);
        QVERIFY(!f.device->connected());
        QTRY_COMPARE_WITH_TIMEOUT(f.sim->activeConnections(), 0, kHangMs);
        f.sim->clearReceived();
        f.device->unInit(); // not linked: nothing sent
        QVERIFY(f.sim->receivedPayloads().isEmpty());
    }

    void shutdownIsBoundedWithAMuteMachine()
    {
        QVERIFY(f.link());
        f.sim->setFault(SimFault::NoReply);
        LogCapture log;
        LogCapture::clear();
        for (int i = 0; i < 3; ++i)
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression("send no return"));
        // Three motor stops at 500 ms each, then the socket closes: told by
        // the waits' own log lines, not by how long a loaded machine took.
        QVERIFY(timed([&] { f.device->unInit(); }) < kHangMs);
        QCOMPARE(replyWaitsRunOut(), (QList<int>{500, 500, 500}));
        QVERIFY(!f.device->connected());
    }

    // Reply waits from a config.ini with values beyond their range: the
    // defaults apply, so shut-down against a silent machine stays bounded.
    void outOfRangeWaitsFromTheIniStayBounded()
    {
        QTemporaryDir dir;
        QFile ini(dir.filePath(QStringLiteral("config.ini")));
        QVERIFY(ini.open(QIODevice::WriteOnly));
        ini.write("[Spoolsmith]\nwaitTcpRet=30000\nwaitTcpRetMax=2147483648\n");
        ini.close();
        Config fromIni(dir.path(), dir.filePath(QStringLiteral("config.db")));
        Config::setInstance(&fromIni);
        QVERIFY(f.link());
        f.sim->setFault(SimFault::NoReply);
        LogCapture log;
        LogCapture::clear();
        for (int i = 0; i < 3; ++i)
            QTest::ignoreMessage(QtWarningMsg, QRegularExpression("send no return"));
        f.device->unInit();
        Config::setInstance(f.config.get());
        // Three default waits; the ini's would take minutes, three of the
        // longest wait the settings take (below the ini's) would not. Each
        // wait's log line says what it used.
        const std::optional<ParamLimits::Range> wait = ParamLimits::rangeOf(QStringLiteral("Spoolsmith/waitTcpRet"));
        QVERIFY(wait && wait->max < 30000);
        const QList<int> waits = replyWaitsRunOut();
        QCOMPARE(waits.size(), 3);
        for (const int ms : waits)
            QVERIFY2(ms <= wait->max, qPrintable(QString::number(ms)));
    }

    void firmwareUploadAndProgress()
    {
        QVERIFY(f.link());
        QByteArray file(100 * 1024, '\0');
        for (int i = 0; i < file.size(); ++i)
            file[i] = char(i * 7); // 0x02 and 0x03 included
        const QByteArray frame = TRV610Plus::packRawFrame("UPG;2;" + file);
        QCOMPARE(frame.size(), file.size() + 15);
        f.device->sendAsync(frame);
        QTRY_COMPARE_WITH_TIMEOUT(f.device->updateProgress(), 100.0f, kHangMs);
        QCOMPARE(f.sim->state().firmwareModule, 2);
        QCOMPARE(f.sim->state().firmwareFile, file);

        f.sim->sendToAll("UPG;1,0,42.5;");
        QTRY_COMPARE_WITH_TIMEOUT(f.device->updateProgress(), 42.5f, kHangMs);
        f.sim->sendToAll("UPG;1,1,60;");
        QVERIFY(f.device->sendCMD(cmd("3;")));
        QCOMPARE(f.device->updateProgress(), 42.5f);
    }

    void packageSizeBelowOneSendsAnyway()
    {
        f.config->setProperty(Config::CPT_Package_size, 0);
        QVERIFY(f.link());
        QVERIFY(f.device->sendCMD(TRV610Plus::packFrame("CCMD", "22," + QString(3000, '1') + ";")));
    }

    void stalledLargeSendRefusesOthersAndDropsTheLink()
    {
        // A peer that accepts and never reads: the upload stalls part-way.
        f.config->setProperty(Config::CPT_wait_TcpRet_Msecs, 20);
        const int listenFd = PosixSocket::listenTcp(QStringLiteral("127.0.0.1"), 0, nullptr);
        QVERIFY(listenFd >= 0);
        int peer = -1;
        std::thread acceptor([&] { peer = PosixSocket::acceptTcp(listenFd, kHangMs); });
        f.device->setPort(PosixSocket::localPort(listenFd));
        f.device->setIp(QStringLiteral("127.0.0.1"));
        acceptor.join();
        QVERIFY(peer >= 0);
        QVERIFY(f.device->linked());

        LogCapture log;
        LogCapture::clear();
        QTest::ignoreMessage(QtCriticalMsg, QRegularExpression("TRV610Plus::sendMsg send failed: "));
        QTest::ignoreMessage(QtCriticalMsg, QRegularExpression("TRV610Plus::sendMsg frame cut after"));
        f.device->sendAsync(TRV610Plus::packRawFrame("UPG;1;" + QByteArray(64 * 1024 * 1024, 'f')));
        // While it is on its way every other send is turned away at once:
        // before the stalled frame is given up, which a send queued behind
        // it would wait for, however loaded the machine.
        const auto refusedAtOnce = [&] {
            const bool sent = f.device->sendCMD(cmd("3;"), false);
            return !sent && !LogCapture::contains(QStringLiteral("frame cut after")) && f.device->connected();
        };
        QTRY_VERIFY_WITH_TIMEOUT(refusedAtOnce(), kHangMs);
        // The frame cannot be finished, so the link goes rather than half a frame staying.
        QTRY_COMPARE_WITH_TIMEOUT(f.device->ip(), QString(), kHangMs);
        QVERIFY(!f.device->connected());
        PosixSocket::closeFd(peer);
        PosixSocket::closeFd(listenFd);
    }

    void reconnectCyclesLeakNothing()
    {
        // One cycle first, so lazily made threads and sockets are counted.
        // Counted linked: a link joins what the cycle before left (the
        // driver's receive thread; the simulator reaps its ended side when it
        // accepts the next).
        QVERIFY(f.link());
        f.sim->dropConnections();
        QTRY_COMPARE_WITH_TIMEOUT(f.device->ip(), QString(), kHangMs);
        QTRY_COMPARE_WITH_TIMEOUT(f.sim->activeConnections(), 0, kHangMs);
        QVERIFY(f.link());
        const int fds = entries("/proc/self/fd");
        const int threads = entries("/proc/self/task");
        for (int i = 0; i < 50; ++i) {
            f.sim->dropConnections();
            QTRY_COMPARE_WITH_TIMEOUT(f.device->ip(), QString(), kHangMs);
            QVERIFY(f.link());
        }
        QTRY_VERIFY2_WITH_TIMEOUT(entries("/proc/self/fd") <= fds,
                                  qPrintable(QString("fds %1 -> %2").arg(fds).arg(entries("/proc/self/fd"))), kHangMs);
        QTRY_VERIFY2_WITH_TIMEOUT(entries("/proc/self/task") <= threads,
                                  qPrintable(QString("threads %1 -> %2").arg(threads).arg(entries("/proc/self/task"))),
                                  kHangMs);
        QCOMPARE(f.sim->acceptedConnections(), 52);
    }

    void announcesOnLoopbackOnly()
    {
        QUdpSocket listener;
        QVERIFY(listener.bind(QHostAddress::LocalHost, 0));
        MachineSimulator::Options o = DeviceFixture::quietOptions();
        o.announce = true;
        o.announcePort = listener.localPort();
        o.announceIntervalMs = 100;
        o.ident = QStringLiteral("AB07X4Z1");
        MachineSimulator sim(o);
        QVERIFY(sim.start());
        QTRY_VERIFY_WITH_TIMEOUT(listener.hasPendingDatagrams(), kHangMs);
        const QNetworkDatagram d = listener.receiveDatagram();
        QCOMPARE(d.data(), QByteArray("DISA;AB07X4Z1\x03"));
        QCOMPARE(d.senderAddress().toIPv4Address(), QHostAddress(QHostAddress::LocalHost).toIPv4Address());

        // A simulator serving another loopback address announces from it.
        o.address = QStringLiteral("127.0.0.3");
        MachineSimulator other(o);
        if (!other.start())
            QSKIP("127.0.0.3 not usable here");
        bool fromOther = false;
        const auto drain = [&] {
            while (listener.hasPendingDatagrams())
                fromOther |= listener.receiveDatagram().senderAddress() == QHostAddress(QStringLiteral("127.0.0.3"));
            return fromOther;
        };
        QTRY_VERIFY_WITH_TIMEOUT(drain(), kHangMs);
    }
};

QTEST_GUILESS_MAIN(TestMachineLink)
#include "tst_machine_link.moc"
