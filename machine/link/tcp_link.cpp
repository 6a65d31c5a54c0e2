#include "machine/link/tcp_link.h"

#include "machine/link/tcp_stream.h"

namespace {
constexpr int kConnectTimeoutMs = 3000;
} // namespace

TcpLink::TcpLink(int sendTimeoutMs)
    : m_sendTimeoutMs(sendTimeoutMs)
{
}

TcpLink::~TcpLink()
{
    shutDown();
}

std::shared_ptr<LinkStream> TcpLink::connectStream(const QString &address, quint16 port, QString *error)
{
    return TcpStream::connect(address, port, kConnectTimeoutMs, m_sendTimeoutMs, error);
}
