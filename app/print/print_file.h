#pragma once

#include "app/cut/cut_file_check.h"
#include "app/task/job_guard.h"

#include <QImage>
#include <QObject>
#include <QSizeF>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

class DataSourceLoader;
class GScene;
class ProductionRecords;
class VariableData;

// The print file with its page size and preview, the print scene that places
// the page code, and variable data: a .tva template whose data source rows
// are each rendered into a PDF of their own before they are printed.
class PrintFile : public QObject
{
    Q_OBJECT

public:
    // What the print file needs of the rest of the application.
    struct Hooks
    {
        std::function<int()> machineVersion;
        std::function<uint()> markerType; // page-code marker type, 0 none
        std::function<QImage()> preview;
        // Stores the preview under a fresh image address.
        std::function<void(const QImage &)> setPreview;
        std::function<QString()> appPath;
        std::function<QString()> cutFile;
        std::function<void(const QString &)> openTvaCutFile;
        std::function<void(const QString &)> showMessage; // the driver's errorMessage
        // The operator's choices wait until the job has ended.
        JobGuard jobGuard;
        // The operator chose another print file or data source: pages of
        // the one before left on the web are no longer cut.
        std::function<void()> otherPagesChosen;
    };

    explicit PrintFile(ProductionRecords &records, QObject *parent = nullptr);
    void setHooks(Hooks hooks) { m_hooks = std::move(hooks); }

    // Opens a print file for preview and printing (.pdf; .tif on version 2).
    void openPrintPdf(const QString &path);
    // Attaches the data source to a .tva template, asking for one if none is set.
    void chooseDataSource(const QString &templatePath);

    QString printFile() const;
    void setPrintFile(const QString &path);
    QString printCutFile() const;
    void setPrintCutFile(const QString &path);
    QString printTip() const;
    void setPrintTip(const QString &tip);
    bool enabledDataSource() const { return m_enabledDataSource.load(); }
    void setEnabledDataSource(bool on);
    QString dataSource() const;
    // The sheet is read on a thread of its own; the current row is rendered
    // once it is read (at once for a small sheet).
    void setDataSource(const QString &path);
    // How far the data source is read: -1 when no read runs, else 0..100.
    int dataSourceProgress() const;
    int dataIndex() const { return m_dataIndex.load(); }
    // Renders data row index into "<index>pdf.pdf" in the program folder and
    // opens it. From another thread the work is handed to this object's
    // thread and waited for. False, with the operator's message, past the
    // last data row or when the row cannot be written; a row past the last
    // one leaves the row shown before as it was.
    bool setDataIndex(int index);
    // Printing moves on to the next row; past the last one the data has
    // ended.
    bool nextRow();
    // What the print file holds of the data: only a Ready row is printed.
    enum class RowState {
        Ready, // the row asked for
        Rendering, // the row is being written
        Reading, // the sheet is still being read; the row follows
        Failed, // the row could not be written (the operator was told)
        Unreadable, // the sheet could not be read (the operator was told)
        Ended, // printing went past the last data row
    };
    RowState rowState() const { return m_rowState.load(); }
    // The print file does not hold the row asked for (an earlier row, or
    // another sheet's), which must not go out.
    bool rowMissing() const { return rowState() != RowState::Ready; }
    // A sheet is being read for the data source.
    bool dataSourceReading() const;
    // The name of a per-row print file, which a row render may delete.
    static bool isRowFileName(const QString &name);
    // The print scene only places the page code; it is never shown.
    GScene *printScene() const { return m_printScene; }
    QSizeF printPageSize() const;
    // The page size in millimetres of the print file just opened.
    void setPrintPageSize(const QSizeF &mm);

signals:
    void printFileChanged();
    void printCutFileChanged();
    void printTipChanged();
    void enabledDataSourceChanged();
    void dataSourceChanged();
    void dataIndexChanged();
    void dataSourceProgressChanged();

private:
    bool requestRow(int index, bool printing);
    bool renderRow(int index, bool printing);
    void readDataSource(const QString &path);
    void onDataSourceRead(const QString &path, std::shared_ptr<const VariableData> data);
    void askCutFile(const QString &printPath);
    void choosePages(const QString &path);

    ProductionRecords &m_records;
    Hooks m_hooks;
    GScene *m_printScene = nullptr;
    // The print scene's cut file is checked as the cut scene's are.
    CutFileCheck m_cutCheck{[this](const QString &text) {
        if (m_hooks.showMessage)
            m_hooks.showMessage(text);
    }};
    DataSourceLoader *m_loader = nullptr;
    mutable std::mutex m_lock; // the texts and the page size
    QString m_printFile;
    QString m_printCutFile;
    QString m_printTip;
    QString m_dataSource;
    QString m_chosenPrintFile; // the operator's, a template or a PDF
    QSizeF m_printPageSize;
    std::atomic<bool> m_enabledDataSource{false};
    std::atomic<int> m_dataIndex{1};
    std::atomic<RowState> m_rowState{RowState::Ready};
};
