#pragma once

#include <QByteArray>
#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QPair>
#include <QTcpServer>

class QTcpSocket;

// A small HTTP/1.1 server for tests, on loopback only: one canned answer per
// path (delays, short bodies, stalls, redirects), a log of the raw requests.
// It runs on the thread that made it; clients waiting in local event loops
// on that thread are answered meanwhile.
class HttpTestServer : public QObject
{
    Q_OBJECT
public:
    struct Answer
    {
        int status = 200;
        QByteArray body;
        QList<QPair<QByteArray, QByteArray>> headers; // e.g. {"Content-Type", "text/html"}
        int delayMs = 0;              // before the answer goes out
        qint64 announcedLength = -1;  // Content-Length to claim; -1: the body's size
        qint64 stallAfter = -1;       // send this many body bytes, then hold the connection
    };

    explicit HttpTestServer(QObject *parent = nullptr);
    ~HttpTestServer() override;

    // port 0: a free one. Only loopback addresses are accepted.
    bool listen(const QHostAddress &address = QHostAddress::LocalHost, quint16 port = 0);
    // A fixed port on some free address of 127.0.0.0/8, so parallel runs do
    // not meet (the update server's port is fixed).
    bool listenOnSomeLoopback(quint16 port);
    QHostAddress address() const { return m_server.serverAddress(); }
    quint16 port() const { return m_server.serverPort(); }
    QByteArray url(const QByteArray &path) const;

    void setAnswer(const QByteArray &path, const Answer &answer);
    void setJson(const QByteArray &path, const QByteArray &json, int delayMs = 0);
    // A 302 to location.
    void setRedirect(const QByteArray &path, const QByteArray &location);

    // The request lines ("GET /path?query HTTP/1.1") and whole raw requests, in arrival order.
    QList<QByteArray> requestLines() const;
    QList<QByteArray> rawRequests() const { return m_raw; }
    // Request lines whose path (without the query) is path.
    QList<QByteArray> requestLinesFor(const QByteArray &path) const;
    void clearLog() { m_raw.clear(); }

signals:
    void requestReceived(const QByteArray &requestLine);

private:
    void onNewConnection();
    void onReadyRead(QTcpSocket *socket);
    void respond(QTcpSocket *socket, const Answer &answer);

    QTcpServer m_server;
    QHash<QByteArray, Answer> m_answers;
    QHash<QTcpSocket *, QByteArray> m_pending;
    QList<QByteArray> m_raw;
};
