// Link requests from the GUI thread, carried out on a thread of the driver.
#include "machine/trv610plus.h"

#include <QDebug>

#include <system_error>

void TRV610Plus::requestIp(const QString &ip)
{
    std::lock_guard<std::mutex> lock(m_requestMutex);
    m_requestedIp = ip;
    m_stopRequests = false;
    if (!m_linkRequestThread.joinable()) {
        try {
            m_linkRequestThread = std::thread(&TRV610Plus::linkRequestLoop, this);
        } catch (const std::system_error &e) {
            qCritical() << "TRV610Plus::requestIp" << "link thread failed:" << e.what();
            m_requestedIp.reset();
            return;
        }
    }
    m_requestWake.notify_one();
}

void TRV610Plus::linkRequestLoop()
{
    for (;;) {
        QString ip;
        {
            std::unique_lock<std::mutex> lock(m_requestMutex);
            m_requestWake.wait(lock, [this] { return m_stopRequests || m_requestedIp.has_value(); });
            if (m_stopRequests)
                return;
            ip = *m_requestedIp;
            m_requestedIp.reset();
        }
        setIp(ip);
    }
}

// A request in progress finishes first (its connect and replies are bounded);
// one not yet taken up is dropped.
void TRV610Plus::stopLinkRequests()
{
    std::thread worker;
    {
        std::lock_guard<std::mutex> lock(m_requestMutex);
        m_stopRequests = true;
        m_requestedIp.reset();
        worker = std::move(m_linkRequestThread);
    }
    m_requestWake.notify_all();
    if (worker.joinable() && worker.get_id() != std::this_thread::get_id())
        worker.join();
}
