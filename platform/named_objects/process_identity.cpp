#include "platform/named_objects/process_identity.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

namespace named {

namespace {

// State and start time (field 22, clock ticks since boot) of a process from
// /proc; false when it does not exist.
bool readStat(pid_t pid, char &state, std::uint64_t &startTime)
{
    char path[64];
    std::snprintf(path, sizeof path, "/proc/%d/stat", static_cast<int>(pid));
    std::FILE *file = std::fopen(path, "re");
    if (!file)
        return false;
    char buffer[1024];
    const std::size_t n = std::fread(buffer, 1, sizeof buffer - 1, file);
    std::fclose(file);
    buffer[n] = '\0';
    // The command name may hold spaces and parentheses: fields start after
    // the last ')'.
    const char *p = std::strrchr(buffer, ')');
    if (!p)
        return false;
    p += 2;
    state = *p;
    // Fields 3 (state) to 22 (start time): skip 19 separators.
    for (int field = 3; field < 22 && p; ++field) {
        p = std::strchr(p, ' ');
        if (p)
            ++p;
    }
    if (!p)
        return false;
    startTime = std::strtoull(p, nullptr, 10);
    return true;
}

} // namespace

ProcessIdentity ProcessIdentity::self()
{
    ProcessIdentity identity;
    identity.pid = getpid();
    char state = 0;
    readStat(identity.pid, state, identity.startTime);
    return identity;
}

bool ProcessIdentity::alive() const
{
    if (pid <= 0)
        return false;
    char state = 0;
    std::uint64_t startTime = 0;
    if (!readStat(pid, state, startTime))
        return false;
    return state != 'Z' && state != 'X' && startTime == this->startTime;
}

} // namespace named
