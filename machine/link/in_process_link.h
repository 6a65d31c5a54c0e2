#pragma once

#include "machine/link/stream_link.h"

#include <functional>
#include <memory>

// The machine link to a peer in the same process (the machine simulator's
// reply logic), so driver tests run without a socket. The connector plays
// the part of connect(): it hands out the driver's end of a new connection,
// or null with error filled when nothing answers at that address.
class InProcessLink final : public StreamLink
{
public:
    using Connector = std::function<std::shared_ptr<LinkStream>(const QString &address, quint16 port, QString *error)>;

    explicit InProcessLink(Connector connector);
    ~InProcessLink() override;

protected:
    std::shared_ptr<LinkStream> connectStream(const QString &address, quint16 port, QString *error) override;

private:
    Connector m_connector;
};
