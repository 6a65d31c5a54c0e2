// The task entry points of the driver: each builds a job worker and starts
// it on the task thread; one job at a time.
#include "machine/trv610plus.h"

#include "machine/task_app.h"
#include "machine/task_worker.h"

#include <QCoreApplication>
#include <QDebug>
#include <QFile>
#include <QThread>

QThread *TRV610Plus::taskThread()
{
    if (!m_taskThread) {
        m_taskThread = new QThread(this);
        m_taskThread->setObjectName(QStringLiteral("task"));
        connect(m_taskThread, &QThread::finished, this, &TRV610Plus::onTaskThreadFinished);
    }
    return m_taskThread;
}

void TRV610Plus::onTaskThreadFinished()
{
    if (TaskApp *app = TaskApp::instance())
        app->loadTaskSettings();
    m_idle.store(true);
}

bool TRV610Plus::waitTaskThread(int timeoutMs)
{
    if (!m_taskThread || !m_taskThread->isRunning())
        return true;
    // A job still running at shut-down is told to stop first.
    if (m_idle.load() == false && taskStatus() != 2)
        setTaskStatus(2);
    // The job's steps may wait on the GUI thread (scene look-ups, picture
    // scans): keep its events going while waiting, or both would stall.
    QDeadlineTimer deadline(timeoutMs);
    while (!m_taskThread->wait(QDeadlineTimer(10))) {
        if (deadline.hasExpired()) {
            qCritical() << "TRV610Plus::waitTaskThread" << "job thread did not end";
            return false;
        }
        if (QThread::currentThread() == thread())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

bool TRV610Plus::createWork(taskInterface *worker)
{
    if (!m_idle.load()) {
        delete worker;
        qWarning() << "TRV610Plus::createWork" << "thread is running";
        setErrorMessage(QStringLiteral("机器繁忙，请稍后重试"));
        return false;
    }
    if (!linked()) {
        delete worker;
        setErrorMessage(QStringLiteral("请检查设备状态， 正在执行任务或者未连接"));
        return false;
    }
    if (!worker)
        return false;
    m_idle.store(false);
    if (TaskApp *app = TaskApp::instance())
        app->setTaskStatus(1);
    setTaskStatus(1);
    QThread *thread = taskThread();
    worker->setParent(nullptr);
    worker->moveToThread(thread);
    connect(thread, &QThread::started, worker, &taskInterface::onWork);
    connect(thread, &QThread::finished, worker, &QObject::deleteLater);
    thread->start(QThread::InheritPriority);
    return true;
}

bool TRV610Plus::startPlotJob(const QByteArray &plot, int kind, const QList<QPointF> &marks)
{
    // A refused start must not replace the plot data of the job running.
    if (!m_idle.load() || !linked())
        return createWork(nullptr);
    setPltData(plot);
    return createWork(new TaskWorker(this, marks, kind));
}

void TRV610Plus::wStart()
{
    TaskApp *app = TaskApp::instance();
    if (!app)
        return;
    m_pressureTestCount.store(0);
    {
        QMutexLocker lock(&m_stateLock);
        m_origin = QPointF();
    }
    app->generatePltData(QTransform());
    TaskWorker *worker = nullptr;
    if (app->cutTaskCopies() != 0)
        worker = new TaskWorker(this, app->pageMarkType(), app->currentPageMarkPoint());
    else
        worker = new TaskWorker(this, int(TK_PrintOnly));
    // A worker without steps (unsupported cut type) is not started: the job
    // would end at once and leave the status "running" with nothing running.
    if (worker->steps().isEmpty()) {
        qCritical() << "TRV610Plus::wStart" << "nothing to run";
        delete worker;
        return;
    }
    createWork(worker);
}

void TRV610Plus::cut()
{
    TaskApp *app = TaskApp::instance();
    if (!app)
        return;
    QFile file(app->cutFile());
    if (!file.exists()) {
        setErrorMessage(QStringLiteral("切割文件未打开 \n"));
        return;
    }
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return;
    startPlotJob(file.readAll(), TK_Cut, app->currentPageMarkPoint());
}

void TRV610Plus::autoFindPoint()
{
    createWork(new TaskWorker(this, int(TK_PageSearch)));
}

void TRV610Plus::autoCheckPoint()
{
    startMarkWalk(TK_MarkCheck);
}

void TRV610Plus::cutRepeat()
{
    startMarkWalk(TK_RepeatCut);
}

// Jobs that visit the cut page's marks from the first one.
void TRV610Plus::startMarkWalk(int kind)
{
    TaskApp *app = TaskApp::instance();
    if (!app)
        return;
    app->setMarkIndex(1);
    createWork(new TaskWorker(this, app->currentPageMarkPoint(), kind));
}

void TRV610Plus::checkCameraOffset()
{
    QFile file(QStringLiteral("3P5MM.plt"));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return;
    startPlotJob(file.readAll(), TK_CameraOffset);
}
