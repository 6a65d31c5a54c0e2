#include "machine/link/link_requests.h"

#include <QDebug>

#include <system_error>

LinkRequests::LinkRequests(std::function<void(const QString &)> apply)
    : m_apply(std::move(apply))
{
}

LinkRequests::~LinkRequests()
{
    stop();
}

void LinkRequests::request(const QString &ip)
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_requested = ip;
    m_stop = false;
    if (!m_thread.joinable()) {
        try {
            m_thread = std::thread(&LinkRequests::loop, this);
        } catch (const std::system_error &e) {
            qCritical() << "TRV610Plus::requestIp" << "link thread failed:" << e.what();
            m_requested.reset();
            return;
        }
    }
    m_wake.notify_one();
}

void LinkRequests::loop()
{
    for (;;) {
        QString ip;
        {
            std::unique_lock<std::mutex> lock(m_lock);
            m_wake.wait(lock, [this] { return m_stop || m_requested.has_value(); });
            if (m_stop)
                return;
            ip = *m_requested;
            m_requested.reset();
        }
        m_apply(ip);
    }
}

void LinkRequests::stop()
{
    std::thread worker;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_stop = true;
        m_requested.reset();
        worker = std::move(m_thread);
    }
    m_wake.notify_all();
    if (worker.joinable() && worker.get_id() != std::this_thread::get_id())
        worker.join();
}
