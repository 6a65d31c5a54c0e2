#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <thread>

// One background run at a time on a thread this object owns: joined by the
// next start, by join() and at destruction, never left running past its owner.
class BackgroundRun
{
public:
    explicit BackgroundRun(const char *name)
        : m_name(name)
    {
    }
    ~BackgroundRun() { join(); }
    BackgroundRun(const BackgroundRun &) = delete;
    BackgroundRun &operator=(const BackgroundRun &) = delete;

    // false when a run is still going or no thread could be made.
    bool start(std::function<void()> work);
    bool running() const { return m_running.load(); }
    // Waits for the run to end; a no-op from the run itself.
    void join();

private:
    const char *m_name;
    std::mutex m_lock; // m_thread
    std::thread m_thread;
    std::atomic<bool> m_running{false};
};
