// The roller cycle against the simulator: condition bits from scripted
// readings, film and feed speeds, the safety stop, and both control cycles
// following the polling switch.
#include "machine/jobs/poll_worker.h"
#include "machine/state/device_conditions.h"
#include "tests/machine/worker_thread.h"
#include "tests/support/device_fixture.h"
#include "tests/support/hang_bound.h"
#include "tests/support/fake_task_app.h"

#include <QDir>
#include <QElapsedTimer>
#include <QTest>

#include <mutex>

namespace {

SimRollers reading(double g, double print, double film, double collect)
{
    return SimRollers{g, print, film, collect};
}

QList<int> feedSpeeds(const MachineSimulator &sim)
{
    QList<int> speeds;
    for (const SimCommand &c : sim.commandLog("CCMD;20,1,0,0,"))
        speeds << c.payload.split(',').at(4).toInt();
    return speeds;
}

int threadCount()
{
    return int(QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot).size());
}

} // namespace

class TestRollerPoll : public QObject
{
    Q_OBJECT
    DeviceFixture f;
    FakeTaskApp m_app;
    std::unique_ptr<WorkerThread<PollWorker>> m_poll;

    void script(const QList<SimRollers> &readings)
    {
        f.sim->updateState([readings](SimMachineState &s) { s.rollerScript = readings; });
    }
    int rollerReads() const { return f.sim->state().rollerReads; }
    void startPoll()
    {
        m_poll = std::make_unique<WorkerThread<PollWorker>>(f.device.get());
        m_poll->start();
    }

private slots:
    void init()
    {
        QVERIFY(f.setUp());
        // Short periods: the tests count cycles, a fast cycle only saves time.
        f.config->setProperty(Config::CPT_Poll_Time_Span, 10);
        QVERIFY(f.link());
        m_app.install(f.device.get());
    }
    void cleanup()
    {
        if (m_poll)
            QVERIFY(m_poll->stop());
        m_poll.reset();
        m_app.uninstall();
        f.tearDown();
    }

    void conditionRules()
    {
        RollerPoll::Limits l; // trigger 3, limit 20; rollers 60 .. 100
        const RollerPoll::Readings calm{0, 80, 80, 80};
        QCOMPARE(RollerPoll::conditionBits(calm, l), 0ull);
        QCOMPARE(RollerPoll::conditionBits({20.5, 80, 80, 80}, l), DeviceConditions::Gyroscope);
        QCOMPARE(RollerPoll::conditionBits({20.0, 80, 80, 80}, l), 0ull);
        // A dancer mounted the other way round: the limit lies below the trigger.
        l.gyroscopeTrigger = 20;
        l.gyroscopeLimit = 3;
        QCOMPARE(RollerPoll::conditionBits({2.5, 80, 80, 80}, l), DeviceConditions::Gyroscope);
        QCOMPARE(RollerPoll::conditionBits({25, 80, 80, 80}, l), 0ull);
        l.printRoller = false;
        QCOMPARE(RollerPoll::conditionBits({25, 10, 80, 80}, l), 0ull);

        // The feed ramp: 0 at the trigger, 10 just past it, max at the limit and beyond.
        QCOMPARE(RollerPoll::feedSpeed(3, 3, 20, 50), 0);
        QCOMPARE(RollerPoll::feedSpeed(4, 3, 20, 50), int(1.0 / 17 * 40 + 10));
        QCOMPARE(RollerPoll::feedSpeed(20, 3, 20, 50), 50);
        QCOMPARE(RollerPoll::feedSpeed(35, 3, 20, 50), 50);
        QCOMPARE(RollerPoll::feedSpeed(2, 3, 20, 50), 0);
        QCOMPARE(RollerPoll::feedSpeed(10, 10, 10, 50), 0); // trigger equal to its limit
        QCOMPARE(RollerPoll::feedSpeed(1, 20, 3, 50), 50); // the other way round

        QCOMPARE(RollerPoll::filmSpeed(60, 80, 30), int(80 * 1.5 / 60 * 30));
        QCOMPARE(RollerPoll::filmSpeed(0, 80, 30), 0);
    }

    // Each bit is set by the reading that crosses its limit and cleared by
    // the next one; bits of other writers stay.
    void rollerBitsFollowScriptedReadings()
    {
        f.device->changeDeviceState(DeviceConditions::DefectFailed, 0);
        std::mutex lock;
        QList<qulonglong> seen;
        TRV610Plus *device = f.device.get();
        connect(device, &TRV610Plus::deviceStateChanged, this, [&] {
            std::lock_guard<std::mutex> guard(lock);
            seen << device->deviceState();
        }, Qt::DirectConnection);
        script({reading(0, 80, 80, 80), reading(25, 80, 80, 80), reading(0, 50, 80, 80), reading(0, 110, 80, 80),
                reading(0, 80, 50, 80), reading(0, 80, 110, 80), reading(0, 80, 80, 50), reading(0, 80, 80, 110),
                reading(0, 80, 80, 80)});
        startPoll();
        QTRY_VERIFY_WITH_TIMEOUT(rollerReads() >= 10, kHangMs);
        QVERIFY(m_poll->stop());
        disconnect(device, &TRV610Plus::deviceStateChanged, this, nullptr);
        const qulonglong k = DeviceConditions::DefectFailed;
        std::lock_guard<std::mutex> guard(lock);
        QCOMPARE(seen, (QList<qulonglong>{k | 0x1, k | 0x2, k | 0x4, k | 0x8, k | 0x10, k | 0x20, k | 0x40, k}));
    }

    // With print-roller checking off its bits go at the next cycle, and at
    // once when the print switch changes.
    void printRollerBitsGoWhenItsCheckingIsOff()
    {
        script({reading(0, 50, 80, 80)});
        startPoll();
        QTRY_VERIFY_WITH_TIMEOUT(f.device->hasDeviceState(DeviceConditions::PrintRollerLimit), kHangMs);
        f.config->setEnablePrintRoller(false);
        QTRY_VERIFY_WITH_TIMEOUT(!f.device->hasDeviceState(DeviceConditions::PrintRollerLimit), kHangMs);
        QVERIFY(m_poll->stop());

        // Printing needs the print roller: switching that off switches
        // printing off, whose handler clears the bits on this thread.
        f.config->setEnablePrint(true);
        QVERIFY(f.config->enablePrintRoller());
        f.device->changeDeviceState(DeviceConditions::PrintRollerLimit | DeviceConditions::PrintRollerFull
                                        | DeviceConditions::FilmRollerLimit, 0);
        f.config->setEnablePrintRoller(false);
        QVERIFY(!f.config->enablePrint());
        QCOMPARE(f.device->deviceState(), DeviceConditions::FilmRollerLimit);
    }

    // An unchanged film speed goes out once and again only after 2001 ms;
    // a new one at once.
    void filmSpeedRepeatsOnlyAfter2001Ms()
    {
        script({reading(0, 80, 110, 80)}); // too full: speed 0
        startPoll();
        QTRY_VERIFY_WITH_TIMEOUT(f.sim->commandLog("CCMD;20,1,1,0,0,0;").size() >= 2, kHangMs);
        const QList<std::chrono::steady_clock::time_point> sends = f.writtenAt("CCMD;20,1,1,0,0,0;");
        const int readsBetween = rollerReads();
        // Many cycles ran between the two sends; none sent the speed.
        QVERIFY2(readsBetween > 20, qPrintable(QString::number(readsBetween)));
        // Timed as the driver began each write: the cycle reads its clock just
        // before the first, so only that moment can shorten the interval.
        const qint64 ms = std::chrono::duration_cast<std::chrono::milliseconds>(sends.at(1) - sends.at(0)).count();
        QVERIFY2(ms >= 1990, qPrintable(QString::number(ms)));

        script({reading(0, 80, 60, 80)});
        const QByteArray faster = "CCMD;20,1,1,0," + QByteArray::number(RollerPoll::filmSpeed(60, 80, 30)) + ",0;";
        QTRY_VERIFY_WITH_TIMEOUT(!f.sim->commandLog(faster).isEmpty(), kHangMs);
        QVERIFY(f.device->filmMotorRunning());
    }

    // The dancer moving past the trigger towards its limit ramps the feed
    // up to its maximum; a dancer that stands still while the feed runs gets
    // the speed again.
    void gyroscopeRampReachesItsMaximum()
    {
        QList<SimRollers> readings;
        for (double g : {3.0, 5.0, 8.0, 11.0, 14.0, 17.0, 20.0, 23.0, 20.0, 20.0, 23.0})
            readings << reading(g, 80, 80, 80);
        script(readings);
        startPoll();
        QTRY_VERIFY_WITH_TIMEOUT(rollerReads() >= 14, kHangMs);
        QVERIFY(m_poll->stop());
        QList<int> expected{0};
        for (double g : {5.0, 8.0, 11.0, 14.0, 17.0, 20.0})
            expected << RollerPoll::feedSpeed(g, 3, 20, 50);
        expected << 50 << 50;
        QCOMPARE(feedSpeeds(*f.sim), expected);
        QCOMPARE(expected.at(6), 50);
        QVERIFY(f.device->feedMotorRunning());
    }

    // The feed stops once when its direction becomes forbidden; the collect
    // motor is stopped every cycle while its roller is below its limit.
    void safetyStopSendsOneStop()
    {
        QVERIFY(f.device->wMoveX(1));
        f.sim->clearReceived();
        script({reading(0, 80, 80, 80), reading(0, 80, 110, 80), reading(0, 80, 110, 50), reading(0, 80, 110, 50),
                reading(0, 80, 110, 50), reading(0, 80, 110, 80)});
        startPoll();
        QTRY_VERIFY_WITH_TIMEOUT(rollerReads() >= 9, kHangMs);
        QVERIFY(m_poll->stop());
        QCOMPARE(f.sim->commandLog("CCMD;15,").size(), 1);
        QCOMPARE(f.sim->commandLog("CCMD;15,").first().payload, QByteArray("CCMD;15,0,0;"));
        QCOMPARE(f.sim->commandLog("CCMD;20,1,3,0,0,0;").size(), 3);
        QCOMPARE(f.device->feedDirection(), 0);
    }

    // Closed loop with the simulator's rollers: feeding forward fills the
    // film roller until it is too full, and the cycle stops the feed there.
    void feedStopsWhenItsRollerFillsUp()
    {
        f.sim->updateState([](SimMachineState &s) {
            s.setRollers({0, 80, 95, 80});
            s.feedRollerStep = 2;
        });
        QVERIFY(f.device->wMoveX(1));
        f.sim->clearReceived();
        startPoll();
        QTRY_VERIFY_WITH_TIMEOUT(!f.sim->commandLog("CCMD;15,0,0;").isEmpty(), kHangMs);
        const int reads = rollerReads();
        QTRY_VERIFY_WITH_TIMEOUT(rollerReads() >= reads + 5, kHangMs);
        QVERIFY(m_poll->stop());
        QCOMPARE(f.sim->commandLog("CCMD;15,").size(), 1);
        QCOMPARE(f.sim->state().rollers().film, 101.0); // it stopped moving with the feed
        QVERIFY(f.device->hasDeviceState(DeviceConditions::FilmRollerFull));
        QVERIFY(!f.device->wMoveX(1)); // and the driver refuses to feed on
        QVERIFY(f.device->wMoveX(-1));
    }

    // A stop the machine did not take is sent again next cycle.
    void unansweredSafetyStopIsRetried()
    {
        QVERIFY(f.device->wMoveX(1));
        f.sim->clearReceived();
        // Shared: the simulator keeps the handler until the case is torn down.
        auto stopsSeen = std::make_shared<std::atomic<int>>(0);
        std::atomic<int> &stops = *stopsSeen;
        f.sim->setReplyHandler(15, [stopsSeen](const QStringList &args, SimMachineState &s) {
            if ((*stopsSeen)++ == 0)
                return SimReply{}; // lost
            s.feedDirection = args.value(1).toInt();
            return SimReply{{simReplyPayload(15, {args.value(1), args.value(2)})}, 0};
        });
        script({reading(0, 80, 110, 80)});
        startPoll();
        QTRY_VERIFY_WITH_TIMEOUT(stops.load() >= 2, kHangMs);
        QTRY_COMPARE_WITH_TIMEOUT(f.device->feedDirection(), 0, kHangMs);
        const quint64 reads = rollerReads();
        QTRY_VERIFY_WITH_TIMEOUT(quint64(rollerReads()) >= reads + 3, kHangMs);
        QCOMPARE(stops.load(), 2);
    }

    // Both cycles run while polling is on and end within one cycle when it
    // goes off and when the driver shuts down.
    void cyclesFollowPollingAndEndAtShutDown()
    {
        f.device->setCollectRoller(80);
        f.device->setPolling(true);
        // QThread::start has made both threads by the time it returns.
        const int withCycles = threadCount();
        QTRY_VERIFY_WITH_TIMEOUT(rollerReads() >= 3 && f.sim->commandCount(20) >= 1, kHangMs);
        const int readsAtOff = rollerReads();
        f.device->setPolling(false);
        QTRY_VERIFY_WITH_TIMEOUT(threadCount() <= withCycles - 2, kHangMs);
        const int before = threadCount();
        // The cycle under way when polling went off was the last.
        const int reads = rollerReads();
        QVERIFY(reads <= readsAtOff + 1);

        f.device->setPolling(true);
        QTRY_VERIFY_WITH_TIMEOUT(rollerReads() >= reads + 3, kHangMs);
        QElapsedTimer shutDown;
        shutDown.start();
        f.device.reset();
        // One collect cycle (500 ms) and a reply wait at most; seconds more
        // would be a hang.
        QVERIFY2(shutDown.elapsed() < kHangMs, qPrintable(QString::number(shutDown.elapsed())));
        QTRY_VERIFY_WITH_TIMEOUT(threadCount() <= before, kHangMs);
    }
};

QTEST_GUILESS_MAIN(TestRollerPoll)
#include "tst_roller_poll.moc"
