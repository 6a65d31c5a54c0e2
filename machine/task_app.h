#pragma once

#include <QList>
#include <QPointF>
#include <QSizeF>
#include <QString>
#include <QTransform>

// What the driver and its job steps ask of the application core. The machine
// library does not link the application: the application installs its bridge
// once at start-up, and tests may install their own. Callers check for null,
// so tools and driver tests run without an application.
class TaskApp
{
public:
    virtual ~TaskApp() = default;

    static TaskApp *instance();
    static void setInstance(TaskApp *app);

    // The application's task status (0 paused, 1 running, 2 stopped).
    virtual int taskStatus() const = 0;
    // Follows the machine's task status report (also on the receive thread).
    virtual void setTaskStatus(int status) = 0;
    virtual bool loadTaskSettings() = 0;
    // Blocks until the stop command went out when wait is true.
    virtual void stopTask(bool wait) = 0;
    // true: another copy is due.
    virtual bool finishedOneCopies() = 0;
    // Printing has stopped for good (the end of the data, a row that failed)
    // and every page printed is cut: the job has nothing left to do.
    virtual bool printingOver() { return false; }
    // The job is a single trial copy, cut but never counted.
    virtual bool runOnce() const { return false; }
    // A trial copy's cut is complete: the page printed ahead that it took
    // is owed to the cutter no more.
    virtual void trialCopyCut() {}
    virtual int cutTaskCopies() const = 0;
    // The job the driver starts now cuts (print and cut) or only prints;
    // it counts as that kind to its end, whatever the presets become.
    virtual void jobStarting(bool /*cuts*/) {}
    virtual void print() = 0;
    virtual bool enablePrint() const = 0;
    virtual QByteArray generatePltData(const QTransform &t) = 0;
    virtual QString cutFile() const = 0;
    virtual bool cutSceneHasItems() = 0;
    virtual int pageMarkType() = 0;
    // Design marks of the cut page in plotter units, in visiting order.
    virtual QList<QPointF> currentPageMarkPoint() = 0;
    virtual QSizeF cutPageSize() const = 0;
    virtual void addCutLength(double mm) = 0;
    virtual void setSwitchCutFile(bool on) = 0;
    // Clears the captured-mark slots (index 0 or -1).
    virtual void clearFilm(int index) = 0;
    virtual int markIndex() const = 0;
    virtual void setMarkIndex(int index) = 0;
    // Forgets the paper-centre reference after the web guide was reset.
    virtual void resetPaperCenter() = 0;
    // The mark scan's last result in reduced camera pixels; (0, 0) none.
    virtual QPointF lastMarkPosition() const = 0;
    virtual float lastMarkDiameter() const = 0;
    virtual void resetLastMark() = 0;
    virtual bool doCapture(int camera) = 0;
    // The length the collect worker takes next, as the last label
    // inspection set it (any thread).
    virtual double collectLen() const = 0;
    // The web-guide target the paper-edge check of the last inspection left
    // (its paper offset, mm; 0 until one was measured). Any thread.
    virtual double paperOffset() const { return 0.0; }
    // Tells the operator something that needs no answer (the driver opens
    // no dialog of its own); called on the GUI thread.
    virtual void informOperator(const QString &text) = 0;
};
