#pragma once

#include <QString>
#include <QtGlobal>

#include <functional>

// The byte link to the machine, knowing nothing of the protocol above it.
// Each open starts a session with a receive thread of its own; received
// bytes and the loss of a session go to the handlers on that thread.
class MachineLink
{
public:
    using BytesReceived = std::function<void(const char *data, qsizetype size)>;
    // The session that ended without the program closing it.
    using LinkLost = std::function<void(quint64 session)>;

    virtual ~MachineLink() = default;

    // A session's receive thread begins, before its first bytes.
    using SessionStarted = std::function<void()>;

    // Set once, before the first open.
    virtual void setHandlers(BytesReceived bytesReceived, LinkLost linkLost) = 0;
    virtual void setSessionStarted(SessionStarted started) = 0;
    // Connects and starts receiving; false with error filled on failure.
    virtual bool open(const QString &address, quint16 port, QString *error) = 0;
    // Ends the current session quietly (no linkLost); joins its receive
    // thread unless called from it. Safe with no session.
    virtual void close() = 0;
    // Sends size bytes whole; on failure the count that went out (-1 none).
    virtual qsizetype write(const char *data, qsizetype size) = 0;
    // The stream can no longer be trusted (half a frame went out): the
    // session ends and its receive thread reports the loss.
    virtual void abort() = 0;
    virtual bool isOpen() const = 0;
    // The current session number; it changes on every open and close.
    virtual quint64 session() const = 0;
};
