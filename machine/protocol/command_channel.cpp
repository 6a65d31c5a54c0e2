// The synchronous command primitive (send a frame, wait for its reply), the
// packet-wise sender and the receive side's routing.
#include "machine/protocol/command_channel.h"

#include "machine/link/machine_link.h"
#include "machine/machine_context.h"
#include "machine/protocol/link_settings.h"
#include "machine/protocol/reply_waiter.h"

#include <QDebug>
#include <QElapsedTimer>

#include <cerrno>
#include <cmath>

namespace {
constexpr int kLongKeys = 10000; // moves and resets
constexpr qint64 kSlowSendMs = 20;
} // namespace

CommandChannel::CommandChannel(MachineLink &link, const MachineContext &context)
    : m_link(link)
    , m_context(context)
{
}

CommandChannel::~CommandChannel() = default;

void CommandChannel::setHandlers(ReplyEffect replyEffect, Progress progress)
{
    m_replyEffect = std::move(replyEffect);
    m_progress = std::move(progress);
}

bool CommandChannel::send(CommandTable::Command command, const QStringList &args, bool waitReturn)
{
    return sendCMD(MachineFrame::pack(QStringLiteral("CCMD"), CommandTable::body(command, args)), waitReturn,
                   CommandTable::row(command).waitKey);
}

namespace {
thread_local qint64 t_replyWaitNs = 0;
} // namespace

qint64 CommandChannel::threadReplyWaitNs()
{
    return t_replyWaitNs;
}

bool CommandChannel::sendCMD(const QByteArray &frame, bool waitReturn, int key)
{
    if (!m_connected.load()) {
        qCritical() << "TRV610Plus::sendCMD" << "send failed, dislink" << frame;
        return false;
    }
    if (m_largeFrame.load())
        return false;
    if (!waitReturn)
        return sendMsg(frame);

    const Config *config = m_context.config();
    int timeout = LinkSettings::replyTimeoutMs(config);
    if (key == 0)
        key = MachineFrame::commandKey(frame);
    else if (key >= kLongKeys)
        timeout = LinkSettings::longReplyTimeoutMs(config);

    std::shared_ptr<ReplyWaiter> waiter;
    {
        std::lock_guard<std::mutex> mapLock(m_waiterMapLock);
        auto it = m_waiters.find(key);
        if (it == m_waiters.end())
            it = m_waiters.insert(key, std::make_shared<ReplyWaiter>(key, timeout));
        waiter = it.value();
    }

    std::unique_lock<std::mutex> lock(waiter->lock);
    if (waiter->owed) {
        // The machine still owes the reply of an earlier frame on this key;
        // sending now would let that late reply answer this command.
        const auto graceMs = std::chrono::duration_cast<std::chrono::milliseconds>(
            waiter->owedUntil - std::chrono::steady_clock::now());
        qInfo() << "TRV610Plus::sendCMD" << "held back at most" << qMax<qint64>(0, graceMs.count())
                << "ms for the reply owed on key" << key;
        waiter->replyArrived.wait_until(lock, waiter->owedUntil, [&] { return !waiter->owed; });
        waiter->owed = false;
    }
    waiter->sendTime = std::chrono::steady_clock::now();
    waiter->sentFrame = frame;
    waiter->replied = false;
    waiter->ok = false;
    waiter->fields.clear();
    lock.unlock();
    // Not sent under the waiter's lock: the receive thread must never stall
    // behind a long send. A reply stored before the wait begins sets replied,
    // which the wait below sees first.
    if (!sendMsg(frame))
        return false;
    QElapsedTimer waited;
    waited.start();
    lock.lock();
    ++waiter->waiting;
    waiter->replyArrived.wait_for(lock, std::chrono::milliseconds(waiter->timeoutMs), [&] { return waiter->replied; });
    --waiter->waiting;
    t_replyWaitNs += waited.nsecsElapsed();
    if (waiter->replied)
        return waiter->ok;
    qWarning() << "TRV610Plus::sendCMD" << waiter->timeoutMs << "send no return " << frame;
    // Another sender of this key still waits for the reply of its own frame:
    // whatever comes next is its answer, nothing is owed.
    if (waiter->waiting == 0) {
        waiter->owed = true;
        waiter->owedUntil = std::chrono::steady_clock::now() + std::chrono::milliseconds(waiter->timeoutMs);
    }
    return false;
}

bool CommandChannel::sendMsg(const QByteArray &frame)
{
    // Tested before the lock: while plot data or firmware is on its way other
    // senders are turned away at once instead of queueing behind it.
    if (m_largeFrame.load())
        return false;
    const qsizetype packet = LinkSettings::packetBytes(m_context.config());

    std::lock_guard<std::mutex> lock(m_sendLock);
    if (!m_link.isOpen()) {
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
        const qsizetype sent = m_link.write(frame.constData() + offset, piece);
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
        m_link.abort();
    }
    const qint64 totalMs = whole.elapsed();
    if (totalMs > kSlowSendMs)
        qWarning() << "TRV610Plus::sendMsg" << "package size:" << pieces << "send time" << totalMs;
    if (large)
        m_largeFrame.store(false);
    return result;
}

void CommandChannel::receiveBytes(const char *data, qsizetype size)
{
    const qsizetype dropped = m_receiveBuffer.feed(data, size, [this](const QByteArray &frame) { decode(frame); });
    if (dropped > 0)
        qWarning() << "TRV610Plus::readData" << "unterminated data dropped:" << dropped << "bytes";
}

std::optional<MachineFrame::Reply> CommandChannel::dealReturn(const QByteArray &frame)
{
    std::optional<MachineFrame::Reply> reply = MachineFrame::parseCommandReply(frame);
    if (reply && reply->key != CommandTable::AxisLimitId && !reply->ok)
        qWarning() << "TRV610Plus::dealReturn" << "failed" << frame;
    return reply;
}

void CommandChannel::decode(const QByteArray &frame)
{
    if (std::optional<MachineFrame::Reply> reply = dealReturn(frame)) {
        const int id = reply->key;
        MachineFrame::resolveReply(*reply);
        if (m_replyEffect)
            m_replyEffect(id, *reply);
        storeReply(*reply, frame);
        return;
    }
    if (const std::optional<double> percent = MachineFrame::parseProgress(frame)) {
        if (!std::isfinite(*percent) || *percent < 0.0 || *percent > 100.0) {
            qWarning() << "TRV610Plus::decode" << "refused progress" << frame;
            return;
        }
        if (m_progress)
            m_progress(static_cast<float>(*percent));
    }
}

void CommandChannel::storeReply(const MachineFrame::Reply &reply, const QByteArray &frame)
{
    std::shared_ptr<ReplyWaiter> waiter;
    {
        std::lock_guard<std::mutex> mapLock(m_waiterMapLock);
        waiter = m_waiters.value(reply.key);
    }
    if (!waiter) {
        if (!reply.ok)
            qCritical() << "TRV610Plus::decode" << "error recv" << frame;
        return;
    }
    std::lock_guard<std::mutex> lock(waiter->lock);
    if (waiter->owed) {
        waiter->owed = false;
        // Wakes a sender held back until this reply came.
        waiter->replyArrived.notify_all();
        if (std::chrono::steady_clock::now() < waiter->owedUntil) {
            qInfo() << "TRV610Plus::decode" << "late reply dropped:" << frame;
            return;
        }
    }
    waiter->replied = reply.replied;
    waiter->ok = reply.ok;
    waiter->fields = reply.fields;
    waiter->replyArrived.notify_all();
    const auto late = std::chrono::steady_clock::now() - waiter->sendTime;
    if (waiter->sendTime.time_since_epoch().count() != 0 && late > std::chrono::milliseconds(waiter->timeoutMs))
        qInfo() << "TRV610Plus::decode" << "recv:" << frame;
}

void CommandChannel::clearWaiters()
{
    std::lock_guard<std::mutex> mapLock(m_waiterMapLock);
    m_waiters.clear();
}
