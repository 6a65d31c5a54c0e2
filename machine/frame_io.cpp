// Frames on the wire: packing, the packet-wise sender and the receive loop.
#include "machine/link/machine_link.h"
#include "machine/link_settings.h"
#include "machine/trv610plus.h"

#include <QDebug>
#include <QElapsedTimer>

#include <cerrno>
#include <cmath>
#include <system_error>

namespace {
constexpr qint64 kSlowSendMs = 20;
} // namespace

QByteArray TRV610Plus::packFrame(const QString &header, const QString &body)
{
    return MachineFrame::pack(header, body);
}

QByteArray TRV610Plus::packRawFrame(const QByteArray &payload)
{
    return MachineFrame::wrap(payload);
}

bool TRV610Plus::sendMsg(const QByteArray &frame)
{
    // Tested before the lock: while plot data or firmware is on its way other
    // senders are turned away at once instead of queueing behind it.
    if (m_largeFrame.load())
        return false;
    const qsizetype packet = LinkSettings::packetBytes();

    QMutexLocker lock(&m_sendLock);
    if (!m_link->isOpen()) {
        qCritical() << "TRV610Plus::sendMsg" << "send failed: " << "not connected";
        return false;
    }
    const bool large = frame.size() > packet;
    if (large)
        m_largeFrame.store(true);

    QElapsedTimer whole;
    whole.start();
    bool result = true;
    qsizetype offset = 0;
    int pieces = 0;
    while (offset < frame.size()) {
        const qsizetype piece = qMin(packet, frame.size() - offset);
        QElapsedTimer pieceTimer;
        pieceTimer.start();
        const qsizetype sent = m_link->write(frame.constData() + offset, piece);
        if (sent < 0) {
            qCritical() << "TRV610Plus::sendMsg" << "send failed: " << errno;
            result = false;
            break;
        }
        if (sent < piece) {
            qCritical() << "TRV610Plus::sendMsg" << "send failed: " << sent << piece;
            offset += sent;
            result = false;
            break;
        }
        offset += piece;
        ++pieces;
        ++m_packetsSent;
        const qint64 ms = pieceTimer.elapsed();
        if (ms > kSlowSendMs && offset < frame.size())
            qWarning() << "TRV610Plus::sendMsg" << pieces << "send time" << ms;
    }
    if (!result && offset > 0) {
        qCritical() << "TRV610Plus::sendMsg" << "frame cut after" << offset << "of" << frame.size()
                    << "bytes, dropping the link";
        // Half a frame must never stay on the stream: the link goes instead.
        m_link->abort();
    }
    const qint64 totalMs = whole.elapsed();
    if (totalMs > kSlowSendMs)
        qWarning() << "TRV610Plus::sendMsg" << "package size:" << pieces << "send time" << totalMs;
    if (large)
        m_largeFrame.store(false);
    return result;
}

void TRV610Plus::receiveBytes(const char *data, qsizetype size)
{
    const qsizetype dropped = m_receiveBuffer.feed(data, size, [this](const QByteArray &frame) { decode(frame); });
    if (dropped > 0)
        qWarning() << "TRV610Plus::readData" << "unterminated data dropped:" << dropped << "bytes";
}

std::optional<MachineFrame::Reply> TRV610Plus::dealReturn(const QByteArray &frame)
{
    std::optional<MachineFrame::Reply> reply = MachineFrame::parseCommandReply(frame);
    if (reply && reply->key != CommandTable::AxisLimitId && !reply->ok)
        qWarning() << "TRV610Plus::dealReturn" << "failed" << frame;
    return reply;
}

void TRV610Plus::decode(const QByteArray &frame)
{
    if (std::optional<MachineFrame::Reply> reply = dealReturn(frame)) {
        const int id = reply->key;
        MachineFrame::resolveReply(*reply);
        applyReply(id, *reply);
        storeReply(*reply, frame);
        return;
    }
    if (const std::optional<double> percent = MachineFrame::parseProgress(frame)) {
        if (!std::isfinite(*percent) || *percent < 0.0 || *percent > 100.0) {
            qWarning() << "TRV610Plus::decode" << "refused progress" << frame;
            return;
        }
        setUpdateProgress(static_cast<float>(*percent));
    }
}
