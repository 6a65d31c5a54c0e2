#pragma once

#include "app/app_services.h"

#include <QString>

#include <functional>
#include <memory>

class UpgradeChecks;

// The online services: the software update check, the firmware update check
// on a newly read firmware version, and the advertisement feed over MQTT.
// The MQTT client is not built yet; its step logs what is missing.
class OnlineServices
{
public:
    // quit ends the program once the updater runs.
    OnlineServices(AppServices services, std::function<void()> quit);
    ~OnlineServices();

    // At initialisation: the software update dialog takes the server address.
    void init();
    // Closes the update dialogs when the program may end.
    void closeDialogs();
    UpgradeChecks &upgrades() { return *m_upgrades; }

    // 1000 ms after start-up; an empty server address skips them.
    void start(const QString &version);
    void upgrade();
    void checkUpdate();

private:
    QString serverHost() const;

    AppServices m_services;
    std::function<void()> m_quit;
    std::unique_ptr<UpgradeChecks> m_upgrades;
};
