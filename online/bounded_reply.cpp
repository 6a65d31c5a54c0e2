#include "online/bounded_reply.h"

#include <QNetworkReply>

#include <algorithm>

namespace {
// What Qt may hold for us between two readyRead signals.
constexpr qint64 kReadBuffer = 64 * 1024;
} // namespace

BoundedReply::BoundedReply(QNetworkReply *reply, qint64 maxBytes, int totalMs, QObject *parent)
    : QObject(parent)
    , m_reply(reply)
    , m_maxBytes(maxBytes)
{
    reply->setReadBufferSize(std::min(kReadBuffer, maxBytes + 1));
    connect(reply, &QNetworkReply::metaDataChanged, this, [this] {
        // An announced length past the cap is refused before any byte of it.
        const QVariant announced = m_reply ? m_reply->header(QNetworkRequest::ContentLengthHeader) : QVariant();
        if (announced.isValid() && announced.toLongLong() > m_maxBytes) {
            m_tooLarge = true;
            m_reply->abort();
        }
    });
    connect(reply, &QIODevice::readyRead, this, &BoundedReply::take);
    connect(reply, &QNetworkReply::finished, this, &BoundedReply::onFinished);
    m_total.setSingleShot(true);
    connect(&m_total, &QTimer::timeout, this, [this] {
        m_timedOut = true;
        if (m_reply)
            m_reply->abort();
    });
    m_total.start(totalMs);
    if (reply->isFinished())
        QMetaObject::invokeMethod(this, &BoundedReply::onFinished, Qt::QueuedConnection);
}

BoundedReply::~BoundedReply()
{
    if (m_reply)
        m_reply->disconnect(this);
}

void BoundedReply::abort()
{
    if (m_reply && !m_reply->isFinished())
        m_reply->abort();
}

void BoundedReply::take()
{
    if (!m_reply || m_tooLarge || !m_reply->isOpen())
        return;
    const qint64 available = m_reply->bytesAvailable();
    if (available <= 0)
        return;
    if (m_received + available > m_maxBytes) {
        m_tooLarge = true;
        m_pieces.clear();
        m_reply->abort();
        return;
    }
    m_pieces.append(m_reply->read(available));
    m_received += m_pieces.last().size();
}

void BoundedReply::onFinished()
{
    if (m_finished)
        return;
    take();
    m_total.stop();
    if (m_tooLarge)
        m_pieces.clear();
    m_body.reserve(m_received);
    for (const QByteArray &piece : std::exchange(m_pieces, {}))
        m_body += piece;
    m_finished = true;
    emit finished();
}
