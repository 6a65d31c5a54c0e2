#include "machine/link/byte_pipe.h"

#include <QByteArray>

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace {

struct Channel
{
    std::mutex lock;
    std::condition_variable readable;
    QByteArray toEnd[2];
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
        return n;
    }

    qsizetype sendSome(const char *data, qsizetype size) override
    {
        {
            std::lock_guard<std::mutex> lock(m_channel->lock);
            if (m_channel->ended)
                return -1;
            m_channel->toEnd[1 - m_side].append(data, size);
        }
        m_channel->readable.notify_all();
        return size;
    }

    qsizetype sendAll(const char *data, qsizetype size, int) override
    {
        return qMax<qsizetype>(0, sendSome(data, size));
    }

    void shutdown() override
    {
        {
            std::lock_guard<std::mutex> lock(m_channel->lock);
            m_channel->ended = true;
        }
        m_channel->readable.notify_all();
    }

private:
    QByteArray &incoming() { return m_channel->toEnd[m_side]; }

    const std::shared_ptr<Channel> m_channel;
    const int m_side;
};

} // namespace

namespace BytePipe {

std::pair<std::shared_ptr<LinkStream>, std::shared_ptr<LinkStream>> create()
{
    auto channel = std::make_shared<Channel>();
    return {std::make_shared<PipeEnd>(channel, 0), std::make_shared<PipeEnd>(channel, 1)};
}

} // namespace BytePipe
