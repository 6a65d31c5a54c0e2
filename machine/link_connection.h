#pragma once

#include <QtGlobal>

#include <atomic>

// One TCP connection to the machine. Senders and the receive thread hold it
// by shared pointer, so its descriptor is closed only when the last user is
// gone and a reused descriptor number can never be written by mistake.
struct LinkConnection
{
    explicit LinkConnection(int socketFd, quint64 gen)
        : fd(socketFd)
        , generation(gen)
    {
    }
    ~LinkConnection();
    LinkConnection(const LinkConnection &) = delete;
    LinkConnection &operator=(const LinkConnection &) = delete;

    // Wakes a blocked recv or send; the descriptor stays open.
    void shutdown();

    const int fd;
    const quint64 generation;
    // Cleared when the stream can no longer be trusted or was shut down.
    std::atomic<bool> open{true};
    // Set when the program itself ended the connection: the receive thread
    // then leaves without touching the address.
    std::atomic<bool> closedByProgram{false};
};
