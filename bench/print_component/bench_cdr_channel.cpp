// One hand-over round trip to the print component's stand-in in another
// process (without the pause between batches), beside a bare process-shared
// pthread mutex and condition variable round trip between two processes.
#include "app/print/cdr_channel.h"
#include "platform/named_objects/object_name.h"
#include "tools/print_component/print_component.h"

#include <benchmark/benchmark.h>

#include <QtGlobal>

#include <atomic>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <pthread.h>
#include <string>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

std::atomic<bool> g_stopComponent{false};
void stopComponent(int) { g_stopComponent.store(true); }

// The stand-in, answering at once, in a child process; quiet on stdout.
pid_t startComponent()
{
    const pid_t child = fork();
    if (child == 0) {
        struct sigaction action {};
        action.sa_handler = stopComponent;
        sigaction(SIGTERM, &action, nullptr);
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, STDOUT_FILENO);
        PrintComponent::Options options;
        _exit(PrintComponent(options).run(g_stopComponent));
    }
    return child;
}

void stop(pid_t child)
{
    kill(child, SIGTERM);
    int status = 0;
    waitpid(child, &status, 0);
}

void BM_HandOverRoundTrip(benchmark::State &state)
{
    const pid_t component = startComponent();
    CdrChannel channel({[] { return 2; }, [](int) {}});
    while (!channel.createCDRHandle()) {
    } // until the component's objects exist
    int failures = 0;
    for (auto _ : state)
        failures += channel.handOver(3) ? 0 : 1;
    stop(component);
    state.counters["failures"] = failures;
}

// Part of the round trip: the check that the open objects are still the
// component's current ones, which every hand-over makes first.
void BM_StaleCheck(benchmark::State &state)
{
    const pid_t component = startComponent();
    CdrChannel channel({[] { return 2; }, [](int) {}});
    while (!channel.createCDRHandle()) {
    }
    for (auto _ : state)
        benchmark::DoNotOptimize(channel.createCDRHandle());
    stop(component);
}

// The baseline: a request and its answer through one process-shared mutex
// and condition variable in anonymous shared memory.
struct PingPong
{
    pthread_mutex_t lock;
    pthread_cond_t changed;
    long request;
    long answer;
    bool quit;
};

void BM_BarePthreadRoundTrip(benchmark::State &state)
{
    void *memory = mmap(nullptr, sizeof(PingPong), PROT_READ | PROT_WRITE, MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    auto *shared = new (memory) PingPong{};
    pthread_mutexattr_t mutexAttributes;
    pthread_mutexattr_init(&mutexAttributes);
    pthread_mutexattr_setpshared(&mutexAttributes, PTHREAD_PROCESS_SHARED);
    pthread_mutex_init(&shared->lock, &mutexAttributes);
    pthread_condattr_t condAttributes;
    pthread_condattr_init(&condAttributes);
    pthread_condattr_setpshared(&condAttributes, PTHREAD_PROCESS_SHARED);
    pthread_cond_init(&shared->changed, &condAttributes);

    const pid_t peer = fork();
    if (peer == 0) {
        pthread_mutex_lock(&shared->lock);
        while (!shared->quit) {
            if (shared->request != shared->answer) {
                shared->answer = shared->request;
                pthread_cond_broadcast(&shared->changed);
            }
            pthread_cond_wait(&shared->changed, &shared->lock);
        }
        pthread_mutex_unlock(&shared->lock);
        _exit(0);
    }
    for (auto _ : state) {
        pthread_mutex_lock(&shared->lock);
        const long request = ++shared->request;
        pthread_cond_broadcast(&shared->changed);
        while (shared->answer != request)
            pthread_cond_wait(&shared->changed, &shared->lock);
        pthread_mutex_unlock(&shared->lock);
    }
    pthread_mutex_lock(&shared->lock);
    shared->quit = true;
    pthread_cond_broadcast(&shared->changed);
    pthread_mutex_unlock(&shared->lock);
    int status = 0;
    waitpid(peer, &status, 0);
    munmap(memory, sizeof(PingPong));
}

} // namespace

BENCHMARK(BM_HandOverRoundTrip)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_StaleCheck)->Unit(benchmark::kMicrosecond)->UseRealTime();
BENCHMARK(BM_BarePthreadRoundTrip)->Unit(benchmark::kMicrosecond)->UseRealTime();

int main(int argc, char **argv)
{
    // Its own names, whatever else runs on this machine.
    // The channel logs each open that fails until the component is up.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
    setenv(named::kPrefixVariable, ("bench" + std::to_string(getpid()) + "_").c_str(), 1);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
