#include "app/spoolsmith_app.h"

#include "app/app_services.h"
#include "app/camera/camera_frames.h"
#include "app/capture/capture_broker.h"
#include "app/cut/cut_document.h"
#include "app/cut/page_code_switch.h"
#include "app/cut/plot_data.h"
#include "app/external/external_programs.h"
#include "app/inspection/label_inspection.h"
#include "app/language/language_switch.h"
#include "app/logging.h"
#include "app/marks/mark_scan.h"
#include "app/marks/ocr_engine.h"
#include "app/online/online_services.h"
#include "app/print/cdr_channel.h"
#include "app/print/print_batcher.h"
#include "app/print/print_file.h"
#include "app/print/printers.h"
#include "app/records/production_records.h"
#include "app/setting_changes/setting_changes.h"
#include "app/task/task_control.h"
#include "app/task/task_counters.h"
#include "app/task/task_settings.h"
#include "core/property_store.h"
#include "machine/task_app.h"
#include "machine/trv610plus.h"

#include <QDateTime>
#include <QDebug>
#include <QTimer>

#include <atomic>

namespace {
std::atomic<SpoolsmithApp *> g_app{nullptr};
}

SpoolsmithApp *SpoolsmithApp::instance()
{
    return g_app.load();
}

void SpoolsmithApp::setInstance(SpoolsmithApp *app)
{
    g_app.store(app);
}

SpoolsmithApp::SpoolsmithApp(int &argc, char **argv)
    : QApplication(argc, argv)
{
    setApplicationName(QStringLiteral("Spoolsmith 2024"));
    setApplicationVersion(m_version);
    // The parts look the settings and the driver up when they need them:
    // both are built after this object.
    const AppServices services{[] { return Config::instance(); }, [] { return TRV610Plus::instance(); }};
    m_discovery = new MachineDiscovery(services.config, services.device, this);
    initTaskParts(services);
    initCutParts(services);
    initInspectionPart(services);
    initCameraParts(services);
    initPrintParts(services);
    firewall();

    // The driver's job steps call back into this object.
    installTaskBridge();
}

SpoolsmithApp::~SpoolsmithApp()
{
    // The driver's job steps must not reach the parts while they go.
    TaskApp::setInstance(nullptr);
}

bool SpoolsmithApp::initApp()
{
    Config *config = Config::instance();
    TRV610Plus *device = TRV610Plus::instance();
    m_online->init();
    // A newly read firmware version starts a firmware update check.
    if (device)
        connect(device, &TRV610Plus::firmwareChanged, this, &SpoolsmithApp::upgrade);

    setLogDebug(config->getProperty(Config::CPT_LOG_DEBUG).toBool());
    setLogInfo(config->getProperty(Config::CPT_LOG_INFO).toBool());
    setLogWarn(config->getProperty(Config::CPT_LOG_WARNNING).toBool());
    setLogError(config->getProperty(Config::CPT_LOG_ERROR).toBool());

    config->setMarkCameraWidth(320);
    config->setMarkCameraHeight(240);

    m_printers->loadPrinterName();
    const bool result = loadTaskSettings();
    connect(config, &Config::propertyChanged, this, &SpoolsmithApp::onPropertyChanged);
    m_external->setUp();

    chooseCheckCamera();
    initOcr(true);
    startCameraFrames();
    QTimer::singleShot(1000, this, &SpoolsmithApp::startOnlineServices);
    return result;
}

bool SpoolsmithApp::shutdown()
{
    stopCameraFrames();
    if (Config *config = Config::instance())
        disconnect(config, &Config::propertyChanged, this, &SpoolsmithApp::onPropertyChanged);
    // The steps below run events for seconds: a supervised program that
    // ends meanwhile must not be started again only to be killed.
    m_external->stopRestarts();
    // A job still running (the updater was started, the window closed) is
    // stopped as the stop button does, so the machine hears it.
    if (TRV610Plus *device = TRV610Plus::instance(); device && (device->taskStatus() != 2 || taskStatus() != 2)) {
        qInfo() << "SpoolsmithApp::shutdown" << "a job is running, stopping it";
        stopTask(true);
    }
    // A stop in progress still reaches the machine before the link closes.
    joinControlThreads();
    // A test print waiting for the print component or the spooler gives up:
    // its thread uses the settings and the driver, which go before this
    // object does.
    m_printBatcher->endTestPrints();
    // A check picture asked for (a template just loaded, the collect cycle)
    // would otherwise be waited for to the end of the capture time.
    m_capture->cancelWaits();
    joinLabelChecks();
    waitTemplateFile();
    if (TRV610Plus *device = TRV610Plus::instance())
        device->unInit();
    // The last scans' counts, while the settings are still there.
    m_markScan->flushScanCounts();
    m_external->shutdown();
    reCount();
    m_discovery->close();
    return true;
}

void SpoolsmithApp::exitApp(int code)
{
    m_exitCode = code;
    exit(code);
}

int SpoolsmithApp::exitCode() const
{
    return m_exitCode;
}

bool SpoolsmithApp::allowedExit()
{
    if (m_online->refusedDuringFirmwareUpload())
        return false;
    m_online->closeDialogs();
    return true;
}

QString SpoolsmithApp::appPath() const
{
    return QCoreApplication::applicationDirPath();
}

QString SpoolsmithApp::currentDateTimeString() const
{
    return QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd-HH-mm-ss"));
}

void SpoolsmithApp::onPropertyChanged(Config::ConfigParamType key, const QVariant &value)
{
    m_settingChanges->apply(key, value);
}

QString SpoolsmithApp::version() const
{
    return m_version;
}

void SpoolsmithApp::setVersion(const QString &version)
{
    spoolsmith::storeAndNotify(m_version, version, [this] { emit versionChanged(); });
}

int SpoolsmithApp::taskStatus() const
{
    return m_taskStatus.load();
}

void SpoolsmithApp::setTaskStatus(int status)
{
    // No comparison: every report of the machine is told.
    const int old = m_taskStatus.exchange(status);
    qDebug() << "SpoolsmithApp::setTaskStatus" << old << status;
    emit taskStatusChanged();
}

bool SpoolsmithApp::enabledTest() const
{
    return m_enabledTest;
}

void SpoolsmithApp::setEnabledTest(bool on)
{
    spoolsmith::storeAndNotify(m_enabledTest, on, [this] { emit enabledTestChanged(); });
}

// Machine discovery: the device page and the tests reach it through the face.
bool SpoolsmithApp::bindDiscovery(const QHostAddress &address, quint16 port)
{
    return m_discovery->bind(address, port);
}

quint16 SpoolsmithApp::discoveryPort() const
{
    return m_discovery->port();
}

void SpoolsmithApp::slotUdpRecv()
{
    m_discovery->receivePending();
}

void SpoolsmithApp::slotUdpTimer()
{
    m_discovery->sweep();
}

QStringList SpoolsmithApp::onlineDevices() const
{
    return m_discovery->onlineDevices();
}

QList<DiscoveredDevice> SpoolsmithApp::discoveredDevices() const
{
    return m_discovery->discoveredDevices();
}

QString SpoolsmithApp::deviceModelName(unsigned int code) const
{
    return m_discovery->deviceModelName(code);
}

unsigned int SpoolsmithApp::typeCodeValue(const QString &type)
{
    return MachineDiscovery::typeCodeValue(type);
}
