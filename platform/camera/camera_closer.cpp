#include "platform/camera/camera_closer.h"

#include <utility>

CameraCloser::~CameraCloser()
{
    finish();
}

void CameraCloser::post(std::function<void()> close)
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_queue.push_back(std::move(close));
    if (!m_running) {
        // A thread that left run() is done; joining it does not wait.
        if (m_thread.joinable())
            m_thread.join();
        m_running = true;
        m_thread = std::thread([this] { run(); });
    }
    m_wake.notify_one();
}

void CameraCloser::finish()
{
    std::thread thread;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        ++m_finishing;
        thread = std::move(m_thread);
    }
    m_wake.notify_all();
    if (thread.joinable())
        thread.join();
    std::lock_guard<std::mutex> lock(m_lock);
    --m_finishing;
}

void CameraCloser::run()
{
    std::unique_lock<std::mutex> lock(m_lock);
    for (;;) {
        m_wake.wait(lock, [this] { return !m_queue.empty() || m_finishing > 0; });
        if (m_queue.empty()) {
            m_running = false;
            return;
        }
        std::function<void()> close = std::move(m_queue.front());
        m_queue.pop_front();
        lock.unlock();
        close();
        close = nullptr; // what it held is let go outside the lock
        lock.lock();
    }
}
