// Machines announce themselves with "DISA;<ident>\x03" on UDP port 51287.
// The table of those heard lately feeds the device page; the configured
// machine's announced address is handed to the driver, which links to it.
#include "machine/discovery/machine_discovery.h"

#include "machine/trv610plus.h"
#include "settings/config.h"

#include <QCoreApplication>

#include <QDebug>
#include <QFile>
#include <QNetworkDatagram>
#include <QRegularExpression>
#include <QSettings>
#include <QTimer>
#include <QUdpSocket>

namespace {
constexpr int kSweepMs = 5000;
constexpr qint64 kForgetMs = 11000;

struct MachineFamily
{
    const char *type;
    int version;
    bool scanAndTrimOff;
    bool printOff;
    const char *labels[3]; // gyroscope trigger, limit, speed
};

const MachineFamily kFamilies[] = {
    {"07x3", 1, false, false, {QT_TRANSLATE_NOOP("SpoolsmithApp", "送纸陀螺仪触发值"),
                               QT_TRANSLATE_NOOP("SpoolsmithApp", "送纸陀螺仪限位"),
                               QT_TRANSLATE_NOOP("SpoolsmithApp", "送纸速度")}},
    {"07x4", 2, true, false, {QT_TRANSLATE_NOOP("SpoolsmithApp", "排废陀螺仪触发值"),
                              QT_TRANSLATE_NOOP("SpoolsmithApp", "排废陀螺仪限位"),
                              QT_TRANSLATE_NOOP("SpoolsmithApp", "排废速度")}},
    {"07x5", 3, true, true, {QT_TRANSLATE_NOOP("SpoolsmithApp", "排废陀螺仪触发值"),
                             QT_TRANSLATE_NOOP("SpoolsmithApp", "排废陀螺仪限位"),
                             QT_TRANSLATE_NOOP("SpoolsmithApp", "排废速度")}},
};

const MachineFamily *familyOf(const QString &type)
{
    for (const MachineFamily &family : kFamilies) {
        if (type == QLatin1String(family.type))
            return &family;
    }
    return nullptr;
}

} // namespace

MachineDiscovery::MachineDiscovery(std::function<Config *()> config, std::function<TRV610Plus *()> device,
                                   QObject *parent)
    : QObject(parent)
    , m_config(std::move(config))
    , m_device(std::move(device))
{
    m_udpSocket = new QUdpSocket(this);
    connect(m_udpSocket, &QUdpSocket::readyRead, this, &MachineDiscovery::receivePending);
    // Listening only: this program never sends on the discovery port.
    bind(QHostAddress::Any, startPort());
    m_udpTimer = new QTimer(this);
    connect(m_udpTimer, &QTimer::timeout, this, &MachineDiscovery::sweep);
    m_udpTimer->start(kSweepMs);
}

quint16 MachineDiscovery::startPort()
{
    if (!qEnvironmentVariableIsSet("SPOOLSMITH_DISCOVERY_PORT"))
        return kPort;
    bool ok = false;
    const uint port = qEnvironmentVariable("SPOOLSMITH_DISCOVERY_PORT").toUInt(&ok);
    if (!ok || port > 65535) {
        qWarning() << "SpoolsmithApp::bindDiscovery" << "SPOOLSMITH_DISCOVERY_PORT is no port, using" << kPort;
        return kPort;
    }
    return quint16(port);
}

bool MachineDiscovery::bind(const QHostAddress &address, quint16 port)
{
    if (m_udpSocket->state() != QAbstractSocket::UnconnectedState)
        m_udpSocket->close();
    // What was heard on the old socket is not known on the new one.
    m_onlineDevices.clear();
    if (!m_udpSocket->bind(address, port, QAbstractSocket::ShareAddress | QAbstractSocket::ReuseAddressHint)) {
        qCritical() << "SpoolsmithApp::bindDiscovery" << address << port << m_udpSocket->errorString();
        return false;
    }
    return true;
}

quint16 MachineDiscovery::port() const
{
    return m_udpSocket ? m_udpSocket->localPort() : 0;
}

void MachineDiscovery::close()
{
    if (m_udpSocket)
        m_udpSocket->close();
}

void MachineDiscovery::receivePending()
{
    while (m_udpSocket->hasPendingDatagrams()) {
        const QNetworkDatagram datagram = m_udpSocket->receiveDatagram();
        if (datagram.isValid())
            handleAnnouncement(datagram.data(), datagram.senderAddress());
    }
}

unsigned int MachineDiscovery::typeCodeValue(const QString &type)
{
    bool ok = false;
    const unsigned int value = type.toLower().toUInt(&ok, 36);
    return ok ? value : 0;
}

void MachineDiscovery::handleAnnouncement(const QByteArray &datagram, const QHostAddress &sender)
{
    static const QRegularExpression re(QStringLiteral("DISA;(.*?)\\x03"), QRegularExpression::DotMatchesEverythingOption);
    const QRegularExpressionMatch m = re.match(QString::fromLatin1(datagram));
    const QString ident = m.hasMatch() ? m.captured(1) : QString();

    bool ipv4 = false;
    const quint32 v4 = sender.toIPv4Address(&ipv4);
    if (!ipv4)
        return;
    const QString ip = QHostAddress(v4).toString();

    const QString type = ident.mid(2, 4).toLower();
    const MachineFamily *family = type.size() == 4 ? familyOf(type) : nullptr;
    if (!family)
        return;
    const QString model = deviceModelName(typeCodeValue(type)).section(QLatin1Char('/'), 0, 0);

    Config *config = m_config ? m_config() : nullptr;
    // Before the settings exist (a warning box at start-up runs the event
    // loop early) nothing is handled: a machine listed as heard now would
    // not be newly heard later, and its family settings never applied. It
    // announces itself again.
    if (!config)
        return;
    TRV610Plus *device = m_device ? m_device() : nullptr;
    const QString configured = config->ident();
    watch(config);
    if (!m_onlineDevices.contains(ident)) {
        qInfo() << "SpoolsmithApp::slotUdpRecv" << deviceModelName(typeCodeValue(type)).split(QLatin1Char('/')) << ip
                << ident << type;
        // Only the machine this computer runs (or is about to adopt) may
        // change the settings; any other machine on the network is only listed.
        if (configured.isEmpty() || configured == ident)
            applyMachineFamily(ident);
    }
    DiscoveredDevice &entry = m_onlineDevices[ident];
    entry.ident = ident;
    entry.ip = ip;
    entry.model = model;
    entry.lastSeen.start();

    if (configured.isEmpty()) {
        config->setIdent(ident);
        if (device)
            device->setIdent(ident);
    }
    // The driver links on its own thread: a slow machine never stalls the window.
    if (device && device->ident() == ident)
        device->requestIp(ip);
}

void MachineDiscovery::watch(Config *config)
{
    if (!config || m_watched == config)
        return;
    if (m_watched)
        disconnect(m_watched, &Config::identChanged, this, nullptr);
    m_watched = config;
    connect(config, &Config::identChanged, this, &MachineDiscovery::configuredMachineChanged);
}

// A machine chosen on the device page is already in the table, so it is
// never newly heard: its family applies as it is chosen.
void MachineDiscovery::configuredMachineChanged()
{
    Config *config = m_config ? m_config() : nullptr;
    const QString ident = config ? config->ident() : QString();
    if (ident != m_familyIdent && m_onlineDevices.contains(ident))
        applyMachineFamily(ident);
}

void MachineDiscovery::applyMachineFamily(const QString &ident)
{
    const MachineFamily *family = familyOf(ident.mid(2, 4).toLower());
    Config *config = m_config ? m_config() : nullptr;
    if (!family || !config)
        return;
    m_familyIdent = ident;
    config->setVersion(family->version);
    if (family->scanAndTrimOff)
        config->setProperty(Config::CPT_Enable_ScanAndTrim, false);
    if (family->printOff)
        config->setProperty(Config::CPT_Enable_Print, false);
    const Config::ConfigParamType keys[3] = {Config::CPT_Gyroscope_Trigger, Config::CPT_Gyroscope_Limit,
                                             Config::CPT_Gyroscope_speed};
    for (int i = 0; i < 3; ++i)
        // The labels keep the translation context they were written in.
        config->setPropertyName(keys[i], QCoreApplication::translate("SpoolsmithApp", family->labels[i]));
}

void MachineDiscovery::sweep()
{
    for (auto it = m_onlineDevices.begin(); it != m_onlineDevices.end();) {
        if (it->lastSeen.elapsed() >= kForgetMs)
            it = m_onlineDevices.erase(it);
        else
            ++it;
    }
}

QStringList MachineDiscovery::onlineDevices() const
{
    return m_onlineDevices.keys();
}

QList<DiscoveredDevice> MachineDiscovery::discoveredDevices() const
{
    return m_onlineDevices.values();
}

QString MachineDiscovery::deviceModelName(unsigned int code) const
{
    const QString path = QCoreApplication::applicationDirPath() + QStringLiteral("/dev.ini");
    if (!QFile::exists(path))
        return QString();
    QSettings ini(path, QSettings::IniFormat);
    return ini.value(QStringLiteral("DeviceModel/%1").arg(code)).toString();
}
