#include "tests/support/http_test_server.h"

#include <QHostAddress>
#include <QPointer>
#include <QRandomGenerator>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <memory>

#include <sys/socket.h>
#include <cerrno>

namespace {

QByteArray reasonPhrase(int status)
{
    switch (status) {
    case 200: return "OK";
    case 301: return "Moved Permanently";
    case 302: return "Found";
    case 400: return "Bad Request";
    case 404: return "Not Found";
    case 500: return "Internal Server Error";
    default: return "Status";
    }
}

} // namespace

HttpTestServer::HttpTestServer(QObject *parent)
    : QObject(parent)
    , m_server(new QTcpServer(this))
{
    connect(m_server, &QTcpServer::newConnection, this, &HttpTestServer::onNewConnection);
}

HttpTestServer::~HttpTestServer() = default;

bool HttpTestServer::start()
{
    return m_server->listen(QHostAddress::LocalHost, 0);
}

bool HttpTestServer::listen(const QHostAddress &address, quint16 port)
{
    return address.isLoopback() && m_server->listen(address, port);
}

bool HttpTestServer::listenOnSomeLoopback(quint16 port)
{
    for (int attempt = 0; attempt < 50; ++attempt) {
        QRandomGenerator *random = QRandomGenerator::global();
        const quint32 host = (127u << 24) | (random->bounded(1u, 250u) << 16) | (random->bounded(1u, 250u) << 8)
                             | random->bounded(2u, 250u);
        if (m_server->listen(QHostAddress(host), port))
            return true;
    }
    return false;
}

QHostAddress HttpTestServer::address() const
{
    return m_server->serverAddress();
}

quint16 HttpTestServer::port() const
{
    return m_server->serverPort();
}

QUrl HttpTestServer::url(const QString &path) const
{
    return QUrl(QStringLiteral("http://%1:%2%3").arg(address().toString()).arg(port()).arg(path));
}

void HttpTestServer::setResponse(const QString &path, const Response &response)
{
    m_responses.insert(path, response);
}

void HttpTestServer::setBody(const QString &path, const QByteArray &body, const QByteArray &contentType)
{
    Response response;
    response.body = body;
    response.contentType = contentType;
    setResponse(path, response);
}

void HttpTestServer::setRedirect(const QString &path, const QString &target)
{
    Response response;
    response.status = 302;
    response.contentType = "text/plain";
    const QString location = target.startsWith(QLatin1Char('/')) ? url(target).toString() : target;
    response.headers.append({"Location", location.toUtf8()});
    setResponse(path, response);
}

int HttpTestServer::requestCount(const QString &path) const
{
    int count = 0;
    for (const Request &request : m_requests)
        count += request.path == path ? 1 : 0;
    return count;
}

QList<QByteArray> HttpTestServer::requestLines() const
{
    QList<QByteArray> lines;
    for (const Request &request : m_requests)
        lines.append(request.requestLine);
    return lines;
}

QList<QByteArray> HttpTestServer::requestLinesFor(const QString &path) const
{
    QList<QByteArray> lines;
    for (const Request &request : m_requests) {
        if (request.path == path)
            lines.append(request.requestLine);
    }
    return lines;
}

void HttpTestServer::onNewConnection()
{
    while (QTcpSocket *socket = m_server->nextPendingConnection()) {
        // Counted once a request is read: a client's HTTP pool connects ahead
        // of its queue and may keep a connection it never used, which is no
        // download of anyone's.
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] { uncount(socket); });
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    }
}

void HttpTestServer::uncount(QTcpSocket *socket)
{
    if (m_counted.removeAll(socket) > 0)
        --m_open;
}

// A client's close reaches this thread's event for it late on a loaded
// machine, after new requests it sent since: asked of the socket itself
// before a request is counted, the count is what the clients hold.
void HttpTestServer::dropClosedByPeer()
{
    const QList<QPointer<QTcpSocket>> counted = m_counted;
    for (const QPointer<QTcpSocket> &socket : counted) {
        if (!socket)
            continue;
        char byte;
        const auto got = ::recv(int(socket->socketDescriptor()), &byte, 1, MSG_PEEK | MSG_DONTWAIT);
        if (got == 0 || (got < 0 && errno != EAGAIN && errno != EWOULDBLOCK))
            uncount(socket);
    }
    m_counted.removeAll(nullptr);
}

void HttpTestServer::onReadyRead(QTcpSocket *socket)
{
    // The request stays in the socket's buffer until it is complete.
    const QByteArray pending = socket->peek(socket->bytesAvailable());
    const int headerEnd = pending.indexOf("\r\n\r\n");
    if (headerEnd < 0)
        return;
    Request request;
    const QList<QByteArray> lines = pending.left(headerEnd).split('\n');
    request.requestLine = lines.value(0).trimmed();
    const QList<QByteArray> first = request.requestLine.split(' ');
    request.method = first.value(0);
    const QByteArray target = first.value(1);
    const int q = target.indexOf('?');
    request.path = QString::fromUtf8(q < 0 ? target : target.left(q));
    request.query = q < 0 ? QString() : QString::fromUtf8(target.mid(q + 1));
    for (int i = 1; i < lines.size(); ++i) {
        const int colon = lines.at(i).indexOf(':');
        if (colon > 0)
            request.headers.insert(lines.at(i).left(colon).trimmed().toLower(), lines.at(i).mid(colon + 1).trimmed());
    }
    const int length = request.headers.value("content-length").toInt();
    if (pending.size() < headerEnd + 4 + length)
        return;
    request.body = pending.mid(headerEnd + 4, length);
    socket->read(headerEnd + 4 + length);
    disconnect(socket, &QTcpSocket::readyRead, this, nullptr);

    dropClosedByPeer();
    m_counted.append(socket);
    ++m_open;
    m_requests.append(request);
    emit requestReceived(request.requestLine);
    const Response response = answer(request);
    if (response.delayMs <= 0) {
        respond(socket, request, response);
        return;
    }
    QPointer<QTcpSocket> guarded(socket);
    QTimer::singleShot(response.delayMs, this, [this, guarded, request, response] {
        if (guarded)
            respond(guarded, request, response);
    });
}

void HttpTestServer::respond(QTcpSocket *socket, const Request &request, const Response &response)
{
    const qint64 length = response.announcedLength >= 0 ? response.announcedLength : response.body.size();
    QByteArray out = "HTTP/1.1 " + QByteArray::number(response.status) + ' ' + reasonPhrase(response.status) + "\r\n";
    out += "Content-Type: " + response.contentType + "\r\n";
    if (!response.omitLength && !response.endless)
        out += "Content-Length: " + QByteArray::number(length) + "\r\n";
    out += "Connection: close\r\n";
    for (const auto &header : response.headers)
        out += header.first + ": " + header.second + "\r\n";
    out += "\r\n";
    socket->write(out);
    if (response.stallAfter >= 0) {
        // The connection stays open with nothing more to come.
        feed(socket, response.body.left(response.stallAfter));
        return;
    }
    if (response.endless && !response.body.isEmpty()) {
        pour(socket, response.body);
        return;
    }
    if (response.dripMs > 0) {
        drip(socket, response.body, response.dripMs);
        return;
    }
    if (request.method != "HEAD")
        socket->write(response.body);
    socket->disconnectFromHost();
    emit requestServed(request.path);
}

void HttpTestServer::drip(QTcpSocket *socket, const QByteArray &body, int dripMs)
{
    auto *timer = new QTimer(socket);
    auto sent = std::make_shared<qsizetype>(0);
    connect(timer, &QTimer::timeout, socket, [socket, timer, body, sent] {
        if (*sent >= body.size()) {
            timer->stop();
            socket->disconnectFromHost();
            return;
        }
        socket->write(body.mid((*sent)++, 1));
    });
    timer->start(dripMs);
}

void HttpTestServer::feed(QTcpSocket *socket, const QByteArray &bytes)
{
    // In pieces as fast as the peer reads, so a large body is never held
    // again in every socket's write buffer; counted as poured.
    constexpr qsizetype kPiece = 64 * 1024;
    auto sent = std::make_shared<qsizetype>(0);
    auto topUp = [socket, bytes, sent, poured = m_poured] {
        while (*sent < bytes.size() && socket->state() == QAbstractSocket::ConnectedState
               && socket->bytesToWrite() < 4 * kPiece) {
            const qint64 written = socket->write(bytes.mid(*sent, kPiece));
            if (written <= 0)
                return;
            *sent += written;
            *poured += written;
        }
    };
    connect(socket, &QTcpSocket::bytesWritten, socket, topUp);
    topUp();
}

void HttpTestServer::pour(QTcpSocket *socket, const QByteArray &chunk)
{
    // Topped up whenever little is left to send: as fast as the peer reads,
    // without piling up here.
    auto topUp = [socket, chunk, poured = m_poured] {
        while (socket->state() == QAbstractSocket::ConnectedState && socket->bytesToWrite() < 4 * chunk.size())
            *poured += socket->write(chunk);
    };
    connect(socket, &QTcpSocket::bytesWritten, socket, topUp);
    topUp();
}

HttpTestServer::Response HttpTestServer::answer(const Request &request) const
{
    if (m_handler) {
        Response response = m_handler(request);
        if (response.status != 0)
            return response;
    }
    if (m_responses.contains(request.path))
        return m_responses.value(request.path);
    Response missing;
    missing.status = 404;
    missing.contentType = "text/plain";
    missing.body = "not found";
    return missing;
}
