#include "machine/link/tcp_stream.h"

#include "platform/socket/posix_socket.h"

TcpStream::TcpStream(int fd)
    : m_fd(fd)
{
}

TcpStream::~TcpStream()
{
    PosixSocket::closeFd(m_fd);
}

std::shared_ptr<TcpStream> TcpStream::connect(const QString &address, quint16 port, int connectTimeoutMs,
                                              int sendTimeoutMs, QString *error)
{
    const int fd = PosixSocket::connectTcp(address, port, connectTimeoutMs, error);
    if (fd < 0)
        return nullptr;
    PosixSocket::setNoDelay(fd);
    PosixSocket::setSendTimeout(fd, sendTimeoutMs);
    return std::make_shared<TcpStream>(fd);
}

bool TcpStream::waitReadable(int timeoutMs)
{
    return PosixSocket::waitReadable(m_fd, timeoutMs);
}

qsizetype TcpStream::receive(char *buffer, qsizetype size)
{
    return PosixSocket::receive(m_fd, buffer, size);
}

qsizetype TcpStream::sendSome(const char *data, qsizetype size)
{
    return PosixSocket::sendSome(m_fd, data, size);
}

qsizetype TcpStream::sendAll(const char *data, qsizetype size, int deadlineMs)
{
    return PosixSocket::sendAll(m_fd, data, size, deadlineMs);
}

void TcpStream::shutdown()
{
    PosixSocket::shutdownBoth(m_fd);
}
