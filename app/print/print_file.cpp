#include "app/print/print_file.h"

#include "app/dialog_path.h"
#include "app/print/data_source_loader.h"
#include "app/print/print_file_reader.h"
#include "app/records/production_records.h"
#include "core/property_store.h"
#include "platform/prompt/prompt.h"
#include "platform/scene/gscene.h"

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QThread>

PrintFile::PrintFile(ProductionRecords &records, QObject *parent)
    : QObject(parent)
    , m_records(records)
    , m_printScene(new GScene(this))
    , m_loader(new DataSourceLoader(this))
{
    connect(m_loader, &DataSourceLoader::loaded, this, &PrintFile::onDataSourceRead);
    connect(m_loader, &DataSourceLoader::progressChanged, this, &PrintFile::dataSourceProgressChanged);
}

QString PrintFile::printFile() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_printFile;
}

void PrintFile::setPrintFile(const QString &path)
{
    if (m_hooks.jobGuard.refuse("SpoolsmithApp::setPrintFile", path))
        return;
    choosePages(path);
    if (path.right(3).toLower() == QLatin1String("tva")) {
        chooseDataSource(path);
        if (m_hooks.cutFile && m_hooks.cutFile().isEmpty() && m_hooks.openTvaCutFile)
            m_hooks.openTvaCutFile(path);
        return;
    }
    setEnabledDataSource(false);
    openPrintPdf(path);
    m_records.setWorkRecordPrintFile(path);
    askCutFile(path);
}

void PrintFile::choosePages(const QString &path)
{
    {
        std::lock_guard<std::mutex> lock(m_lock);
        if (path == m_chosenPrintFile)
            return;
        m_chosenPrintFile = path;
    }
    if (m_hooks.otherPagesChosen)
        m_hooks.otherPagesChosen();
}

void PrintFile::askCutFile(const QString &printPath)
{
    if (!m_hooks.markerType || m_hooks.markerType() == 0)
        return;
    const QString answer = Prompt::instance()->openFileName(
        QCoreApplication::translate("PrintFile", "选择打印文件对应的切割文件"), QFileInfo(printPath).absolutePath(),
        QCoreApplication::translate("PrintFile", "切割文件 (*.plt)"));
    setPrintCutFile(answer.isEmpty() ? QString() : dialogResultToPath(answer));
}

void PrintFile::openPrintPdf(const QString &path)
{
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_printFile = path;
    }
    const PrintFileContent content = PrintFileReader::read(path, m_hooks.machineVersion ? m_hooks.machineVersion() : 0);
    QSizeF pageMm;
    {
        std::lock_guard<std::mutex> lock(m_lock);
        if (content.read)
            m_printPageSize = content.pageMm;
        pageMm = m_printPageSize;
    }
    setPrintTip(QCoreApplication::translate("PrintFile", "文件尺寸")
                + QStringLiteral("  %1 x %2  mm²").arg(pageMm.width(), 0, 'f', 2).arg(pageMm.height(), 0, 'f', 2));
    // A file not read keeps the old preview, under a new address all the same.
    if (m_hooks.setPreview)
        m_hooks.setPreview(content.read ? content.preview : (m_hooks.preview ? m_hooks.preview() : QImage()));
    emit printFileChanged();
}

void PrintFile::chooseDataSource(const QString &templatePath)
{
    if (m_hooks.jobGuard.refuse("SpoolsmithApp::chooseDataSource", templatePath))
        return;
    if (!QFileInfo::exists(templatePath))
        return;
    setPrintCutFile(templatePath);
    m_records.setWorkRecordPrintFile(templatePath);
    QString source = dataSource();
    if (source.isEmpty()) {
        const QString answer = Prompt::instance()->openFileName(
            QCoreApplication::translate("PrintFile", "选择数据源"), QFileInfo(templatePath).absolutePath(),
            QCoreApplication::translate("PrintFile", "Excel文件 (*.xlsx)"));
        if (!answer.isEmpty())
            setDataSource(dialogResultToPath(answer));
        source = dataSource();
    } else if (m_printScene->variableFile() != source) {
        // Another template keeps the source already chosen.
        readDataSource(source);
    }
    setEnabledDataSource(!source.isEmpty());
    if (!source.isEmpty())
        setDataIndex(dataIndex());
}

QString PrintFile::printCutFile() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_printCutFile;
}

void PrintFile::setPrintCutFile(const QString &path)
{
    if (path == printCutFile() || m_hooks.jobGuard.refuse("SpoolsmithApp::setPrintCutFile", path))
        return;
    // Read and checked once; a file refused leaves the one before.
    std::optional<QByteArray> bytes;
    if (!path.isEmpty() && !(bytes = m_cutCheck.read(path)))
        return;
    // The signal waits until the scene has the file and the record its name.
    if (!spoolsmith::storeAndNotify(m_lock, m_printCutFile, path, [] {}))
        return;
    // The print scene places the page code; it belongs to the GUI thread.
    if (path.isEmpty())
        m_printScene->gClear();
    else if (!m_printScene->openBytes(*bytes, path, false))
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
    // A variable-data job would go on printing plain copies, or the reverse.
    const QString what = on ? QStringLiteral("on") : QStringLiteral("off");
    if (on != enabledDataSource() && m_hooks.jobGuard.refuse("SpoolsmithApp::setEnabledDataSource", what))
        return;
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
    if (path != dataSource() && m_hooks.jobGuard.refuse("SpoolsmithApp::setDataSource", path))
        return;
    if (!spoolsmith::storeAndNotify(m_lock, m_dataSource, path, [] {}))
        return;
    if (m_hooks.otherPagesChosen)
        m_hooks.otherPagesChosen();
    m_records.setWorkRecordDataSource(path);
    setEnabledDataSource(!path.isEmpty());
    readDataSource(path);
    emit dataSourceChanged();
}

int PrintFile::dataSourceProgress() const { return m_loader->progress(); }

// A sheet read within this wait is rendered before this returns, as an
// operator choosing a small sheet expects; a larger one shows its progress
// and renders its row once read, the GUI thread free meanwhile.
void PrintFile::readDataSource(const QString &path)
{
    constexpr std::chrono::milliseconds kReadInline{50};
    m_loader->stop();
    m_printScene->setVariableData(path, nullptr);
    // The print file holds a row of the sheet before: none of it goes out.
    if (!path.isEmpty())
        m_rowState.store(RowState::Reading);
    if (path.isEmpty()) {
        setDataIndex(dataIndex());
        return;
    }
    m_loader->start(path);
    m_loader->waitFor(kReadInline);
}

void PrintFile::onDataSourceRead(const QString &path, std::shared_ptr<const VariableData> data)
{
    if (path != m_printScene->variableFile())
        return;
    m_printScene->setVariableData(path, std::move(data));
    setDataIndex(dataIndex());
}

bool PrintFile::setDataIndex(int index)
{
    return requestRow(index, false);
}

bool PrintFile::nextRow()
{
    return requestRow(dataIndex() + 1, true);
}

bool PrintFile::requestRow(int index, bool printing)
{
    if (!enabledDataSource())
        return false;
    // The provider, the pages and the print scene belong to this object's
    // thread; printing on the task thread waits for the render there.
    if (QThread::currentThread() == thread())
        return renderRow(index, printing);
    bool ok = false;
    QMetaObject::invokeMethod(this, [this, index, printing, &ok] { ok = renderRow(index, printing); },
                              Qt::BlockingQueuedConnection);
    return ok;
}

bool PrintFile::dataSourceReading() const
{
    return m_loader->busy();
}

bool PrintFile::isRowFileName(const QString &name)
{
    static const QRegularExpression rowFile(QStringLiteral("^[0-9]+pdf\\.pdf$"));
    return rowFile.match(name).hasMatch();
}

bool PrintFile::renderRow(int index, bool printing)
{
    const int rows = m_printScene->variableRowCount();
    if (rows < 0 && m_loader->busy()) {
        m_rowState.store(RowState::Reading);
        m_dataIndex.store(index); // rendered once read
        qInfo() << "SpoolsmithApp::setDataIndex" << index << "waits until the data source is read" << dataSource();
        return false;
    }
    if (rows < 0) {
        m_rowState.store(RowState::Unreadable);
        qCritical() << "SpoolsmithApp::setDataIndex" << "no readable data source" << dataSource();
        if (m_hooks.showMessage)
            m_hooks.showMessage(QCoreApplication::translate("PrintFile", "数据源无法读取") + QStringLiteral(" \n"));
        return false;
    }
    if (index < 1 || index > rows) {
        // Printing past the last row ends the data; an operator's row out
        // of range leaves a row still shown as it was.
        if (printing || m_rowState.load() != RowState::Ready)
            m_rowState.store(RowState::Ended);
        qCritical() << "SpoolsmithApp::setDataIndex" << index << "past the data rows" << rows;
        if (m_hooks.showMessage)
            m_hooks.showMessage(QCoreApplication::translate("PrintFile", "数据源已到最后一行，打印停止")
                                + QStringLiteral(" \n"));
        return false;
    }
    m_rowState.store(RowState::Rendering);
    m_dataIndex.store(index);
    m_printScene->setCodeIndex(index);
    const QString folder = m_hooks.appPath ? m_hooks.appPath() : QCoreApplication::applicationDirPath();
    // Only this program's per-row files go; an operator's "mypdf.pdf" stays.
    QDir dir(folder);
    for (const QString &name : dir.entryList(QDir::Files | QDir::Hidden | QDir::System))
        if (isRowFileName(name))
            dir.remove(name);
    const QString path = folder + QStringLiteral("/%1pdf.pdf").arg(index);
    const bool saved = m_printScene->savePrintFile(path);
    if (!saved) {
        qCritical() << "SpoolsmithApp::setDataIndex" << "row" << index << "not written" << path
                    << m_printScene->errorString();
        if (m_hooks.showMessage)
            m_hooks.showMessage(QCoreApplication::translate("PrintFile", "数据行%1无法生成打印文件").arg(index)
                                + QStringLiteral(" \n"));
    }
    m_rowState.store(saved ? RowState::Ready : RowState::Failed);
    openPrintPdf(path);
    emit dataIndexChanged();
    return saved;
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
