#include "online/upgrades/upgrades_widget.h"

#include "online/log_excerpt.h"
#include "online/upgrades/firmware_download.h"
#include "online/upgrades/http_fetch.h"
#include "online/upgrades/update_answers.h"
#include "platform/prompt/prompt.h"

#include <QDebug>
#include <QEventLoop>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMap>
#include <QNetworkAccessManager>
#include <QProgressBar>
#include <QPushButton>
#include <QSpacerItem>
#include <QStandardItemModel>
#include <QTreeView>

#include <optional>

namespace {
constexpr int kQueryBoundMs = 500;
// The look-ups only decorate the query: an absent service must not hold it up.
constexpr int kLookUpBoundMs = 2000;
const QString kDefaultHost = QStringLiteral("127.0.0.1");

QString serverUrl(const QString &host, const QString &path)
{
    return QStringLiteral("http://%1:38021%2").arg(host, 0, QLatin1Char(' ')).arg(path);
}

// What this dialog last handed to the machine for one module.
struct Flashed
{
    QString machineCode;
    QString firmNo;
};
} // namespace

struct UpgradesWidget::Private
{
    QMap<int, FirmwareQuery> queries;
    QMap<int, QStandardItem *> items;
    QString host = kDefaultHost;
    QString url = serverUrl(kDefaultHost, QStringLiteral("/machine/firmware/versions"));
    QNetworkAccessManager manager;
    QString ip;
    QString location;

    QGridLayout *gridLayout = nullptr;
    QTreeView *treeView = nullptr;
    QLabel *label = nullptr;
    QProgressBar *progressBar = nullptr;
    QPushButton *pushButton_upgrade = nullptr;
    QStandardItemModel *model = nullptr;

    QMap<int, Flashed> flashed;
    std::function<bool()> uploadProbe;
    int progress = 0;
    bool downloading = false;
    int stallMs = FirmwareDownload::kDefaultStallMs;
    qint64 maxBytes = FirmwareDownload::kDefaultMaxBytes;
    int totalMs = FirmwareDownload::kDefaultTotalMs;
    bool querying = false;
    std::optional<FirmwareQuery> pending;
};

UpgradesWidget::UpgradesWidget(QWidget *parent)
    : QDialog(parent)
    , _p(std::make_unique<Private>())
{
    resize(673, 530);
    QFont font = this->font();
    font.setPointSize(12);

    _p->gridLayout = new QGridLayout(this);
    _p->gridLayout->setObjectName(QStringLiteral("gridLayout"));
    _p->label = new QLabel(tr("升级模块"), this);
    _p->label->setObjectName(QStringLiteral("label"));
    _p->label->setFont(font);
    _p->gridLayout->addWidget(_p->label, 0, 0, 1, 2);

    _p->model = new QStandardItemModel(0, 2, this);
    _p->treeView = new QTreeView(this);
    _p->treeView->setObjectName(QStringLiteral("treeView"));
    _p->treeView->setFont(font);
    _p->treeView->setStyleSheet(QStringLiteral("QTreeView::item:selected { background-color: #6a5acd; color: white; }"));
    _p->treeView->setModel(_p->model);
    _p->treeView->header()->hide();
    _p->treeView->setColumnWidth(0, 300);
    _p->treeView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    _p->gridLayout->addWidget(_p->treeView, 1, 0, 1, 2);

    _p->progressBar = new QProgressBar(this);
    _p->progressBar->setObjectName(QStringLiteral("progressBar"));
    _p->progressBar->setValue(24);
    _p->progressBar->hide();
    _p->gridLayout->addWidget(_p->progressBar, 2, 0, 1, 2);

    _p->gridLayout->addItem(new QSpacerItem(40, 20, QSizePolicy::Expanding, QSizePolicy::Minimum), 3, 0);
    _p->pushButton_upgrade = new QPushButton(tr("升级"), this);
    _p->pushButton_upgrade->setObjectName(QStringLiteral("pushButton_upgrade"));
    _p->pushButton_upgrade->setMinimumSize(75, 30);
    _p->pushButton_upgrade->setFont(font);
    _p->gridLayout->addWidget(_p->pushButton_upgrade, 3, 1);

    connect(_p->pushButton_upgrade, &QPushButton::clicked, this, &UpgradesWidget::on_pushButton_upgrade_clicked);
    connect(this, &UpgradesWidget::downloadProgress, this, &UpgradesWidget::onDownloadProgress);
}

UpgradesWidget::~UpgradesWidget() = default;

void UpgradesWidget::setHost(const QString &host)
{
    _p->host = host;
    _p->url = serverUrl(host, QStringLiteral("/machine/firmware/versions"));
}

QString UpgradesWidget::requestUrl() const
{
    return _p->url;
}

QStandardItemModel *UpgradesWidget::model() const
{
    return _p->model;
}

QTreeView *UpgradesWidget::treeView() const
{
    return _p->treeView;
}

void UpgradesWidget::setUploadProbe(std::function<bool()> probe)
{
    _p->uploadProbe = std::move(probe);
    refreshButton();
}

void UpgradesWidget::setDownloadLimits(int stallMs, qint64 maxBytes, int totalMs)
{
    _p->stallMs = stallMs;
    _p->maxBytes = maxBytes;
    _p->totalMs = totalMs;
}

void UpgradesWidget::checkAndShow(const FirmwareQuery &query)
{
    // A dialog already open (or a query still waiting) shows the new answer
    // in place.
    if (postUpgrades(query) && !isVisible())
        exec();
}

bool UpgradesWidget::postUpgrades(const FirmwareQuery &query)
{
    if (_p->querying) {
        // The query on its way picks the newest report up when it is done.
        _p->pending = query;
        return false;
    }
    _p->querying = true;
    bool listed = runQuery(query);
    while (_p->pending) {
        const FirmwareQuery next = *_p->pending;
        _p->pending.reset();
        listed = runQuery(next);
    }
    _p->querying = false;
    return listed;
}

bool UpgradesWidget::runQuery(const FirmwareQuery &query)
{
    reportSuccessFor(query);
    removeModule(query.firmModule);
    _p->queries.insert(query.firmModule, query);

    const QUrl url = withQuery(_p->url, {
        {QStringLiteral("firmNo"), query.firmNo},
        {QStringLiteral("pcbCode"), query.pcbCode},
        {QStringLiteral("pcbversion"), query.pcbversion},
        {QStringLiteral("machineCode"), query.machineCode},
        {QStringLiteral("machineModelCode"), query.machineModelCode},
        {QStringLiteral("ip"), query.ip.isEmpty() ? getIP() : query.ip},
        {QStringLiteral("location"), query.location.isEmpty() ? getLocation() : query.location},
        {QStringLiteral("language"), query.language},
        {QStringLiteral("loginContext"), query.loginContext},
        {QStringLiteral("firmModule"), QString::number(query.firmModule)},
        {QStringLiteral("top"), QStringLiteral("3")},
    });

    const HttpResult result = fetchBounded(_p->manager, url, kQueryBoundMs, update_answers::kMaxBodyBytes);
    if (result.tooLarge) {
        qCritical() << "UpgradesWidget::postUpgrades" << "answer larger than" << update_answers::kMaxBodyBytes
                    << "bytes dropped" << result.url;
    } else if (!result.ok()) {
        qCritical() << "UpgradesWidget::postUpgrades" << result.error << result.url;
    } else {
        qDebug() << "UpgradesWidget::postUpgrades" << result.url.toString();
        qDebug() << "UpgradesWidget::postUpgrades" << logExcerpt(result.body);
        takeRows(result.body, result.url.toString(), query);
    }
    return !_p->items.isEmpty();
}

void UpgradesWidget::reportSuccessFor(const FirmwareQuery &query)
{
    // Success is told only for a file this dialog handed to this very
    // machine, once it reports the version that was flashed.
    const auto flashed = _p->flashed.constFind(query.firmModule);
    if (flashed == _p->flashed.constEnd() || flashed->machineCode != query.machineCode
        || flashed->firmNo != query.firmNo)
        return;
    _p->flashed.remove(query.firmModule);
    qInfo() << "UpgradesWidget::postUpgrades" << "module" << query.firmModule << "now runs" << query.firmNo;
    Prompt::instance()->information(tr("tip"), tr("升级成功"));
}

void UpgradesWidget::takeRows(const QByteArray &body, const QString &url, const FirmwareQuery &query)
{
    const update_answers::FirmwareAnswer answer = update_answers::readFirmware(body, query.firmModule);
    if (answer.outcome == update_answers::Outcome::NotJson) {
        qCritical() << "UpgradesWidget::postUpgrades" << "无法解析json" << url << logExcerpt(body);
        return;
    }
    if (answer.outcome == update_answers::Outcome::WrongAnswer) {
        qCritical() << "UpgradesWidget::postUpgrades" << "错误的返回" << url;
        qCritical().noquote() << "UpgradesWidget::postUpgrades" << logExcerpt(answer.object);
        return;
    }
    if (answer.currentFirst) {
        removeModule(query.firmModule);
        return;
    }
    if (answer.rowsDropped > 0)
        qWarning() << "UpgradesWidget::postUpgrades" << answer.rowsDropped << "more rows not listed";
    for (const update_answers::FirmwareRow &row : answer.rows)
        addRow(row.map, row.index == 0);
}

void UpgradesWidget::addRow(const QVariantMap &row, bool select)
{
    const int module = row.value(QStringLiteral("firmModule")).toInt();
    QStandardItem *moduleItem = _p->items.value(module);
    if (!moduleItem) {
        moduleItem = new QStandardItem(row.value(QStringLiteral("firmModuleStr")).toString());
        auto *installed = new QStandardItem(tr("当前版本：%1").arg(_p->queries.value(module).firmNo));
        _p->model->appendRow({moduleItem, installed});
        _p->items.insert(module, moduleItem);
    }
    auto *version = new QStandardItem(row.value(QStringLiteral("firmNo")).toString());
    version->setData(row, RowRole);
    auto *created = new QStandardItem(row.value(QStringLiteral("createTime")).toString());
    moduleItem->appendRow({version, created});
    if (select) {
        _p->treeView->expand(moduleItem->index());
        _p->treeView->setCurrentIndex(version->index());
    }
}

void UpgradesWidget::removeModule(int module)
{
    QStandardItem *item = _p->items.take(module);
    if (item)
        _p->model->removeRow(item->row());
}

void UpgradesWidget::setProgress(int value)
{
    _p->progressBar->setValue(value);
    _p->progress = value;
    refreshButton();
}

void UpgradesWidget::refreshButton()
{
    const bool machineBusy = (_p->progress > 0 && _p->progress < 100) || (_p->uploadProbe && _p->uploadProbe());
    _p->pushButton_upgrade->setEnabled(!_p->downloading && !machineBusy);
}

void UpgradesWidget::onDownloadProgress(qint64 bytesReceived, qint64 bytesTotal)
{
    if (bytesTotal > 0)
        _p->progressBar->setValue(int(bytesReceived * 100 / bytesTotal));
}

void UpgradesWidget::on_pushButton_upgrade_clicked()
{
    const QModelIndex current = _p->treeView->currentIndex();
    if (!current.isValid())
        return;
    const QVariant data = _p->model->itemFromIndex(current.siblingAtColumn(0))->data(RowRole);
    if (!data.isValid())
        return;
    // A copy: a firmware report during the download rebuilds the tree.
    const QVariantMap row = data.toMap();
    if (!row.contains(QStringLiteral("files"))) {
        Prompt::instance()->information(tr("警告"), tr("没有下载链接"));
        return;
    }
    refreshButton();
    if (_p->downloading || !_p->pushButton_upgrade->isEnabled()) {
        qWarning() << "UpgradesWidget::on_pushButton_upgrade_clicked" << "an upgrade is still running";
        return;
    }
    const int module = row.value(QStringLiteral("firmModule")).toInt();
    const QString machineCode = _p->queries.value(module).machineCode;

    _p->downloading = true;
    refreshButton();
    _p->progressBar->setFormat(tr("下载进度%p%"));
    _p->progressBar->setValue(0);
    _p->progressBar->show();

    FirmwareDownload download(_p->manager);
    download.setStallMs(_p->stallMs);
    download.setMaxBytes(_p->maxBytes);
    download.setTotalMs(_p->totalMs);
    connect(&download, &FirmwareDownload::progress, this, &UpgradesWidget::downloadProgress);
    QEventLoop loop;
    connect(&download, &FirmwareDownload::finished, &loop, &QEventLoop::quit);
    download.start(QUrl(row.value(QStringLiteral("files")).toString()), row.value(QStringLiteral("sha256")).toString());
    if (!download.isDone())
        loop.exec();
    _p->downloading = false;

    if (!download.isDone()) {
        // The program is ending: the loop was left before the answer came.
        qWarning() << "UpgradesWidget::on_pushButton_upgrade_clicked" << "download abandoned";
        return;
    }
    if (!download.succeeded()) {
        downloadFailed(download.reason());
        return;
    }
    qInfo() << "UpgradesWidget::on_pushButton_upgrade_clicked" << "module" << module << "firmware"
            << row.value(QStringLiteral("firmNo")).toString() << download.body().size() << "bytes";
    _p->flashed.insert(module, Flashed{machineCode, row.value(QStringLiteral("firmNo")).toString()});
    emit upgrade(module, download.body(), row);
    _p->progressBar->setFormat(tr("升级进度%p%"));
    refreshButton();
}

void UpgradesWidget::downloadFailed(const QString &reason)
{
    qCritical() << "UpgradesWidget::on_pushButton_upgrade_clicked" << "download failed:" << reason;
    _p->progressBar->setValue(0);
    _p->progressBar->hide();
    refreshButton();
    Prompt::instance()->warning(tr("警告"), tr("固件下载失败") + QLatin1Char('\n') + reason);
}

QString UpgradesWidget::getIP()
{
    return lookUp(QStringLiteral("/getIP"), _p->ip);
}

QString UpgradesWidget::getLocation()
{
    return lookUp(QStringLiteral("/getLocation"), _p->location);
}

QString UpgradesWidget::lookUp(const QString &path, QString &cache)
{
    if (!cache.isEmpty())
        return cache;
    const HttpResult result =
        fetchBounded(_p->manager, QUrl(serverUrl(_p->host, path)), kLookUpBoundMs, update_answers::kMaxBodyBytes);
    if (!result.ok()) {
        qWarning() << (path == QLatin1String("/getIP") ? "UpgradesWidget::getIP" : "UpgradesWidget::getLocation") << result.error << result.url;
        return cache;
    }
    cache = update_answers::readLookUp(result.body);
    return cache;
}
