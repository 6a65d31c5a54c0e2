// Task control of SpoolsmithApp: the start checks and start of a job, pause,
// resume and stop on short-lived threads of their own, and the copy count
// after every cut copy. The job itself runs in the driver's task worker.
#include "app/spoolsmith_app.h"

#include "machine/trv610plus.h"

#include <QDebug>
#include <QThread>

#include <chrono>
#include <system_error>

namespace {
// An internal stop waits at most this long for a pause or resume in
// progress; their commands are bounded by the reply time-outs.
constexpr auto kControlWait = std::chrono::seconds(30);

const char *controlName(int kind)
{
    switch (kind) {
    case 0: return "SpoolsmithApp::pauseTask";
    case 1: return "SpoolsmithApp::resumeTask";
    default: return "SpoolsmithApp::stopTask";
    }
}
} // namespace

struct SpoolsmithApp::ControlThread
{
    std::thread thread;
    std::atomic<bool> done{false};
};

bool SpoolsmithApp::startChecks()
{
    TRV610Plus *device = TRV610Plus::instance();
    QString message;
    if (printTaskCopies() == 0 && cutTaskCopies() == 0)
        message += tr("任务份数不能为0 \n");
    if (taskEnablePrint() && printPreview().isNull() && printerName() != QLatin1String("CorelDRAW")
        && printTaskCopies() >= 1)
        message += tr("打印文件未打开 \n");
    if (!device || !device->linked())
        message += tr("设备未连接，请重启设备或者选择设备 \n");
    if (message.isEmpty())
        return true;
    qWarning() << "SpoolsmithApp::startTask" << "refused:" << message.trimmed();
    if (device)
        device->setErrorMessage(message);
    return false;
}

bool SpoolsmithApp::isAllowedStart()
{
    return startChecks();
}

void SpoolsmithApp::startTask(bool recount, bool bExecOnce)
{
    TRV610Plus *device = TRV610Plus::instance();
    // A job in progress keeps its settings, counters and records: refuse
    // before anything is reloaded or reset.
    if (device && (!device->idle() || device->taskStatus() != 2 || taskStatus() != 2)) {
        qWarning() << "SpoolsmithApp::startTask" << "a job is running" << device->idle() << device->taskStatus()
                   << taskStatus();
        device->setErrorMessage(tr("机器繁忙，请稍后重试"));
        return;
    }

    loadTaskSettings();
    if (bExecOnce) {
        QMutexLocker lock(&m_taskSettingsLock);
        m_runOnce.store(true);
        m_enablePrint = 0;
    }
    if (!startChecks()) {
        loadTaskSettings();
        return;
    }

    if (recount)
        reCount();
    setMarkIndex(1);
    if (segmentX() != 0)
        setSegmentX(0);
    {
        QMutexLocker lock(&m_lengthLock);
        m_cutLength = 0.0;
        m_printedLength = 0.0;
        m_filmRollerAtStart = device->filmRoller();
        m_printRollerAtStart = device->printRoller();
    }
    beginWorkRecord();

    qInfo() << "SpoolsmithApp::startTask" << "cut" << cutTaskCopies() << "print" << printTaskCopies() << "once"
            << bExecOnce;
    device->wStart();
}

void SpoolsmithApp::reCount()
{
    setPrintCopies(0);
    setCutCopies(0);
    setCheckedCopies(0);
}

bool SpoolsmithApp::finishedOneCopies()
{
    if (m_runOnce.load()) {
        // The trial copy is neither counted nor repeated.
        loadTaskSettings();
        return false;
    }
    const int cutTask = cutTaskCopies();
    if (cutTask != 0) {
        const double height = qMax(0.0, cutPageSize().height());
        // One write for the day's and total counters and the batch records.
        recordCutCopy(height);
        m_cutCopies.fetch_add(1);
        emit cutCopiesChanged();
        QMutexLocker lock(&m_lengthLock);
        m_cutLength += height;
    }
    if (cutTask >= 1 && cutCopies() >= cutTask)
        return false;
    if (printTaskCopies() < 1)
        return true;
    return printCopies() < printTaskCopies();
}

double SpoolsmithApp::cutLength() const
{
    QMutexLocker lock(&m_lengthLock);
    return m_cutLength;
}

double SpoolsmithApp::printedLength() const
{
    QMutexLocker lock(&m_lengthLock);
    return m_printedLength;
}

void SpoolsmithApp::addPrintedLength(double mm)
{
    QMutexLocker lock(&m_lengthLock);
    m_printedLength += mm;
}

double SpoolsmithApp::printRollerAtStart() const
{
    QMutexLocker lock(&m_lengthLock);
    return m_printRollerAtStart;
}

double SpoolsmithApp::filmRollerAtStart() const
{
    QMutexLocker lock(&m_lengthLock);
    return m_filmRollerAtStart;
}

void SpoolsmithApp::pauseTask(bool bWait)
{
    launchControl(ControlKind::Pause, bWait);
}

void SpoolsmithApp::resumeTask(bool bWait)
{
    launchControl(ControlKind::Resume, bWait);
}

void SpoolsmithApp::stopTask(bool bWait)
{
    launchControl(ControlKind::Stop, bWait);
}

bool SpoolsmithApp::claimControl(bool waitForRunning)
{
    std::unique_lock<std::mutex> lock(m_controlLock);
    if (!waitForRunning) {
        if (m_busy.load())
            return false;
        m_busy.store(true);
        return true;
    }
    if (!m_controlIdle.wait_for(lock, kControlWait, [this] { return !m_busy.load(); }))
        qCritical() << "SpoolsmithApp::stopTask" << "pause or resume still running, stopping anyway";
    m_busy.store(true);
    return true;
}

void SpoolsmithApp::releaseControl()
{
    {
        std::lock_guard<std::mutex> lock(m_controlLock);
        m_busy.store(false);
    }
    m_controlIdle.notify_all();
}

void SpoolsmithApp::launchControl(ControlKind kind, bool bWait)
{
    const char *name = controlName(int(kind));
    TRV610Plus *device = TRV610Plus::instance();
    if (!device) {
        qCritical() << name << "no machine driver";
        return;
    }
    if (kind != ControlKind::Stop && taskStatus() == 2 && device->taskStatus() == 2) {
        qWarning() << name << "no job is running, nothing to do";
        return;
    }
    // A stop from the job itself (a failed step, the last copy, an unknown
    // page) must not be lost to a pause or resume in progress: it waits for
    // that one to end instead of being refused.
    const bool internal = kind == ControlKind::Stop && (bWait || QThread::currentThread() != thread());
    if (!internal && !claimControl(false)) {
        device->setErrorMessage(tr("请稍后重试 \n"));
        qCritical() << name << "正在执行,请稍后重试";
        return;
    }

    auto entry = std::make_shared<ControlThread>();
    auto body = [this, kind, internal, entry, device] {
        if (internal)
            claimControl(true);
        if (kind == ControlKind::Stop)
            stopBody(device);
        else
            pauseOrResumeBody(device, kind == ControlKind::Resume);
        releaseControl();
        {
            std::lock_guard<std::mutex> lock(m_controlLock);
            entry->done.store(true);
        }
        m_controlIdle.notify_all();
    };
    {
        std::lock_guard<std::mutex> threadsLock(m_controlThreadsLock);
        reapControlThreads();
        try {
            entry->thread = std::thread(body);
        } catch (const std::system_error &e) {
            qCritical() << name << "thread could not be started:" << e.what();
            if (!internal)
                releaseControl();
            return;
        }
        // Listed at once, so the shut-down joins it whatever happens here.
        m_controlThreads.push_back(entry);
    }
    if (!bWait)
        return;
    // The caller blocks until the body has sent its command; waiting on the
    // done flag keeps the join itself to one place.
    std::unique_lock<std::mutex> lock(m_controlLock);
    m_controlIdle.wait(lock, [&entry] { return entry->done.load(); });
}

void SpoolsmithApp::pauseOrResumeBody(TRV610Plus *device, bool resume)
{
    const char *name = resume ? "SpoolsmithApp::resumeTask" : "SpoolsmithApp::pauseTask";
    if (!device->rCutMotorStatus()) {
        qCritical() << name << "rCutMotorStatus failed";
        return;
    }
    const int motor = int(device->cutMotorStatus());
    const bool plotting = device->plotting();
    qDebug() << name << "cutMotorStatus: " << motor << "PPLT:" << plotting;

    const int status = resume ? 1 : 0;
    // The worker loop idles (or goes on) from its next cycle.
    device->setTaskStatus(status);
    // Only a cutter that is plotting in the opposite state needs the command.
    const int cutterState = resume ? 2 : 1;
    if (!plotting || motor != cutterState) {
        setTaskStatus(status);
        return;
    }
    const bool ok = resume ? device->wResume() : device->wPause();
    if (!ok) {
        qCritical() << name << (resume ? "wResume failed, 请稍后重试" : "wPause failed, 请稍后重试");
        device->setErrorMessage(tr("请稍后重试 \n"));
    }
}

void SpoolsmithApp::stopBody(TRV610Plus *device)
{
    // The worker loop ends at its next cycle.
    device->setTaskStatus(2);
    if (!device->exitTask()) {
        qCritical() << "SpoolsmithApp::stopTask" << "exitTask failed, 请稍后重试";
        device->setErrorMessage(tr("请稍后重试 \n"));
        return;
    }
    // Ends run-once mode and restores printing.
    loadTaskSettings();
}

void SpoolsmithApp::reapControlThreads()
{
    for (auto it = m_controlThreads.begin(); it != m_controlThreads.end();) {
        ControlThread &t = **it;
        if (!t.done.load() || !t.thread.joinable() || t.thread.get_id() == std::this_thread::get_id()) {
            ++it;
            continue;
        }
        try {
            t.thread.join();
            it = m_controlThreads.erase(it);
        } catch (const std::system_error &e) {
            qCritical() << "SpoolsmithApp::reapControlThreads" << "join failed:" << e.what();
            ++it;
        }
    }
}

int SpoolsmithApp::controlThreadCount() const
{
    std::lock_guard<std::mutex> lock(m_controlThreadsLock);
    return int(m_controlThreads.size());
}

void SpoolsmithApp::joinControlThreads()
{
    std::vector<std::shared_ptr<ControlThread>> threads;
    {
        std::lock_guard<std::mutex> lock(m_controlThreadsLock);
        threads.swap(m_controlThreads);
    }
    for (const auto &t : threads) {
        if (!t->thread.joinable())
            continue;
        if (t->thread.get_id() == std::this_thread::get_id()) {
            qCritical() << "SpoolsmithApp::joinControlThreads" << "called on a control thread, left running";
            t->thread.detach();
            continue;
        }
        try {
            t->thread.join();
        } catch (const std::system_error &e) {
            // A joinable thread must never be destroyed.
            qCritical() << "SpoolsmithApp::joinControlThreads" << "join failed:" << e.what();
            t->thread.detach();
        }
    }
}
