#pragma once

#include "app/app_services.h"

#include <QString>

#include <functional>
#include <memory>

class QWindow;
class UpgradeChecks;
class mqttMessage;

// The online services: the software update check, the firmware update check
// on a newly read firmware version, and the advertisement feed over MQTT.
class OnlineServices
{
public:
    static constexpr quint16 kBrokerPort = 1883;
    static constexpr char kAdvertisementTopic[] = "planning_ad";

    // quit ends the program once the updater runs; mainWindow is the window
    // the advertisements are shown over (may be null).
    OnlineServices(AppServices services, std::function<void()> quit, std::function<QWindow *()> mainWindow);
    ~OnlineServices();

    // At initialisation: the software update dialog takes the server address.
    void init();
    // Closes the update dialogs when the program may end.
    void closeDialogs();
    UpgradeChecks &upgrades() { return *m_upgrades; }

    // 1000 ms after start-up; an empty server address skips them.
    void start(const QString &version);
    void upgrade();
    // Starts the updater and quits; refused during a firmware upload.
    void checkUpdate();
    // While a firmware upload runs the program may not end: the operator is
    // told so and true is given.
    bool refusedDuringFirmwareUpload();

    // Tests reach a broker on another port.
    void setBrokerPort(quint16 port) { m_brokerPort = port; }
    // Tests give the updater's folder (the program's folder otherwise).
    void setUpdaterFolder(const QString &folder) { m_updaterFolder = folder; }
    mqttMessage *mqtt() const { return m_mqtt.get(); }

private:
    QString serverHost() const;
    void startAdvertisements(const QString &host);

    AppServices m_services;
    std::function<void()> m_quit;
    std::function<QWindow *()> m_mainWindow;
    quint16 m_brokerPort = kBrokerPort;
    QString m_updaterFolder;
    std::unique_ptr<mqttMessage> m_mqtt;
    std::unique_ptr<UpgradeChecks> m_upgrades;
};
