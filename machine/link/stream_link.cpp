#include "machine/link/stream_link.h"

#include "machine/link/link_stream.h"

#include <QDebug>

#include <cerrno>
#include <system_error>

namespace {
// How long a piece that the stream only partly took may take to finish
// before the link is given up.
constexpr int kFinishPieceMs = 5000;
constexpr qsizetype kReadSize = 512;
} // namespace

struct StreamLink::Session
{
    Session(std::shared_ptr<LinkStream> s, quint64 n)
        : stream(std::move(s))
        , number(n)
    {
    }
    const std::shared_ptr<LinkStream> stream;
    const quint64 number;
    // Cleared when the stream can no longer be trusted or was shut down.
    std::atomic<bool> open{true};
    // Set when the program itself ended the session: the receive thread then
    // leaves without reporting a loss.
    std::atomic<bool> closedByProgram{false};
};

StreamLink::~StreamLink() = default;

void StreamLink::shutDown()
{
    close();
    joinFinishedReceiver();
}

void StreamLink::setHandlers(BytesReceived bytesReceived, LinkLost linkLost)
{
    m_bytesReceived = std::move(bytesReceived);
    m_linkLost = std::move(linkLost);
}

std::shared_ptr<StreamLink::Session> StreamLink::current() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_current;
}

bool StreamLink::isOpen() const
{
    const std::shared_ptr<Session> session = current();
    return session && session->open.load();
}

bool StreamLink::open(const QString &address, quint16 port, QString *error)
{
    close();
    std::shared_ptr<LinkStream> stream = connectStream(address, port, error);
    if (!stream)
        return false;
    auto session = std::make_shared<Session>(std::move(stream), ++m_session);
    try {
        std::thread receiver(&StreamLink::receiveLoop, this, session);
        std::lock_guard<std::mutex> lock(m_lock);
        m_current = session;
        m_receiveThread = std::move(receiver);
    } catch (const std::system_error &e) {
        if (error)
            *error = QStringLiteral("receive thread failed: %1").arg(QString::fromLocal8Bit(e.what()));
        return false;
    }
    return true;
}

void StreamLink::close()
{
    ++m_session;
    std::shared_ptr<Session> session;
    std::thread receiver;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        session = std::move(m_current);
        receiver = std::move(m_receiveThread);
    }
    if (session) {
        session->closedByProgram.store(true);
        session->open.store(false);
        session->stream->shutdown();
    }
    if (receiver.joinable()) {
        if (receiver.get_id() == std::this_thread::get_id()) {
            // The receive thread ends its own session: it cannot join itself,
            // and it ends right after; the next open or close joins it.
            std::lock_guard<std::mutex> lock(m_lock);
            m_finishedReceiver = std::move(receiver);
            return;
        }
        // shutdown() has woken its receive, so this join is short.
        receiver.join();
    }
    joinFinishedReceiver();
}

void StreamLink::joinFinishedReceiver()
{
    std::thread finished;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        if (m_finishedReceiver.joinable() && m_finishedReceiver.get_id() != std::this_thread::get_id())
            finished = std::move(m_finishedReceiver);
    }
    if (finished.joinable())
        finished.join();
}

qsizetype StreamLink::write(const char *data, qsizetype size)
{
    const std::shared_ptr<Session> session = current();
    if (!session || !session->open.load())
        return -1;
    qsizetype sent = session->stream->sendSome(data, size);
    if (sent < 0 || sent == size)
        return sent;
    // Half a piece must never stay on the stream: finish it or report the shortfall.
    return sent + session->stream->sendAll(data + sent, size - sent, kFinishPieceMs);
}

void StreamLink::abort()
{
    if (const std::shared_ptr<Session> session = current()) {
        session->open.store(false);
        session->stream->shutdown();
    }
}

void StreamLink::receiveLoop(std::shared_ptr<Session> session)
{
    char buffer[kReadSize];
    // The previous receive thread has been joined (open closes first), so
    // whatever it left half-read can be dropped here without a race.
    if (m_sessionStarted)
        m_sessionStarted();
    while (!session->closedByProgram.load()) {
        const qsizetype n = session->stream->receive(buffer, kReadSize);
        if (n <= 0) {
            const int err = errno;
            // A session the program closed itself ends quietly, so it can
            // never tear down a newer one.
            if (session->closedByProgram.load())
                return;
            if (n == 0)
                qInfo() << "TRV610Plus::readData" << "socket closed";
            else
                qCritical() << "TRV610Plus::readData" << "Recv failed: " << n << err;
            session->open.store(false);
            if (m_linkLost)
                m_linkLost(session->number);
            return;
        }
        if (m_bytesReceived)
            m_bytesReceived(buffer, n);
    }
}
