// The collect, trim and web-guide cycle against the simulator's motors:
// the order and lengths of collect, trim Y and trim X, failed and refused
// commands, and the web guide from the camera and from the edge sensors.
#include "machine/jobs/poll_worker.h"
#include "machine/state/device_conditions.h"
#include "tests/machine/worker_thread.h"
#include "tests/support/device_fixture.h"
#include "tests/support/fake_task_app.h"
#include "tests/support/hang_bound.h"

#include <QTest>

#include <thread>

namespace {

// The motor writes ("20,1,motor,axis,speed,length") in the order received.
QList<QByteArray> motorWrites(const MachineSimulator &sim)
{
    QList<QByteArray> writes;
    for (const SimCommand &c : sim.commandLog("CCMD;20,1,")) {
        QByteArray body = c.payload.mid(5);
        body.chop(1);
        writes << body;
    }
    return writes;
}

QList<QPair<int, double>> startsOf(const SimMotor &m)
{
    return m.starts;
}

} // namespace

class TestCollectControl : public QObject
{
    Q_OBJECT
    DeviceFixture f;
    FakeTaskApp m_app;
    std::unique_ptr<WorkerThread<pollworkerCollect>> m_collect;

    void startCollect()
    {
        m_collect = std::make_unique<WorkerThread<pollworkerCollect>>(f.device.get());
        m_collect->start();
    }
    // Scan-and-trim in trim mode, scale 1, collect speed 30; the collect
    // roller 10 above its trigger; the collect motor busy for two reads.
    void trimMode()
    {
        f.config->setEnableScanAndTrim(true);
        f.config->setTrim(true);
        f.config->setTrimReset(false);
        f.config->setCollectScale(1.0);
        f.config->setTirmScale(1.0);
        f.config->setProperty(Config::CPT_Collect_Speed, 30);
        f.device->setCollectRoller(f.config->collectRollerTrigger() + 10);
        f.sim->updateState([](SimMachineState &s) {
            s.collectMotor.fixedBusyReads = 2;
            s.trimXMotor.fixedBusyReads = 1;
            s.trimYMotor.fixedBusyReads = 1;
        });
        m_app.appStatus = 1; // a job runs
    }

private slots:
    void init()
    {
        QVERIFY(f.setUp());
        QVERIFY(f.link());
        m_app.install(f.device.get());
    }
    void cleanup()
    {
        if (m_collect)
            QVERIFY(m_collect->stop());
        m_collect.reset();
        m_app.uninstall();
        f.tearDown();
    }

    void collectLengthRules()
    {
        QCOMPARE(CollectControl::collectLength(10, 30, false, true), 150.0);
        QCOMPARE(CollectControl::collectLength(10, 30, true, true), 30.0);
        QCOMPARE(CollectControl::collectLength(10, 1.5, true, true), 50.0);
        QCOMPARE(CollectControl::collectLength(10, 30, true, false), 50.0);
        QVERIFY(CollectControl::idleState(0) && CollectControl::idleState(3));
        QVERIFY(!CollectControl::idleState(1) && !CollectControl::idleState(4));
    }

    // Each inspected length is collected and then cut by trim X; a short one
    // (1.5) asks for a trim Y cut first and collects 50.0.
    void scanAndTrimCollectsTrimsAndCutsInOrder()
    {
        trimMode();
        m_app.scriptCollectLengths({30.0, 1.5, 20.0});
        std::atomic<int> turns{0};
        TRV610Plus *device = f.device.get();
        connect(device, &TRV610Plus::collectMotorRunningChanged, this, [&] { ++turns; }, Qt::DirectConnection);
        startCollect();
        QTRY_VERIFY_WITH_TIMEOUT(m_app.captures.load() >= 4, kHangMs);
        QVERIFY(m_collect->stop());
        const QList<QByteArray> writes = motorWrites(*f.sim);
        const QList<QByteArray> expected{"20,1,3,0,30,30", "20,1,4,0,30,30", "20,1,4,1,300,0", "20,1,3,0,30,50",
                                         "20,1,4,0,30,50", "20,1,3,0,30,20", "20,1,4,0,30,20"};
        QVERIFY2(writes.size() >= expected.size(), writes.join(' ').constData());
        QCOMPARE(writes.mid(0, expected.size()), expected);
        disconnect(device, &TRV610Plus::collectMotorRunningChanged, this, nullptr);
        // The collect wheels turned while the collect motor was busy and
        // stood while it was done: on and off for each of three runs.
        QVERIFY2(turns.load() >= 5, qPrintable(QString::number(turns.load())));
    }

    // A collect start the machine does not answer is not taken as started:
    // no check picture is armed and trim X cuts nothing until a start
    // succeeds, and then exactly that length.
    void failedCollectStartCutsNothing()
    {
        trimMode();
        m_app.scriptCollectLengths({30.0});
        f.sim->updateState([](SimMachineState &s) { s.collectMotor.silentStarts = 1; });
        startCollect();
        QTRY_VERIFY_WITH_TIMEOUT(!f.sim->state().trimXMotor.starts.isEmpty(), kHangMs);
        QVERIFY(m_collect->stop());
        const SimMachineState s = f.sim->state();
        QCOMPARE(s.collectMotor.swallowedStarts, 1);
        QCOMPARE(startsOf(s.trimXMotor).first(), (QPair<int, double>(30, 30.0)));
        QCOMPARE(startsOf(s.collectMotor).first(), (QPair<int, double>(30, 30.0)));
        // The only picture is the first; the failed start armed none.
        QCOMPARE(m_app.captures.load(), 1);
        const QList<QByteArray> writes = motorWrites(*f.sim);
        QCOMPARE(writes.indexOf("20,1,4,0,30,30"), writes.lastIndexOf("20,1,3,0,30,30") + 1);
    }

    // While a 1 MB plot upload holds the link, every send of the cycle is
    // refused: the cycle still sleeps once per pass through its steps (no
    // step spins), and what could not be cut is cut after the upload.
    void refusedSendsDuringAPlotUploadSpinNothing()
    {
        f.tearDown();
        MachineSimulator::Options o = DeviceFixture::quietOptions();
        o.pipeCapacity = 64 * 1024;
        QVERIFY(f.makeSettings() && f.startSimulator(o));
        f.makeDevice();
        QVERIFY(f.link());
        m_app.install(f.device.get());
        trimMode();
        m_app.scriptCollectLengths({30.0});
        // Trim X takes no start: its length stays pending, tried each cycle.
        f.sim->updateState([](SimMachineState &s) { s.trimXMotor.silentStarts = 1000; });
        startCollect();
        QTRY_VERIFY_WITH_TIMEOUT(f.sim->state().trimXMotor.swallowedStarts >= 1, kHangMs);

        f.sim->setIntakePaused(true);
        const quint64 packets = f.device->packetsSent();
        f.device->setPltData(QByteArray(1024 * 1024, 'A'));
        std::thread upload([this] { f.device->wPlt(); });
        QTRY_VERIFY_WITH_TIMEOUT(f.device->packetsSent() >= packets + 32, kHangMs);
        QVERIFY(m_collect->waitCycles(1));
        const quint64 passes = m_collect->worker().passes();
        const quint64 cycles = m_collect->worker().cycles();
        QVERIFY(m_collect->waitCycles(3));
        const quint64 passesDuring = m_collect->worker().passes() - passes;
        const quint64 cyclesDuring = m_collect->worker().cycles() - cycles;
        QVERIFY2(passesDuring <= (cyclesDuring + 1) * 7,
                 qPrintable(QStringLiteral("%1 passes in %2 cycles").arg(passesDuring).arg(cyclesDuring)));

        f.sim->updateState([](SimMachineState &s) { s.trimXMotor.silentStarts = 0; });
        f.sim->setIntakePaused(false);
        upload.join();
        QTRY_VERIFY_WITH_TIMEOUT(!f.sim->state().trimXMotor.starts.isEmpty(), kHangMs);
        const SimMachineState s = f.sim->state();
        QCOMPARE(startsOf(s.trimXMotor).first(), (QPair<int, double>(30, 30.0)));
        QCOMPARE(s.collectMotor.starts.size(), 1);
    }

    // Collect mode without the camera: the excess over the trigger decides
    // the length, repeated at most once a second while the roller stays up;
    // at the trigger the motor is stopped.
    void collectModeFollowsTheRoller()
    {
        f.config->setEnableScanAndTrim(false);
        f.config->setTrim(false);
        f.config->setCollectScale(1.0);
        f.config->setProperty(Config::CPT_Collect_Speed, 30);
        f.device->setCollectRoller(f.config->collectRollerTrigger() + 10);
        startCollect();
        QVERIFY(m_collect->waitCycles(4));
        const QList<SimCommand> collects = f.sim->commandLog("CCMD;20,1,3,0,30,150;");
        QVERIFY(collects.size() >= 2);
        // Four cycles of 500 ms: at most one command a second.
        QVERIFY2(collects.size() <= 3, qPrintable(QString::number(collects.size())));
        QVERIFY(collects.at(1).atMs - collects.at(0).atMs > 990);
        QVERIFY(f.device->collectMotorRunning() || f.sim->state().collectMotor.state == 3);

        f.device->setCollectRoller(f.config->collectRollerTrigger());
        QTRY_VERIFY_WITH_TIMEOUT(!f.sim->commandLog("CCMD;20,1,3,0,0,0;").isEmpty(), kHangMs);
        QCOMPARE(m_app.captures.load(), 0);
    }

    // Edge sensors: both off is a web-guide error and moves nothing; one on
    // moves the guide towards it after the span; both on stops it. With the
    // guide switched off its error goes.
    void edgeSensorsSteerTheGuide()
    {
        f.config->setEnableScanAndTrim(false);
        f.config->setTrim(false);
        f.config->setEnableRectify(true);
        f.config->setProperty(Config::CPT_Rectify_Span, 0);
        f.config->setProperty(Config::CPT_Rectify_Len, 0.5);
        f.config->setProperty(Config::CPT_Rectify_Speed, 30);
        f.device->setCollectRoller(f.config->collectRollerTrigger() + 10); // a collect runs
        f.sim->updateState([](SimMachineState &s) { s.rectifyMotor.fixedBusyReads = 0; });
        startCollect();
        QVERIFY(m_collect->waitCycles(2));
        QTRY_VERIFY_WITH_TIMEOUT(f.device->hasDeviceState(DeviceConditions::Rectify), kHangMs);
        QVERIFY(f.sim->state().rectifyMotor.starts.isEmpty());

        f.sim->updateState([](SimMachineState &s) { s.setSensor(6, true); });
        QTRY_VERIFY_WITH_TIMEOUT(!f.sim->state().rectifyMotor.starts.isEmpty(), kHangMs);
        QVERIFY(!f.device->hasDeviceState(DeviceConditions::Rectify));
        QCOMPARE(f.sim->state().rectifyMotor.starts.first(), (QPair<int, double>(30, 0.5)));

        f.sim->updateState([](SimMachineState &s) {
            s.setSensor(6, false);
            s.setSensor(7, false);
        });
        QTRY_VERIFY_WITH_TIMEOUT(f.device->hasDeviceState(DeviceConditions::Rectify), kHangMs);
        f.config->setEnableRectify(false);
        QTRY_VERIFY_WITH_TIMEOUT(!f.device->hasDeviceState(DeviceConditions::Rectify), kHangMs);
    }

    // Scan-and-trim: the guide follows the paper offset of the inspection,
    // at most the rectify length per move, and not for offsets within 0.2.
    void cameraOffsetSteersTheGuide()
    {
        trimMode();
        f.config->setEnableRectify(false);
        f.config->setProperty(Config::CPT_Rectify_Len, 0.5);
        f.config->setProperty(Config::CPT_Rectify_Speed, 30);
        f.sim->updateState([](SimMachineState &s) {
            s.collectMotor.fixedBusyReads = 6; // the guide moves only while collecting
            s.rectifyMotor.fixedBusyReads = 0;
        });
        m_app.offset = 0.15;
        startCollect();
        QTRY_VERIFY_WITH_TIMEOUT(m_app.captures.load() >= 2, kHangMs);
        QVERIFY(f.sim->state().rectifyMotor.starts.isEmpty());

        m_app.offset = 2.0;
        QTRY_VERIFY_WITH_TIMEOUT(!f.sim->state().rectifyMotor.starts.isEmpty(), kHangMs);
        QCOMPARE(f.sim->state().rectifyMotor.starts.first(), (QPair<int, double>(30, 0.5)));
    }
};

QTEST_GUILESS_MAIN(TestCollectControl)
#include "tst_collect_control.moc"
