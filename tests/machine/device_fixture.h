#pragma once

#include "config.h"
#include "machine_simulator.h"
#include "trv610plus.h"

#include <QLoggingCategory>
#include <QTemporaryDir>

#include <memory>

// A settings object in a temp dir, the simulator on a free loopback port and
// a driver; link() connects them and forgets what the start sequence sent.
struct DeviceFixture
{
    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<Config> config;
    std::unique_ptr<MachineSimulator> sim;
    std::unique_ptr<TRV610Plus> device;

    static MachineSimulator::Options quietOptions()
    {
        MachineSimulator::Options o;
        o.port = 0;
        o.announce = false;
        return o;
    }

    bool setUp(const MachineSimulator::Options &options = quietOptions())
    {
        QLoggingCategory::setFilterRules(QStringLiteral("default.info=false\ndefault.debug=false"));
        dir = std::make_unique<QTemporaryDir>();
        config = std::make_unique<Config>(dir->path());
        Config::setInstance(config.get());
        sim = std::make_unique<MachineSimulator>(options);
        if (!sim->start())
            return false;
        device = std::make_unique<TRV610Plus>();
        return true;
    }
    void tearDown()
    {
        if (sim)
            sim->setFault(SimFault::None);
        device.reset();
        sim.reset();
        Config::setInstance(nullptr);
        config.reset();
    }
    bool link()
    {
        device->setPort(sim->port());
        device->setIp(sim->address());
        if (!device->linked())
            return false;
        sim->clearReceived();
        return true;
    }
    QByteArray lastPayload() const
    {
        const QList<QByteArray> p = sim->receivedPayloads();
        return p.isEmpty() ? QByteArray() : p.last();
    }
};
