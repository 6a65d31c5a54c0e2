#pragma once

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

// Short-lived threads with one owner: each is listed the moment it starts,
// finished ones are joined when the next starts, and joinAll() joins the
// rest. No thread of a group outlives it.
class ThreadGroup
{
public:
    struct Entry;
    using Handle = std::shared_ptr<Entry>;

    // owner names the group in log lines.
    explicit ThreadGroup(const char *owner);
    ~ThreadGroup();
    ThreadGroup(const ThreadGroup &) = delete;
    ThreadGroup &operator=(const ThreadGroup &) = delete;

    // Runs body on a new thread of the group; null when none could be had.
    Handle start(std::function<void()> body);
    // Blocks until the body of h has returned.
    void waitDone(const Handle &h);
    // Threads started and not yet joined.
    int count() const;
    // Joins every thread; a body still running after bound is reported and
    // then waited for, since a running thread must not be abandoned. A
    // thread of the group that calls this keeps its own entry.
    void joinAll(std::chrono::milliseconds bound);

private:
    void reapLocked();

    const char *m_owner;
    mutable std::mutex m_lock;
    std::condition_variable m_doneWake;
    std::vector<Handle> m_threads;
};

struct ThreadGroup::Entry
{
    std::thread thread;
    bool done = false; // under the group's lock
};
