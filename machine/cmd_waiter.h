#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QMutex>
#include <QStringList>
#include <QWaitCondition>

// The reply waiter of one wait key. Senders of the same key share it; the
// receive thread stores a reply and wakes them under its lock.
struct CmdWaiter
{
    CmdWaiter(int waitKey, int timeout)
        : timeoutMs(timeout)
        , key(waitKey)
    {
    }

    QMutex lock;
    QWaitCondition replyArrived;
    const int timeoutMs;
    bool replied = false;
    int key;
    QDateTime sendTime;
    QByteArray sentFrame;
    QStringList fields;
    bool ok = false;
};
