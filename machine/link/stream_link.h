#pragma once

#include "machine/link/machine_link.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <thread>

class LinkStream;

// The session and receive-thread handling shared by the links: what differs
// between them is only how a stream is made (connectStream).
class StreamLink : public MachineLink
{
public:
    ~StreamLink() override;

    void setHandlers(BytesReceived bytesReceived, LinkLost linkLost) override;
    void setSessionStarted(SessionStarted started) override { m_sessionStarted = std::move(started); }
    bool open(const QString &address, quint16 port, QString *error) override;
    void close() override;
    qsizetype write(const char *data, qsizetype size) override;
    void abort() override;
    bool isOpen() const override;
    quint64 session() const override { return m_session.load(); }

protected:
    virtual std::shared_ptr<LinkStream> connectStream(const QString &address, quint16 port, QString *error) = 0;
    // Derived destructors call this first, while connectStream still exists.
    void shutDown();

private:
    struct Session;
    void receiveLoop(std::shared_ptr<Session> session);
    std::shared_ptr<Session> current() const;
    void joinFinishedReceiver();

    BytesReceived m_bytesReceived;
    LinkLost m_linkLost;
    SessionStarted m_sessionStarted;
    std::atomic<quint64> m_session{0};
    mutable std::mutex m_lock; // the three fields below (leaf)
    std::shared_ptr<Session> m_current;
    std::thread m_receiveThread;
    std::thread m_finishedReceiver; // a receiver that ended its own session
};
