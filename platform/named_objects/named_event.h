#pragma once

#include "platform/named_objects/bounded_wait.h"

#include <chrono>
#include <cstddef>
#include <memory>
#include <string>

namespace named {

class SharedSegment;

// A named manual-reset event: set stays set, waking every waiter, until
// reset. The flag is waited on with a futex, not a condition variable: a
// waiter that dies inside pthread_cond_wait can leave a shared condition
// variable that blocks every later signal.
class NamedEvent
{
public:
    // Shrunk: another process cut the object short; it is left untouched.
    enum class WaitResult { Signalled, TimedOut, Cancelled, Shrunk };

    // The live event of that name, else a new one, not set.
    static std::unique_ptr<NamedEvent> createOrOpen(const std::string &name, int &error);
    ~NamedEvent();

    // False, touching nothing, when the object was cut short.
    bool set();
    bool reset();
    bool isSet() const;
    WaitResult wait(std::chrono::milliseconds timeout, const CancelCheck &cancelled = {});
    bool isCurrent() const;
    // Still of its full size; its size in bytes now.
    bool isWhole() const;
    std::size_t currentSize() const;

private:
    explicit NamedEvent(std::unique_ptr<SharedSegment> segment);
    std::unique_ptr<SharedSegment> m_segment;
};

} // namespace named
