// The synchronous command primitive: send a frame, wait for its reply.
#include "machine/cmd_waiter.h"
#include "machine/link_settings.h"
#include "machine/trv610plus.h"

#include <QDeadlineTimer>
#include <QDebug>

namespace {
constexpr int kLongKeys = 10000; // moves and resets
}

bool TRV610Plus::sendCMD(const QByteArray &frame, bool waitReturn, int key)
{
    if (!m_connected.load()) {
        qCritical() << "TRV610Plus::sendCMD" << "send failed, dislink" << frame;
        return false;
    }
    if (m_largeFrame.load())
        return false;
    if (!waitReturn)
        return sendMsg(frame);

    int timeout = LinkSettings::replyTimeoutMs();
    if (key == 0)
        key = MachineFrame::commandKey(frame);
    else if (key >= kLongKeys)
        timeout = LinkSettings::longReplyTimeoutMs();

    std::shared_ptr<CmdWaiter> waiter;
    {
        QMutexLocker mapLock(&m_waiterMapLock);
        auto it = m_waiters.find(key);
        if (it == m_waiters.end())
            it = m_waiters.insert(key, std::make_shared<CmdWaiter>(key, timeout));
        waiter = it.value();
    }

    QMutexLocker lock(&waiter->lock);
    waiter->sendTime = QDateTime::currentDateTime();
    waiter->sentFrame = frame;
    waiter->replied = false;
    waiter->ok = false;
    waiter->fields.clear();
    lock.unlock();
    // Not sent under the waiter's lock: the receive thread must never stall
    // behind a long send. A reply stored before the wait begins sets replied,
    // which the loop below sees first.
    if (!sendMsg(frame))
        return false;
    lock.relock();
    QDeadlineTimer deadline(waiter->timeoutMs);
    while (!waiter->replied) {
        if (!waiter->replyArrived.wait(&waiter->lock, deadline))
            break;
    }
    if (waiter->replied)
        return waiter->ok;
    qWarning() << "TRV610Plus::sendCMD" << waiter->timeoutMs << "send no return " << frame;
    return false;
}

void TRV610Plus::storeReply(const MachineFrame::Reply &reply, const QByteArray &frame)
{
    std::shared_ptr<CmdWaiter> waiter;
    {
        QMutexLocker mapLock(&m_waiterMapLock);
        waiter = m_waiters.value(reply.key);
    }
    if (!waiter) {
        if (!reply.ok)
            qCritical() << "TRV610Plus::decode" << "error recv" << frame;
        return;
    }
    QMutexLocker lock(&waiter->lock);
    waiter->replied = reply.replied;
    waiter->ok = reply.ok;
    waiter->fields = reply.fields;
    waiter->replyArrived.wakeAll();
    if (waiter->sendTime.isValid() && waiter->sendTime.msecsTo(QDateTime::currentDateTime()) > waiter->timeoutMs)
        qInfo() << "TRV610Plus::decode" << "recv:" << frame;
}

bool TRV610Plus::send(CommandTable::Command command, const QStringList &args, bool waitReturn)
{
    return sendCMD(packFrame(QStringLiteral("CCMD"), CommandTable::body(command, args)), waitReturn,
                   CommandTable::row(command).waitKey);
}
