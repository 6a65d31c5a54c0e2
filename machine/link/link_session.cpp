// The connection's life: link, address and ident changes, shut-down.
#include "machine/link/link_session.h"

#include "machine/link/machine_link.h"
#include "machine/protocol/command_channel.h"
#include "machine/state/device_state.h"

#include <QDebug>

#include <chrono>

namespace {
// How often a receive thread that lost its connection re-checks whether the
// program has replaced the connection meanwhile.
constexpr std::chrono::milliseconds kReceiverLockPoll(20);
} // namespace

LinkSession::LinkSession(MachineLink &link, CommandChannel &channel, DeviceState &state, Hooks hooks)
    : m_link(link)
    , m_channel(channel)
    , m_state(state)
    , m_hooks(std::move(hooks))
{
}

QString LinkSession::ip() const
{
    return m_state.ip.get();
}

void LinkSession::setIp(const QString &ip)
{
    std::lock_guard<std::recursive_timed_mutex> linkLock(m_linkLock);
    const QString old = m_state.ip.get();
    if (old == ip)
        return;
    qInfo() << "TRV610Plus::setIp" << old << ip;
    dropConnection();
    // The signal goes out once the new address has been linked (or failed).
    m_state.ip.setSilently(ip);
    if (!ip.isEmpty())
        link();
    m_state.notify(DeviceField::Ip);
}

void LinkSession::followAnnounced(const QString &ip)
{
    std::lock_guard<std::recursive_timed_mutex> linkLock(m_linkLock);
    if (m_state.linked.get() && m_state.ip.get() != ip) {
        qWarning() << "TRV610Plus::followAnnounced" << "kept the working link to" << m_state.ip.get()
                   << "- ignored an announcement from" << ip;
        return;
    }
    setIp(ip);
}

void LinkSession::setIdent(const QString &ident)
{
    std::lock_guard<std::recursive_timed_mutex> linkLock(m_linkLock);
    if (!m_state.ident.set(ident))
        return;
    qInfo() << "TRV610Plus::setIdent" << ident;
    dropConnection();
    // Discovery supplies the address of the machine with this ident.
    m_state.ip.setSilently(QString());
}

bool LinkSession::link()
{
    std::lock_guard<std::recursive_timed_mutex> linkLock(m_linkLock);
    const QString address = ip();
    QString error;
    if (!m_link.open(address, static_cast<quint16>(m_port.load()), &error)) {
        qCritical() << "TRV610Plus::link" << "Connect failed" << address << m_port.load() << error;
        setIp(QString());
        return false;
    }
    qInfo() << "TRV610Plus::link" << "Connect succeed" << address << m_port.load();
    // A new connection starts from a clean condition set: an axis-limit
    // banner of the old one must not outlive it.
    m_state.limitText.set(QString());
    m_state.conditions.set(0);
    m_channel.setConnected(true);
    if (m_hooks.started)
        m_hooks.started();
    m_state.linked.set(true);
    return true;
}

void LinkSession::dropConnection()
{
    m_channel.setConnected(false);
    m_state.linked.set(false);
    // An upload cut off here will never report 100: let the operator start again.
    m_state.updateProgress.set(0.0f);
    m_link.close();
}

void LinkSession::lost(quint64 session)
{
    // The program may be replacing this connection while holding the link
    // lock and joining this thread: never block on the lock, give way instead.
    while (!m_linkLock.try_lock_for(kReceiverLockPoll)) {
        if (m_link.session() != session)
            return;
    }
    std::lock_guard<std::recursive_timed_mutex> linkLock(m_linkLock, std::adopt_lock);
    if (m_link.session() != session)
        return;
    if (ip().isEmpty())
        dropConnection();
    else
        setIp(QString());
}

void LinkSession::close()
{
    std::lock_guard<std::recursive_timed_mutex> linkLock(m_linkLock);
    if (m_state.linked.get() && m_hooks.closing)
        m_hooks.closing();
    dropConnection();
}
