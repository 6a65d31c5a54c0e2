#pragma once

// Timing of a measured routine against its baseline in the same run: the two
// take turns on the same inputs (the order swapped every round, so neither
// always runs on a warm cache or after the other), the first rounds are
// discarded, and p50/p99 are taken over all samples pooled. Every result is
// checked; a wrong answer fails the run.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <time.h>
#include <vector>

namespace bench {

struct Figures
{
    double p50 = 0.0;
    double p99 = 0.0;
    size_t samples = 0;
};

inline Figures figures(std::vector<double> v)
{
    Figures f;
    f.samples = v.size();
    if (v.empty())
        return f;
    std::sort(v.begin(), v.end());
    f.p50 = v[v.size() / 2];
    f.p99 = v[std::min(v.size() - 1, v.size() * 99 / 100)];
    return f;
}

struct Comparison
{
    Figures measured;
    Figures baseline;
    // The calling thread's CPU time: what the work costs without the waits
    // of a shared machine (meaningless for a baseline that runs threads).
    Figures measuredCpu;
    Figures baselineCpu;
};

inline double threadCpuMs()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return ts.tv_sec * 1e3 + ts.tv_nsec / 1e6;
}

// run(i) and base(i) work on input i and return whether their answer was
// right. Times in milliseconds.
template<typename Measured, typename Baseline>
Comparison interleave(size_t inputs, int rounds, int warmup, Measured run, Baseline base)
{
    std::vector<double> m, b, mc, bc;
    auto time = [](auto &&fn, size_t i, std::vector<double> *out, std::vector<double> *cpu) {
        const double c0 = threadCpuMs();
        const auto t0 = std::chrono::steady_clock::now();
        const bool ok = fn(i);
        const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
        const double cms = threadCpuMs() - c0;
        if (!ok) {
            std::fprintf(stderr, "wrong answer on input %zu\n", i);
            std::exit(2);
        }
        if (out) {
            out->push_back(ms);
            cpu->push_back(cms);
        }
    };
    for (int r = 0; r < warmup + rounds; ++r) {
        const bool keep = r >= warmup;
        for (size_t i = 0; i < inputs; ++i) {
            if (r % 2 == 0) {
                time(run, i, keep ? &m : nullptr, &mc);
                time(base, i, keep ? &b : nullptr, &bc);
            } else {
                time(base, i, keep ? &b : nullptr, &bc);
                time(run, i, keep ? &m : nullptr, &mc);
            }
        }
    }
    return {figures(m), figures(b), figures(mc), figures(bc)};
}

// One line of the table scripts/run-bench.sh prints: a tab-separated row
// tagged "ROW" (figure, value, goal, baseline, ratio, met).
inline void row(const std::string &figure, double value, const std::string &unit, const std::string &goal,
                double baseline, const std::string &baselineName, bool met)
{
    std::printf("ROW\t%s\t%.3f %s\t%s\t%.3f %s (%s)\t%.2f\t%s\n", figure.c_str(), value, unit.c_str(), goal.c_str(),
                baseline, unit.c_str(), baselineName.c_str(), baseline > 0 ? value / baseline : 0.0,
                met ? "met" : "NOT MET");
    std::fflush(stdout);
}

} // namespace bench
