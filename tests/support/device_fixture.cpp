#include "tests/support/device_fixture.h"

#include "machine/link/in_process_link.h"
#include "machine/link/link_stream.h"

#include <QDir>
#include <QFile>
#include <QLoggingCategory>

namespace {

// The driver's end of a connection in memory, stamping each write as it begins.
class StampedStream final : public LinkStream
{
public:
    using Stamp = std::function<void(const char *data, qsizetype size)>;
    StampedStream(std::shared_ptr<LinkStream> inner, Stamp stamp)
        : m_inner(std::move(inner))
        , m_stamp(std::move(stamp))
    {
    }
    bool waitReadable(int timeoutMs) override { return m_inner->waitReadable(timeoutMs); }
    qsizetype receive(char *buffer, qsizetype size) override { return m_inner->receive(buffer, size); }
    qsizetype sendSome(const char *data, qsizetype size) override
    {
        m_stamp(data, size);
        return m_inner->sendSome(data, size);
    }
    qsizetype sendAll(const char *data, qsizetype size, int deadlineMs) override
    {
        m_stamp(data, size);
        return m_inner->sendAll(data, size, deadlineMs);
    }
    void shutdown() override { m_inner->shutdown(); }

private:
    const std::shared_ptr<LinkStream> m_inner;
    const Stamp m_stamp;
};

} // namespace

MachineSimulator::Options DeviceFixture::quietOptions(const QString &address, quint16 port)
{
    MachineSimulator::Options o;
    o.address = address;
    o.port = port;
    o.announce = false;
    return o;
}

bool DeviceFixture::makeSettings(Folder folder)
{
    dir = std::make_unique<QTemporaryDir>();
    if (!dir->isValid())
        return false;
    if (folder == Folder::Program && !QDir::setCurrent(dir->path()))
        return false;
    // The database beside the settings, never in the shared build folder.
    config = std::make_unique<Config>(dir->path(), dir->filePath(QStringLiteral("config.db")), clock);
    Config::setInstance(config.get());
    return true;
}

bool DeviceFixture::startSimulator(const MachineSimulator::Options &options)
{
    MachineSimulator::Options o = options;
    // In memory the driver needs no socket at all.
    if (transport == Transport::InProcess)
        o.listen = false;
    sim = std::make_unique<MachineSimulator>(o);
    return sim->start();
}

void DeviceFixture::makeDevice(Driver driver)
{
    if (transport == Transport::Tcp) {
        device = std::make_unique<TRV610Plus>(std::make_unique<TcpLink>(tcpSendTimeoutMs));
    } else {
        // The simulator may be started after the driver: looked up at connect time.
        device = std::make_unique<TRV610Plus>(
            std::make_unique<InProcessLink>([this](const QString &address, quint16 port,
                                                   QString *error) -> std::shared_ptr<LinkStream> {
                if (!sim) {
                    if (error)
                        *error = QStringLiteral("Connection refused");
                    return std::shared_ptr<LinkStream>();
                }
                std::shared_ptr<LinkStream> end = sim->connectInProcess(address, port, error);
                if (!end)
                    return end;
                return std::make_shared<StampedStream>(end, [this](const char *data, qsizetype size) {
                    const auto at = std::chrono::steady_clock::now();
                    std::lock_guard<std::mutex> lock(m_writesLock);
                    // A command is found by a frame's head; large frames' bodies are not kept.
                    m_writes.append({at, QByteArray(data, qMin<qsizetype>(size, 64))});
                });
            }));
    }
    device->setPolling(controlCycles);
    m_registered = driver == Driver::Registered;
    if (m_registered)
        TRV610Plus::setInstance(device.get());
}

bool DeviceFixture::setUp(const MachineSimulator::Options &options)
{
    QLoggingCategory::setFilterRules(QStringLiteral("default.info=false\ndefault.debug=false"));
    if (!makeSettings() || !startSimulator(options))
        return false;
    makeDevice();
    return true;
}

void DeviceFixture::tearDown()
{
    if (sim)
        sim->setFault(SimFault::None);
    Config::setScenePort(nullptr);
    if (m_registered)
        TRV610Plus::setInstance(nullptr);
    m_registered = false;
    device.reset();
    sim.reset();
    Config::setInstance(nullptr);
    config.reset();
    std::lock_guard<std::mutex> lock(m_writesLock);
    m_writes.clear();
}

bool DeviceFixture::link()
{
    device->setPort(sim->port());
    device->setIp(sim->address());
    if (!device->linked())
        return false;
    sim->clearReceived();
    return true;
}

QByteArray DeviceFixture::lastPayload() const
{
    const QList<QByteArray> p = sim->receivedPayloads();
    return p.isEmpty() ? QByteArray() : p.last();
}

QString DeviceFixture::writeFile(const QString &name, const QByteArray &bytes) const
{
    const QString path = dir->filePath(name);
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(bytes);
    return path;
}

QList<std::chrono::steady_clock::time_point> DeviceFixture::writtenAt(const QByteArray &payload) const
{
    std::lock_guard<std::mutex> lock(m_writesLock);
    QList<std::chrono::steady_clock::time_point> at;
    for (const auto &write : m_writes) {
        if (write.second.contains(payload))
            at.append(write.first);
    }
    return at;
}

void DeviceFixture::useTestMarkCamera(int waitCaptureMs)
{
    config->setProperty(Config::CPT_Wait_Capture, waitCaptureMs);
    config->setMarkCameraWidth(320);
    config->setMarkCameraHeight(240);
    config->setMarkSize(4.0);
}
