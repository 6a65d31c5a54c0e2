#pragma once

#include "machine/link/stream_link.h"

// The machine link over TCP (the machine listens on port 9100).
class TcpLink final : public StreamLink
{
public:
    // A machine that stops reading must not block a sender forever.
    static constexpr int kSendTimeoutMs = 5000;

    // sendTimeoutMs: how long one send may wait for a machine that stopped
    // reading (tests stretch it to tell a wait for it from none).
    explicit TcpLink(int sendTimeoutMs = kSendTimeoutMs);
    ~TcpLink() override;

protected:
    std::shared_ptr<LinkStream> connectStream(const QString &address, quint16 port, QString *error) override;

private:
    const int m_sendTimeoutMs;
};
