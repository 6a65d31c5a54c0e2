#include "machine/link/byte_pipe.h"

#include <QByteArray>

#include <chrono>
#include <condition_variable>
#include <limits>
#include <mutex>

namespace {

struct Channel
{
    std::mutex lock;
    std::condition_variable readable;
    std::condition_variable writable;
    QByteArray toEnd[2];
    qsizetype capacity = 0;
    bool ended = false;
};

class PipeEnd final : public LinkStream
{
public:
    PipeEnd(std::shared_ptr<Channel> channel, int side)
        : m_channel(std::move(channel))
        , m_side(side)
    {
    }
    ~PipeEnd() override { shutdown(); }

    bool waitReadable(int timeoutMs) override
    {
        std::unique_lock<std::mutex> lock(m_channel->lock);
        const auto ready = [this] { return !incoming().isEmpty() || m_channel->ended; };
        if (timeoutMs < 0) {
            m_channel->readable.wait(lock, ready);
            return true;
        }
        return m_channel->readable.wait_for(lock, std::chrono::milliseconds(timeoutMs), ready);
    }

    qsizetype receive(char *buffer, qsizetype size) override
    {
        std::unique_lock<std::mutex> lock(m_channel->lock);
        m_channel->readable.wait(lock, [this] { return !incoming().isEmpty() || m_channel->ended; });
        // Bytes written before the end are still read, as from a socket.
        QByteArray &in = incoming();
        const qsizetype n = qMin(size, in.size());
        if (n == 0)
            return 0;
        std::copy_n(in.constData(), n, buffer);
        in.remove(0, n);
        lock.unlock();
        m_channel->writable.notify_all();
        return n;
    }

    qsizetype sendSome(const char *data, qsizetype size) override
    {
        qsizetype taken = 0;
        {
            std::lock_guard<std::mutex> lock(m_channel->lock);
            if (m_channel->ended)
                return -1;
            taken = qMin(size, room());
            m_channel->toEnd[1 - m_side].append(data, taken);
        }
        m_channel->readable.notify_all();
        return taken;
    }

    qsizetype sendAll(const char *data, qsizetype size, int deadlineMs) override
    {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(qMax(0, deadlineMs));
        qsizetype sent = 0;
        while (sent < size) {
            const qsizetype n = sendSome(data + sent, size - sent);
            if (n < 0)
                break;
            sent += n;
            if (sent == size)
                break;
            std::unique_lock<std::mutex> lock(m_channel->lock);
            if (!m_channel->writable.wait_until(lock, deadline, [this] { return room() > 0 || m_channel->ended; }))
                break;
        }
        return sent;
    }

    void shutdown() override
    {
        {
            std::lock_guard<std::mutex> lock(m_channel->lock);
            m_channel->ended = true;
        }
        m_channel->readable.notify_all();
        m_channel->writable.notify_all();
    }

private:
    QByteArray &incoming() { return m_channel->toEnd[m_side]; }
    // Under the channel's lock.
    qsizetype room() const
    {
        const qsizetype capacity = m_channel->capacity;
        return capacity <= 0 ? std::numeric_limits<qsizetype>::max()
                             : qMax<qsizetype>(0, capacity - m_channel->toEnd[1 - m_side].size());
    }

    const std::shared_ptr<Channel> m_channel;
    const int m_side;
};

} // namespace

namespace BytePipe {

std::pair<std::shared_ptr<LinkStream>, std::shared_ptr<LinkStream>> create(qsizetype capacity)
{
    auto channel = std::make_shared<Channel>();
    channel->capacity = capacity;
    return {std::make_shared<PipeEnd>(channel, 0), std::make_shared<PipeEnd>(channel, 1)};
}

} // namespace BytePipe
