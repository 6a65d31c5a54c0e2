// An external program as the supervision sees one: it runs until it is
// killed, or ends on request. The supervision starts it without arguments,
// so it is steered by its environment:
//   SPOOLSMITH_EXTERNAL_LOG   file to append "start <pid> <name> <ms>" to
//                             (ms: when the process was made, milliseconds
//                             since boot, however late it comes to log)
//   SPOOLSMITH_EXTERNAL_EXIT  "now": end at once with code 3
// SIGTERM or SIGUSR1 ends it with code 0.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace {

volatile std::sig_atomic_t g_stop = 0;

void onSignal(int)
{
    g_stop = 1;
}

// The moment the process was forked (its start time in /proc, clock ticks
// since boot): on a loaded machine the loader and the sanitisers' start
// take a while of their own, which says nothing of the starter's pacing.
long long forkedMs()
{
    char stat[1024];
    const int fd = open("/proc/self/stat", O_RDONLY);
    if (fd < 0)
        return -1;
    const ssize_t n = read(fd, stat, sizeof stat - 1);
    close(fd);
    if (n <= 0)
        return -1;
    stat[n] = '\0';
    // The command name may hold spaces: fields are counted after its ')'.
    const char *p = std::strrchr(stat, ')');
    if (!p)
        return -1;
    // Fields 3 to 21 come first, then the start time (22).
    for (int field = 2; field < 22 && p; ++field)
        p = std::strchr(p + 1, ' ');
    if (!p)
        return -1;
    const long ticks = sysconf(_SC_CLK_TCK);
    return ticks > 0 ? std::strtoll(p + 1, nullptr, 10) * 1000 / ticks : -1;
}

void logStart(const char *argv0)
{
    const char *path = std::getenv("SPOOLSMITH_EXTERNAL_LOG");
    if (!path || !*path)
        return;
    const char *slash = std::strrchr(argv0, '/');
    char line[512];
    const int n = std::snprintf(line, sizeof line, "start %ld %s %lld\n", static_cast<long>(getpid()),
                                slash ? slash + 1 : argv0, forkedMs());
    // One write of a short line in append mode: lines of parallel copies never mix.
    const int fd = open(path, O_WRONLY | O_CREAT | O_APPEND, 0644);
    if (fd < 0)
        return;
    if (n > 0)
        (void)!write(fd, line, static_cast<size_t>(n) < sizeof line ? static_cast<size_t>(n) : sizeof line - 1);
    close(fd);
}

} // namespace

int main(int, char **argv)
{
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGUSR1, &action, nullptr);

    // Blocked until the wait below, so a signal between test and wait is not lost.
    sigset_t blocked, previous;
    sigemptyset(&blocked);
    sigaddset(&blocked, SIGTERM);
    sigaddset(&blocked, SIGUSR1);
    sigprocmask(SIG_BLOCK, &blocked, &previous);

    logStart(argv[0]);
    const char *exitMode = std::getenv("SPOOLSMITH_EXTERNAL_EXIT");
    if (exitMode && std::strcmp(exitMode, "now") == 0)
        return 3;
    while (!g_stop)
        sigsuspend(&previous);
    return 0;
}
