// The link start sequence and the firmware upload against the simulator.
#include "tests/support/device_fixture.h"
#include "tests/support/hang_bound.h"
#include "tests/support/log_capture.h"
#include "platform/socket/posix_socket.h"

#include <QDir>
#include <QElapsedTimer>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTest>

#include <atomic>
#include <future>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <thread>

namespace {
QByteArray firmwareFile(int size)
{
    QByteArray file(size, '\0');
    for (int i = 0; i < file.size(); ++i)
        file[i] = char(i * 7); // 0x02 and 0x03 included
    return file;
}

// A peer that accepts one connection and reads nothing until told to.
struct SilentPeer
{
    int listenFd = -1;
    int fd = -1;
    std::thread acceptor;
    bool start()
    {
        listenFd = PosixSocket::listenTcp(QStringLiteral("127.0.0.1"), 0, nullptr);
        if (listenFd < 0)
            return false;
        acceptor = std::thread([this] { fd = PosixSocket::acceptTcp(listenFd, kHangMs); });
        return true;
    }
    quint16 port() const { return PosixSocket::localPort(listenFd); }
    void waitAccepted() { acceptor.join(); }
    ~SilentPeer()
    {
        if (acceptor.joinable())
            acceptor.join();
        PosixSocket::closeFd(fd);
        PosixSocket::closeFd(listenFd);
    }
};
} // namespace

class TestStartAndUpload : public QObject
{
    Q_OBJECT
    DeviceFixture f;

    // The driver connected to a peer that never answers, with a short
    // reply wait so the start sequence passes quickly. A send the peer
    // stalls waits as long as a hang: whatever returns sooner did not wait
    // for it, however loaded the machine.
    bool connectToSilentPeer(SilentPeer &peer)
    {
        if (!peer.start())
            return false;
        // The silent peer is a real socket: these cases drive the TCP link.
        f.transport = DeviceFixture::Transport::Tcp;
        f.tcpSendTimeoutMs = int(kHangMs);
        f.makeDevice();
        f.config->setProperty(Config::CPT_wait_TcpRet_Msecs, 50);
        f.device->setPort(peer.port());
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("send no return"));
        f.device->setIp(QStringLiteral("127.0.0.1"));
        peer.waitAccepted();
        return true;
    }

private slots:
    void init()
    {
        f.transport = DeviceFixture::Transport::InProcess;
        QVERIFY(f.setUp());
    }
    void cleanup() { f.tearDown(); }

    void startSequenceInOrderEachAfterItsReply()
    {
        f.config->setCheckLight(30);
        f.config->setCheckBKLight(40);
        f.config->setMarkLight(50);
        const QMap<int, SimHandler> table = defaultReplyTable();
        f.sim->setReplyHandler(1, [table](const QStringList &a, SimMachineState &s) {
            SimReply r = table[1](a, s);
            r.delayMs = 200;
            return r;
        });
        // The rollers are not answered: the next command waits for the time-out.
        f.sim->setReplyHandler(18, [](const QStringList &, SimMachineState &) { return SimReply{}; });
        int seenAtLinked = -1;
        // Scoped to this case: the driver signals again when it is torn down.
        QObject watch;
        connect(f.device.get(), &TRV610Plus::linkedChanged, &watch,
                [&] { seenAtLinked = f.sim->receivedPayloads().size(); }, Qt::DirectConnection);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("send no return"));
        f.device->setPort(f.sim->port());
        f.device->setIp(f.sim->address());
        QVERIFY(f.device->linked());
        const QList<QByteArray> expected{"CCMD;1,0,0,0,0,0;", "CCMD;18,0,0;", "CCMD;17;", "CCMD;10,0,0;",
                                         "CCMD;6,0,0,0;", "CCMD;7,0,0,0;", "CCMD;13,1,2,70,0,0;",
                                         "CCMD;13,1,1,40,0,0;", "CCMD;13,1,0,50,0,0;"};
        QCOMPARE(f.sim->receivedPayloads(), expected);
        QCOMPARE(seenAtLinked, expected.size());
        // Timed as the driver began each write: the reply delay starts after
        // the write of 1 began and the reply wait after the write of 18 ended,
        // so however loaded the machine, each wait shows whole.
        const auto msBetween = [&](const QByteArray &from, const QByteArray &to) {
            return std::chrono::duration_cast<std::chrono::milliseconds>(f.writtenAt(to).value(0)
                                                                         - f.writtenAt(from).value(0))
                .count();
        };
        const qint64 replyDelay = msBetween("CCMD;1,0,0,0,0,0;", "CCMD;18,0,0;");
        const qint64 replyWait = msBetween("CCMD;18,0,0;", "CCMD;17;");
        QVERIFY2(replyDelay >= 200, qPrintable(QString::number(replyDelay)));
        QVERIFY2(replyWait >= 500, qPrintable(QString::number(replyWait)));
        QCOMPARE(f.device->firmware(), QStringLiteral("1.0.0"));
    }

    void firmwareGoesOutAsOneFrameInPackets()
    {
        QVERIFY(f.link());
        QSignalSpy index(f.device.get(), &TRV610Plus::indexChanged);
        const QByteArray file = firmwareFile(100 * 1024);
        const quint64 before = f.device->packetsSent();
        f.device->slotUpgrade(2, file, {});
        QTRY_COMPARE_WITH_TIMEOUT(f.device->updateProgress(), 100.0f, kHangMs);
        QVERIFY(!f.device->uploadInProgress());
        QCOMPARE(index.count(), 0); // already 2
        QCOMPARE(f.device->packetsSent() - before, quint64(101)); // 100 × 1024 and 15
        const QList<QByteArray> received = f.sim->receivedPayloads();
        QCOMPARE(received.size(), 1);
        QCOMPARE(received.first(), "UPG;2;" + file);

        // Mode 0 from the dialog, and the tab's road with a file.
        f.sim->clearReceived();
        f.device->slotUpgrade(0, "abc", {});
        QCOMPARE(f.device->index(), 0);
        QTRY_COMPARE_WITH_TIMEOUT(f.sim->receivedPayloads(), QList<QByteArray>{"UPG;0;abc"}, kHangMs);
        f.sim->clearReceived();
        f.device->setUpdateFile(f.dir->filePath("missing.bin"));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("TRV610Plus::update cannot open"));
        f.device->update();
        QTRY_VERIFY_WITH_TIMEOUT(!f.device->uploadInProgress(), kHangMs); // the file is looked at on the upload thread
        f.device->setUpdateFile(QString());
        f.device->update();
        QFile fw(f.dir->filePath("fw.bin"));
        QVERIFY(fw.open(QIODevice::WriteOnly));
        fw.write("\x02\x03xyz");
        fw.close();
        f.device->setIndex(3);
        f.device->setUpdateFile(fw.fileName());
        f.device->update();
        QTRY_COMPARE_WITH_TIMEOUT(f.sim->receivedPayloads(), QList<QByteArray>{QByteArray("UPG;3;\x02\x03xyz")}, kHangMs);
    }

    // Only a regular, non-empty file of at most 64 MiB goes out; the file is
    // looked at and read on the upload thread, so the caller never waits.
    void firmwareFilesAreChecked_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::newRow("empty file") << "empty";
        QTest::newRow("64 MiB and one byte") << "big";
        QTest::newRow("FIFO") << "fifo";
        QTest::newRow("/dev/zero") << "zero";
        QTest::newRow("folder") << "folder";
    }
    void firmwareFilesAreChecked()
    {
        QFETCH(QString, kind);
        QVERIFY(f.link());
        QString path = f.dir->filePath(QStringLiteral("fw.bin"));
        if (kind == "empty") {
            f.writeFile(QStringLiteral("fw.bin"), QByteArray());
        } else if (kind == "big") {
            QFile big(path); // sparse: sized, never written
            QVERIFY(big.open(QIODevice::WriteOnly) && big.resize(64 * 1024 * 1024 + 1));
        } else if (kind == "fifo") {
            QVERIFY(::mkfifo(QFile::encodeName(path).constData(), 0600) == 0);
        } else if (kind == "zero") {
            path = QStringLiteral("/dev/zero");
        } else {
            path = f.dir->path();
        }
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("TRV610Plus::update firmware file refused"));
        f.device->setUpdateFile(path);
        std::future<void> call = std::async(std::launch::async, [&] { f.device->update(); });
        const bool returned = call.wait_for(std::chrono::milliseconds(kHangMs)) == std::future_status::ready;
        if (!returned && kind == "fifo") {
            // Let the blocked open go, so a failure here does not hang.
            const int fd = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_NONBLOCK);
            if (fd >= 0)
                ::close(fd);
        }
        QVERIFY(returned);
        QTRY_VERIFY_WITH_TIMEOUT(!f.device->uploadInProgress(), kHangMs);
        QVERIFY(!f.device->errorMessage().isEmpty());
        QVERIFY(f.sim->receivedPayloads().isEmpty());
        QCOMPARE(f.device->updateProgress(), 0.0f);
    }

    void commandsDuringTheUploadFailAtOnce()
    {
        // A reply wait would say so in its log line; a wait behind the
        // stalled upload would be as long as a hang: failing at once is told
        // apart from either however loaded the machine.
        SilentPeer peer;
        QVERIFY(connectToSilentPeer(peer));
        QVERIFY(f.device->linked());
        // Larger than the socket buffers, so it waits for the peer.
        f.device->slotUpgrade(1, firmwareFile(32 * 1024 * 1024), {});
        QVERIFY(f.device->uploadInProgress());
        QTRY_VERIFY_WITH_TIMEOUT(f.device->packetsSent() > 20, kHangMs);
        LogCapture log;
        LogCapture::clear();
        QElapsedTimer t;
        t.start();
        QVERIFY(!f.device->rSpeed());
        QVERIFY(!f.device->wStop());
        QVERIFY2(t.elapsed() < kHangMs, qPrintable(QString::number(t.elapsed())));
        QVERIFY(!LogCapture::contains(QStringLiteral("send no return")));
        // A second upload is refused while the first is on its way.
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("already on its way"));
        f.device->slotUpgrade(1, "x", {});

        // The peer reads everything: the upload ends and commands work again.
        std::atomic<bool> stop{false};
        std::thread drain([&] {
            char buf[65536];
            while (!stop.load()) {
                if (PosixSocket::waitReadable(peer.fd, 20) && PosixSocket::receive(peer.fd, buf, sizeof buf) <= 0)
                    break;
            }
        });
        QTRY_VERIFY_WITH_TIMEOUT(!f.device->uploadInProgress(), kHangMs);
        stop.store(true);
        drain.join();
    }

    void shutDownDuringAnUploadIsClean()
    {
        SilentPeer peer;
        QVERIFY(connectToSilentPeer(peer));
        f.device->slotUpgrade(1, firmwareFile(32 * 1024 * 1024), {});
        QTRY_VERIFY_WITH_TIMEOUT(f.device->packetsSent() > 20, kHangMs);
        QVERIFY(f.device->uploadInProgress());
        QTest::ignoreMessage(QtCriticalMsg, QRegularExpression("TRV610Plus::sendMsg"));
        QTest::ignoreMessage(QtCriticalMsg, QRegularExpression("TRV610Plus::sendMsg"));
        QTest::ignoreMessage(QtCriticalMsg, QRegularExpression("upload failed"));
        QElapsedTimer t;
        t.start();
        // unInit: the upload thread is joined, not left behind, once the
        // closed link ended its send; waiting for the stalled send to give up
        // would take the hang bound.
        f.device.reset();
        QVERIFY2(t.elapsed() < kHangMs, qPrintable(QString::number(t.elapsed())));
    }

    // Every thread the driver starts (receive, link requests, poll and
    // collect cycles, job, upload) is its own and is joined when it goes.
    void shutDownJoinsEveryThread()
    {
        const auto threads = [] {
            return int(QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size());
        };
        f.device.reset();
        f.makeDevice();
        // The fixture makes drivers with the cycles off; QThread::start has
        // made their threads by the time it returns.
        f.device->setPolling(true);
        // Counted against this driver's own polling switch: threads of the
        // process that end on their own (idle pool threads) cannot skew it.
        const int withCycles = threads();
        f.device->setPolling(false);
        QTRY_VERIFY_WITH_TIMEOUT(threads() <= withCycles - 2, kHangMs); // the poll and collect cycles end with polling
        const int before = threads();
        f.device->setPolling(true);
        QTRY_VERIFY_WITH_TIMEOUT(threads() >= before + 2, kHangMs);

        f.device->setPort(f.sim->port());
        f.device->requestIp(f.sim->address());
        QTRY_VERIFY_WITH_TIMEOUT(f.device->linked(), kHangMs);
        f.sim->clearReceived();
        QVERIFY(f.device->cut100mmRect());
        f.device->slotUpgrade(1, "abc", {});
        QTRY_VERIFY_WITH_TIMEOUT(!f.sim->receivedPayloads().isEmpty(), kHangMs);
        f.device.reset();
        QTRY_VERIFY_WITH_TIMEOUT(threads() <= before, kHangMs);
    }

    void droppedLinkResetsTheProgress()
    {
        QVERIFY(f.link());
        f.sim->sendToAll("UPG;1,0,40;");
        QTRY_COMPARE_WITH_TIMEOUT(f.device->updateProgress(), 40.0f, kHangMs);
        f.sim->dropConnections();
        QTRY_COMPARE_WITH_TIMEOUT(f.device->updateProgress(), 0.0f, kHangMs);
    }
};

QTEST_GUILESS_MAIN(TestStartAndUpload)
#include "tst_start_and_upload.moc"
