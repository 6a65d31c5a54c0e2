// Frames on the wire: packing, the packet-wise sender and the receive loop.
#include "machine/link_connection.h"
#include "machine/link_settings.h"
#include "platform/socket/posix_socket.h"
#include "machine/trv610plus.h"

#include <QDebug>
#include <QElapsedTimer>

#include <cerrno>
#include <cmath>
#include <system_error>

namespace {
// How long a piece that the socket only partly took may take to finish
// before the link is given up.
constexpr int kFinishPieceMs = 5000;
constexpr qsizetype kReadSize = 512;
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
    const std::shared_ptr<LinkConnection> connection = currentConnection();
    if (!connection || !connection->open.load()) {
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
        qsizetype sent = PosixSocket::sendSome(connection->fd, frame.constData() + offset, piece);
        if (sent < 0) {
            qCritical() << "TRV610Plus::sendMsg" << "send failed: " << errno;
            result = false;
            break;
        }
        if (sent < piece) {
            // Half a frame must never stay on the stream: finish it or give up the link.
            sent += PosixSocket::sendAll(connection->fd, frame.constData() + offset + sent, piece - sent,
                                         kFinishPieceMs);
            if (sent < piece) {
                qCritical() << "TRV610Plus::sendMsg" << "send failed: " << sent << piece;
                offset += sent;
                result = false;
                break;
            }
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
        connection->shutdown();
    }
    const qint64 totalMs = whole.elapsed();
    if (totalMs > kSlowSendMs)
        qWarning() << "TRV610Plus::sendMsg" << "package size:" << pieces << "send time" << totalMs;
    if (large)
        m_largeFrame.store(false);
    return result;
}

void TRV610Plus::readData(std::shared_ptr<LinkConnection> connection)
{
    char buffer[kReadSize];
    while (!connection->closedByProgram.load()) {
        const qsizetype n = PosixSocket::receive(connection->fd, buffer, kReadSize);
        if (n <= 0) {
            const int err = errno;
            // A connection the program closed itself ends quietly, so it can
            // never tear down a newer one.
            if (connection->closedByProgram.load())
                return;
            if (n == 0)
                qInfo() << "TRV610Plus::readData" << "socket closed";
            else
                qCritical() << "TRV610Plus::readData" << "Recv failed: " << n << err;
            connection->open.store(false);
            dropFromReceiver(connection->generation);
            return;
        }
        const qsizetype dropped = m_receiveBuffer.feed(buffer, n, [this](const QByteArray &frame) { decode(frame); });
        if (dropped > 0)
            qWarning() << "TRV610Plus::readData" << "unterminated data dropped:" << dropped << "bytes";
    }
}

std::optional<MachineFrame::Reply> TRV610Plus::dealReturn(const QByteArray &frame)
{
    std::optional<MachineFrame::Reply> reply = MachineFrame::parseCommandReply(frame);
    if (reply && reply->key != 23 && !reply->ok)
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
