#pragma once

#include "settings/config.h"
#include "tools/simulator/machine_simulator.h"
#include "machine/link/tcp_link.h"
#include "machine/trv610plus.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QTemporaryDir>

#include <chrono>
#include <functional>
#include <memory>
#include <mutex>

// What a test of the driver or of the application stands on: a settings
// object in a temp dir, the simulator on a free loopback port and a driver,
// each made by one call (setUp() makes all three). tearDown() undoes
// whichever steps were taken, in reverse order, so cases never share state.
struct DeviceFixture
{
    // Whether the temp dir also becomes the current dir, where the program
    // writes its working files (previews, plot files).
    enum class Folder { Settings, Program };
    // Whether the driver becomes TRV610Plus::instance() until tearDown().
    enum class Driver { Local, Registered };
    // How the driver reaches the simulator: in memory (no socket), or over
    // loopback TCP as it reaches a real machine.
    enum class Transport { InProcess, Tcp };

    // Read by makeDevice(); set it before setUp() to test the TCP path.
    Transport transport = Transport::InProcess;
    // Read by makeDevice() on the TCP path: how long a send may wait for a
    // peer that stopped reading.
    int tcpSendTimeoutMs = TcpLink::kSendTimeoutMs;
    // Read by makeDevice(): the poll and collect cycles talk to the machine
    // all the time, so tests of other parts keep them off.
    bool controlCycles = false;
    // Read by makeSettings(): the local time the settings count days by;
    // empty for the computer's.
    std::function<QDateTime()> clock;

    std::unique_ptr<QTemporaryDir> dir;
    std::unique_ptr<Config> config;
    std::unique_ptr<MachineSimulator> sim;
    std::unique_ptr<TRV610Plus> device;

    static MachineSimulator::Options quietOptions(const QString &address = QStringLiteral("127.0.0.1"),
                                                  quint16 port = 0);

    // Settings and their database in a fresh temp dir, made Config::instance().
    bool makeSettings(Folder folder = Folder::Settings);
    bool startSimulator(const MachineSimulator::Options &options = quietOptions());
    void makeDevice(Driver driver = Driver::Local);
    // Quiet log, settings, simulator and a local driver.
    bool setUp(const MachineSimulator::Options &options = quietOptions());
    void tearDown();

    // Connects the driver to the simulator and forgets what the start
    // sequence sent.
    bool link();
    QByteArray lastPayload() const;
    // Writes a file into the temp dir and gives its path.
    QString writeFile(const QString &name, const QByteArray &bytes) const;
    // The mark camera the test camera stands in for: 320 x 240 px scans of
    // 4 mm marks, a picture awaited at most waitCaptureMs.
    void useTestMarkCamera(int waitCaptureMs);
    // When the driver began each write holding payload (in memory only),
    // stamped on the writing thread: unlike the simulator's times, a loaded
    // machine cannot put a stamp later than the write itself.
    QList<std::chrono::steady_clock::time_point> writtenAt(const QByteArray &payload) const;

private:
    bool m_registered = false;
    mutable std::mutex m_writesLock;
    QList<QPair<std::chrono::steady_clock::time_point, QByteArray>> m_writes;
};
