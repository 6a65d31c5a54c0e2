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
        } else if (announced.isValid() && announced.toLongLong() > m_body.capacity()) {
            // Room for the whole body at once: it is then never moved.
            m_body.reserve(qsizetype(announced.toLongLong()));
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
    // What came so far is of no use: let it go now, not when the reply goes.
    m_aborted = true;
    m_body = QByteArray();
    if (m_reply && !m_reply->isFinished())
        m_reply->abort();
}

void BoundedReply::take()
{
    if (!m_reply || m_tooLarge || m_aborted || !m_reply->isOpen())
        return;
    const qint64 available = m_reply->bytesAvailable();
    if (available <= 0)
        return;
    if (m_received + available > m_maxBytes) {
        m_tooLarge = true;
        m_body = QByteArray();
        m_reply->abort();
        return;
    }
    // Read straight into the body: Qt's piece is let go at once, and no
    // list of pieces is joined (held twice) at the end.
    m_body.resize(qsizetype(m_received + available));
    const qint64 read = m_reply->read(m_body.data() + m_received, available);
    m_received += std::max<qint64>(read, 0);
    m_body.resize(qsizetype(m_received));
}

void BoundedReply::onFinished()
{
    if (m_finished)
        return;
    take();
    m_total.stop();
    // A failed transfer has no body: nothing of it is held until the reply goes.
    if (m_tooLarge || m_aborted || !m_reply || m_reply->error() != QNetworkReply::NoError)
        m_body = QByteArray();
    m_finished = true;
    emit finished();
}
