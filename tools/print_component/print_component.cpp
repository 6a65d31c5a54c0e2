#include "tools/print_component/print_component.h"

#include "platform/named_objects/named_event.h"
#include "platform/named_objects/named_mapping.h"
#include "platform/named_objects/named_mutex.h"
#include "platform/named_objects/object_name.h"

#include <algorithm>
#include <cstring>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace std::chrono_literals;

PrintComponent::PrintComponent(Options options) : m_options(std::move(options))
{
    if (!m_options.logPath.empty())
        m_log = std::fopen(m_options.logPath.c_str(), "ae");
}

PrintComponent::~PrintComponent()
{
    if (m_log)
        std::fclose(m_log);
}

long long PrintComponent::elapsedMs() const
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - m_start).count();
}

void PrintComponent::log(const std::string &line)
{
    std::printf("%s\n", line.c_str());
    std::fflush(stdout);
    if (m_log) {
        std::fprintf(m_log, "%s\n", line.c_str());
        std::fflush(m_log);
    }
}

void PrintComponent::shrinkObjects()
{
    for (const auto &[name, bytes] : m_options.shrinkAfterFirstJob) {
        const char *kind = name == "LPC_Mutex" ? "mutex" : name == "LabelPrintCut" ? "mapping" : "event";
        const int fd = shm_open(named::objectPath(name, kind).c_str(), O_RDWR | O_CLOEXEC, 0);
        const bool cut = fd >= 0 && ftruncate(fd, bytes) == 0;
        if (fd >= 0)
            close(fd);
        log((cut ? "shrank " : "error: not shrunk ") + name + " to " + std::to_string(bytes));
    }
}

int PrintComponent::run(const std::atomic<bool> &stopRequested)
{
    int error = 0;
    auto mutex = named::NamedMutex::create("LPC_Mutex", error);
    if (!mutex) {
        log("error: LPC_Mutex not created: " + std::string(std::strerror(error)));
        return 2;
    }
    auto mapping = named::NamedMapping::create("LabelPrintCut", m_options.mappingSize, error);
    auto jobTaken = named::NamedEvent::createOrOpen("LPC_SRO", error);
    auto jobWritten = named::NamedEvent::createOrOpen("LPC_CWO", error);
    if (!mapping || !jobTaken || !jobWritten) {
        log("error: objects not created: " + std::string(std::strerror(error)));
        return 2;
    }
    // A job written to an earlier component is not ours to take.
    jobWritten->reset();

    if (m_options.dieHoldingMutex) {
        const pid_t helper = fork();
        if (helper == 0) {
            mutex->lock(1000ms, {});
            _exit(0); // ends holding it
        }
        int status = 0;
        waitpid(helper, &status, 0);
        log("helper died holding LPC_Mutex");
    }
    log("ready");

    const auto stopped = [&stopRequested] { return stopRequested.load(); };
    for (int job = 1; !stopRequested.load(); ++job) {
        if (jobWritten->wait(24h, stopped) != named::NamedEvent::WaitResult::Signalled)
            break;
        // A slow reader: the job may have been withdrawn meanwhile.
        const auto readAt = std::chrono::steady_clock::now() + std::chrono::milliseconds(m_options.readDelayMs);
        while (!stopRequested.load() && std::chrono::steady_clock::now() < readAt)
            std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(
                10ms, readAt - std::chrono::steady_clock::now()));
        if (stopRequested.load())
            break;
        std::string note;
        switch (mutex->lock(5000ms, stopped)) {
        case named::NamedMutex::LockResult::Acquired:
            break;
        case named::NamedMutex::LockResult::Abandoned:
            note = " abandoned";
            break;
        default:
            log("error: LPC_Mutex not acquired for job " + std::to_string(job));
            return 3;
        }
        const std::size_t size = std::min<std::size_t>(84, mapping->size());
        std::vector<unsigned char> record(size);
        std::memcpy(record.data(), mapping->data(), size);
        // Reset while the mutex is held: the other side, holding it, sees
        // the job read or not, never in between.
        jobWritten->reset();
        mutex->unlock();

        std::string hex;
        char digits[3];
        for (unsigned char byte : record) {
            std::snprintf(digits, sizeof digits, "%02x", byte);
            hex += digits;
        }
        log("job " + std::to_string(job) + " t=" + std::to_string(elapsedMs()) + " " + hex + note);

        const auto &plan = m_options.answerPlan;
        const int answer = plan.empty() ? 0 : plan[std::min<std::size_t>(job - 1, plan.size() - 1)];
        if (answer == kNeverAnswer) {
            log("not answering " + std::to_string(job));
            continue;
        }
        const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(answer);
        while (!stopRequested.load() && std::chrono::steady_clock::now() < until)
            std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(
                10ms, until - std::chrono::steady_clock::now()));
        if (stopRequested.load())
            break;
        jobTaken->set();
        log("answered " + std::to_string(job) + " t=" + std::to_string(elapsedMs()));
        if (!m_options.shrinkAfterFirstJob.empty()) {
            // Once the answer was taken (the other side resets it). Its own
            // objects are cut short too: it only waits to be stopped then.
            while (!stopRequested.load() && jobTaken->isSet())
                std::this_thread::sleep_for(1ms);
            shrinkObjects();
            while (!stopRequested.load())
                std::this_thread::sleep_for(10ms);
        }
    }
    return 0;
}
