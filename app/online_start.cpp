// The online services of SpoolsmithApp: the software update check, the
// firmware update check on a newly read firmware version, and the
// advertisement feed over MQTT. The update dialogs and the MQTT client are
// not built yet; each step logs what is missing and nothing is reported as
// done.
#include "app/spoolsmith_app.h"

#include "machine/trv610plus.h"

#include <QDebug>
#include <QProcess>

namespace {
QString serverHost()
{
    Config *config = Config::instance();
    return config ? config->getProperty(Config::CPT_IP).toString().trimmed() : QString();
}
} // namespace

void SpoolsmithApp::startOnlineServices()
{
    const QString host = serverHost();
    if (host.isEmpty()) {
        // No server configured: nothing to ask and nothing to connect to.
        qInfo() << "SpoolsmithApp::startOnlineServices" << "no server address, online services skipped";
        return;
    }
    qCritical() << "SpoolsmithApp::startOnlineServices" << "software update check not available:"
                << "UpgradesSoftWidget is not built" << "(Spoolsmith" << version() << ")";
    // The MQTT client (host, port 1883) is not built, so the connection
    // cannot be made and no advertisement window is shown.
    qCritical() << "SpoolsmithApp::startOnlineServices" << host << 1883 << "connectToServer failed"
                << "(the MQTT client is not built)";
}

void SpoolsmithApp::upgrade()
{
    TRV610Plus *device = TRV610Plus::instance();
    qCritical() << "SpoolsmithApp::upgrade" << "firmware update check not available:"
                << "UpgradesWidget is not built" << (device ? device->ident() : QString());
}

void SpoolsmithApp::checkUpdate()
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
    quit();
}
