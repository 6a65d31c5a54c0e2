// The camera page's test cuts run as single cut jobs against the simulator:
// the plot data the machine receives and the end of the job.
#include "app/cut_scene_settings.h"
#include "tests/support/device_fixture.h"
#include "tests/support/fake_task_app.h"
#include "tests/support/hang_bound.h"
#include "platform/scene/gscene.h"
#include "tools/simulator/web_model.h"

#include <QTest>

#include <memory>

namespace {

QByteArray endOf(const QByteArray &plot)
{
    const int pu = plot.lastIndexOf("PU");
    return pu < 0 ? QByteArray() : plot.mid(pu);
}

} // namespace

class TestTestCuts : public QObject
{
    Q_OBJECT
    DeviceFixture f;
    FakeTaskApp m_app;
    std::unique_ptr<WebModel> m_web;

    // The job's commands in order, repeated polls of the busy cutter once.
    QStringList commandsSeen() const
    {
        QStringList seen;
        for (const QByteArray &p : f.sim->receivedPayloads()) {
            const int end = p.startsWith("PPLT;") ? 4 : p.indexOf(',') > 0 ? p.indexOf(',') : p.indexOf(';', 5);
            if (seen.isEmpty() || seen.last() != QString::fromLatin1(p.left(end)))
                seen << QString::fromLatin1(p.left(end));
        }
        return seen;
    }

    // One pressure test run to its end; the plot the machine was sent.
    QByteArray runPressureTest()
    {
        const int plots = m_web->plots().size();
        if (!f.device->testPressure())
            return "not started";
        if (!QTest::qWaitFor([this] { return f.device->idle(); }, kHangMs))
            return "did not end";
        const QList<WebModel::Plot> sent = m_web->plots();
        return sent.size() == plots + 1 ? sent.last().data : QByteArray("no plot");
    }

private slots:
    void init()
    {
        QVERIFY(f.setUp());
        m_web = std::make_unique<WebModel>(*f.sim);
        f.config->setMarkCameraOffsetX(0.0);
        f.config->setMarkCameraOffsetY(0.0);
        m_app.install(f.device.get());
    }
    void cleanup()
    {
        bool stopped = true;
        if (f.device && !f.device->idle()) {
            f.device->setTaskStatus(2);
            stopped = QTest::qWaitFor([this] { return f.device->idle(); }, kHangMs);
        }
        CutSceneSettings::install(nullptr);
        m_app.uninstall();
        m_web.reset();
        f.tearDown();
        QVERIFY2(stopped, "a job still ran when the test ended");
    }

    void squareIsCutOnceAndTheJobStops()
    {
        QVERIFY(f.link());
        QVERIFY(f.device->cut100mmRect());
        QVERIFY(!f.device->idle());
        QTRY_VERIFY_WITH_TIMEOUT(f.device->idle(), kHangMs);
        QCOMPARE(f.device->taskStatus(), 2);
        QCOMPARE(m_app.stops.load(), 1);
        QCOMPARE(commandsSeen(), (QStringList{"CCMD;3", "CCMD;22", "CCMD;21", "PPLT", "CCMD;3", "CCMD;12"}));
        QCOMPARE(f.lastPayload(), QByteArray("CCMD;12,2;"));
        const QByteArray square("PU0,0;PD0,4000,4000,4000,4000,0,0,0;PU;PG;");
        QList<QByteArray> plots;
        for (const QByteArray &p : f.sim->receivedPayloads())
            if (p.startsWith("PPLT;"))
                plots << p;
        QCOMPARE(plots, QList<QByteArray>{"PPLT;" + square});
        // The knife went round 100 mm on the web.
        QCOMPARE(m_web->cuts(), (QList<QPolygonF>{QPolygonF({{0, 0}, {0, 4000}, {4000, 4000}, {4000, 0}, {0, 0}})}));
    }

    // The first pattern sits at the camera offset and leaves the web 100 mm
    // on; the compensations are given in millimetres.
    void firstPressurePatternFollowsTheCameraOffset()
    {
        QVERIFY(f.link());
        f.config->setMarkCameraOffsetX(5.0);
        f.config->setMarkCameraOffsetY(-2.5);
        QCOMPARE(runPressureTest(),
                 QByteArray("IN;PA;SP2;PU817,300;PD817,37,600,169,383,300,600,431,817,563,817,300;PU0,0;!PG;"
                            "SP2;PU1000,300;PD1000,-100,200,-100,200,700,1000,700,1000,300;PU0,0;!PG;"
                            "PU4000,1200;!PG;"));
        QCOMPARE(f.device->taskStatus(), 2);
        QCOMPARE(f.device->pressureTestCount(), 2);
        QCOMPARE(m_web->cuts().size(), 2);

        // 1 mm of overcut: each outline runs on 40 plotter units past its
        // start. The cutter pen of the cut scene holds the compensations.
        GScene scene;
        CutSceneSettings::install([&scene] { return &scene; });
        f.config->setCloseCompensate(true);
        f.config->setCloseCompensateVal(1.0);
        const QByteArray overcut = TRV610Plus::pressureTestPattern(0);
        QVERIFY2(overcut.contains(",817,300,817,260;PU0,0;!PG;"), overcut.constData());
        QVERIFY2(overcut.contains(",1000,300,1000,260;PU0,0;!PG;"), overcut.constData());
        f.config->setKnifeCompensate(true);
        f.config->setKnifeCompensateVal(0.5);
        QVERIFY(TRV610Plus::pressureTestPattern(0) != overcut);
        CutSceneSettings::install(nullptr);
    }

    // Later patterns move 100 mm back beside the last one; the fifth ends
    // off to the side, then the cycle starts again at 1.
    void pressureCounterCyclesAndPicksTheEnd()
    {
        QVERIFY(f.link());
        const QList<int> before{0, 2, 3, 4, 5, 1};
        const QList<QByteArray> ends{"PU4000,1200;!PG;", "PU0,1200;!PG;", "PU0,1200;!PG;",
                                     "PU0,1200;!PG;",    "PU1200,-4800;!PG;", "PU0,1200;!PG;"};
        for (int i = 0; i < before.size(); ++i) {
            QCOMPARE(f.device->pressureTestCount(), before.at(i));
            const QByteArray plot = runPressureTest();
            QCOMPARE(endOf(plot), ends.at(i));
            if (before.at(i) > 0)
                QVERIFY2(plot.startsWith("IN;PA;SP2;PU-3383,400;PD-3383,137,"), plot.constData());
        }
        QCOMPARE(f.device->pressureTestCount(), 2);
        QCOMPARE(m_app.stops.load(), 6);
        // Moving the web across starts the patterns afresh.
        QVERIFY(f.device->wMoveY(0));
        QCOMPARE(f.device->pressureTestCount(), 0);
    }

    // A refused start leaves the counter and the running job's plot alone.
    void refusedStartsChangeNothing()
    {
        QVERIFY(!f.device->testPressure());
        QCOMPARE(f.device->errorMessage(), QStringLiteral("请检查设备状态， 正在执行任务或者未连接"));
        QCOMPARE(f.device->pressureTestCount(), 0);
        QVERIFY(f.device->pltData().isEmpty());

        QVERIFY(f.link());
        QVERIFY(f.device->cut100mmRect());
        const QByteArray running = f.device->pltData();
        QVERIFY(!f.device->testPressure());
        QCOMPARE(f.device->errorMessage(), QStringLiteral("机器繁忙，请稍后重试"));
        QCOMPARE(f.device->pressureTestCount(), 0);
        QCOMPARE(f.device->pltData(), running);
        QTRY_VERIFY_WITH_TIMEOUT(f.device->idle(), kHangMs);
        QCOMPARE(m_web->plots().size(), 1);
        QCOMPARE(m_web->plots().first().data, running);
    }
};

QTEST_MAIN(TestTestCuts)
#include "tst_test_cuts.moc"
