#include "tools/simulator/machine_simulator.h"

#include "machine/protocol/command_table.h"
#include "machine/protocol/frame_codec.h"
#include "machine/link/byte_pipe.h"
#include "machine/link/tcp_stream.h"
#include "tools/simulator/length_frame_reader.h"
#include "platform/socket/posix_socket.h"

#include <QDebug>

#include <chrono>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kPollMs = 20;
constexpr int kClientSendTimeoutMs = 2000;

struct Pending
{
    Clock::time_point due;
    QByteArray bytes;
};

} // namespace

struct MachineSimulator::Client
{
    explicit Client(std::shared_ptr<LinkStream> s)
        : stream(std::move(s))
    {
    }
    std::shared_ptr<LinkStream> stream; // null once closed
    std::thread thread;
    std::atomic<bool> done{false};
    std::mutex sendLock; // stream and writes
    std::vector<Pending> pending; // owned by the client thread

    void write(const QByteArray &bytes)
    {
        std::lock_guard<std::mutex> lock(sendLock);
        if (stream)
            stream->sendAll(bytes.constData(), bytes.size(), kClientSendTimeoutMs);
    }
    void shutdown()
    {
        std::lock_guard<std::mutex> lock(sendLock);
        if (stream)
            stream->shutdown();
    }
    void close()
    {
        std::lock_guard<std::mutex> lock(sendLock);
        stream.reset();
    }
};

MachineSimulator::MachineSimulator()
    : MachineSimulator(Options())
{
}

MachineSimulator::MachineSimulator(const Options &options)
    : m_options(options)
    , m_table(defaultReplyTable())
{
    m_state.devId = options.ident;
}

MachineSimulator::~MachineSimulator()
{
    stop();
}

bool MachineSimulator::start()
{
    if (m_running.load())
        return true;
    m_port = m_options.port;
    if (m_options.listen) {
        QString error;
        m_listenFd = PosixSocket::listenTcp(m_options.address, m_options.port, &error);
        if (m_listenFd < 0) {
            qCritical() << "MachineSimulator::start" << m_options.address << m_options.port << error;
            return false;
        }
        m_port = PosixSocket::localPort(m_listenFd);
    }
    m_running.store(true);
    m_acceptThread = std::thread(&MachineSimulator::acceptLoop, this);
    qInfo() << "MachineSimulator::start" << m_options.address << m_port << m_options.ident;
    return true;
}

void MachineSimulator::stop()
{
    if (!m_running.exchange(false))
        return;
    if (m_acceptThread.joinable())
        m_acceptThread.join();
    PosixSocket::closeFd(m_listenFd);
    m_listenFd = -1;
    dropConnections();
    std::vector<std::shared_ptr<Client>> clients;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        clients.swap(m_clients);
    }
    for (const auto &client : clients) {
        if (client->thread.joinable())
            client->thread.join();
    }
}

void MachineSimulator::acceptLoop()
{
    Clock::time_point nextAnnounce = Clock::now();
    while (m_running.load()) {
        if (m_options.announce && Clock::now() >= nextAnnounce) {
            announce();
            nextAnnounce = Clock::now() + std::chrono::milliseconds(m_options.announceIntervalMs);
        }
        if (m_listenFd < 0) {
            // Connections in memory only: this loop just announces and reaps.
            std::this_thread::sleep_for(std::chrono::milliseconds(kPollMs));
            reapClients();
            continue;
        }
        const int fd = PosixSocket::acceptTcp(m_listenFd, kPollMs);
        reapClients();
        if (fd < 0)
            continue;
        PosixSocket::setNoDelay(fd);
        PosixSocket::setSendTimeout(fd, kClientSendTimeoutMs);
        addClient(std::make_shared<TcpStream>(fd));
    }
}

void MachineSimulator::addClient(std::shared_ptr<LinkStream> stream)
{
    auto client = std::make_shared<Client>(std::move(stream));
    ++m_accepted;
    std::lock_guard<std::mutex> lock(m_lock);
    m_clients.push_back(client);
    client->thread = std::thread(&MachineSimulator::clientLoop, this, client);
}

std::shared_ptr<LinkStream> MachineSimulator::connectInProcess(const QString &address, quint16 port, QString *error)
{
    if (!m_running.load() || address != m_options.address || port != m_port) {
        if (error)
            *error = QStringLiteral("Connection refused");
        return nullptr;
    }
    auto [driverEnd, machineEnd] = BytePipe::create(m_options.pipeCapacity);
    addClient(std::move(machineEnd));
    return driverEnd;
}

void MachineSimulator::announce()
{
    // Loopback only: the program under test listens there, nothing else may
    // hear it. Sent from the address served, which is where the program links.
    QByteArray datagram = "DISA;" + m_options.ident.toLatin1();
    datagram.append(char(0x03));
    PosixSocket::sendDatagram(QStringLiteral("127.0.0.1"), m_options.announcePort, datagram, m_options.address);
}

void MachineSimulator::reapClients()
{
    std::vector<std::shared_ptr<Client>> finished;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        for (auto it = m_clients.begin(); it != m_clients.end();) {
            if ((*it)->done.load()) {
                finished.push_back(*it);
                it = m_clients.erase(it);
            } else {
                ++it;
            }
        }
    }
    for (const auto &client : finished) {
        if (client->thread.joinable())
            client->thread.join();
    }
}

void MachineSimulator::clientLoop(const std::shared_ptr<Client> &client)
{
    const std::shared_ptr<LinkStream> stream = client->stream;
    LengthFrameReader reader;
    char buffer[4096];
    bool keep = true;
    while (keep && m_running.load()) {
        int timeout = kPollMs;
        const Clock::time_point now = Clock::now();
        for (const Pending &p : client->pending) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(p.due - now).count();
            timeout = std::max(0, std::min<int>(timeout, static_cast<int>(left)));
        }
        if (m_intakePaused.load()) {
            std::this_thread::sleep_for(std::chrono::milliseconds(timeout > 0 ? timeout : 1));
        } else if (stream->waitReadable(timeout)) {
            const qsizetype n = stream->receive(buffer, sizeof(buffer));
            if (n <= 0)
                break;
            reader.feed(buffer, n);
            while (keep) {
                const std::optional<QByteArray> payload = reader.next();
                if (!payload)
                    break;
                keep = handlePayload(client, *payload);
            }
        }
        const Clock::time_point after = Clock::now();
        for (auto it = client->pending.begin(); it != client->pending.end();) {
            if (it->due <= after) {
                client->write(it->bytes);
                it = client->pending.erase(it);
            } else {
                ++it;
            }
        }
    }
    client->close();
    client->done.store(true);
}

void MachineSimulator::setPlotHandler(std::function<void(const QByteArray &, SimMachineState &)> handler)
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_plotHandler = std::move(handler);
}

bool MachineSimulator::handlePayload(const std::shared_ptr<Client> &client, const QByteArray &payload)
{
    SimReply reply;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_received.append(payload);
        m_receivedAt.append(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - m_started).count());
        if (payload.startsWith("CCMD;")) {
            QByteArray body = payload.mid(5);
            const qsizetype end = body.indexOf(';');
            if (end >= 0)
                body.truncate(end);
            const QStringList args = QString::fromLatin1(body).split(QLatin1Char(','));
            const int command = args.first().toInt();
            const SimHandler handler = m_table.value(command);
            reply = handler ? handler(args, m_state) : SimReply{{simReplyPayload(command, {})}, 0};
        } else if (payload.startsWith("PPLT;")) {
            // Only a plot whose size was announced is cut.
            if (acceptPlot(m_state, payload.mid(5)) && m_plotHandler)
                m_plotHandler(m_state.plotData, m_state);
            return true; // plot data is not answered
        } else if (payload.startsWith("UPG;")) {
            reply = acceptUpload(m_state, payload);
        } else {
            return true;
        }
    }
    switch (m_fault.load()) {
    case SimFault::NoReply:
        return true;
    case SimFault::DropMoveReply:
        if (!payload.startsWith("CCMD;4,1,"))
            break;
        m_fault.store(SimFault::None);
        return true;
    case SimFault::DropConnection:
        return false;
    case SimFault::LateReply:
        reply.delayMs += m_lateReplyMs.load();
        break;
    default:
        break;
    }
    answer(client, reply);
    return true;
}

void MachineSimulator::answer(const std::shared_ptr<Client> &client, const SimReply &reply)
{
    QByteArray bytes;
    for (const QByteArray &payload : reply.payloads)
        bytes += MachineFrame::wrap(payload);
    const SimFault fault = m_fault.load();
    if (fault == SimFault::Garbage) {
        // Noise with a stray end byte, then a frame cut short: the answer
        // that follows must still be found.
        QByteArray noise("\xff\x00noise\x03", 8);
        noise += QByteArray("\x02" "57;CMD;6,0,1", 13);
        bytes.prepend(noise);
    }
    if (reply.stepMs > 0) {
        // Spread out in time, one frame after another (upload progress).
        for (int i = 0; i < reply.payloads.size(); ++i) {
            const auto due = Clock::now() + std::chrono::milliseconds(reply.delayMs + i * reply.stepMs);
            client->pending.push_back({due, MachineFrame::wrap(reply.payloads.at(i))});
        }
        return;
    }
    if (reply.delayMs > 0) {
        client->pending.push_back({Clock::now() + std::chrono::milliseconds(reply.delayMs), bytes});
        return;
    }
    if (fault == SimFault::SplitBytes) {
        for (char c : bytes) {
            client->write(QByteArray(1, c));
            std::this_thread::sleep_for(std::chrono::microseconds(200));
        }
        return;
    }
    client->write(bytes);
}

void MachineSimulator::setReplyHandler(int command, SimHandler handler)
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_table.insert(command, std::move(handler));
}

void MachineSimulator::sendToAll(const QByteArray &payload)
{
    sendRawToAll(MachineFrame::wrap(payload));
}

void MachineSimulator::sendRawToAll(const QByteArray &bytes)
{
    std::lock_guard<std::mutex> lock(m_lock);
    for (const auto &client : m_clients)
        client->write(bytes);
}

void MachineSimulator::dropConnections()
{
    std::lock_guard<std::mutex> lock(m_lock);
    for (const auto &client : m_clients)
        client->shutdown();
}

void MachineSimulator::reportTaskStatus(int status)
{
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_state.taskStatus = QString::number(status);
    }
    sendToAll(simReplyPayload(CommandTable::TaskId, {QString::number(status)}));
}

void MachineSimulator::reportAxisLimit(int axis, int position)
{
    // The limit report has no status field: "23,axis,position".
    sendToAll("CMD;" + QByteArray::number(CommandTable::AxisLimitId) + ',' + QByteArray::number(axis) + ',' + QByteArray::number(position) + ';');
}

int MachineSimulator::activeConnections() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    int n = 0;
    for (const auto &client : m_clients)
        n += client->done.load() ? 0 : 1;
    return n;
}

QList<QByteArray> MachineSimulator::receivedPayloads() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_received;
}

int MachineSimulator::commandCount(int command) const
{
    const QByteArray prefix = "CCMD;" + QByteArray::number(command);
    int n = 0;
    for (const QByteArray &p : receivedPayloads()) {
        if (p.startsWith(prefix) && (p.size() == prefix.size() || p.at(prefix.size()) == ',' || p.at(prefix.size()) == ';'))
            ++n;
    }
    return n;
}

QList<SimCommand> MachineSimulator::commandLog(const QByteArray &prefix) const
{
    std::lock_guard<std::mutex> lock(m_lock);
    QList<SimCommand> log;
    for (qsizetype i = 0; i < m_received.size(); ++i) {
        if (m_received.at(i).startsWith(prefix))
            log.append({m_received.at(i), m_receivedAt.at(i)});
    }
    return log;
}

void MachineSimulator::clearReceived()
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_received.clear();
    m_receivedAt.clear();
}

SimMachineState MachineSimulator::state() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_state;
}

void MachineSimulator::updateState(const std::function<void(SimMachineState &)> &change)
{
    std::lock_guard<std::mutex> lock(m_lock);
    change(m_state);
}
