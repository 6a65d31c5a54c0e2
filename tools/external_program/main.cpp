// An external program as the supervision sees one: it runs until it is
// killed, or ends on request. The supervision starts it without arguments,
// so it is steered by its environment:
//   SPOOLSMITH_EXTERNAL_LOG   file to append "start <pid> <name> <ms>" to
//                             (ms: CLOCK_MONOTONIC milliseconds)
//   SPOOLSMITH_EXTERNAL_EXIT  "now": end at once with code 3
// SIGTERM or SIGUSR1 ends it with code 0.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <unistd.h>

namespace {

volatile std::sig_atomic_t g_stop = 0;

void onSignal(int)
{
    g_stop = 1;
}

void logStart(const char *argv0)
{
    const char *path = std::getenv("SPOOLSMITH_EXTERNAL_LOG");
    if (!path || !*path)
        return;
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    const char *slash = std::strrchr(argv0, '/');
    char line[512];
    const int n = std::snprintf(line, sizeof line, "start %ld %s %lld\n", static_cast<long>(getpid()),
                                slash ? slash + 1 : argv0,
                                static_cast<long long>(now.tv_sec) * 1000 + now.tv_nsec / 1000000);
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
