#pragma once

#include <cstdint>
#include <sys/types.h>

namespace named {

// A process as the objects it creates remember it: the pid alone could be
// reused by a later process, the pid with its start time cannot.
struct ProcessIdentity
{
    pid_t pid = 0;
    std::uint64_t startTime = 0;

    static ProcessIdentity self();
    // False once the process has ended (a zombie counts as ended).
    bool alive() const;
};

} // namespace named
