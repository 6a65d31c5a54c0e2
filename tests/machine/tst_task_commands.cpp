// Task control commands and their reply effects, against the simulator.
#include "tests/support/device_fixture.h"
#include "tests/support/fake_task_app.h"
#include "tests/support/hang_bound.h"

#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>

#include <future>

class TestTaskCommands : public QObject
{
    Q_OBJECT
    DeviceFixture f;
    FakeTaskApp m_app;

private slots:
    void init()
    {
        QVERIFY(f.setUp());
        m_app.install(f.device.get());
    }
    void cleanup()
    {
        m_app.uninstall();
        f.tearDown();
    }

    void pauseResumeStopSetTheTaskStatus()
    {
        QVERIFY(f.link());
        QSignalSpy spy(f.device.get(), &TRV610Plus::taskStatusChanged);
        QVERIFY(f.device->wResume());
        QCOMPARE(f.lastPayload(), QByteArray("CCMD;12,1;"));
        QCOMPARE(f.device->taskStatus(), 1);
        QVERIFY(f.device->wPause());
        QCOMPARE(f.lastPayload(), QByteArray("CCMD;12,0;"));
        QCOMPARE(f.device->taskStatus(), 0);
        QVERIFY(f.device->wStop());
        QCOMPARE(f.lastPayload(), QByteArray("CCMD;12,2;"));
        QCOMPARE(f.device->taskStatus(), 2);
        QCOMPARE(spy.count(), 3);
        QCOMPARE(m_app.statuses(), (QList<int>{1, 0, 2}));
    }

    void exitTaskClearsFilmAndMarkIndexEvenWhenItFails()
    {
        QVERIFY(f.link());
        QVERIFY(f.device->exitTask());
        QCOMPARE(f.lastPayload(), QByteArray("CCMD;12,2;"));
        QCOMPARE(m_app.cleared(), QList<int>{-1});
        QCOMPARE(m_app.markIndexes(), QList<int>{0});
        f.sim->setFault(SimFault::NoReply);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("send no return"));
        QVERIFY(!f.device->exitTask());
        QCOMPARE(m_app.cleared(), (QList<int>{-1, -1}));
    }

    void unknownTaskReportStopsAndWakesNoTaskWaiter()
    {
        QVERIFY(f.link());
        f.device->setTaskStatus(1);
        // The machine answers a pause with a status it does not know.
        f.sim->setReplyHandler(12, [](const QStringList &, SimMachineState &) {
            return SimReply{{simReplyPayload(12, {"7"})}, 0};
        });
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("send no return"));
        QVERIFY(!f.device->wPause());
        QCOMPARE(f.device->taskStatus(), 2);
        QCOMPARE(m_app.statuses().last(), 2);
    }

    void unsolicitedTaskStatusReachesTheApplication()
    {
        QVERIFY(f.link());
        f.sim->sendToAll("CMD;12,0,1;");
        QTRY_COMPARE_WITH_TIMEOUT(f.device->taskStatus(), 1, kHangMs);
        QTRY_COMPARE_WITH_TIMEOUT(m_app.statuses(), QList<int>{1}, kHangMs);
    }

    void cutMotorStatusEndsPlotting()
    {
        QVERIFY(f.link());
        f.device->setPltData("IN;PU0,0;");
        f.sim->updateState([](SimMachineState &s) { s.cutMotorStatus = 1; });
        QVERIFY(f.device->wPlt());
        QVERIFY(f.device->plotting());
        QVERIFY(f.device->rCutMotorStatus());
        QCOMPARE(f.device->cutMotorStatus(), 1);
        QVERIFY(f.device->plotting());
        QSignalSpy spy(f.device.get(), &TRV610Plus::cutMotorStatusChanged);
        f.sim->updateState([](SimMachineState &s) { s.cutMotorStatus = 0; });
        QVERIFY(f.device->rCutMotorStatus());
        QCOMPARE(f.lastPayload(), QByteArray("CCMD;3;"));
        QCOMPARE(f.device->cutMotorStatus(), 0);
        QVERIFY(!f.device->plotting());
        QCOMPARE(spy.count(), 1);
    }

    void garbledCutMotorStatusIsRefused()
    {
        QVERIFY(f.link());
        f.sim->updateState([](SimMachineState &s) { s.cutMotorStatus = 1; });
        QVERIFY(f.device->rCutMotorStatus());
        f.sim->setReplyHandler(3, [](const QStringList &, SimMachineState &) {
            return SimReply{{simReplyPayload(3, {"x"})}, 0};
        });
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("refused reading"));
        QVERIFY(!f.device->rCutMotorStatus());
        QCOMPARE(f.device->cutMotorStatus(), 1);
    }

    void rectifyResetVoidsMarksAndPaperCentre()
    {
        QVERIFY(f.link());
        QVERIFY(f.device->wRectifyMotorReset());
        QCOMPARE(f.lastPayload(), QByteArray("CCMD;2,0,4;"));
        QCOMPARE(m_app.markIndexes(), QList<int>{0});
        QCOMPARE(m_app.paperCenterResets.load(), 1);
    }
};

QTEST_GUILESS_MAIN(TestTaskCommands)
#include "tst_task_commands.moc"
