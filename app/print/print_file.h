#pragma once

#include <QObject>
#include <QSizeF>
#include <QString>

#include <atomic>
#include <mutex>

class GScene;
class ProductionRecords;

// The print file, the print scene that places the page code, the data source
// with its row, and the print tip. Reading print files into a preview and
// rendering data rows are not built yet: each says so in the log.
class PrintFile : public QObject
{
    Q_OBJECT

public:
    explicit PrintFile(ProductionRecords &records, QObject *parent = nullptr);

    QString printFile() const;
    void setPrintFile(const QString &path);
    QString printCutFile() const;
    void setPrintCutFile(const QString &path);
    QString printTip() const;
    void setPrintTip(const QString &tip);
    bool enabledDataSource() const { return m_enabledDataSource.load(); }
    void setEnabledDataSource(bool on);
    QString dataSource() const;
    void setDataSource(const QString &path);
    int dataIndex() const { return m_dataIndex.load(); }
    void setDataIndex(int index);
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

private:
    ProductionRecords &m_records;
    GScene *m_printScene = nullptr;
    mutable std::mutex m_lock; // the texts and the page size
    QString m_printFile;
    QString m_printCutFile;
    QString m_printTip;
    QString m_dataSource;
    QSizeF m_printPageSize;
    std::atomic<bool> m_enabledDataSource{false};
    std::atomic<int> m_dataIndex{1};
};
