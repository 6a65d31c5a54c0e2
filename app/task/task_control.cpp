#include "app/task/task_control.h"

#include "app/records/production_records.h"
#include "app/task/task_counters.h"
#include "app/task/task_settings.h"
#include "machine/trv610plus.h"

#include <QCoreApplication>
#include <QDebug>
#include <QThread>

#include <chrono>

namespace {
// Shut-down waits at most this long for the control threads.
constexpr auto kControlWait = std::chrono::seconds(30);

const char *controlName(TaskControl::Kind kind)
{
    switch (kind) {
    case TaskControl::Kind::Pause: return "SpoolsmithApp::pauseTask";
    case TaskControl::Kind::Resume: return "SpoolsmithApp::resumeTask";
    default: return "SpoolsmithApp::stopTask";
    }
}

// The operator's texts keep the translation context they were written in.
QString text(const char *source)
{
    return QCoreApplication::translate("SpoolsmithApp", source);
}
} // namespace

TaskControl::TaskControl(AppServices services, TaskSettings &settings, TaskCounters &counters,
                         ProductionRecords &records, Hooks hooks)
    : m_services(std::move(services))
    , m_settings(settings)
    , m_counters(counters)
    , m_records(records)
    , m_hooks(std::move(hooks))
{
}

TaskControl::~TaskControl()
{
    joinControlThreads();
}

bool TaskControl::startChecks(bool recount)
{
    TRV610Plus *device = m_services.device();
    QString message;
    if (m_counters.printTaskCopies() == 0 && m_counters.cutTaskCopies() == 0)
        message += text(QT_TRANSLATE_NOOP("SpoolsmithApp", "任务份数不能为0 \n"));
    if (m_settings.enablePrint() && m_hooks.printFileMissing() && m_counters.printTaskCopies() >= 1)
        message += text(QT_TRANSLATE_NOOP("SpoolsmithApp", "打印文件未打开 \n"));
    // A print-only job with printing off would run with nothing to do and
    // never end (a trial copy prints nothing by design and ends by itself).
    if (!m_settings.enablePrint() && !m_settings.runOnce() && m_counters.cutTaskCopies() == 0
        && m_counters.printTaskCopies() != 0)
        message += text(QT_TRANSLATE_NOOP("SpoolsmithApp", "打印已禁用，不能开始只打印的任务 \n"));
    if (!device || !device->linked())
        message += text(QT_TRANSLATE_NOOP("SpoolsmithApp", "设备未连接，请重启设备或者选择设备 \n"));
    // A job started now would have no row to print, or the sheet before's:
    // refused, so that it never ends for want of data that is on its way.
    if (m_settings.enablePrint() && m_hooks.dataSourceReading && m_hooks.dataSourceReading())
        message += text(QT_TRANSLATE_NOOP("SpoolsmithApp", "数据源正在读取，请读取完成后再开始 \n"));
    // The print file still holds a row of the sheet before.
    if (m_settings.enablePrint() && m_hooks.dataSourceUnreadable && m_hooks.dataSourceUnreadable())
        message += QCoreApplication::translate("PrintFile", "数据源无法读取") + QStringLiteral(" \n");
    // Printing is over and nothing printed waits for the cutter: a job would
    // end at once; the operator chooses a row, or starts the counts over.
    const bool owed = !recount && m_counters.cutTaskCopies() != 0 && m_counters.owedCuts() > 0;
    if (jobPrints() && !owed) {
        const PrintingEnd end = printingEnd(recount);
        if (end == PrintingEnd::DataEnded)
            message += QCoreApplication::translate("PrintFile", "数据源已到最后一行，打印停止") + QStringLiteral(" \n");
        else if (end == PrintingEnd::PresetReached)
            message += text(QT_TRANSLATE_NOOP("SpoolsmithApp", "打印份数已完成，请清零后再开始 \n"));
    }
    // The job would cut the old scene, and the new one replace it mid-job.
    if (m_hooks.cutFileOpening && m_hooks.cutFileOpening())
        message += text(QT_TRANSLATE_NOOP("SpoolsmithApp", "切割文件正在载入，请稍后 \n"));
    if (message.isEmpty())
        return true;
    qWarning() << "SpoolsmithApp::startTask" << "refused:" << message.trimmed();
    if (device)
        device->setErrorMessage(message);
    return false;
}

void TaskControl::startTask(bool recount, bool once)
{
    TRV610Plus *device = m_services.device();
    const int appStatus = m_hooks.taskStatus();
    // A job in progress keeps its settings, counters and records: refuse
    // before anything is reloaded or reset.
    if (device && (!device->idle() || device->taskStatus() != 2 || appStatus != 2)) {
        qWarning() << "SpoolsmithApp::startTask" << "a job is running" << device->idle() << device->taskStatus()
                   << appStatus;
        device->setErrorMessage(text(QT_TRANSLATE_NOOP("SpoolsmithApp", "机器繁忙，请稍后重试")));
        return;
    }

    m_settings.load();
    if (once)
        m_settings.startRunOnce();
    if (!startChecks(recount)) {
        m_settings.load();
        return;
    }

    if (recount)
        m_counters.reset();
    m_hooks.prepareRun();
    m_counters.startRun(device->filmRoller(), device->printRoller(), m_counters.cutTaskCopies() != 0);
    m_records.beginWorkRecord();

    qInfo() << "SpoolsmithApp::startTask" << "cut" << m_counters.cutTaskCopies() << "print"
            << m_counters.printTaskCopies() << "once" << once;
    device->wStart();
}

bool TaskControl::finishedOneCopies()
{
    if (m_settings.runOnce()) {
        // The trial copy is neither counted nor repeated; the owed page it
        // cut was taken once its cut was complete.
        m_settings.load();
        return false;
    }
    // A job counts what it does: every page of a cutting job is a cut copy,
    // a print-only job cuts none; the presets only decide when it ends.
    const bool cuts = jobCuts();
    const int cutTask = cuts ? m_counters.cutTaskCopies() : 0;
    if (cuts) {
        const double height = qMax(0.0, m_hooks.cutPageHeight());
        // One write for the day's and total counters and the batch records.
        m_records.recordCutCopy(height, m_counters.nextCutIsEarlierJobs());
        m_counters.addCutCopy(height);
    }
    if (cutTask >= 1 && m_counters.cutCopies() >= cutTask)
        return false;
    if (printingOver())
        return false;
    // A job that prints and cuts goes on until what it printed is cut.
    if (cuts && jobPrints())
        return true;
    const int printTask = m_counters.printTaskCopies();
    if (printTask < 1)
        return true;
    return m_counters.printCopies() < printTask;
}

void TaskControl::trialCopyCut()
{
    m_counters.takeOwedCut();
}

bool TaskControl::jobCuts() const
{
    return m_hooks.taskStatus() != 2 ? m_jobCuts.load() : m_counters.cutTaskCopies() != 0;
}

bool TaskControl::jobPrints() const
{
    return m_settings.enablePrint() && !m_settings.runOnce();
}

TaskControl::PrintingEnd TaskControl::printingEnd(bool recount) const
{
    if (!jobPrints())
        return PrintingEnd::Printing;
    if (m_hooks.dataSourceEnded && m_hooks.dataSourceEnded())
        return PrintingEnd::DataEnded;
    if (m_hooks.dataRowFailed && m_hooks.dataRowFailed())
        return PrintingEnd::RowFailed;
    const int printTask = m_counters.printTaskCopies();
    if (printTask >= 1 && !recount && m_counters.printCopies() >= printTask)
        return PrintingEnd::PresetReached;
    if (m_hooks.printFailed && m_hooks.printFailed())
        return PrintingEnd::PrintFailed;
    return PrintingEnd::Printing;
}

bool TaskControl::printingOver()
{
    const PrintingEnd end = printingEnd();
    if (end == PrintingEnd::Printing)
        return false;
    // Pages printed before are still cut, those earlier jobs left on the
    // web included; none is searched for past them.
    const int owed = jobCuts() ? m_counters.owedCuts() : 0;
    if (owed > 0)
        return false;
    const char *why = end == PrintingEnd::DataEnded ? "the data source's last row is printed"
        : end == PrintingEnd::RowFailed             ? "a data row was not written"
        : end == PrintingEnd::PrintFailed           ? "a print failed"
                                                    : "the print preset is reached";
    qInfo() << "SpoolsmithApp::finishedOneCopies" << why << "printed" << m_counters.runPrintCopies() << "cut"
            << m_counters.runCutCopies() << "- job ends";
    return true;
}

bool TaskControl::claim(bool waitForRunning)
{
    std::unique_lock<std::mutex> lock(m_controlLock);
    if (!waitForRunning) {
        if (m_busy.load())
            return false;
        m_busy.store(true);
        return true;
    }
    if (!m_controlIdle.wait_for(lock, m_hooks.internalStopWait, [this] { return !m_busy.load(); })) {
        // Taking the flag now would let that body clear it mid-stop and set
        // its own status after the stop's: wait for it to end. Its commands
        // are bounded by the reply time-outs.
        qCritical() << "SpoolsmithApp::stopTask" << "pause or resume still running, waiting for it to end";
        m_controlIdle.wait(lock, [this] { return !m_busy.load(); });
    }
    m_busy.store(true);
    return true;
}

void TaskControl::release()
{
    {
        std::lock_guard<std::mutex> lock(m_controlLock);
        m_busy.store(false);
    }
    m_controlIdle.notify_all();
}

void TaskControl::control(Kind kind, bool bWait)
{
    const char *name = controlName(kind);
    TRV610Plus *device = m_services.device();
    if (!device) {
        qCritical() << name << "no machine driver";
        return;
    }
    if (kind != Kind::Stop && m_hooks.taskStatus() == 2 && device->taskStatus() == 2) {
        qWarning() << name << "no job is running, nothing to do";
        return;
    }
    // A stop from the job itself (a failed step, the last copy, an unknown
    // page) must not be lost to a pause or resume in progress: it waits for
    // that one to end instead of being refused.
    const bool internal = kind == Kind::Stop && (bWait || QThread::currentThread() != m_hooks.guiThread);
    if (!internal && !claim(false)) {
        device->setErrorMessage(text(QT_TRANSLATE_NOOP("SpoolsmithApp", "请稍后重试 \n")));
        qCritical() << name << "正在执行,请稍后重试";
        return;
    }

    // The driver outlives the control threads: shut-down joins them first.
    const ThreadGroup::Handle thread = m_threads.start([this, kind, internal, device] {
        if (internal)
            claim(true);
        if (kind == Kind::Stop)
            stop(device);
        else
            pauseOrResume(device, kind == Kind::Resume);
        release();
    });
    if (!thread) {
        if (!internal)
            release();
        return;
    }
    // The caller blocks until the body has sent its command.
    if (bWait)
        m_threads.waitDone(thread);
}

void TaskControl::pauseOrResume(TRV610Plus *device, bool resume)
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
        m_hooks.setTaskStatus(status);
        return;
    }
    const bool ok = resume ? device->wResume() : device->wPause();
    if (!ok) {
        qCritical() << name << (resume ? "wResume failed, 请稍后重试" : "wPause failed, 请稍后重试");
        device->setErrorMessage(text(QT_TRANSLATE_NOOP("SpoolsmithApp", "请稍后重试 \n")));
    }
}

void TaskControl::stop(TRV610Plus *device)
{
    // The worker loop ends at its next cycle.
    device->setTaskStatus(2);
    if (!device->linked()) {
        // A job held on a lost link: no report can come from the machine,
        // so the job ends here.
        qWarning() << "SpoolsmithApp::stopTask" << "machine not linked, job ended here";
        m_hooks.setTaskStatus(2);
        m_settings.load();
        return;
    }
    if (!device->exitTask()) {
        qCritical() << "SpoolsmithApp::stopTask" << "exitTask failed, 请稍后重试";
        device->setErrorMessage(text(QT_TRANSLATE_NOOP("SpoolsmithApp", "请稍后重试 \n")));
        return;
    }
    // Ends run-once mode and restores printing.
    m_settings.load();
}

int TaskControl::controlThreadCount() const
{
    return m_threads.count();
}

void TaskControl::joinControlThreads()
{
    m_threads.joinAll(kControlWait);
}
