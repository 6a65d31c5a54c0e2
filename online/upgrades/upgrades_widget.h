#pragma once

#include "online/upgrades/firmware_download.h"
#include "online/upgrades/firmware_query.h"

#include <QByteArray>
#include <QDialog>
#include <QString>
#include <QVariantMap>

#include <functional>
#include <memory>

class QStandardItemModel;
class QTreeView;

// Lists the firmware versions the update server offers for the linked
// machine's modules, downloads the chosen one and hands it to the driver.
class UpgradesWidget : public QDialog
{
    Q_OBJECT
public:
    explicit UpgradesWidget(QWidget *parent = nullptr);
    ~UpgradesWidget() override;

    void setHost(const QString &host);
    // Queries the server and runs the dialog modally when it lists a module.
    void checkAndShow(const FirmwareQuery &query);
    // Queries the server and rebuilds the query's module; true when the tree
    // holds at least one module.
    bool postUpgrades(const FirmwareQuery &query);
    void setProgress(int value);
    QString getIP();
    QString getLocation();

    // True while the machine is still taking a firmware file; no second
    // download starts then.
    void setUploadProbe(std::function<bool()> probe);
    // Bounds of the firmware download (tests shorten them).
    void setDownloadLimits(int stallMs, qint64 maxBytes, int totalMs = FirmwareDownload::kDefaultTotalMs);

    QString requestUrl() const;
    QStandardItemModel *model() const;
    QTreeView *treeView() const;

    // The row map of the version entries (the whole server row).
    static constexpr int RowRole = Qt::UserRole + 1;

signals:
    void upgrade(int upgradeMode, QByteArray upgradeFile, QVariantMap paramList);
    void downloadProgress(qint64 bytesReceived, qint64 bytesTotal);

public slots:
    void onDownloadProgress(qint64 bytesReceived, qint64 bytesTotal);
    void on_pushButton_upgrade_clicked();

private:
    bool runQuery(const FirmwareQuery &query);
    void takeRows(const QByteArray &body, const QString &url, const FirmwareQuery &query);
    void addRow(const QVariantMap &row, bool select);
    void removeModule(int module);
    void reportSuccessFor(const FirmwareQuery &query);
    QString lookUp(const QString &path, QString &cache);
    void refreshButton();
    void downloadFailed(const QString &reason);

    struct Private;
    std::unique_ptr<Private> _p;
};
