#include "app/online/online_services.h"

#include "app/online/upgrade_checks.h"

#include "machine/trv610plus.h"
#include "settings/config.h"

#include <QCoreApplication>
#include <QDebug>
#include <QProcess>

OnlineServices::OnlineServices(AppServices services, std::function<void()> quit)
    : m_services(std::move(services))
    , m_quit(std::move(quit))
    , m_upgrades(std::make_unique<UpgradeChecks>(m_services, [this] { checkUpdate(); }))
{
}

OnlineServices::~OnlineServices() = default;

void OnlineServices::init()
{
    m_upgrades->createSoftwareDialog();
}

void OnlineServices::closeDialogs()
{
    m_upgrades->closeDialogs();
}

QString OnlineServices::serverHost() const
{
    const Config *config = m_services.config();
    return config ? config->getProperty(Config::CPT_IP).toString().trimmed() : QString();
}

void OnlineServices::start(const QString &version)
{
    const QString host = serverHost();
    if (host.isEmpty()) {
        // No server configured: nothing to ask and nothing to connect to.
        qInfo() << "SpoolsmithApp::startOnlineServices" << "no server address, online services skipped";
        return;
    }
    m_upgrades->checkSoftware(version);
    // The MQTT client (host, port 1883) is not built, so the connection
    // cannot be made and no advertisement window is shown.
    qCritical() << "SpoolsmithApp::startOnlineServices" << host << 1883 << "connectToServer failed"
                << "(the MQTT client is not built)";
}

void OnlineServices::upgrade()
{
    m_upgrades->checkFirmware();
}

void OnlineServices::checkUpdate()
{
    const QString dir = QCoreApplication::applicationDirPath();
    const QString updater = dir + QStringLiteral("/runtool.bat");
    QProcess process;
    process.setProgram(updater);
    process.setWorkingDirectory(dir);
    // Quitting without a started updater would leave the operator with
    // neither program.
    if (!process.startDetached()) {
        qCritical() << "SpoolsmithApp::checkUpdate" << "could not start" << updater;
        return;
    }
    m_quit();
}
