// Command round-trip latency over loopback against the machine simulator:
// four senders on different commands at once, beside one sender alone, in
// turns of the same length. Percentiles are taken over every sender's
// samples pooled (an average of per-sender percentiles would hide the one
// sender that waits behind the others).
#include "tools/simulator/machine_simulator.h"
#include "machine/trv610plus.h"
#include "bench/support/interleaved.h"

#include <QCoreApplication>
#include <QLoggingCategory>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <thread>
#include <vector>

namespace {

const char *const kBodies[] = {"6,0,0,0;", "7,0,0,0;", "10,0,0;", "3;"};

struct Pool
{
    std::mutex lock;
    std::vector<double> ms;
    int failures = 0;
};

// senders threads send for the given time; their latencies go to pool.
void sendFor(TRV610Plus &device, int senders, std::chrono::milliseconds length, Pool &pool, bool keep)
{
    std::vector<std::thread> threads;
    for (int s = 0; s < senders; ++s) {
        threads.emplace_back([&device, &pool, s, length, keep] {
            const QByteArray frame = TRV610Plus::packFrame(QStringLiteral("CCMD"), QString::fromLatin1(kBodies[s % 4]));
            std::vector<double> ms;
            int failures = 0;
            const auto end = std::chrono::steady_clock::now() + length;
            while (std::chrono::steady_clock::now() < end) {
                const auto start = std::chrono::steady_clock::now();
                failures += device.sendCMD(frame) ? 0 : 1;
                ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
            }
            std::lock_guard<std::mutex> lock(pool.lock);
            pool.failures += failures;
            if (keep)
                pool.ms.insert(pool.ms.end(), ms.begin(), ms.end());
        });
    }
    for (std::thread &t : threads)
        t.join();
}

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

    constexpr int kWarmup = 1;
    constexpr int kRounds = 6;
    const std::chrono::milliseconds turn(500);
    Pool four, one;
    for (int r = 0; r < kWarmup + kRounds; ++r) {
        const bool keep = r >= kWarmup;
        if (r % 2 == 0) {
            sendFor(device, 4, turn, four, keep);
            sendFor(device, 1, turn, one, keep);
        } else {
            sendFor(device, 1, turn, one, keep);
            sendFor(device, 4, turn, four, keep);
        }
    }
    device.unInit();
    if (four.failures || one.failures) {
        std::fprintf(stderr, "failed round trips: %d with four senders, %d alone\n", four.failures, one.failures);
        return 2;
    }
    const bench::Figures f = bench::figures(four.ms), o = bench::figures(one.ms);
    std::printf("four senders: %zu round trips, alone: %zu\n", f.samples, o.samples);
    bench::row("link round trip p50, 4 senders pooled", f.p50, "ms", "(reported)", o.p50, "one sender", true);
    bench::row("link round trip p99, 4 senders pooled", f.p99, "ms", "(reported)", o.p99, "one sender", true);
    return 0;
}
