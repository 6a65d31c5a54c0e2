// The face's print side, printers, external programs, online services and
// language: each call goes to the part that holds it.
#include "app/spoolsmith_app.h"

#include "app/cut/cut_document.h"
#include "app/external/external_programs.h"
#include "app/language/language_switch.h"
#include "app/online/online_services.h"
#include "app/print/cdr_channel.h"
#include "app/print/page_code_painter.h"
#include "app/print/print_batcher.h"
#include "app/print/print_file.h"
#include "app/print/printers.h"
#include "app/setting_changes/setting_changes.h"
#include "app/task/task_counters.h"
#include "app/task/task_settings.h"
#include "machine/trv610plus.h"
#include "settings/config.h"

#include <QQmlApplicationEngine>
#include <QWindow>

QString SpoolsmithApp::printFile() const { return m_printFile->printFile(); }
void SpoolsmithApp::setPrintFile(const QString &path) { m_printFile->setPrintFile(path); }
QString SpoolsmithApp::printCutFile() const { return m_printFile->printCutFile(); }
void SpoolsmithApp::setPrintCutFile(const QString &path) { m_printFile->setPrintCutFile(path); }
QString SpoolsmithApp::printTip() const { return m_printFile->printTip(); }
void SpoolsmithApp::setPrintTip(const QString &tip) { m_printFile->setPrintTip(tip); }
bool SpoolsmithApp::enabledDataSource() const { return m_printFile->enabledDataSource(); }
void SpoolsmithApp::setEnabledDataSource(bool on) { m_printFile->setEnabledDataSource(on); }
QString SpoolsmithApp::dataSource() const { return m_printFile->dataSource(); }
void SpoolsmithApp::setDataSource(const QString &path) { m_printFile->setDataSource(path); }
int SpoolsmithApp::dataSourceProgress() const { return m_printFile->dataSourceProgress(); }
int SpoolsmithApp::dataIndex() const { return m_printFile->dataIndex(); }
void SpoolsmithApp::setDataIndex(int index) { m_printFile->setDataIndex(index); }
void SpoolsmithApp::openPrintPdf(const QString &path) { m_printFile->openPrintPdf(path); }
void SpoolsmithApp::chooseDataSource(const QString &path) { m_printFile->chooseDataSource(path); }
GScene *SpoolsmithApp::printScene() const { return m_printFile->printScene(); }
QSizeF SpoolsmithApp::printPageSize() const { return m_printFile->printPageSize(); }
void SpoolsmithApp::setPrintPageSize(const QSizeF &mm) { m_printFile->setPrintPageSize(mm); }

QString SpoolsmithApp::printerName() const { return m_printers->printerName(); }
void SpoolsmithApp::setPrinterName(const QString &name) { m_printers->setPrinterName(name); }
QStringList SpoolsmithApp::printersName() { return m_printers->printersName(); }
void SpoolsmithApp::printerPreference(const QString &printerName) { m_printers->printerPreference(printerName); }
void SpoolsmithApp::slotprinterPreference() { printerPreference(printerName()); }

void SpoolsmithApp::print() { m_printBatcher->print(); }
bool SpoolsmithApp::printPdf(const QString &file, QString printerName, int pages)
{
    return m_printBatcher->printPdf(file, printerName, pages);
}
QRectF SpoolsmithApp::pageCodeRect(GMarkItem *mark, uint markerType)
{
    return PageCodePainter::pageCodeRect(mark, markerType);
}
bool SpoolsmithApp::printPdfFile(const QString &file, const QString &printerName)
{
    return m_printBatcher->printPdfFile(file, printerName);
}

bool SpoolsmithApp::createCDRHandle() { return m_cdrChannel->createCDRHandle(); }

void SpoolsmithApp::firewall() { m_external->firewall(); }
void SpoolsmithApp::slotFinished(int exitCode, QProcess::ExitStatus exitStatus)
{
    m_external->finished(qobject_cast<QProcess *>(sender()), exitCode, exitStatus);
}
bool SpoolsmithApp::openProcess(QProcess *process) { return m_external->openProcess(process); }
bool SpoolsmithApp::closeWndByPid(QProcess *process) { return m_external->closeWndByPid(process); }
bool SpoolsmithApp::closeProcess(QProcess *process) { return m_external->closeProcess(process); }

void SpoolsmithApp::startOnlineServices() { m_online->start(version()); }
void SpoolsmithApp::upgrade() { m_online->upgrade(); }
void SpoolsmithApp::checkUpdate() { m_online->checkUpdate(); }

bool SpoolsmithApp::setLanguage(int language) { return m_language->setLanguage(language); }

// Needs the records: built after the task parts.
void SpoolsmithApp::initPrintParts(const AppServices &services)
{
    m_printFile = std::make_unique<PrintFile>(*m_records);
    PrintFile::Hooks fileHooks;
    fileHooks.machineVersion = [services] {
        Config *config = services.config ? services.config() : nullptr;
        return config ? config->version() : 0;
    };
    fileHooks.markerType = [services] {
        Config *config = services.config ? services.config() : nullptr;
        return config ? config->getProperty(Config::CPT_Enable_Print_Marker_Type).toUInt() : 0u;
    };
    fileHooks.preview = [this] { return printPreview(); };
    fileHooks.setPreview = [this](const QImage &image) { setPrintPreview(image); };
    fileHooks.appPath = [this] { return appPath(); };
    fileHooks.cutFile = [this] { return cutFile(); };
    fileHooks.openTvaCutFile = [this](const QString &path) { openTvaCutFile(path); };
    fileHooks.showMessage = [services](const QString &text) {
        if (TRV610Plus *device = services.device ? services.device() : nullptr)
            device->setErrorMessage(text);
    };
    const JobGuard jobGuard([this] { return taskStatus(); }, fileHooks.showMessage);
    fileHooks.jobGuard = jobGuard;
    fileHooks.otherPagesChosen = [this] { m_counters->forgetOwedCuts(); };
    m_printFile->setHooks(std::move(fileHooks));
    m_printers = std::make_unique<Printers>(services);
    m_printers->setJobGuard(jobGuard);
    PrintParts printParts{services, *m_counters, *m_printFile, *m_records, [this] { return taskStatus(); }};
    // A stop ends printing as soon as it is asked: the driver's status says
    // so at once, the application's once the machine has reported it.
    const auto stopAsked = [services] {
        const TRV610Plus *device = services.device();
        return device && device->taskStatus() == 2;
    };
    CdrChannel::Hooks cdrHooks;
    cdrHooks.taskStatus = [this, stopAsked] { return stopAsked() ? 2 : taskStatus(); };
    cdrHooks.countPages = [printParts](int pages) { countHandedOverPages(printParts, pages); };
    m_cdrChannel = std::make_unique<CdrChannel>(std::move(cdrHooks));
    PrintBatcher::Parts batcherParts{printParts, *m_taskSettings, *m_printers, *m_cdrChannel,
                                     [services](const QString &text) {
                                         if (TRV610Plus *device = services.device())
                                             device->setErrorMessage(text);
                                     },
                                     stopAsked};
    m_printBatcher = std::make_unique<PrintBatcher>(std::move(batcherParts));
    m_external = std::make_unique<ExternalPrograms>(services);
    SettingChanges::Hooks changeHooks;
    changeHooks.taskStatus = [this] { return taskStatus(); };
    changeHooks.loadTaskSettings = [this] { loadTaskSettings(); };
    changeHooks.programPathChanged = [this](Config::ConfigParamType key, const QString &path) {
        m_external->programPathChanged(key, path);
    };
    changeHooks.reopenCutFile = [this] { m_cut->reopenForCutDirection(); };
    m_settingChanges = std::make_unique<SettingChanges>(std::move(changeHooks));
    m_online = std::make_unique<OnlineServices>(services, [] { QCoreApplication::quit(); }, [this] {
        // The first root object of the QML engine, when it is a window.
        const QList<QObject *> roots = m_engine ? m_engine->rootObjects() : QList<QObject *>();
        return roots.isEmpty() ? nullptr : qobject_cast<QWindow *>(roots.first());
    });
    m_language = std::make_unique<LanguageSwitch>();

    const auto direct = Qt::DirectConnection;
    PrintFile *file = m_printFile.get();
    connect(file, &PrintFile::printFileChanged, this, &SpoolsmithApp::printFileChanged, direct);
    connect(file, &PrintFile::printCutFileChanged, this, &SpoolsmithApp::printCutFileChanged, direct);
    connect(file, &PrintFile::printTipChanged, this, &SpoolsmithApp::printTipChanged, direct);
    connect(file, &PrintFile::enabledDataSourceChanged, this, &SpoolsmithApp::enabledDataSourceChanged, direct);
    connect(file, &PrintFile::dataSourceChanged, this, &SpoolsmithApp::dataSourceChanged, direct);
    connect(file, &PrintFile::dataIndexChanged, this, &SpoolsmithApp::dataIndexChanged, direct);
    connect(file, &PrintFile::dataSourceProgressChanged, this, &SpoolsmithApp::dataSourceProgressChanged);
    connect(m_printers.get(), &Printers::printerNameChanged, this, &SpoolsmithApp::printerNameChanged, direct);
}

bool SpoolsmithApp::printFileMissing() const
{
    return printPreview().isNull() && !CdrChannel::isChannelPrinter(printerName());
}
