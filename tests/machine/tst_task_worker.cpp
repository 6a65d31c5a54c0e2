// The walk of a worker's step list and the job's end, with a stand-in for
// the application and the simulator as the machine.
#include "tests/support/device_fixture.h"
#include "tests/support/hang_bound.h"
#include "tests/support/fake_task_app.h"
#include "machine/task_app.h"
#include "machine/jobs/task_worker.h"
#include "platform/scene/gpath_process.h"

#include <QElapsedTimer>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>

#include <climits>
#include <cmath>
#include <future>

class TestTaskWorker : public QObject
{
    Q_OBJECT
    DeviceFixture f;
    FakeTaskApp m_app;

    // A mark camera of odd size (centre between pixels) where one pixel of
    // a 40-pixel mark of 1 mm is one plotter unit.
    void unitCamera()
    {
        f.config->setMarkCameraWidth(321);
        f.config->setMarkCameraHeight(241);
        f.config->setMarkSize(1.0);
        m_app.markDiameter = 40;
        m_app.markFound = true;
    }
    // Where that camera shows a mark that lies `offset` (plotter units) from
    // the point it stands over.
    static QPointF pictureAt(const QPointF &offset) { return {160.5 - offset.y(), 120.5 - offset.x()}; }

    // Scans the marks as the camera sees them over each design point, then
    // fits the page.
    void scanAndFit(TaskWorker &worker, const QList<QPointF> &design, const QTransform &truth)
    {
        for (const QPointF &d : design) {
            m_app.markAt = pictureAt(truth.map(d) - d);
            int step = 0;
            worker.taskScanMark(step);
            QCOMPARE(step, 1);
        }
        m_app.markAt = pictureAt({});
        int step = 4;
        worker.taskScanOK(step);
        QCOMPARE(step, 5); // the page is cut whatever the check says
    }

    // doWork on a thread of its own, as the task thread runs it.
    std::future<bool> walk(taskInterface &worker, const QList<TaskStep> &steps)
    {
        return std::async(std::launch::async, [&worker, steps] { return worker.doWork(steps); });
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
        m_app.uninstall();
        f.tearDown();
    }

    void walkEndsAtTheEndOrByIntMax()
    {
        taskInterface worker(f.device.get());
        worker.setStepInterval(1);
        worker.setTaskStatus(1);
        QVERIFY(worker.doWork({}));
        int runs = 0;
        const TaskStep retryTwice = [&runs](int &s) {
            if (++runs == 3)
                ++s;
        };
        QVERIFY(worker.doWork({retryTwice}));
        QCOMPARE(runs, 3);
        QVERIFY(!worker.doWork({[](int &s) { s = INT_MAX; }}));
        // Status 2 before the first pass: nothing runs.
        worker.setTaskStatus(2);
        runs = 0;
        QVERIFY(!worker.doWork({retryTwice}));
        QCOMPARE(runs, 0);
    }

    void driverStatusReachesTheWorkerAndStopsAnEndlessList()
    {
        taskInterface worker(f.device.get());
        worker.setStepInterval(1);
        f.device->setTaskStatus(1);
        QCOMPARE(worker.taskStatus(), 1);
        std::atomic<int> cycles{0};
        QList<TaskStep> steps{[&cycles](int &s) { ++cycles, ++s; }, [&worker](int &s) { worker.sleepCycle(s); }};
        auto done = walk(worker, steps);
        QTRY_VERIFY_WITH_TIMEOUT(cycles.load() > 3, kHangMs);
        // Paused: no further passes run a step; the one under way when the
        // status changed may still end, however late a loaded machine runs it.
        f.device->setTaskStatus(0);
        const int paused = cycles.load();
        QTest::qWait(300);
        QVERIFY2(cycles.load() <= paused + 1, qPrintable(QStringLiteral("%1 -> %2").arg(paused).arg(cycles.load())));
        f.device->setTaskStatus(1);
        QTRY_VERIFY_WITH_TIMEOUT(cycles.load() > paused, kHangMs);
        QElapsedTimer clock;
        clock.start();
        f.device->setTaskStatus(2);
        QCOMPARE(done.wait_for(std::chrono::milliseconds(kHangMs)), std::future_status::ready);
        QVERIFY(!done.get());
        QVERIFY2(clock.elapsed() < kHangMs, qPrintable(QString::number(clock.elapsed())));
    }

    // A nested walk shares the status: stopping returns false from it and
    // the outer step ends the job without a second stop request.
    void stopInANestedWalkEndsTheJobOnce()
    {
        TaskWorker worker(f.device.get(), -1);
        worker.setStepInterval(1);
        f.device->setTaskStatus(1);
        std::atomic<bool> nested{false};
        auto done = std::async(std::launch::async, [&] {
            return worker.doWork({[&](int &s) {
                nested = true;
                if (worker.doWork({[](int &) {}})) // a step that never gets done
                    ++s;
                else
                    worker.taskFinish(s);
            }});
        });
        QTRY_VERIFY_WITH_TIMEOUT(nested.load(), kHangMs);
        m_app.stopTask(true);
        QCOMPARE(done.wait_for(std::chrono::milliseconds(kHangMs)), std::future_status::ready);
        QVERIFY(!done.get());
        QCOMPARE(m_app.stops.load(), 1);
    }

    // A stop refused because a pause or stop was in progress still stops
    // the job: status 2 and the machine's stop command.
    void refusedStopStillStopsTheJob()
    {
        m_app.refuseStop = true;
        TaskWorker worker(f.device.get(), -1);
        worker.setStepInterval(1);
        f.device->setTaskStatus(1);
        f.sim->clearReceived();
        int step = 0;
        worker.taskNextCopy(step); // no copy due: the job ends
        QCOMPARE(step, INT_MAX);
        QCOMPARE(m_app.stops.load(), 1);
        QCOMPARE(f.device->taskStatus(), 2);
        QCOMPARE(m_app.appStatus.load(), 2);
        QCOMPARE(f.sim->commandCount(12), 1);
    }

    void unlinkedWalkHolds()
    {
        taskInterface holder(f.device.get());
        holder.setStepInterval(1);
        f.device->setTaskStatus(1);
        f.device->setIp(QString()); // link dropped
        QTRY_VERIFY_WITH_TIMEOUT(!f.device->linked(), kHangMs);
        std::atomic<int> runs{0};
        auto held = walk(holder, {[&runs](int &s) { ++runs, ++s; }});
        QTest::qWait(300);
        QCOMPARE(runs.load(), 0);
        QCOMPARE(held.wait_for(std::chrono::milliseconds(0)), std::future_status::timeout);
        holder.setTaskStatus(2);
        QVERIFY(!held.get());
    }

    // Five failed captures are retried; the sixth in a row ends the job.
    void sixthFailedScanEndsTheJob()
    {
        TaskWorker worker(f.device.get(), -1);
        f.device->setTaskStatus(1);
        int step = 2;
        for (int i = 0; i < 5; ++i) {
            worker.taskScanMark(step);
            QCOMPARE(step, 2);
        }
        QCOMPARE(m_app.stops.load(), 0);
        worker.taskScanMark(step);
        QCOMPARE(step, INT_MAX);
        QCOMPARE(f.device->errorMessage(), QStringLiteral("标记点扫描失败！"));
        QCOMPARE(m_app.stops.load(), 1);
    }

    void kindsHaveTheirSteps()
    {
        using W = TaskWorker;
        const W::StepMember cycle = &W::sleepCycle;
        const QList<QList<W::StepMember>> expected{
            {},
            {&W::taskWaitCutIdle, &W::taskPltSize, &W::taskPrePlt, &W::taskPlt, &W::taskWaitCutIdle},
            {&W::taskPrint, &W::taskNextCopy, cycle},
            {&W::taskPrint, &W::taskCutterXClear, &W::taskFindPage, &W::taskLocateFirstMark, &W::taskScanOK,
             &W::taskSaveStartPoint, &W::taskCutPage, &W::taskSaveEndPoint, &W::taskFeedToNextPage,
             &W::taskWaitCutIdle, &W::taskNextCopy, cycle},
            {&W::taskWaitCutIdle, &W::taskCutterXClear, &W::taskPltSize, &W::taskPrePlt, &W::taskPlt,
             &W::taskWaitCutIdle, &W::taskMoveToCamera, &W::taskWaitCutIdle, &W::taskScanMark,
             &W::taskSaveCameraOffset},
            {&W::taskWaitCutIdle, &W::taskProbeMark, &W::taskFeedSearch, &W::taskMarkSearch, &W::taskResetScan},
            {&W::taskResetScan, &W::taskWaitCutIdle, &W::taskScanMark, &W::taskMoveToNextMark, &W::taskWaitCutIdle},
            {&W::taskFindPage, &W::taskLocateFirstMark, &W::taskScanOK, cycle},
            {&W::taskWaitCutIdle, &W::taskScanMark, &W::taskMoveToImageCenter, &W::taskWaitCutIdle},
            {&W::taskFindPage, &W::taskLocateFirstMark, &W::taskScanOK, &W::taskSaveStartPoint, &W::taskCutPage,
             &W::taskSaveEndPoint, &W::taskMoveBack, cycle},
        };
        for (int kind = 1; kind <= 9; ++kind) {
            QVERIFY2(W::stepsOf(kind) == expected.at(kind), qPrintable(QString::number(kind)));
            // The worker's own list is the kind's steps plus the finishing step.
            TaskWorker worker(f.device.get(), kind);
            QCOMPARE(worker.steps().size(), expected.at(kind).size() + 1);
        }
        QVERIFY(W::stepsOf(10).isEmpty());
        QCOMPARE(TaskWorker(f.device.get(), 10).steps().size(), 1);
    }

    // Forward feeds need room on both rollers and are refused silently;
    // a feed back against the collect limit ends the job with its message.
    void canFeedChecksTheRollers()
    {
        f.config->setFilmRollerLimit(20);
        f.config->setCollectRollerMax(90);
        f.config->setCollectRollerLimit(15);
        f.device->setFilmRoller(60);
        f.device->setCollectRoller(50);
        f.device->setTaskStatus(1);
        TaskWorker worker(f.device.get(), -1);
        QVERIFY(worker.canFeed(12.5));
        QVERIFY(worker.canFeed(-12.5));
        QVERIFY(worker.canFeed(0));
        f.device->setFilmRoller(20);
        QVERIFY(!worker.canFeed(12.5));
        QVERIFY(worker.canFeed(0));
        f.device->setFilmRoller(60);
        f.device->setCollectRoller(90);
        QVERIFY(!worker.canFeed(12.5));
        QCOMPARE(m_app.stops.load(), 0);
        QCOMPARE(f.device->errorMessage(), QString());
        f.device->setCollectRoller(15);
        QVERIFY(!worker.canFeed(-12.5));
        QCOMPARE(f.device->errorMessage(), QStringLiteral(" 收纸容纸限位 "));
        QCOMPARE(m_app.stops.load(), 1);
        QCOMPARE(f.device->taskStatus(), 2);
    }

    // The page search feeds 12.5 mm a step; each whole page fed without a
    // mark prints one more page when the print roller has room, and a film
    // roller at its limit stops the feed but not the printing.
    void feedSearchWrapsPrintsAndStopsWhenFilmBlocked()
    {
        f.config->setEnablePrint(true);
        f.config->setPrintRollerTrigger(50);
        f.config->setFilmRollerLimit(20);
        f.config->setCollectRollerMax(95);
        f.device->setPrintRoller(30);
        f.device->setFilmRoller(90);
        f.device->setCollectRoller(10);
        m_app.pageSize = QSizeF(100, 25);
        TaskWorker worker(f.device.get(), -1);
        for (int feed = 1; feed <= 6; ++feed) {
            int step = 2;
            worker.taskFeedSearch(step);
            QCOMPARE(step, 0); // wait until idle, probe again
            QCOMPARE(m_app.prints.load(), feed / 2);
        }
        // One move a feed (the position read before each is command 4 too).
        QCOMPARE(f.sim->commandLog("CCMD;4,1,").size(), 6);
        // The printer's roller full: pages wrap without a print.
        f.device->setPrintRoller(60);
        for (int feed = 0; feed < 2; ++feed) {
            int step = 2;
            worker.taskFeedSearch(step);
        }
        QCOMPARE(m_app.prints.load(), 3);
        // Film at its limit: no feed, the step stays, a print every pass.
        f.device->setPrintRoller(30);
        f.device->setFilmRoller(20);
        f.sim->clearReceived();
        for (int pass = 1; pass <= 2; ++pass) {
            int step = 2;
            worker.taskFeedSearch(step);
            QCOMPARE(step, 2);
            QCOMPARE(m_app.prints.load(), 3 + pass);
        }
        QCOMPARE(f.sim->commandCount(4), 0);
        // Refused by the collect roller only: no print before a page is fed.
        f.device->setFilmRoller(90);
        f.device->setCollectRoller(95);
        int step = 2;
        worker.taskFeedSearch(step);
        QCOMPARE(step, 2);
        QCOMPARE(m_app.prints.load(), 5);
        QCOMPARE(m_app.stops.load(), 0);
    }

    // The job fits the page through the registration maths: four marks give
    // the projective mapping onto where the marks were seen; three give the
    // identity; a fit outside its tolerance is logged critical and still cut.
    void scanOKFitsThePage()
    {
        unitCamera();
        f.device->setTaskStatus(1);
        const QList<QPointF> design{{0, 0}, {0, 4000}, {6000, 4000}, {6000, 0}};
        m_app.pageSize = QSizeF(100, 150);
        m_app.designMarks = design;
        QTransform truth;
        truth.translate(30, -12);
        truth.rotate(0.8);
        {
            TaskWorker worker(f.device.get(), design, -1);
            scanAndFit(worker, design, truth);
            const QTransform t = m_app.transforms().last();
            for (const QPointF &d : design) {
                const QPointF e = t.map(GPathProcess::hpgl2Point(d)) - GPathProcess::hpgl2Point(truth.map(d));
                QVERIFY2(std::hypot(e.x(), e.y()) < 1e-3, qPrintable(QStringLiteral("%1 %2").arg(e.x()).arg(e.y())));
            }
        }
        {
            m_app.designMarks = design.mid(0, 3);
            TaskWorker worker(f.device.get(), design.mid(0, 3), -1);
            scanAndFit(worker, design.mid(0, 3), truth);
            QVERIFY(m_app.transforms().last().isIdentity());
        }
        {
            m_app.designMarks = design;
            QTransform turned;
            turned.rotate(3.5);
            TaskWorker worker(f.device.get(), design, -1);
            QTest::ignoreMessage(QtCriticalMsg, QRegularExpression("TaskWorker::taskScanOK angle: -?3\\.5"));
            scanAndFit(worker, design, turned);
            QVERIFY(!m_app.transforms().last().isIdentity());
        }
        QCOMPARE(m_app.stops.load(), 0);
    }

    // A mark that will not come to the centre: six moves, then the job ends.
    void markThatWillNotCentreEndsTheJob()
    {
        unitCamera();
        f.config->setFilmRollerLimit(10);
        f.config->setCollectRollerMax(95);
        f.device->setFilmRoller(90);
        f.device->setCollectRoller(10);
        f.device->setTaskStatus(1);
        TaskWorker worker(f.device.get(), -1);
        m_app.markAt = pictureAt({0.5, -0.5});
        int step = 1;
        worker.taskScanMark(step);
        worker.taskMoveToImageCenter(step);
        QCOMPARE(step, 3); // within a millimetre: centred
        f.sim->clearReceived();

        m_app.markAt = pictureAt({100, 60});
        step = 1;
        worker.taskScanMark(step);
        for (int move = 1; move <= 6; ++move) {
            step = 2;
            worker.taskMoveToImageCenter(step);
            QCOMPARE(step, 0);
            worker.taskScanMark(step);
        }
        QCOMPARE(f.sim->commandCount(22), 6);
        QCOMPARE(m_app.stops.load(), 0);
        step = 2;
        worker.taskMoveToImageCenter(step);
        QCOMPARE(step, INT_MAX);
        QCOMPARE(f.device->errorMessage(), QStringLiteral("标记点移动到中心失败！"));
        QCOMPARE(m_app.stops.load(), 1);
        QCOMPARE(f.sim->commandCount(22), 6);
    }

    void busyAndUnlinkedRefuseAJob()
    {
        f.device->setIp(QString());
        QTRY_VERIFY_WITH_TIMEOUT(!f.device->linked(), kHangMs);
        QVERIFY(!f.device->createWork(new TaskWorker(f.device.get(), TK_Cut)));
        QCOMPARE(f.device->errorMessage(), QStringLiteral("请检查设备状态， 正在执行任务或者未连接"));
        QCOMPARE(f.device->taskStatus(), 2);
        QVERIFY(f.device->idle());
    }
};

QTEST_MAIN(TestTaskWorker)
#include "tst_task_worker.moc"
