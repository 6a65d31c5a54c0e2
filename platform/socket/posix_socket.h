#pragma once

#include <QByteArray>
#include <QString>

#include <cstddef>

// Thin POSIX socket helpers shared by the machine link and the machine
// simulator. All descriptors are close-on-exec; sends never raise SIGPIPE.
namespace PosixSocket {

// Connects an IPv4 TCP socket to ip:port within timeoutMs. Returns the
// blocking descriptor, or -1 with errorText filled.
int connectTcp(const QString &ip, quint16 port, int timeoutMs, QString *errorText);

// Listens on ip:port (port 0 picks one); -1 with errorText on failure.
int listenTcp(const QString &ip, quint16 port, QString *errorText);

// The local port of a bound socket, 0 when unknown.
quint16 localPort(int fd);

// Accepts one connection within timeoutMs; -1 when none arrived.
int acceptTcp(int listenFd, int timeoutMs);

// Bounds how long one send may block on a peer that does not read.
void setSendTimeout(int fd, int timeoutMs);
void setNoDelay(int fd);

// One send call: the count accepted, or -1 with errno kept.
qsizetype sendSome(int fd, const char *data, qsizetype size);

// Sends everything unless an error or the deadline stops it; returns the
// count written.
qsizetype sendAll(int fd, const char *data, qsizetype size, int deadlineMs);

// Waits until fd is readable or timeoutMs passes; true when readable.
bool waitReadable(int fd, int timeoutMs);

// One recv call: bytes read, 0 for an orderly close, -1 with errno kept
// (EINTR is retried inside).
qsizetype receive(int fd, char *buffer, qsizetype size);

void shutdownBoth(int fd);
void closeFd(int fd);

// One UDP datagram to ip:port, sent from fromIp when given (so the
// receiver sees that address as the sender); false on failure.
bool sendDatagram(const QString &ip, quint16 port, const QByteArray &data, const QString &fromIp = QString());

} // namespace PosixSocket
