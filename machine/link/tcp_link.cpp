#include "machine/link/tcp_link.h"

#include "machine/link/tcp_stream.h"

namespace {
constexpr int kConnectTimeoutMs = 3000;
// A machine that stops reading must not block a sender forever.
constexpr int kSendTimeoutMs = 5000;
} // namespace

TcpLink::~TcpLink()
{
    shutDown();
}

std::shared_ptr<LinkStream> TcpLink::connectStream(const QString &address, quint16 port, QString *error)
{
    return TcpStream::connect(address, port, kConnectTimeoutMs, kSendTimeoutMs, error);
}
