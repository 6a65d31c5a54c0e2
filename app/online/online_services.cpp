#include "app/online/online_services.h"

#include "app/online/upgrade_checks.h"

#include "machine/trv610plus.h"
#include "online/mqtt_message.h"
#include "platform/processes/updater_script.h"
#include "settings/config.h"

#include <QCoreApplication>
#include <QDebug>
#include <QProcess>

namespace {

// The advertisement broker's account.
const char kBrokerUser[] = "ostla";
const char kBrokerPassword[] = "wolk@1873";

} // namespace

OnlineServices::OnlineServices(AppServices services, std::function<void()> quit,
                               std::function<QWindow *()> mainWindow)
    : m_services(std::move(services))
    , m_quit(std::move(quit))
    , m_mainWindow(std::move(mainWindow))
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
    startAdvertisements(host);
}

void OnlineServices::startAdvertisements(const QString &host)
{
    if (!m_mqtt)
        m_mqtt = std::make_unique<mqttMessage>();
    mqttSetting settings;
    settings.hostname = host;
    settings.port = m_brokerPort;
    settings.username = QString::fromLatin1(kBrokerUser);
    settings.password = QString::fromLatin1(kBrokerPassword);
    if (!m_mqtt->connectToServer(settings)) {
        qCritical() << "SpoolsmithApp::startOnlineServices" << "connectToServer failed";
        return;
    }
    QWindow *window = m_mainWindow ? m_mainWindow() : nullptr;
    m_mqtt->showAD(QString::fromLatin1(kAdvertisementTopic), window);
}

void OnlineServices::upgrade()
{
    m_upgrades->checkFirmware();
}

bool OnlineServices::refusedDuringFirmwareUpload()
{
    TRV610Plus *device = m_services.device ? m_services.device() : nullptr;
    if (!device || !device->linked())
        return false;
    const float progress = device->updateProgress();
    // While the file is still being sent the machine has reported nothing yet.
    if (!device->uploadInProgress() && (qFuzzyCompare(progress, 0.0f) || qFuzzyCompare(progress, 100.0f)))
        return false;
    device->setErrorMessage(QCoreApplication::translate("SpoolsmithApp", "请等待升级结束"));
    return true;
}

void OnlineServices::checkUpdate()
{
    // Quitting closes the link: a machine cut off mid-upload stays half-flashed.
    if (refusedDuringFirmwareUpload()) {
        qWarning() << "SpoolsmithApp::checkUpdate" << "refused: a firmware upload is in progress";
        return;
    }
    // A running job is ended by the shut-down that follows the quit, as
    // when the window closes: stopped, counted and recorded.
    const QString dir = m_updaterFolder.isEmpty() ? QCoreApplication::applicationDirPath() : m_updaterFolder;
    const QString updater = dir + QLatin1Char('/') + QLatin1String(processes::kUpdaterScript);
    QProcess process;
    process.setProgram(updater);
    process.setWorkingDirectory(dir);
    // Quitting without a started updater would leave the operator with
    // neither program.
    if (!process.startDetached()) {
        qCritical() << "SpoolsmithApp::checkUpdate" << "could not start" << updater;
        if (TRV610Plus *device = m_services.device ? m_services.device() : nullptr)
            device->setErrorMessage(QCoreApplication::translate("OnlineServices", "升级程序无法启动"));
        return;
    }
    qInfo() << "SpoolsmithApp::checkUpdate" << "started" << updater << ", quitting";
    m_quit();
}
