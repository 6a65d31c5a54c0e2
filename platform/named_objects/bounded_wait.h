#pragma once

#include <algorithm>
#include <chrono>
#include <functional>

namespace named {

// Asks whether the waiting side gave up (a stopped job); may be empty.
using CancelCheck = std::function<bool()>;

// A wait on another process, bounded by a time-out and cut into short
// slices so that the caller's cancel check is asked in between, and the
// shared object waited on is checked to be whole again.
class BoundedWait
{
public:
    using Clock = std::chrono::steady_clock; // CLOCK_MONOTONIC

    BoundedWait(std::chrono::milliseconds timeout, CancelCheck cancelled)
        : m_deadline(Clock::now() + timeout), m_cancelled(std::move(cancelled))
    {
    }

    // End of the next slice.
    Clock::time_point sliceEnd() const { return std::min(m_deadline, Clock::now() + kSlice); }
    bool expired() const { return Clock::now() >= m_deadline; }
    bool cancelled() const { return m_cancelled && m_cancelled(); }

private:
    static constexpr std::chrono::milliseconds kSlice{50};
    Clock::time_point m_deadline;
    CancelCheck m_cancelled;
};

} // namespace named
