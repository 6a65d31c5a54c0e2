#pragma once

#include "machine/discovery/discovered_device.h"

#include <QHostAddress>
#include <QMap>
#include <QObject>
#include <QPointer>
#include <QStringList>

#include <functional>

class Config;
class QTimer;
class QUdpSocket;
class TRV610Plus;

// Listens for the machines' announcements, keeps the table of those heard
// lately, applies the family settings of the machine this computer runs and
// hands its announced address to the driver. GUI thread only.
class MachineDiscovery : public QObject
{
    Q_OBJECT

public:
    static constexpr quint16 kPort = 51287;
    // The port listened on from the start: kPort, unless the environment
    // names another in SPOOLSMITH_DISCOVERY_PORT (0: any free port, so a
    // test run hears no machine but its own).
    static quint16 startPort();

    // The settings object and the driver are looked up per announcement:
    // either may be replaced while the program runs (tests do).
    MachineDiscovery(std::function<Config *()> config, std::function<TRV610Plus *()> device,
                     QObject *parent = nullptr);

    // Listens on another address or port (tests listen on loopback only).
    bool bind(const QHostAddress &address, quint16 port);
    quint16 port() const;
    void close();

    // Reads every waiting datagram.
    void receivePending();
    // Forgets the machines not heard for 11 s.
    void sweep();

    // The idents of the machines heard in the last 11 s, ascending.
    QStringList onlineDevices() const;
    QList<DiscoveredDevice> discoveredDevices() const;
    // "DeviceModel/<code>" of dev.ini in the program folder, or empty.
    QString deviceModelName(unsigned int code) const;
    // Base-36 value of a four-character type code ("07x3" is 10263).
    static unsigned int typeCodeValue(const QString &type);

private:
    void handleAnnouncement(const QByteArray &datagram, const QHostAddress &sender);
    // The family settings of the machine ident (type code in it).
    void applyMachineFamily(const QString &ident);
    // Hears when the configured machine changes on the settings object.
    void watch(Config *config);
    void configuredMachineChanged();

    std::function<Config *()> m_config;
    std::function<TRV610Plus *()> m_device;
    QUdpSocket *m_udpSocket = nullptr;
    QTimer *m_udpTimer = nullptr;
    QMap<QString, DiscoveredDevice> m_onlineDevices;
    QPointer<Config> m_watched;
    QString m_familyIdent; // the machine whose family settings apply
};
