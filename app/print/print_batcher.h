#pragma once

#include "app/print/direct_printer.h"
#include "app/print/hot_folder.h"
#include "app/print/print_parts.h"
#include "app/threads/thread_group.h"

#include <QString>

#include <atomic>
#include <functional>
#include <mutex>

class CdrChannel;
class Printers;
class TaskSettings;

// Prints the next batch of pages during a job, as many as the print roller
// lets the printer run ahead of the cutter, by one of three paths: the hot
// folder (machine version 2), the print component's channel ("CorelDRAW")
// or direct printing.
class PrintBatcher
{
public:
    struct Parts
    {
        PrintParts print;
        TaskSettings &settings;
        Printers &printers;
        CdrChannel &channel;
        // The operator's message line (the driver's errorMessage).
        std::function<void(const QString &)> showMessage;
        // The job's stop was asked: the driver's status is stopped at once,
        // the application's only once the machine reports it.
        std::function<bool()> stopAsked = {};
    };
    // What the batch decision reads.
    struct Rollers
    {
        double printedLength = 0, cutLength = 0;
        double printRollerAtStart = 0, printRoller = 0;
        double filmRollerAtStart = 0, filmRoller = 0;
        double printRollerMax = 0, printRollerTrigger = 0;
        double pageHeightMm = 0;
        int copiesOnce = 1, printTaskCopies = 0, printCopies = 0;
    };
    struct Decision
    {
        bool print = false;
        int pages = 0;
        double trigger = 0; // T, logged
        int toTrigger = 0;  // pages to the trigger, logged
    };

    explicit PrintBatcher(Parts parts);
    ~PrintBatcher();

    // The job's print request. A print of the job that fails (its message
    // shown) ends the job's printing: nothing more is printed until the
    // next job, which ends once the pages printed before are cut.
    void print();
    bool printPdf(const QString &file, const QString &printerName, int pages);
    bool jobPrintFailed() const { return m_jobPrintFailed.load(); }
    // A new job prints again.
    void startJob() { m_jobPrintFailed.store(false); }
    // The operator's test print of one file; refused while a job runs.
    // The checks answer at once; the pages go out on a thread of their own,
    // so that the GUI thread never waits on rendering or the spooler. True
    // when the print was started.
    bool printPdfFile(const QString &file, const QString &printerName);
    // Waits for the test prints started; the destructor does too.
    void joinTestPrints();
    // At shut-down: a test print still waiting (for the print component or
    // the spooler) gives up, and is joined.
    void endTestPrints();

    static Decision decide(const Rollers &r);
    void setPollTiming(JobStatusPoll::Timing timing) { m_pollTiming = timing; }
    void setHotFolderClock(HotFolder::Clock clock) { m_hotFolderClock = std::move(clock); }

private:
    bool printRequest(const QString &file, const QString &printerName, int pages, bool forJob);
    bool printBatch(const QString &file, const QString &printerName, int pages);
    // The pages to the print component, which counts them once it took them.
    bool handOver(const QString &file, int pages);
    // A print failed: the operator is told, the request stops.
    void fail(const QString &message);
    bool jobRunning() const;
    bool jobStopped() const;
    // The request in progress is to end: the job it prints for stopped, or
    // the program is ending. Under m_printLock.
    bool requestStopped() const;

    Parts m_parts;
    JobStatusPoll::Timing m_pollTiming;
    HotFolder::Clock m_hotFolderClock;
    // The job's printing and a test print never interleave.
    std::mutex m_printLock;
    QString m_failure; // of the request in progress, under m_printLock
    bool m_requestForJob = false; // the request in progress began during a job, under m_printLock
    std::atomic<bool> m_jobPrintFailed{false};
    std::atomic<bool> m_closing{false};
    // Last: joined first, while the parts its threads use still exist.
    ThreadGroup m_testPrints{"PrintBatcher"};
};
