#include "machine/jobs/job_runner.h"

#include "machine/jobs/poll_worker.h"
#include "machine/jobs/task_interface.h"
#include "machine/machine_context.h"
#include "machine/state/device_state.h"
#include "machine/task_app.h"
#include "settings/config.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDeadlineTimer>
#include <QThread>

namespace {
// A control cycle sees the polling switch within one pass (at most 500 ms).
constexpr int kControlJoinMs = 3000;

} // namespace

JobRunner::JobRunner(TRV610Plus &device, DeviceState &state, const MachineContext &context, QObject *parent)
    : QObject(parent)
    , m_device(device)
    , m_state(state)
    , m_context(context)
    , m_pollThread(std::make_unique<QThread>())
    , m_collectThread(std::make_unique<QThread>())
    , m_pollWorker(std::make_unique<PollWorker>(&device))
    , m_collectWorker(std::make_unique<pollworkerCollect>(&device))
{
    m_pollThread->setObjectName(QStringLiteral("poll"));
    m_collectThread->setObjectName(QStringLiteral("collect"));
    m_pollWorker->moveToThread(m_pollThread.get());
    m_collectWorker->moveToThread(m_collectThread.get());
    connect(m_pollThread.get(), &QThread::started, m_pollWorker.get(), &taskInterface::onWork);
    connect(m_collectThread.get(), &QThread::started, m_collectWorker.get(), &taskInterface::onWork);
    // Polling switched on again while a cycle was ending: that cycle's thread
    // ended all the same and is started again here, on the runner's thread.
    for (QThread *thread : {m_pollThread.get(), m_collectThread.get()}) {
        connect(thread, &QThread::finished, this, [this] {
            if (!m_stopped.load() && m_state.polling.get())
                startControlThreads();
        });
    }
    setPolling(m_state.polling.get());
}

JobRunner::~JobRunner()
{
    stopControlCycles();
    waitTaskThread(15000);
}

void JobRunner::setPolling(bool on)
{
    m_pollWorker->setPolling(on);
    m_collectWorker->setPolling(on);
    if (!on)
        return;
    m_stopped.store(false);
    startControlThreads();
}

void JobRunner::startControlThreads()
{
    // A cycle that ended when polling went off starts again on its thread.
    for (QThread *thread : {m_pollThread.get(), m_collectThread.get()}) {
        if (thread->isRunning())
            continue;
        thread->wait(kControlJoinMs);
        thread->start(QThread::InheritPriority);
    }
}

void JobRunner::stopControlCycles()
{
    m_stopped.store(true);
    m_pollWorker->setPolling(false);
    m_collectWorker->setPolling(false);
    // The collect cycle may be waiting for a check picture: that wait ends
    // by itself within the capture time-out.
    const Config *config = m_context.config();
    const int captureMs = config ? qMax(0, config->getProperty(Config::CPT_Wait_Capture).toInt()) : 10000;
    if (!m_pollThread->wait(kControlJoinMs))
        qCritical() << "TRV610Plus::unInit" << m_pollThread->objectName() << "thread did not end";
    if (!m_collectThread->wait(kControlJoinMs + captureMs))
        qCritical() << "TRV610Plus::unInit" << m_collectThread->objectName() << "thread did not end";
}

QThread *JobRunner::taskThread()
{
    if (!m_taskThread) {
        m_taskThread = new QThread(this);
        m_taskThread->setObjectName(QStringLiteral("task"));
        connect(m_taskThread, &QThread::finished, this, &JobRunner::onTaskThreadFinished);
    }
    return m_taskThread;
}

void JobRunner::onTaskThreadFinished()
{
    if (TaskApp *app = m_context.app())
        app->loadTaskSettings();
    m_idle.store(true);
}

bool JobRunner::waitTaskThread(int timeoutMs)
{
    if (!m_taskThread || !m_taskThread->isRunning())
        return true;
    // A job still running at shut-down is told to stop first.
    if (!m_idle.load() && m_state.taskStatus.get() != 2)
        m_state.taskStatus.set(2);
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

bool JobRunner::createWork(taskInterface *worker)
{
    if (!m_idle.load()) {
        delete worker;
        qWarning() << "TRV610Plus::createWork" << "thread is running";
        m_state.errorMessage.set(QCoreApplication::translate("TRV610Plus", "机器繁忙，请稍后重试"));
        return false;
    }
    if (!m_state.linked.get()) {
        delete worker;
        m_state.errorMessage.set(QCoreApplication::translate("TRV610Plus", "请检查设备状态， 正在执行任务或者未连接"));
        return false;
    }
    if (!worker)
        return false;
    m_idle.store(false);
    if (TaskApp *app = m_context.app())
        app->setTaskStatus(1);
    m_state.taskStatus.set(1);
    QThread *thread = taskThread();
    worker->setParent(nullptr);
    worker->moveToThread(thread);
    connect(thread, &QThread::started, worker, &taskInterface::onWork);
    connect(thread, &QThread::finished, worker, &QObject::deleteLater);
    thread->start(QThread::InheritPriority);
    return true;
}
