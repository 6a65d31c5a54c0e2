#include "machine/jobs/background_run.h"

#include <QDebug>

#include <system_error>

bool BackgroundRun::start(std::function<void()> work)
{
    std::lock_guard<std::mutex> lock(m_lock);
    if (m_running.load())
        return false;
    if (m_thread.joinable())
        m_thread.join();
    m_running.store(true);
    try {
        m_thread = std::thread([this, work = std::move(work)] {
            work();
            m_running.store(false);
        });
    } catch (const std::system_error &e) {
        m_running.store(false);
        qCritical() << m_name << "thread failed:" << e.what();
        return false;
    }
    return true;
}

void BackgroundRun::join()
{
    std::thread finished;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        if (m_thread.joinable() && m_thread.get_id() != std::this_thread::get_id())
            finished = std::move(m_thread);
    }
    if (finished.joinable())
        finished.join();
}
