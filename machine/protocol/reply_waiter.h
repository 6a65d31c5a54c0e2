#pragma once

#include <QByteArray>
#include <QStringList>

#include <chrono>
#include <condition_variable>
#include <mutex>

// The reply waiter of one wait key. Senders of the same key share it; the
// receive thread stores a reply and wakes them under its lock.
struct ReplyWaiter
{
    ReplyWaiter(int waitKey, int timeout)
        : timeoutMs(timeout)
        , key(waitKey)
    {
    }

    std::mutex lock;
    std::condition_variable replyArrived;
    const int timeoutMs;
    bool replied = false;
    int key;
    std::chrono::steady_clock::time_point sendTime{};
    QByteArray sentFrame;
    QStringList fields;
    bool ok = false;
    // Senders now blocked in their wait on this key.
    int waiting = 0;
    // A command on this key went unanswered: its reply may still come, and
    // until owedUntil a reply is taken for that one, never for a newer send.
    bool owed = false;
    std::chrono::steady_clock::time_point owedUntil{};
};
