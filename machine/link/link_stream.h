#pragma once

#include <QtGlobal>

// One connection's byte stream, seen from either end. Senders and the
// receive thread hold it by shared pointer, so whatever it wraps is released
// only when the last user is gone (a reused descriptor is never written).
class LinkStream
{
public:
    virtual ~LinkStream() = default;

    // Waits until bytes can be read or timeoutMs passes; true when readable.
    virtual bool waitReadable(int timeoutMs) = 0;
    // Blocks for bytes: the count read, 0 when the stream ended, -1 on error.
    virtual qsizetype receive(char *buffer, qsizetype size) = 0;
    // One attempt: the count taken, -1 on error (errno kept where there is one).
    virtual qsizetype sendSome(const char *data, qsizetype size) = 0;
    // Sends everything unless an error or the deadline stops it; the count written.
    virtual qsizetype sendAll(const char *data, qsizetype size, int deadlineMs) = 0;
    // Wakes a blocked receive or send; the stream stays valid.
    virtual void shutdown() = 0;
};
