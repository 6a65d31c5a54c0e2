#pragma once

#include "app/app_services.h"
#include "app/threads/thread_group.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>

class ProductionRecords;
class QThread;
class TaskCounters;
class TaskSettings;
class TRV610Plus;

// Task control: the start checks and start of a job, pause, resume and stop
// on short-lived threads of its own, and the copy count after every cut
// copy. The job itself runs in the driver's task worker.
class TaskControl
{
public:
    struct Hooks
    {
        // The application's task status (0 paused, 1 running, 2 stopped).
        std::function<int()> taskStatus;
        std::function<void(int)> setTaskStatus;
        // Printing is on but no print file is ready to print.
        std::function<bool()> printFileMissing;
        // A cut file is still being opened: its scene is not there yet.
        std::function<bool()> cutFileOpening;
        // Variable data is printed and its last row is behind.
        std::function<bool()> dataSourceEnded;
        // Variable data is printed and the next row could not be written.
        std::function<bool()> dataRowFailed;
        // Variable data is printed and its sheet is still being read.
        std::function<bool()> dataSourceReading;
        // Variable data is printed and its sheet could not be read.
        std::function<bool()> dataSourceUnreadable;
        // A print of the job failed (the operator was told): it prints no more.
        std::function<bool()> printFailed;
        // The page search and the inspection start over with a new job.
        std::function<void()> prepareRun;
        std::function<double()> cutPageHeight;
        // Operator requests come on this thread; any other is the job's own.
        QThread *guiThread = nullptr;
        // How long an internal stop waits for a pause or resume in progress
        // before it says so (it waits on until that one has ended).
        std::chrono::milliseconds internalStopWait{30000};
    };
    enum class Kind { Pause, Resume, Stop };

    TaskControl(AppServices services, TaskSettings &settings, TaskCounters &counters, ProductionRecords &records,
                Hooks hooks);
    ~TaskControl();

    // recount: the start will zero the counts first.
    bool startChecks(bool recount = false);
    void startTask(bool recount, bool once);
    // true: another copy is due.
    bool finishedOneCopies();
    // A trial copy's cut is complete: the page printed ahead that it took is
    // owed no more (never counted, taken once).
    void trialCopyCut();
    // Why the job prints no more pages; Printing while it still does.
    enum class PrintingEnd {
        Printing,
        PresetReached, // the print preset's pages are printed
        DataEnded, // variable data printed its last row
        RowFailed, // variable data's next row could not be written, or its sheet read
        PrintFailed, // a print of the job failed (the operator was told)
    };
    // recount: as it will be once the counts are zeroed.
    PrintingEnd printingEnd(bool recount = false) const;
    // The job prints no more and, in a job that cuts, every page owed to the
    // cutter is cut: nothing is left for the job to do.
    bool printingOver();
    // The job the driver starts cuts or only prints: it counts as that kind.
    void setJobCuts(bool cuts) { m_jobCuts.store(cuts); }
    // Runs a pause, resume or stop on a thread of its own; bWait blocks
    // until its command went out.
    void control(Kind kind, bool bWait);
    bool busy() const { return m_busy.load(); }
    // Pause, resume and stop threads still to be joined.
    int controlThreadCount() const;
    // Joins them; a stop in progress still reaches the machine.
    void joinControlThreads();

private:
    // The job cuts (its kind, fixed at its start); outside a job the cut
    // preset decides, as for a job started now.
    bool jobCuts() const;
    // The job prints pages (printing on, not a trial copy).
    bool jobPrints() const;
    bool claim(bool waitForRunning);
    void release();
    void pauseOrResume(TRV610Plus *device, bool resume);
    void stop(TRV610Plus *device);

    AppServices m_services;
    TaskSettings &m_settings;
    TaskCounters &m_counters;
    ProductionRecords &m_records;
    Hooks m_hooks;
    std::atomic<bool> m_busy{false};
    // Whether the job started last cuts or only prints.
    std::atomic<bool> m_jobCuts{true};
    std::mutex m_controlLock; // the busy rule
    std::condition_variable m_controlIdle;
    ThreadGroup m_threads{"SpoolsmithApp::joinControlThreads"};
};
