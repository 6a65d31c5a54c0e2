#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

// The print component's side of the channel, as a stand-in for tests and
// for running the program without the drawing program: it creates
// "LPC_Mutex" and "LabelPrintCut", waits for "LPC_CWO", reads the record
// under the mutex, resets "LPC_CWO" and sets "LPC_SRO" (when its plan says
// so). Each job is logged as one line "job <n> t=<ms> <168 hex digits>",
// each answer as "answered <n> t=<ms>".
class PrintComponent
{
public:
    // What to do with job n: answer after that many ms, or never (-1). The
    // last entry holds for every later job.
    struct Options
    {
        std::vector<int> answerPlan{0};
        // Reads each job that long after "LPC_CWO" is set.
        int readDelayMs = 0;
        std::size_t mappingSize = 84;
        // A helper process of the component takes the mutex and ends
        // holding it before the first job is served.
        bool dieHoldingMutex = false;
        // After answering the first job: cut these objects (by name) to
        // that many bytes, as a faulty component might, then serve no more.
        std::vector<std::pair<std::string, long>> shrinkAfterFirstJob;
        std::string logPath;
    };
    static constexpr int kNeverAnswer = -1;

    explicit PrintComponent(Options options);
    ~PrintComponent();

    // 0 after a stop request, else a process exit code with a message.
    int run(const std::atomic<bool> &stopRequested);

private:
    void log(const std::string &line);
    void shrinkObjects();
    long long elapsedMs() const;

    Options m_options;
    std::FILE *m_log = nullptr;
    std::chrono::steady_clock::time_point m_start = std::chrono::steady_clock::now();
};
