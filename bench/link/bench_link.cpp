// Command round-trip latency over loopback against the machine simulator:
// one sender, and four senders on different commands at once.
#include "tools/simulator/machine_simulator.h"
#include "machine/trv610plus.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QLoggingCategory>

#include <algorithm>
#include <chrono>
#include <vector>

namespace {

TRV610Plus *g_device = nullptr;

const char *const kBodies[] = {"6,0,0,0;", "7,0,0,0;", "10,0,0;", "3;"};

double percentile(std::vector<double> v, double p)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, size_t(p * double(v.size())))];
}

void BM_CommandRoundTrip(benchmark::State &state)
{
    const QByteArray frame = TRV610Plus::packFrame(QStringLiteral("CCMD"),
                                                   QString::fromLatin1(kBodies[state.thread_index() % 4]));
    std::vector<double> latencies;
    latencies.reserve(100000);
    int failures = 0;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        failures += g_device->sendCMD(frame) ? 0 : 1;
        latencies.push_back(std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count());
    }
    // Per-thread percentiles, averaged over the threads.
    state.counters["p50_us"] = benchmark::Counter(percentile(latencies, 0.50), benchmark::Counter::kAvgThreads);
    state.counters["p99_us"] = benchmark::Counter(percentile(latencies, 0.99), benchmark::Counter::kAvgThreads);
    state.counters["failures"] = failures;
}
BENCHMARK(BM_CommandRoundTrip)->Threads(1)->Threads(4)->UseRealTime()->MinTime(2.0);

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("*.info=false\n*.debug=false"));
    MachineSimulator::Options options;
    options.port = 0;
    options.announce = false;
    MachineSimulator simulator(options);
    if (!simulator.start())
        return 1;
    TRV610Plus device;
    device.setPort(simulator.port());
    device.setIp(simulator.address());
    if (!device.linked())
        return 1;
    g_device = &device;

    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    g_device = nullptr;
    device.unInit();
    return 0;
}
