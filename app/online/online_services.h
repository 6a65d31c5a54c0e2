#pragma once

#include "app/app_services.h"

#include <QString>

#include <functional>

// The online services: the software update check, the firmware update check
// on a newly read firmware version, and the advertisement feed over MQTT.
// The update dialogs and the MQTT client are not built yet; each step logs
// what is missing and nothing is reported as done.
class OnlineServices
{
public:
    // quit ends the program once the updater runs.
    OnlineServices(AppServices services, std::function<void()> quit);

    // 1000 ms after start-up; an empty server address skips them.
    void start(const QString &version);
    void upgrade();
    void checkUpdate();

private:
    QString serverHost() const;

    AppServices m_services;
    std::function<void()> m_quit;
};
