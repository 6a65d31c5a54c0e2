#pragma once

#include "machine/link/stream_link.h"

// The machine link over TCP (the machine listens on port 9100).
class TcpLink final : public StreamLink
{
public:
    ~TcpLink() override;

protected:
    std::shared_ptr<LinkStream> connectStream(const QString &address, quint16 port, QString *error) override;
};
