#include "platform/socket/posix_socket.h"

#include <QElapsedTimer>

#include <arpa/inet.h>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace PosixSocket {

namespace {

bool toAddress(const QString &ip, quint16 port, sockaddr_in *addr)
{
    std::memset(addr, 0, sizeof(*addr));
    addr->sin_family = AF_INET;
    addr->sin_port = htons(port);
    return inet_pton(AF_INET, ip.toLatin1().constData(), &addr->sin_addr) == 1;
}

QString errnoText(const char *what, int err)
{
    return QStringLiteral("%1: %2 (%3)").arg(QLatin1String(what), QString::fromLocal8Bit(std::strerror(err))).arg(err);
}

void setBlocking(int fd, bool blocking)
{
    const int flags = fcntl(fd, F_GETFL, 0);
    fcntl(fd, F_SETFL, blocking ? (flags & ~O_NONBLOCK) : (flags | O_NONBLOCK));
}

// A TCP socket and the address it is meant for; -1 with errorText on failure.
int tcpSocketFor(const QString &ip, quint16 port, sockaddr_in *addr, QString *errorText)
{
    if (!toAddress(ip, port, addr)) {
        if (errorText)
            *errorText = QStringLiteral("not an IPv4 address: ") + ip;
        return -1;
    }
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0 && errorText)
        *errorText = errnoText("socket", errno);
    return fd;
}

} // namespace

int connectTcp(const QString &ip, quint16 port, int timeoutMs, QString *errorText)
{
    sockaddr_in addr;
    const int fd = tcpSocketFor(ip, port, &addr, errorText);
    if (fd < 0)
        return -1;
    // Non-blocking connect so an absent host costs at most timeoutMs.
    setBlocking(fd, false);
    int rc = ::connect(fd, reinterpret_cast<sockaddr *>(&addr), sizeof(addr));
    if (rc < 0 && errno == EINPROGRESS) {
        pollfd p{fd, POLLOUT, 0};
        do {
            rc = ::poll(&p, 1, timeoutMs);
        } while (rc < 0 && errno == EINTR);
        if (rc == 0) {
            if (errorText)
                *errorText = QStringLiteral("connect timed out");
            ::close(fd);
            return -1;
        }
        int err = 0;
        socklen_t len = sizeof(err);
        getsockopt(fd, SOL_SOCKET, SO_ERROR, &err, &len);
        rc = err == 0 && rc > 0 ? 0 : -1;
        errno = err;
    }
    if (rc < 0) {
        if (errorText)
            *errorText = errnoText("connect", errno);
        ::close(fd);
        return -1;
    }
    setBlocking(fd, true);
    return fd;
}

int listenTcp(const QString &ip, quint16 port, QString *errorText)
{
    sockaddr_in addr;
    const int fd = tcpSocketFor(ip, port, &addr, errorText);
    if (fd < 0)
        return -1;
    const int one = 1;
    setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof(one));
    if (::bind(fd, reinterpret_cast<sockaddr *>(&addr), sizeof(addr)) < 0 || ::listen(fd, 8) < 0) {
        if (errorText)
            *errorText = errnoText("bind/listen", errno);
        ::close(fd);
        return -1;
    }
    return fd;
}

quint16 localPort(int fd)
{
    sockaddr_in addr;
    socklen_t len = sizeof(addr);
    if (getsockname(fd, reinterpret_cast<sockaddr *>(&addr), &len) < 0)
        return 0;
    return ntohs(addr.sin_port);
}

int acceptTcp(int listenFd, int timeoutMs)
{
    if (!waitReadable(listenFd, timeoutMs))
        return -1;
    return ::accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC);
}

void setSendTimeout(int fd, int timeoutMs)
{
    timeval tv{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
    setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof(tv));
}

void setNoDelay(int fd)
{
    const int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof(one));
}

qsizetype sendSome(int fd, const char *data, qsizetype size)
{
    ssize_t n;
    do {
        n = ::send(fd, data, static_cast<size_t>(size), MSG_NOSIGNAL);
    } while (n < 0 && errno == EINTR);
    return n;
}

qsizetype sendAll(int fd, const char *data, qsizetype size, int deadlineMs)
{
    QElapsedTimer timer;
    timer.start();
    qsizetype done = 0;
    while (done < size) {
        const qsizetype n = sendSome(fd, data + done, size - done);
        if (n > 0)
            done += n;
        else if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK)
            break;
        if (done < size && timer.elapsed() >= deadlineMs)
            break;
    }
    return done;
}

bool waitReadable(int fd, int timeoutMs)
{
    pollfd p{fd, POLLIN, 0};
    int rc;
    do {
        rc = ::poll(&p, 1, timeoutMs);
    } while (rc < 0 && errno == EINTR);
    return rc > 0;
}

qsizetype receive(int fd, char *buffer, qsizetype size)
{
    ssize_t n;
    do {
        n = ::recv(fd, buffer, static_cast<size_t>(size), 0);
    } while (n < 0 && errno == EINTR);
    return n;
}

void shutdownBoth(int fd)
{
    if (fd >= 0)
        ::shutdown(fd, SHUT_RDWR);
}

void closeFd(int fd)
{
    if (fd >= 0)
        ::close(fd);
}

bool sendDatagram(const QString &ip, quint16 port, const QByteArray &data, const QString &fromIp)
{
    sockaddr_in addr;
    if (!toAddress(ip, port, &addr))
        return false;
    sockaddr_in from;
    if (!fromIp.isEmpty() && !toAddress(fromIp, 0, &from))
        return false;
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    if (!fromIp.isEmpty() && ::bind(fd, reinterpret_cast<sockaddr *>(&from), sizeof(from)) != 0) {
        ::close(fd);
        return false;
    }
    const ssize_t n = ::sendto(fd, data.constData(), static_cast<size_t>(data.size()), MSG_NOSIGNAL,
                               reinterpret_cast<sockaddr *>(&addr), sizeof(addr));
    ::close(fd);
    return n == data.size();
}

} // namespace PosixSocket
