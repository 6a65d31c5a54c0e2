#pragma once

#include "app/app_services.h"

#include <QString>

#include <functional>
#include <memory>

class UpgradesSoftWidget;
class UpgradesWidget;

// The two update dialogs as the application drives them: the software check
// once after start-up, the firmware check on every newly read firmware
// version. An empty server address asks nothing.
class UpgradeChecks
{
public:
    // runUpdater hands over to the updater when the operator asks for it.
    UpgradeChecks(AppServices services, std::function<void()> runUpdater);
    ~UpgradeChecks();

    // Made once at initialisation; the server address is taken then.
    void createSoftwareDialog();
    void checkSoftware(const QString &version);
    // Makes the firmware dialog on first use, then queries for the linked machine.
    void checkFirmware();
    void closeDialogs();

    UpgradesSoftWidget *softwareDialog() const { return m_soft.get(); }
    UpgradesWidget *firmwareDialog() const { return m_firmware.get(); }

private:
    QString serverHost() const;
    void createFirmwareDialog();

    AppServices m_services;
    std::function<void()> m_runUpdater;
    std::unique_ptr<UpgradesSoftWidget> m_soft;
    std::unique_ptr<UpgradesWidget> m_firmware;
};
