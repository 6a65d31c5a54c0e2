// The walk of a worker's step list and the job's end, with a stand-in for
// the application and the simulator as the machine.
#include "tests/support/device_fixture.h"
#include "tests/support/fake_task_app.h"
#include "machine/task_app.h"
#include "machine/jobs/task_worker.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTest>

#include <climits>
#include <future>

class TestTaskWorker : public QObject
{
    Q_OBJECT
    DeviceFixture f;
    FakeTaskApp m_app;

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
        QTRY_VERIFY(cycles.load() > 3);
        // Paused: no further passes run a step.
        f.device->setTaskStatus(0);
        QTest::qWait(120);
        const int paused = cycles.load();
        QTest::qWait(200);
        QCOMPARE(cycles.load(), paused);
        f.device->setTaskStatus(1);
        QTRY_VERIFY(cycles.load() > paused);
        QElapsedTimer clock;
        clock.start();
        f.device->setTaskStatus(2);
        QCOMPARE(done.wait_for(std::chrono::seconds(2)), std::future_status::ready);
        QVERIFY(!done.get());
        QVERIFY(clock.elapsed() < 500);
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
        QTRY_VERIFY(nested.load());
        m_app.stopTask(true);
        QCOMPARE(done.wait_for(std::chrono::seconds(5)), std::future_status::ready);
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

    void unlinkedWalkHoldsThenAJobEnds()
    {
        taskInterface holder(f.device.get());
        holder.setStepInterval(1);
        f.device->setTaskStatus(1);
        f.device->setIp(QString()); // link dropped
        QTRY_VERIFY(!f.device->linked());
        std::atomic<int> runs{0};
        auto held = walk(holder, {[&runs](int &s) { ++runs, ++s; }});
        QTest::qWait(300);
        QCOMPARE(runs.load(), 0);
        QCOMPARE(held.wait_for(std::chrono::milliseconds(0)), std::future_status::timeout);
        holder.setTaskStatus(2);
        QVERIFY(!held.get());

        TaskWorker job(f.device.get(), TK_Cut);
        job.setUnlinkedGraceMs(200);
        job.setTaskStatus(1);
        QVERIFY(!job.doWork(job.steps()));
        QCOMPARE(f.device->taskStatus(), 2);
        QCOMPARE(f.device->errorMessage(), QStringLiteral("机器连接断开，任务已停止 \n"));
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
        const QList<int> lengths{0, 5, 3, 12, 10, 5, 5, 4, 4, 8};
        for (int kind = 1; kind <= 9; ++kind) {
            TaskWorker worker(f.device.get(), kind);
            // Plus the finishing step of the worker's own list.
            QCOMPARE(worker.steps().size(), lengths.at(kind) + 1);
        }
        QVERIFY(TaskWorker(f.device.get(), 10).steps().size() == 1);
    }

    void busyAndUnlinkedRefuseAJob()
    {
        f.device->setIp(QString());
        QTRY_VERIFY(!f.device->linked());
        QVERIFY(!f.device->createWork(new TaskWorker(f.device.get(), TK_Cut)));
        QCOMPARE(f.device->errorMessage(), QStringLiteral("请检查设备状态， 正在执行任务或者未连接"));
        QCOMPARE(f.device->taskStatus(), 2);
        QVERIFY(f.device->idle());
    }
};

QTEST_MAIN(TestTaskWorker)
#include "tst_task_worker.moc"
