// spoolsmith-sim: the machine simulator as a program of its own, for running
// Spoolsmith without a machine.
#include "tools/simulator/machine_simulator.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDebug>

#include <csignal>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("spoolsmith-sim"));
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Simulated cutting and feeding machine on loopback."));
    parser.addHelpOption();
    const QCommandLineOption address({"a", "address"}, "Loopback address to listen on.", "address", "127.0.0.1");
    const QCommandLineOption port({"p", "port"}, "TCP port.", "port", "9100");
    const QCommandLineOption ident({"i", "ident"}, "Machine ident to announce.", "ident", "AB07X3Q9");
    const QCommandLineOption noAnnounce("no-announce", "Do not send discovery datagrams.");
    const QCommandLineOption announcePort("announce-port", "UDP port of the announcements.", "port", "51287");
    parser.addOptions({address, port, ident, noAnnounce, announcePort});
    parser.process(app);

    MachineSimulator::Options options;
    options.address = parser.value(address);
    if (!options.address.startsWith(QLatin1String("127."))) {
        qCritical() << "spoolsmith-sim" << "refusing a non-loopback address" << options.address;
        return 2;
    }
    options.port = static_cast<quint16>(parser.value(port).toUInt());
    options.ident = parser.value(ident);
    options.announce = !parser.isSet(noAnnounce);
    options.announcePort = static_cast<quint16>(parser.value(announcePort).toUInt());

    // Block the stop signals before any thread starts, then wait for one.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);

    MachineSimulator simulator(options);
    if (!simulator.start())
        return 1;
    int signal = 0;
    sigwait(&stopSignals, &signal);
    qInfo() << "spoolsmith-sim" << "stopping on signal" << signal;
    simulator.stop();
    return 0;
}
