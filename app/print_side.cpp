// The print side of SpoolsmithApp as far as it is built: the chosen print
// file, printer and data source are kept and stored. Reading print files,
// the printer list, printing and the external programs are not built yet:
// each such call says so in the log and reports failure, so a job never
// counts on a print that did not happen.
#include "app/spoolsmith_app.h"

#include "platform/scene/gscene.h"
#include "machine/trv610plus.h"

#include <QDebug>
#include <QProcess>

namespace {
void notBuilt(const char *method, const char *what)
{
    qCritical() << method << "not available:" << what;
}
} // namespace

QString SpoolsmithApp::printFile() const
{
    QMutexLocker lock(&m_printLock);
    return m_printFile;
}

void SpoolsmithApp::setPrintFile(const QString &path)
{
    {
        QMutexLocker lock(&m_printLock);
        m_printFile = path;
    }
    setWorkRecordPrintFile(path);
    // No preview is made, so a job with printing on is refused at its start.
    notBuilt("SpoolsmithApp::setPrintFile", "the print-file reader (PDF/TIF preview) is not built");
    emit printFileChanged();
}

QString SpoolsmithApp::printerName() const
{
    QMutexLocker lock(&m_printLock);
    return m_printerName;
}

void SpoolsmithApp::setPrinterName(const QString &name)
{
    {
        QMutexLocker lock(&m_printLock);
        if (m_printerName == name)
            return;
        m_printerName = name;
    }
    if (Config *config = Config::instance())
        config->setProperty(Config::CPT_Printer_Name, name);
    emit printerNameChanged();
}

void SpoolsmithApp::setEnabledDataSource(bool on)
{
    m_enabledDataSource.store(on);
    emit enabledDataSourceChanged();
}

QString SpoolsmithApp::dataSource() const
{
    QMutexLocker lock(&m_printLock);
    return m_dataSource;
}

void SpoolsmithApp::setDataSource(const QString &path)
{
    {
        QMutexLocker lock(&m_printLock);
        if (m_dataSource == path)
            return;
        m_dataSource = path;
    }
    setWorkRecordDataSource(path);
    setEnabledDataSource(!path.isEmpty());
    if (m_printScene)
        m_printScene->setVariableFile(path);
    setDataIndex(dataIndex());
    emit dataSourceChanged();
}

void SpoolsmithApp::setDataIndex(int index)
{
    if (!enabledDataSource())
        return;
    m_dataIndex.store(index);
    if (m_printScene)
        m_printScene->setCodeIndex(index);
    notBuilt("SpoolsmithApp::setDataIndex", "rendering a data row into a print file is not built");
    emit dataIndexChanged();
}

QStringList SpoolsmithApp::printersName()
{
    // An empty list: no printer is chosen by default, and the print
    // component is not offered while nothing can hand jobs to it.
    notBuilt("SpoolsmithApp::printersName", "the system printer list is not built");
    return {};
}

void SpoolsmithApp::printerPreference(const QString &printerName)
{
    qCritical() << "SpoolsmithApp::printerPreference" << printerName;
    notBuilt("SpoolsmithApp::printerPreference", "the printer-preferences dialog is not built");
}

void SpoolsmithApp::slotprinterPreference()
{
    printerPreference(printerName());
}

bool SpoolsmithApp::printPdfFile(const QString &file, const QString &printerName)
{
    qCritical() << "SpoolsmithApp::printPdfFile" << file << printerName;
    notBuilt("SpoolsmithApp::printPdfFile", "direct printing is not built");
    return false;
}

void SpoolsmithApp::print()
{
    // Nothing is printed, so printCopies stays and no page record is made.
    notBuilt("SpoolsmithApp::print", "the printing paths are not built");
}

void SpoolsmithApp::firewall()
{
    notBuilt("SpoolsmithApp::firewall", "the firewall rule layer is not built");
}

void SpoolsmithApp::slotFinished(int exitCode, QProcess::ExitStatus exitStatus)
{
    auto *process = qobject_cast<QProcess *>(sender());
    if (!process)
        return;
    qDebug() << "SpoolsmithApp::slotFinished" << exitCode << exitStatus << process->program();
    notBuilt("SpoolsmithApp::slotFinished", "the external-program supervision is not built; not restarted");
}

bool SpoolsmithApp::closeProcess(QProcess *process)
{
    if (!process || process->state() == QProcess::NotRunning)
        return true;
    qDebug() << "SpoolsmithApp::closeProcess" << "begin close" << process->program();
    process->kill();
    process->close();
    qDebug() << "SpoolsmithApp::closeProcess" << "end close" << process->program();
    return true;
}
