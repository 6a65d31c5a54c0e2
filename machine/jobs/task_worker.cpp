// The job worker: its task kinds, the roller check and the job's end.
#include "machine/jobs/task_worker.h"

#include "settings/config.h"
#include "machine/task_app.h"
#include "machine/trv610plus.h"

#include <QCoreApplication>
#include <QDebug>

#include <climits>

TaskWorker::TaskWorker(TRV610Plus *device, int kind, QObject *parent)
    : taskInterface(device, parent)
{
    if (kind >= 0)
        setTask(kind);
}

TaskWorker::TaskWorker(TRV610Plus *device, int cutType, const QList<QPointF> &markPoints, QObject *parent)
    : taskInterface(device, parent)
    , m_markPoints(markPoints)
{
    if (cutType == 0 || cutType == 1 || cutType == 4) {
        setTask(TK_PrintAndCut);
        return;
    }
    qCritical() << "TaskWorker::TaskWorker" << "未实现的切割类型" << cutType;
    if (device)
        device->setErrorMessage(QCoreApplication::translate("TRV610Plus", "不支持的切割类型!"));
    // Nothing to run, but the job that starts must end: a status left
    // "running" with no job behind it would block the next start.
    m_steps.append([this](int &s) { taskFinish(s); });
}

TaskWorker::TaskWorker(TRV610Plus *device, const QList<QPointF> &markPoints, int kind, QObject *parent)
    : taskInterface(device, parent)
    , m_markPoints(markPoints)
{
    if (kind >= 0)
        setTask(kind);
}

std::atomic<qint64> TaskWorker::s_finishedJobsWaitNs{0};
std::atomic<qint64> TaskWorker::s_finishedJobsReplyWaitNs{0};

TaskWorker::~TaskWorker()
{
    s_finishedJobsWaitNs += sleptNs();
    s_finishedJobsReplyWaitNs += replyWaitNs();
}

TaskApp *TaskWorker::app() const
{
    return m_device ? m_device->context().app() : nullptr;
}

Config *TaskWorker::config() const
{
    return m_device ? m_device->context().config() : nullptr;
}

void TaskWorker::setTask(int kind)
{
    m_kind = kind;
    // The job is built after its start set run-once mode, and before a
    // stop can end it.
    const TaskApp *a = app();
    m_trialCopy = kind == TK_PrintAndCut && a && a->runOnce();
    m_steps.clear();
    buildSteps(kind, m_steps);
    m_steps.append([this](int &s) { taskFinish(s); });
}

QList<TaskWorker::StepMember> TaskWorker::stepsOf(int kind)
{
    const StepMember cycle = &TaskWorker::sleepCycle;
    switch (kind) {
    case TK_Cut:
        return {&TaskWorker::taskWaitCutIdle, &TaskWorker::taskPltSize, &TaskWorker::taskPrePlt, &TaskWorker::taskPlt,
                &TaskWorker::taskWaitCutIdle};
    case TK_PrintOnly:
        return {&TaskWorker::taskPrint, &TaskWorker::taskNextCopy, cycle};
    case TK_PrintAndCut:
        return {&TaskWorker::taskPrint, &TaskWorker::taskCutterXClear, &TaskWorker::taskFindPage,
                &TaskWorker::taskLocateFirstMark, &TaskWorker::taskScanOK, &TaskWorker::taskSaveStartPoint,
                &TaskWorker::taskCutPage, &TaskWorker::taskSaveEndPoint, &TaskWorker::taskFeedToNextPage,
                &TaskWorker::taskWaitCutIdle, &TaskWorker::taskNextCopy, cycle};
    case TK_CameraOffset:
        return {&TaskWorker::taskWaitCutIdle, &TaskWorker::taskCutterXClear, &TaskWorker::taskPltSize,
                &TaskWorker::taskPrePlt, &TaskWorker::taskPlt, &TaskWorker::taskWaitCutIdle,
                &TaskWorker::taskMoveToCamera, &TaskWorker::taskWaitCutIdle, &TaskWorker::taskScanMark,
                &TaskWorker::taskSaveCameraOffset};
    case TK_PageSearch:
        return {&TaskWorker::taskWaitCutIdle, &TaskWorker::taskProbeMark, &TaskWorker::taskFeedSearch,
                &TaskWorker::taskMarkSearch, &TaskWorker::taskResetScan};
    case TK_ScanMarks:
        return {&TaskWorker::taskResetScan, &TaskWorker::taskWaitCutIdle, &TaskWorker::taskScanMark,
                &TaskWorker::taskMoveToNextMark, &TaskWorker::taskWaitCutIdle};
    case TK_MarkCheck:
        return {&TaskWorker::taskFindPage, &TaskWorker::taskLocateFirstMark, &TaskWorker::taskScanOK, cycle};
    case TK_CentreMark:
        return {&TaskWorker::taskWaitCutIdle, &TaskWorker::taskScanMark, &TaskWorker::taskMoveToImageCenter,
                &TaskWorker::taskWaitCutIdle};
    case TK_RepeatCut:
        return {&TaskWorker::taskFindPage, &TaskWorker::taskLocateFirstMark, &TaskWorker::taskScanOK,
                &TaskWorker::taskSaveStartPoint, &TaskWorker::taskCutPage, &TaskWorker::taskSaveEndPoint,
                &TaskWorker::taskMoveBack, cycle};
    default:
        return {}; // no steps
    }
}

void TaskWorker::buildSteps(int kind, QList<TaskStep> &list)
{
    for (StepMember step : stepsOf(kind))
        list.append([this, step](int &s) { (this->*step)(s); });
}

bool TaskWorker::runSubTask(int kind)
{
    QList<TaskStep> steps;
    buildSteps(kind, steps);
    return doWork(steps);
}

void TaskWorker::forceStopped()
{
    // A stop refused because a pause or stop was in progress must still end
    // the job: the status may not stay "running" with nothing running.
    if (!m_device || m_device->taskStatus() == 2)
        return;
    qWarning() << "TaskWorker::endJob" << "stop request refused, stopping here";
    m_device->setTaskStatus(2);
    if (TaskApp *a = app())
        a->setTaskStatus(2);
    if (m_device->linked() && !m_device->exitTask())
        qCritical() << "TaskWorker::endJob" << "exitTask failed";
}

void TaskWorker::endJob(int &curStep)
{
    if (m_device && m_device->taskStatus() != 2) {
        if (TaskApp *a = app())
            a->stopTask(true);
        forceStopped();
    }
    // The application's status follows the machine's reports; with the link
    // down none will come, and a status left "running" refused every later
    // start as busy.
    if (m_device && !m_device->linked()) {
        if (TaskApp *a = app(); a && a->taskStatus() != 2)
            a->setTaskStatus(2);
    }
    m_taskStatus.store(2);
    curStep = INT_MAX;
}

bool TaskWorker::canFeed(double lengthMm)
{
    if (lengthMm == 0.0 || !m_device)
        return true;
    const Config *config = this->config();
    if (!config)
        return true;
    const double filmNum = config->getProperty(Config::CPT_Film_Roller_Num).toDouble();
    const double collectNum = config->getProperty(Config::CPT_Collect_Roller_Num).toDouble();
    // A roller count of 0 would divide by zero: then that roller is not checked.
    const double film = filmNum > 0 ? m_device->filmRoller() - lengthMm * 0.05 / filmNum : m_device->filmRoller();
    const double collect
        = collectNum > 0 ? m_device->collectRoller() + lengthMm * 0.05 / collectNum : m_device->collectRoller();
    if (lengthMm > 0)
        return film > config->filmRollerLimit() && collect < config->collectRollerMax();
    if (collect > config->collectRollerLimit())
        return true;
    m_device->setErrorMessage(QCoreApplication::translate("TRV610Plus", " 收纸容纸限位 "));
    int step = 0;
    endJob(step);
    return false;
}

void TaskWorker::walkEnded()
{
    if (!m_cutToCount)
        return;
    m_cutToCount = false;
    qInfo() << "TaskWorker::walkEnded" << "the job ended after a completed cut: the page is counted";
    if (TaskApp *a = app())
        a->finishedOneCopies();
}

void TaskWorker::taskFinish(int &curStep)
{
    endJob(curStep);
}
