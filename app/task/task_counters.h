#pragma once

#include <QObject>

#include <atomic>
#include <mutex>

// The job's copy counts and lengths. Written from the GUI thread and the job
// threads; every value is atomic or locked, and its signal goes out on the
// writing thread.
class TaskCounters : public QObject
{
    Q_OBJECT

public:
    using QObject::QObject;

    int cutTaskCopies() const { return m_cutTaskCopies.load(); }
    void setCutTaskCopies(int copies);
    int cutCopies() const { return m_cutCopies.load(); }
    void setCutCopies(int copies);
    int printTaskCopies() const { return m_printTaskCopies.load(); }
    void setPrintTaskCopies(int copies);
    int printCopies() const { return m_printCopies.load(); }
    void setPrintCopies(int copies);
    int checkedCopies() const { return m_checkedCopies.load(); }
    void setCheckedCopies(int copies);
    // Printed, cut and checked copies back to 0.
    void reset();

    // A new job: lengths from 0, the roller readings as its start point;
    // cuts when it is a print-and-cut job. What the jobs before left owed to
    // the cutter stays owed.
    void startRun(double filmRoller, double printRoller, bool cuts = false);
    // Pages printed, and copies cut, since the job started.
    int runPrintCopies() const { return printCopies() - m_printCopiesAtStart.load(); }
    int runCutCopies() const { return cutCopies() - m_cutCopiesAtStart.load(); }
    // Pages print-and-cut jobs printed that no cut has taken yet: they are on
    // the web ahead of the cutter, which owes them a cut. Held in memory with
    // the counts, so forgotten with them at a restart.
    int owedCuts() const;
    // The next cut takes a page an earlier job printed (the owed pages come
    // first on the web).
    bool nextCutIsEarlierJobs() const { return runCutCopies() < m_owedAtStart.load(); }
    // A cut not counted (a trial copy) took the first owed page.
    void takeOwedCut();
    // The operator chose other pages to print: those owed are not looked for.
    void forgetOwedCuts();
    // One more cut copy of pageHeightMm.
    void addCutCopy(double pageHeightMm);
    double cutLength() const;
    void addCutLength(double mm);
    double printedLength() const;
    void addPrintedLength(double mm);
    double printRollerAtStart() const;
    double filmRollerAtStart() const;

signals:
    void cutTaskCopiesChanged();
    void cutCopiesChanged();
    void printTaskCopiesChanged();
    void printCopiesChanged();
    void checkedCopiesChanged();

private:
    std::atomic<int> m_cutTaskCopies{100};
    std::atomic<int> m_cutCopies{0};
    std::atomic<int> m_printTaskCopies{100};
    std::atomic<int> m_printCopies{0};
    std::atomic<int> m_checkedCopies{0};
    std::atomic<int> m_printCopiesAtStart{0};
    std::atomic<int> m_cutCopiesAtStart{0};
    std::atomic<int> m_owedAtStart{0};
    std::atomic<bool> m_runCuts{false};
    mutable std::mutex m_lengthLock; // lengths, roller readings at start
    double m_cutLength = 0.0;
    double m_printedLength = 0.0;
    double m_printRollerAtStart = 0.0;
    double m_filmRollerAtStart = 0.0;
};
