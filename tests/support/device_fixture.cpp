#include "tests/support/device_fixture.h"

#include "machine/link/in_process_link.h"

#include <QDir>
#include <QFile>
#include <QLoggingCategory>

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
        device = std::make_unique<TRV610Plus>();
    } else {
        // The simulator may be started after the driver: looked up at connect time.
        device = std::make_unique<TRV610Plus>(
            std::make_unique<InProcessLink>([this](const QString &address, quint16 port, QString *error) {
                if (!sim) {
                    if (error)
                        *error = QStringLiteral("Connection refused");
                    return std::shared_ptr<LinkStream>();
                }
                return sim->connectInProcess(address, port, error);
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

void DeviceFixture::useTestMarkCamera(int waitCaptureMs)
{
    config->setProperty(Config::CPT_Wait_Capture, waitCaptureMs);
    config->setMarkCameraWidth(320);
    config->setMarkCameraHeight(240);
    config->setMarkSize(4.0);
}
