#include "app/threads/thread_group.h"

#include <QDebug>

#include <algorithm>
#include <system_error>

namespace {
// The destructor's bound: the bodies are bounded by their own time-outs.
constexpr std::chrono::seconds kDestroyBound(30);
} // namespace

ThreadGroup::ThreadGroup(const char *owner)
    : m_owner(owner)
{
}

ThreadGroup::~ThreadGroup()
{
    joinAll(kDestroyBound);
}

ThreadGroup::Handle ThreadGroup::start(std::function<void()> body)
{
    auto entry = std::make_shared<Entry>();
    std::lock_guard<std::mutex> lock(m_lock);
    reapLocked();
    try {
        // The thread cannot finish before it is listed: it takes the lock
        // held here to mark itself done.
        entry->thread = std::thread([this, entry, body = std::move(body)] {
            body();
            {
                std::lock_guard<std::mutex> doneLock(m_lock);
                entry->done = true;
            }
            m_doneWake.notify_all();
        });
    } catch (const std::system_error &e) {
        qCritical() << m_owner << "thread could not be started:" << e.what();
        return nullptr;
    }
    m_threads.push_back(entry);
    return entry;
}

void ThreadGroup::waitDone(const Handle &h)
{
    if (!h)
        return;
    std::unique_lock<std::mutex> lock(m_lock);
    m_doneWake.wait(lock, [&h] { return h->done; });
}

int ThreadGroup::count() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return int(m_threads.size());
}

void ThreadGroup::reapLocked()
{
    for (auto it = m_threads.begin(); it != m_threads.end();) {
        Entry &t = **it;
        if (!t.done || t.thread.get_id() == std::this_thread::get_id()) {
            ++it;
            continue;
        }
        // Its body has returned, so the join is immediate.
        t.thread.join();
        it = m_threads.erase(it);
    }
}

void ThreadGroup::joinAll(std::chrono::milliseconds bound)
{
    const std::thread::id self = std::this_thread::get_id();
    std::vector<Handle> threads;
    {
        std::unique_lock<std::mutex> lock(m_lock);
        for (auto it = m_threads.begin(); it != m_threads.end();) {
            if ((*it)->thread.get_id() == self) {
                qCritical() << m_owner << "joinAll called on a thread of the group, its own entry stays";
                ++it;
                continue;
            }
            threads.push_back(*it);
            it = m_threads.erase(it);
        }
        const auto allDone = [&threads] {
            return std::all_of(threads.begin(), threads.end(), [](const Handle &t) { return t->done; });
        };
        if (!m_doneWake.wait_for(lock, bound, allDone))
            qCritical() << m_owner << "threads still running after" << bound.count() << "ms, waiting for them";
    }
    for (const Handle &t : threads) {
        if (t->thread.joinable())
            t->thread.join();
    }
}
