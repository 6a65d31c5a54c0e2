#pragma once

#include <QByteArray>
#include <QHash>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTcpSocket>
#include <QUrl>

#include <atomic>
#include <functional>
#include <memory>

class QTcpServer;

// A small HTTP/1.1 server on a free loopback port for tests: fixed answers
// by path (pictures, JSON, redirects) or a handler of one's own; every
// request is recorded. One request per connection (Connection: close).
class HttpTestServer : public QObject
{
    Q_OBJECT
public:
    struct Request
    {
        QByteArray method;
        QString path;   // without the query
        QString query;
        QHash<QByteArray, QByteArray> headers; // lower-case names
        QByteArray body;
        QByteArray requestLine; // "GET /path?query HTTP/1.1", as received
    };
    struct Response
    {
        int status = 200;
        QByteArray contentType = "application/octet-stream";
        QByteArray body;
        QList<QPair<QByteArray, QByteArray>> headers;
        int delayMs = 0;             // before the answer goes out
        qint64 announcedLength = -1; // Content-Length to claim; -1: the body's size
        qint64 stallAfter = -1;      // send this many body bytes, then hold the connection
        bool omitLength = false;     // no Content-Length: the body ends when the connection closes
        int dripMs = 0;              // the body one byte at a time, one every dripMs
        bool endless = false;        // the body again and again, as fast as it is taken, no length
    };
    using Handler = std::function<Response(const Request &)>;

    explicit HttpTestServer(QObject *parent = nullptr);
    ~HttpTestServer() override;

    // Listens on 127.0.0.1 at a free port.
    bool start();
    // A fixed port (the update server's is 38021) on some free address of
    // 127.0.0.0/8, so parallel runs never meet. Only loopback is accepted.
    bool listenOnSomeLoopback(quint16 port);
    bool listen(const QHostAddress &address, quint16 port);
    QHostAddress address() const;
    quint16 port() const;
    // http://<address>:<port><path>
    QUrl url(const QString &path) const;

    void setResponse(const QString &path, const Response &response);
    void setBody(const QString &path, const QByteArray &body, const QByteArray &contentType);
    // A 302 to target (a path of this server or a full URL).
    void setRedirect(const QString &path, const QString &target);
    // Asked first; an answer with status 0 falls back to the fixed ones.
    void setHandler(Handler handler) { m_handler = std::move(handler); }

    QList<Request> requests() const { return m_requests; }
    int requestCount(const QString &path) const;
    // The request lines in arrival order, all or those of one path.
    QList<QByteArray> requestLines() const;
    QList<QByteArray> requestLinesFor(const QString &path) const;
    void clearRequests() { m_requests.clear(); }
    // Connections open now that carried a request (downloads; not a client's
    // unused pool connection), and the bytes endless and stalling bodies have sent so far.
    int openConnections() const { return m_open; }
    qint64 bytesPoured() const { return *m_poured; }

signals:
    void requestServed(const QString &path);
    // As soon as a request is read, before its (maybe delayed) answer.
    void requestReceived(const QByteArray &requestLine);

private:
    void onNewConnection();
    void onReadyRead(QTcpSocket *socket);
    void uncount(QTcpSocket *socket);
    void dropClosedByPeer();
    Response answer(const Request &request) const;
    void respond(QTcpSocket *socket, const Request &request, const Response &response);
    void drip(QTcpSocket *socket, const QByteArray &body, int dripMs);
    void pour(QTcpSocket *socket, const QByteArray &chunk);
    void feed(QTcpSocket *socket, const QByteArray &bytes);

    QTcpServer *m_server = nullptr;
    QHash<QString, Response> m_responses;
    Handler m_handler;
    QList<Request> m_requests;
    int m_open = 0;
    // The connections counted in m_open.
    QList<QPointer<QTcpSocket>> m_counted;
    // Atomic: read by a test while the server runs on a thread of its own.
    std::shared_ptr<std::atomic<qint64>> m_poured = std::make_shared<std::atomic<qint64>>(0);
};
