#pragma once

#include <QLatin1String>
#include <QString>

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>

namespace named {
class NamedEvent;
class NamedMapping;
class NamedMutex;
} // namespace named

// The channel to the print component inside the drawing program, chosen as
// the printer "CorelDRAW": a job record in the shared mapping
// "LabelPrintCut" guarded by the mutex "LPC_Mutex", the event "LPC_CWO" set
// when a job is written and "LPC_SRO" set by the component once it took it.
// The objects are opened at the first hand-over and kept for the run; ones
// left by a component that ended are opened again.
class CdrChannel
{
public:
    struct Hooks
    {
        // The job's task status (2 stopped): a job's wait ends when it stops.
        std::function<int()> taskStatus;
        // The pages of a job the component took, counted as every printed
        // page is (printCopies, the printed lengths).
        std::function<void(int pages)> countPages;
    };
    struct Timeouts
    {
        std::chrono::milliseconds mutexWait{5000};
        std::chrono::milliseconds answerWait{10000};
        // After each successful hand-over, before the next batch.
        std::chrono::milliseconds pause{500};
    };

    explicit CdrChannel(Hooks hooks);
    CdrChannel(Hooks hooks, Timeouts timeouts);
    ~CdrChannel();

    // The printer name that stands for the print component.
    static constexpr char kPrinterName[] = "CorelDRAW";
    static bool isChannelPrinter(const QString &printerName)
    {
        return printerName == QLatin1String(kPrinterName);
    }

    // Opens whatever is not open yet (or went stale); true when all are open.
    bool createCDRHandle();
    // Hands one job with this page count to the component; true once it
    // took the job, and then its pages are counted. A job the component has
    // not read when the wait for its answer ends is withdrawn (nothing
    // counted); one it has read is its to print, so it is counted, and its
    // answer is awaited before the next job. Hand-overs of this process take
    // turns. forJob: the job's print, whose waits end when the job stops and
    // which is refused once it has stopped; otherwise a test print, which
    // waits its full bounds.
    bool handOver(int pageCount, bool forJob = false);
    // The pause after a successful hand-over; a job's ends when it stops.
    void pauseAfterHandOver(bool forJob = false);
    // The program ends: a hand-over or pause in progress gives up at once,
    // and later ones are refused.
    void close();

private:
    bool openHandles();
    void dropStaleHandles();
    std::function<bool()> stopCheck(bool forJob) const;
    bool jobStopped() const;
    // What ended a wait that stopCheck ended, for the log.
    const char *stopCause() const;
    bool writeRecord(int pageCount, const std::function<bool()> &stopped);
    enum class Answer { Taken, NotAnswered, ComponentGone };
    // Waits for "LPC_SRO"; ends early when the job stops or the component ends.
    Answer awaitTaken(const std::function<bool()> &stopped, const char *what);
    // The job not answered in time: true when the component had already read
    // it, else it is withdrawn so that it cannot be taken later.
    bool readOrWithdrawn(int pageCount);
    // A job read but not answered in time: its answer, late, must not be
    // taken for the next job's. False when it does not come.
    bool awaitOwedAnswer(const std::function<bool()> &stopped);
    void countPages(int pageCount);

    Hooks m_hooks;
    Timeouts m_timeouts;
    std::atomic<bool> m_closing{false};
    bool m_answerOwed = false; // under m_handOverLock
    std::mutex m_handOverLock; // one hand-over at a time; guards the handles
    std::unique_ptr<named::NamedMutex> m_mutex;
    std::unique_ptr<named::NamedMapping> m_mapping;
    std::unique_ptr<named::NamedEvent> m_jobTaken;   // "LPC_SRO"
    std::unique_ptr<named::NamedEvent> m_jobWritten; // "LPC_CWO"
};
