#include "app/online/upgrade_checks.h"

#include "machine/trv610plus.h"
#include "online/upgrades/upgrades_soft_widget.h"
#include "online/upgrades/upgrades_widget.h"
#include "settings/config.h"

#include <QDebug>
#include <QPointer>

UpgradeChecks::UpgradeChecks(AppServices services, std::function<void()> runUpdater)
    : m_services(std::move(services))
    , m_runUpdater(std::move(runUpdater))
{
}

UpgradeChecks::~UpgradeChecks() = default;

QString UpgradeChecks::serverHost() const
{
    const Config *config = m_services.config();
    return config ? config->getProperty(Config::CPT_IP).toString().trimmed() : QString();
}

void UpgradeChecks::createSoftwareDialog()
{
    if (m_soft)
        return;
    m_soft = std::make_unique<UpgradesSoftWidget>();
    m_soft->setHost(serverHost());
    QObject::connect(m_soft.get(), &UpgradesSoftWidget::upgrade, m_soft.get(), [this] { m_runUpdater(); });
}

void UpgradeChecks::checkSoftware(const QString &version)
{
    createSoftwareDialog();
    if (serverHost().isEmpty())
        return;
    m_soft->upgradePost(QStringLiteral("Spoolsmith"), version, QStringLiteral("Spoolsmith"));
}

void UpgradeChecks::createFirmwareDialog()
{
    m_firmware = std::make_unique<UpgradesWidget>();
    m_firmware->setHost(serverHost());
    QPointer<TRV610Plus> device = m_services.device();
    if (!device)
        return;
    QObject::connect(m_firmware.get(), &UpgradesWidget::upgrade, device.data(), &TRV610Plus::slotUpgrade);
    UpgradesWidget *dialog = m_firmware.get();
    QObject::connect(device.data(), &TRV610Plus::updateProgressChanged, dialog,
                     [dialog, device] {
                         if (device)
                             dialog->setProgress(int(device->updateProgress()));
                     });
    dialog->setUploadProbe([device] { return device && device->uploadInProgress(); });
}

void UpgradeChecks::checkFirmware()
{
    const QString host = serverHost();
    if (host.isEmpty()) {
        qInfo() << "SpoolsmithApp::upgrade" << "no server address, firmware check skipped";
        return;
    }
    if (!m_firmware)
        createFirmwareDialog();
    const TRV610Plus *device = m_services.device();
    if (!device)
        return;
    FirmwareQuery query;
    query.machineCode = device->ident();
    query.machineModelCode = device->devType();
    query.firmNo = device->firmware();
    query.pcbCode = device->pcbId();
    query.pcbversion = device->pcbVer();
    query.firmModule = 0;
    m_firmware->checkAndShow(query);
}

void UpgradeChecks::closeDialogs()
{
    if (m_firmware)
        m_firmware->close();
    if (m_soft)
        m_soft->close();
}
