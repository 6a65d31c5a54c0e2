// The task entry points of the driver: each builds a job worker and starts
// it on the task thread; one job at a time.
#include "machine/jobs/task_entries.h"

#include "machine/commands/plot_buffer.h"
#include "machine/jobs/job_runner.h"
#include "machine/jobs/task_worker.h"
#include "machine/machine_context.h"
#include "machine/state/device_state.h"
#include "machine/task_app.h"
#include "machine/trv610plus.h"

#include <QCoreApplication>
#include <QDebug>
#include <QFile>

TaskEntries::TaskEntries(TRV610Plus &device, JobRunner &jobs, DeviceState &state, PlotBuffer &plot,
                         const MachineContext &context)
    : m_device(device)
    , m_jobs(jobs)
    , m_state(state)
    , m_plot(plot)
    , m_context(context)
{
}

bool TaskEntries::startPlotJob(const QByteArray &plot, int kind, const QList<QPointF> &marks)
{
    // A refused start must not replace the plot data of the job running.
    if (!m_jobs.idle() || !m_state.linked.get())
        return m_jobs.createWork(nullptr);
    m_plot.setData(plot);
    return m_jobs.createWork(new TaskWorker(&m_device, marks, kind));
}

void TaskEntries::wStart()
{
    TaskApp *app = m_context.app();
    if (!app)
        return;
    m_state.pressureTestCount.store(0);
    m_state.origin.set(QPointF());
    app->generatePltData(QTransform());
    const bool cuts = app->cutTaskCopies() != 0;
    TaskWorker *worker = nullptr;
    if (cuts)
        worker = new TaskWorker(&m_device, app->pageMarkType(), app->currentPageMarkPoint());
    else
        worker = new TaskWorker(&m_device, int(TK_PrintOnly));
    // A worker without steps (unsupported cut type) is not started: the job
    // would end at once and leave the status "running" with nothing running.
    if (worker->steps().isEmpty()) {
        qCritical() << "TRV610Plus::wStart" << "nothing to run";
        delete worker;
        return;
    }
    // A refused start leaves the running job its kind.
    if (m_jobs.idle())
        app->jobStarting(cuts);
    m_jobs.createWork(worker);
}

void TaskEntries::cut()
{
    TaskApp *app = m_context.app();
    if (!app)
        return;
    QFile file(app->cutFile());
    if (!file.exists()) {
        m_state.errorMessage.set(QCoreApplication::translate("TRV610Plus", "切割文件未打开 \n"));
        return;
    }
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return;
    startPlotJob(file.readAll(), TK_Cut, app->currentPageMarkPoint());
}

void TaskEntries::autoFindPoint()
{
    m_jobs.createWork(new TaskWorker(&m_device, int(TK_PageSearch)));
}

void TaskEntries::autoCheckPoint()
{
    startMarkWalk(TK_MarkCheck);
}

void TaskEntries::cutRepeat()
{
    startMarkWalk(TK_RepeatCut);
}

void TaskEntries::startMarkWalk(int kind)
{
    TaskApp *app = m_context.app();
    if (!app)
        return;
    app->setMarkIndex(1);
    m_jobs.createWork(new TaskWorker(&m_device, app->currentPageMarkPoint(), kind));
}

void TaskEntries::checkCameraOffset()
{
    QFile file(QStringLiteral("3P5MM.plt"));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return;
    startPlotJob(file.readAll(), TK_CameraOffset);
}
