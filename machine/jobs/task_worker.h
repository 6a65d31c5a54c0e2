#pragma once

#include "machine/jobs/task_interface.h"

#include <QList>
#include <QPointF>

#include <atomic>
#include <functional>

class Config;
class TaskApp;

// The task kinds of a job worker.
enum TaskKind : int {
    TK_Cut = 1,
    TK_PrintOnly = 2,
    TK_PrintAndCut = 3,
    TK_CameraOffset = 4,
    TK_PageSearch = 5,
    TK_ScanMarks = 6,
    TK_MarkCheck = 7,
    TK_CentreMark = 8,
    TK_RepeatCut = 9,
};

// The worker that runs one machine task on the driver's task thread.
class TaskWorker : public taskInterface
{
    Q_OBJECT

public:
    TaskWorker(TRV610Plus *device, int kind, QObject *parent = nullptr);
    // The print-and-cut job; cut types 0, 1 and 4 are supported.
    TaskWorker(TRV610Plus *device, int cutType, const QList<QPointF> &markPoints, QObject *parent = nullptr);
    TaskWorker(TRV610Plus *device, const QList<QPointF> &markPoints, int kind, QObject *parent = nullptr);
    ~TaskWorker() override;

    using StepMember = void (TaskWorker::*)(int &);
    // The step list of a task kind, in order (empty outside 1 to 9).
    static QList<StepMember> stepsOf(int kind);
    void setTask(int kind);
    void buildSteps(int kind, QList<TaskStep> &list);
    bool runSubTask(int kind);
    bool canFeed(double lengthMm);

    // The fixed waits of every job worker that has ended so far, ns: what a
    // job's time is less its waiting (the per-page figure of the line).
    static qint64 finishedJobsWaitNs() { return s_finishedJobsWaitNs.load(); }
    // And what they waited for the machine's replies, ns.
    static qint64 finishedJobsReplyWaitNs() { return s_finishedJobsReplyWaitNs.load(); }

    QPointF startPoint() const { return m_startPoint; }
    QPointF endPoint() const { return m_endPoint; }
    QList<QPointF> markPoints() const { return m_markPoints; }
    QList<QPointF> scannedPoints() const { return m_scannedPoints; }

    // The steps.
    void taskWaitCutIdle(int &curStep);
    void taskPltSize(int &curStep);
    void taskPrePlt(int &curStep);
    void taskPlt(int &curStep);
    void taskCutterXClear(int &curStep);
    void taskPrint(int &curStep);
    void taskNextCopy(int &curStep);
    void taskSaveStartPoint(int &curStep);
    void taskSaveEndPoint(int &curStep);
    void taskCutPage(int &curStep);
    void taskFeedToNextPage(int &curStep);
    void taskMoveBack(int &curStep);
    void taskMoveToCamera(int &curStep);
    void taskResetScan(int &curStep);
    void taskFinish(int &curStep);
    void taskScanMark(int &curStep);
    void taskProbeMark(int &curStep);
    void taskFeedSearch(int &curStep);
    void taskMarkSearch(int &curStep);
    void taskMoveToImageCenter(int &curStep);
    void taskFindPage(int &curStep);
    void taskLocateFirstMark(int &curStep);
    void taskMoveToNextMark(int &curStep);
    void taskScanOK(int &curStep);
    void taskSaveCameraOffset(int &curStep);

protected:
    // A page whose cut completed is counted even when the job ended (a
    // stop, a failed feed) before its count step.
    void walkEnded() override;

private:
    // Ends the job from a step: stop request (unless already stopped), and
    // the status forced to stopped when a pause or stop in progress refused
    // it; then the list ends.
    void endJob(int &curStep);
    void forceStopped();
    // Moves the machine by an offset in plotter units after the roller check.
    bool moveBy(const QPointF &offset);
    // Sends a relative move once: after a send that went unanswered, the
    // machine's position tells whether it was made before it is sent again.
    bool moveOnce(const QPointF &offset, const std::function<bool()> &send);
    // Offset of a found mark from the image centre, plotter units.
    QPointF markOffset(const QPointF &p, double diameter) const;
    void printIfRollerLow();
    // A job's printing is over and no page printed waits for the cutter:
    // the job ends here, wherever it printed, and feeds no more web.
    bool endIfPrintingOver(int &curStep, const char *where);
    TaskApp *app() const;
    Config *config() const;

    QPointF m_startPoint;
    QPointF m_endPoint;
    QList<QPointF> m_markPoints;
    QList<QPointF> m_scannedPoints;
    QList<double> m_scannedSizes;
    double m_searchFeed = 0.0;
    int m_scanAttempts = 0;
    int m_centringMoves = 0;
    // The last move sent without an answer, and where the machine stood.
    bool m_unansweredMove = false;
    QPointF m_unansweredFrom;
    QPointF m_unansweredOffset;
    int m_kind = 0;
    // A single trial copy: fixed when the job is built, as a stop ends the
    // application's run-once mode before the walk does.
    bool m_trialCopy = false;
    // A page cut completely and not yet counted (never a trial copy).
    bool m_cutToCount = false;
    static std::atomic<qint64> s_finishedJobsWaitNs;
    static std::atomic<qint64> s_finishedJobsReplyWaitNs;
};
