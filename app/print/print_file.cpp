#include "app/print/print_file.h"

#include "app/not_built.h"
#include "app/records/production_records.h"
#include "core/property_store.h"
#include "platform/scene/gscene.h"

#include <QDebug>

PrintFile::PrintFile(ProductionRecords &records, QObject *parent)
    : QObject(parent)
    , m_records(records)
    , m_printScene(new GScene(this))
{
}

QString PrintFile::printFile() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_printFile;
}

void PrintFile::setPrintFile(const QString &path)
{
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_printFile = path;
    }
    m_records.setWorkRecordPrintFile(path);
    // No preview is made, so a job with printing on is refused at its start.
    notBuilt("SpoolsmithApp::setPrintFile", "the print-file reader (PDF/TIF preview) is not built");
    emit printFileChanged();
}

QString PrintFile::printCutFile() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_printCutFile;
}

void PrintFile::setPrintCutFile(const QString &path)
{
    // The signal waits until the scene has the file and the record its name.
    if (!spoolsmith::storeAndNotify(m_lock, m_printCutFile, path, [] {}))
        return;
    // The print scene places the page code; it belongs to the GUI thread.
    if (path.isEmpty())
        m_printScene->gClear();
    else if (!m_printScene->openFile(path, false))
        qCritical() << "SpoolsmithApp::setPrintCutFile" << path << m_printScene->errorString();
    m_records.setWorkRecordCutFile(path);
    emit printCutFileChanged();
}

QString PrintFile::printTip() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_printTip;
}

void PrintFile::setPrintTip(const QString &tip)
{
    // Every write is told, an unchanged tip too.
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_printTip = tip;
    }
    emit printTipChanged();
}

void PrintFile::setEnabledDataSource(bool on)
{
    m_enabledDataSource.store(on);
    emit enabledDataSourceChanged();
}

QString PrintFile::dataSource() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_dataSource;
}

void PrintFile::setDataSource(const QString &path)
{
    if (!spoolsmith::storeAndNotify(m_lock, m_dataSource, path, [] {}))
        return;
    m_records.setWorkRecordDataSource(path);
    setEnabledDataSource(!path.isEmpty());
    m_printScene->setVariableFile(path);
    setDataIndex(dataIndex());
    emit dataSourceChanged();
}

void PrintFile::setDataIndex(int index)
{
    if (!enabledDataSource())
        return;
    m_dataIndex.store(index);
    m_printScene->setCodeIndex(index);
    notBuilt("SpoolsmithApp::setDataIndex", "rendering a data row into a print file is not built");
    emit dataIndexChanged();
}

QSizeF PrintFile::printPageSize() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_printPageSize;
}

void PrintFile::setPrintPageSize(const QSizeF &mm)
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_printPageSize = mm;
}
