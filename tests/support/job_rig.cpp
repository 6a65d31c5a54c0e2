#include "tests/support/job_rig.h"

#include "app/cut_scene_settings.h"
#include "app/spoolsmith_app.h"
#include "platform/scene/gscene.h"

#include <QEventLoop>
#include <QTimer>

SpoolsmithApp *JobRig::app()
{
    return SpoolsmithApp::instance();
}

bool JobRig::setUp(bool controlCycles)
{
    if (!f.makeSettings(DeviceFixture::Folder::Program))
        return false;
    CutSceneSettings::install([] { return SpoolsmithApp::instance()->cutScene(); });
    f.useTestMarkCamera(int(kHangMs));
    f.config->setMarkCameraOffsetX(0.0);
    f.config->setMarkCameraOffsetY(0.0);
    if (!f.startSimulator())
        return false;
    web = std::make_unique<WebModel>(*f.sim);
    f.controlCycles = controlCycles;
    f.makeDevice(DeviceFixture::Driver::Registered);
    if (!f.link())
        return false;
    // Room for a whole page forward and back (200 mm moves a roller by 10).
    f.device->setFilmRoller(95);
    f.device->setCollectRoller(80);
    f.device->setPrintRoller(80);
    camera = std::make_unique<TestCamera>();
    camera->setMarkSizeMm(4.0);
    WebModel *w = web.get();
    camera->setMarkSource([w](const QSize &s) { return w->marksInView(s); });
    if (!app()->connectCameraObject(camera.get()))
        return false;
    app()->setTaskStatus(2);
    app()->cutScene()->gClear();
    return true;
}

void JobRig::tearDown()
{
    if (f.device && !f.device->idle()) {
        f.device->setTaskStatus(2);
        waitIdle();
    }
    camera.reset();
    // The template picture goes into the job's folder, removed with it.
    app()->waitTemplateFile();
    f.tearDown();
    // Kept until the simulator, whose plot and reply handlers point into it, is gone.
    web.reset();
}

bool JobRig::waitIdle(qint64 ms)
{
    if (f.device->idle())
        return true;
    // A real event loop, as the program runs: the job's hand-overs to the
    // GUI thread (pictures, scene switches) are taken at once, where
    // QTest::qWait would let each wait up to 10 ms.
    QEventLoop loop;
    QTimer poll;
    poll.setInterval(5);
    QObject::connect(&poll, &QTimer::timeout, &loop, [this, &loop] {
        if (f.device->idle())
            loop.quit();
    });
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    poll.start();
    loop.exec();
    return f.device->idle();
}

int JobRig::plotCount(bool cutsOnly) const
{
    int n = 0;
    for (const WebModel::Plot &p : web->plots())
        n += (!cutsOnly || !p.move) ? 1 : 0;
    return n;
}

QList<double> JobRig::plotNumbers(const QByteArray &hpgl)
{
    QList<double> out;
    QList<QPolygonF> strokes;
    QPointF end;
    WebModel::parsePlot(hpgl, strokes, end);
    for (const QPolygonF &s : strokes)
        for (const QPointF &p : s)
            out << p.x() << p.y();
    return out;
}
