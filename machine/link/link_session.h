#pragma once

#include <QString>

#include <atomic>
#include <functional>
#include <mutex>

class CommandChannel;
class DeviceState;
class MachineLink;

// Which machine the driver is linked to: the ident and address, linking,
// dropping, and the loss of a link reported by its receive thread.
class LinkSession
{
public:
    struct Hooks
    {
        // Right after a connection is up, before linked turns true.
        std::function<void()> started;
        // Before a link that is up is closed at shut-down.
        std::function<void()> closing;
    };

    LinkSession(MachineLink &link, CommandChannel &channel, DeviceState &state, Hooks hooks);

    QString ip() const;
    // A change drops the link and, for a non-empty address, links again.
    void setIp(const QString &ip);
    // An address announced for this machine: taken only while no link is up.
    // Anyone on the segment can announce any ident, so a working link is
    // never given up for an announcement; a machine that moved is followed
    // once its old link is gone.
    void followAnnounced(const QString &ip);
    // Drops the link and forgets the address (discovery supplies the new one).
    void setIdent(const QString &ident);
    bool link();
    int port() const { return m_port.load(); }
    void setPort(int port) { m_port.store(port); }
    // The link reported the loss of this session (its receive thread).
    void lost(quint64 session);
    // Shut-down: the closing hook while linked, then the link dropped.
    void close();

private:
    void dropConnection();

    MachineLink &m_link;
    CommandChannel &m_channel;
    DeviceState &m_state;
    Hooks m_hooks;
    // setIp, setIdent, link and close; a receive thread only tries it.
    std::recursive_timed_mutex m_linkLock;
    std::atomic<int> m_port{9100};
};
