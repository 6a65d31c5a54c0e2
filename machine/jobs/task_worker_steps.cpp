// The machine steps of a job: cut, print, feed, positions, copies.
#include "machine/jobs/task_worker.h"

#include "settings/config.h"
#include "platform/scene/gpath_process.h"
#include "machine/task_app.h"
#include "machine/trv610plus.h"

#include <QDebug>
#include <QThread>

#include <cmath>

bool TaskWorker::moveOnce(const QPointF &offset, const std::function<bool()> &send)
{
    // Less than this from where the machine stood, in plotter units, it has
    // not moved.
    constexpr double kMovedUnits = 2.0;
    // Where the machine stands before the move is sent: a move that goes
    // unanswered may still have been made, and then it is not made twice.
    if (!m_device->rDevicePoint())
        return false;
    const QPointF here = m_device->devicePosition();
    if (m_unansweredMove) {
        m_unansweredMove = false;
        const QPointF moved = here - m_unansweredFrom;
        if (m_unansweredOffset == offset && std::hypot(moved.x(), moved.y()) >= kMovedUnits) {
            qWarning() << "TaskWorker::moveBy" << "the unanswered move" << offset << "was made" << moved
                       << "- not sent again";
            return true;
        }
    }
    if (send())
        return true;
    m_unansweredMove = true;
    m_unansweredFrom = here;
    m_unansweredOffset = offset;
    return false;
}

bool TaskWorker::moveBy(const QPointF &offset)
{
    if (!canFeed(offset.x() * 0.025))
        return false;
    if (!moveOnce(offset, [this, offset] { return m_device->wDevicePoint(offset); }))
        return false;
    if (TaskApp *a = app())
        a->clearFilm(0);
    return true;
}

void TaskWorker::printIfRollerLow()
{
    TaskApp *a = app();
    const Config *config = this->config();
    if (!a || !config)
        return;
    if (config->enablePrint() && config->printRollerTrigger() > m_device->printRoller())
        a->print();
}

void TaskWorker::taskWaitCutIdle(int &curStep)
{
    if (m_device->rCutMotorStatus() && m_device->cutMotorStatus() == 0)
        ++curStep;
}

void TaskWorker::taskPltSize(int &curStep)
{
    if (m_device->wPltSize())
        ++curStep;
}

void TaskWorker::taskPrePlt(int &curStep)
{
    if (m_device->rPrePltSend())
        ++curStep;
}

void TaskWorker::taskPlt(int &curStep)
{
    if (m_device->wPlt())
        ++curStep;
}

void TaskWorker::taskCutterXClear(int &curStep)
{
    if (m_device->cutterXClear())
        ++curStep;
}

bool TaskWorker::endIfPrintingOver(int &curStep, const char *where)
{
    if (m_kind != TK_PrintAndCut && m_kind != TK_PrintOnly)
        return false;
    TaskApp *a = app();
    if (!a || !a->printingOver())
        return false;
    qInfo() << where << "printing is over and every printed page cut, job ends";
    endJob(curStep);
    return true;
}

void TaskWorker::taskPrint(int &curStep)
{
    // Nothing more will be printed and every printed page is cut: no page
    // is searched for on blank web. A print failing now counts as well.
    if (endIfPrintingOver(curStep, "TaskWorker::taskPrint"))
        return;
    printIfRollerLow();
    if (!endIfPrintingOver(curStep, "TaskWorker::taskPrint"))
        ++curStep;
}

void TaskWorker::taskNextCopy(int &curStep)
{
    TaskApp *a = app();
    m_cutToCount = false;
    if (a && a->finishedOneCopies()) {
        ++curStep;
        return;
    }
    qInfo() << "TaskWorker::taskNextCopy" << "no copy due, job ends";
    endJob(curStep);
}

void TaskWorker::taskSaveStartPoint(int &curStep)
{
    if (m_device->rDevicePoint()) {
        m_startPoint = m_device->devicePosition();
        ++curStep;
    }
}

void TaskWorker::taskSaveEndPoint(int &curStep)
{
    if (m_device->rDevicePoint()) {
        m_endPoint = m_device->devicePosition();
        ++curStep;
    }
}

void TaskWorker::taskCutPage(int &curStep)
{
    if (runSubTask(TK_Cut)) {
        // Only a job's copies are counted; a trial copy never is, but the
        // page printed ahead that it cut is owed no more from now on,
        // whatever ends its walk before the count step.
        m_cutToCount = m_kind == TK_PrintAndCut && !m_trialCopy;
        TaskApp *a = app();
        if (m_trialCopy && a)
            a->trialCopyCut();
        ++curStep;
    } else
        endJob(curStep);
}

void TaskWorker::taskFeedToNextPage(int &curStep)
{
    const TaskApp *a = app();
    const Config *config = this->config();
    const double pageMm = (a ? a->cutPageSize().height() : 0.0) + (config ? config->pageSpacing() : 0.0);
    const QPointF move(GPathProcess::mm2Hpgl(pageMm) + (m_startPoint.x() - m_endPoint.x()),
                       m_startPoint.y() - m_endPoint.y());
    if (moveBy(move))
        ++curStep;
}

void TaskWorker::taskMoveBack(int &curStep)
{
    if (moveBy(m_startPoint - m_endPoint))
        ++curStep;
}

void TaskWorker::taskMoveToCamera(int &curStep)
{
    const Config *config = this->config();
    const QPointF move(-40.0 * (config ? config->markCameraOffsetX() : 0.0),
                       -40.0 * (config ? config->markCameraOffsetY() : 0.0));
    if (moveBy(move))
        ++curStep;
}

void TaskWorker::taskResetScan(int &curStep)
{
    m_scannedPoints.clear();
    m_scannedSizes.clear();
    if (TaskApp *a = app())
        a->clearFilm(-1);
    ++curStep;
}

void TaskWorker::taskSaveCameraOffset(int &curStep)
{
    Config *config = this->config();
    if (config && !m_scannedPoints.isEmpty()) {
        const QPointF o = markOffset(m_scannedPoints.last(), m_scannedSizes.last());
        const QPointF m = GPathProcess::hpgl2Mm(o);
        config->setMarkCameraOffsetX(config->markCameraOffsetX() - m.x());
        config->setMarkCameraOffsetY(config->markCameraOffsetY() - m.y());
        qInfo() << "TaskWorker::taskSaveCameraOffset" << config->markCameraOffsetX() << config->markCameraOffsetY();
    }
    ++curStep;
}
