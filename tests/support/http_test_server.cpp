#include "tests/support/http_test_server.h"

#include <QPointer>
#include <QRandomGenerator>
#include <QTcpSocket>
#include <QTimer>

namespace {
QByteArray pathOf(const QByteArray &requestLine)
{
    const QList<QByteArray> parts = requestLine.split(' ');
    if (parts.size() < 2)
        return {};
    const QByteArray target = parts.at(1);
    const int query = target.indexOf('?');
    return query < 0 ? target : target.left(query);
}

QByteArray reasonPhrase(int status)
{
    switch (status) {
    case 200: return "OK";
    case 302: return "Found";
    case 404: return "Not Found";
    case 500: return "Internal Server Error";
    default: return "Status";
    }
}
} // namespace

HttpTestServer::HttpTestServer(QObject *parent)
    : QObject(parent)
{
    connect(&m_server, &QTcpServer::newConnection, this, &HttpTestServer::onNewConnection);
}

HttpTestServer::~HttpTestServer()
{
    m_server.close();
}

bool HttpTestServer::listen(const QHostAddress &address, quint16 port)
{
    if (!address.isLoopback())
        return false;
    return m_server.listen(address, port);
}

bool HttpTestServer::listenOnSomeLoopback(quint16 port)
{
    for (int attempt = 0; attempt < 50; ++attempt) {
        const quint32 host = (127u << 24) | (QRandomGenerator::global()->bounded(1u, 250u) << 16)
                             | (QRandomGenerator::global()->bounded(1u, 250u) << 8)
                             | QRandomGenerator::global()->bounded(2u, 250u);
        if (m_server.listen(QHostAddress(host), port))
            return true;
    }
    return false;
}

QByteArray HttpTestServer::url(const QByteArray &path) const
{
    return "http://" + address().toString().toLatin1() + ':' + QByteArray::number(port()) + path;
}

void HttpTestServer::setAnswer(const QByteArray &path, const Answer &answer)
{
    m_answers.insert(path, answer);
}

void HttpTestServer::setJson(const QByteArray &path, const QByteArray &json, int delayMs)
{
    Answer answer;
    answer.body = json;
    answer.headers = {{"Content-Type", "application/json; charset=utf-8"}};
    answer.delayMs = delayMs;
    setAnswer(path, answer);
}

void HttpTestServer::setRedirect(const QByteArray &path, const QByteArray &location)
{
    Answer answer;
    answer.status = 302;
    answer.headers = {{"Location", location}};
    setAnswer(path, answer);
}

QList<QByteArray> HttpTestServer::requestLines() const
{
    QList<QByteArray> lines;
    for (const QByteArray &raw : m_raw)
        lines.append(raw.left(raw.indexOf("\r\n")));
    return lines;
}

QList<QByteArray> HttpTestServer::requestLinesFor(const QByteArray &path) const
{
    QList<QByteArray> lines;
    for (const QByteArray &line : requestLines()) {
        if (pathOf(line) == path)
            lines.append(line);
    }
    return lines;
}

void HttpTestServer::onNewConnection()
{
    while (QTcpSocket *socket = m_server.nextPendingConnection()) {
        socket->setParent(this);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { onReadyRead(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
            m_pending.remove(socket);
            socket->deleteLater();
        });
    }
}

void HttpTestServer::onReadyRead(QTcpSocket *socket)
{
    QByteArray &buffer = m_pending[socket];
    buffer.append(socket->readAll());
    const int end = buffer.indexOf("\r\n\r\n");
    if (end < 0)
        return;
    const QByteArray raw = buffer.left(end + 4);
    buffer.remove(0, end + 4);
    m_raw.append(raw);
    const QByteArray line = raw.left(raw.indexOf("\r\n"));
    emit requestReceived(line);

    Answer answer;
    const auto found = m_answers.constFind(pathOf(line));
    if (found == m_answers.constEnd()) {
        answer.status = 404;
        answer.body = "not found";
    } else {
        answer = *found;
    }
    if (answer.delayMs <= 0) {
        respond(socket, answer);
        return;
    }
    QPointer<QTcpSocket> guarded(socket);
    QTimer::singleShot(answer.delayMs, this, [this, guarded, answer] {
        if (guarded)
            respond(guarded, answer);
    });
}

void HttpTestServer::respond(QTcpSocket *socket, const Answer &answer)
{
    const qint64 length = answer.announcedLength >= 0 ? answer.announcedLength : answer.body.size();
    QByteArray head = "HTTP/1.1 " + QByteArray::number(answer.status) + ' ' + reasonPhrase(answer.status) + "\r\n";
    for (const auto &header : answer.headers)
        head += header.first + ": " + header.second + "\r\n";
    head += "Content-Length: " + QByteArray::number(length) + "\r\n";
    head += "Connection: close\r\n\r\n";
    socket->write(head);
    if (answer.stallAfter >= 0) {
        // The connection stays open with nothing more to come.
        socket->write(answer.body.left(answer.stallAfter));
        return;
    }
    socket->write(answer.body);
    socket->disconnectFromHost();
}
