#pragma once

#include "machine/link/link_stream.h"

#include <QString>

#include <memory>

// A TCP connection's descriptor, closed when the last holder lets go.
class TcpStream final : public LinkStream
{
public:
    explicit TcpStream(int fd);
    ~TcpStream() override;
    TcpStream(const TcpStream &) = delete;
    TcpStream &operator=(const TcpStream &) = delete;

    // Connects within connectTimeoutMs; sends then give up after sendTimeoutMs
    // on a peer that stops reading. Null with error filled on failure.
    static std::shared_ptr<TcpStream> connect(const QString &address, quint16 port, int connectTimeoutMs,
                                              int sendTimeoutMs, QString *error);

    bool waitReadable(int timeoutMs) override;
    qsizetype receive(char *buffer, qsizetype size) override;
    qsizetype sendSome(const char *data, qsizetype size) override;
    qsizetype sendAll(const char *data, qsizetype size, int deadlineMs) override;
    void shutdown() override;

private:
    const int m_fd;
};
