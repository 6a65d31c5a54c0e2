#pragma once

#include <QtGlobal>

#include <chrono>
#include <functional>

namespace printing {
class PrintDevice;
}

// Follows a printed job in the spooler, logging each new status, until it
// leaves the queue, the time limit passes or the job of the line stops.
class JobStatusPoll
{
public:
    struct Timing
    {
        std::chrono::milliseconds limit{60000};
        std::chrono::milliseconds interval{200};
    };

    // The status word and one line per set bit.
    static void logStatus(unsigned int status);
    // Returns the time spent, in milliseconds.
    static qint64 run(printing::PrintDevice &device, int jobId, const std::function<bool()> &stopped,
                      Timing timing);
};
