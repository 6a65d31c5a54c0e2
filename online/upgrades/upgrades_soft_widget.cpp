#include "online/upgrades/upgrades_soft_widget.h"

#include "online/log_excerpt.h"
#include "online/upgrades/http_fetch.h"
#include "online/upgrades/release_notes_view.h"
#include "online/upgrades/update_answers.h"

#include <QDebug>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QNetworkAccessManager>
#include <QPushButton>
#include <QSpacerItem>
#include <QTextEdit>
#include <QVersionNumber>

namespace {
// The version list is small; a server slower than this is treated as absent.
constexpr int kQueryBoundMs = 500;
const QString kDefaultHost = QStringLiteral("127.0.0.1");
} // namespace

struct UpgradesSoftWidget::Private
{
    QString url = QStringLiteral("http://%1:38021/machine/software/version").arg(kDefaultHost);
    std::unique_ptr<QNetworkAccessManager> manager = std::make_unique<QNetworkAccessManager>();
    QLabel *softName = nullptr;
    QLabel *softVersion = nullptr;
    QLabel *softCode = nullptr;
    QLabel *releaseDate = nullptr;
    QTextEdit *content = nullptr;

    ~Private()
    {
        manager.reset();
        url.clear();
    }
};

UpgradesSoftWidget::UpgradesSoftWidget(QWidget *parent)
    : QDialog(parent)
    , _p(std::make_unique<Private>())
{
    resize(400, 300);
    auto *grid = new QGridLayout(this);
    const QString captions[] = {tr("软件名称："), tr("软件版本："), tr("软件编码："), tr("发布日期：")};
    QLabel **values[] = {&_p->softName, &_p->softVersion, &_p->softCode, &_p->releaseDate};
    const char *names[] = {"label_softName", "label_softVersion", "label_softCode", "label_releaseDate"};
    for (int row = 0; row < 4; ++row) {
        auto *caption = new QLabel(captions[row], this);
        caption->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        grid->addWidget(caption, row, 0);
        *values[row] = new QLabel(this);
        (*values[row])->setObjectName(QString::fromLatin1(names[row]));
        // Server texts are shown as they are, never as markup.
        (*values[row])->setTextFormat(Qt::PlainText);
        grid->addWidget(*values[row], row, 1);
    }
    grid->addWidget(new QLabel(tr("更新内容："), this), 4, 0);
    _p->content = new QTextEdit(this);
    _p->content->setObjectName(QStringLiteral("textEdit_content"));
    _p->content->setReadOnly(true);
    _p->content->setDocument(new ReleaseNotesDocument(_p->content));
    grid->addWidget(_p->content, 4, 0, 1, 2);

    auto *buttons = new QHBoxLayout;
    buttons->addItem(new QSpacerItem(117, 20, QSizePolicy::Expanding, QSizePolicy::Minimum));
    auto *update = new QPushButton(tr("更新"), this);
    update->setObjectName(QStringLiteral("pushButton_update"));
    buttons->addWidget(update);
    grid->addLayout(buttons, 5, 0, 1, 2);
    grid->setColumnStretch(1, 1);

    connect(update, &QPushButton::clicked, this, [this] {
        close();
        emit upgrade();
    });
}

UpgradesSoftWidget::~UpgradesSoftWidget() = default;

void UpgradesSoftWidget::setHost(const QString &host)
{
    _p->url = QStringLiteral("http://%1:38021/machine/software/version").arg(host, 0, QLatin1Char(' '));
}

QString UpgradesSoftWidget::requestUrl() const
{
    return _p->url;
}

void UpgradesSoftWidget::upgradePost(const QString &softName, const QString &softVersion, const QString &softCode)
{
    const QUrl url = withQuery(_p->url, {{QStringLiteral("softName"), softName},
                                         {QStringLiteral("softVersion"), softVersion},
                                         {QStringLiteral("softCode"), softCode}});

    const HttpResult result = fetchBounded(*_p->manager, url, kQueryBoundMs, update_answers::kMaxBodyBytes);
    if (result.tooLarge) {
        qCritical() << "UpgradesSoftWidget::upgradePost" << "answer larger than" << update_answers::kMaxBodyBytes
                    << "bytes dropped" << result.url;
        return;
    }
    if (!result.ok()) {
        qCritical() << "UpgradesSoftWidget::upgradePost" << result.error << result.url;
        return;
    }
    qDebug() << "UpgradesSoftWidget::upgradePost" << result.url.toString();
    qDebug() << "UpgradesSoftWidget::upgradePost" << logExcerpt(result.body);
    if (takeAnswer(result.body, result.url.toString(), softVersion))
        exec();
}

bool UpgradesSoftWidget::takeAnswer(const QByteArray &body, const QString &url, const QString &softVersion)
{
    const update_answers::SoftwareAnswer answer = update_answers::readSoftware(body);
    if (answer.outcome == update_answers::Outcome::NotJson) {
        qCritical() << "UpgradesSoftWidget::upgradePost" << "无法解析json" << url << logExcerpt(body);
        return false;
    }
    if (answer.outcome == update_answers::Outcome::WrongAnswer) {
        qCritical() << "UpgradesSoftWidget::upgradePost" << "错误的返回" << url;
        qCritical().noquote() << "UpgradesSoftWidget::upgradePost" << logExcerpt(answer.object);
        return false;
    }
    const QVariantMap &data = answer.data;
    if (data.isEmpty())
        return false;
    const QVersionNumber local = QVersionNumber::fromString(softVersion);
    const QVersionNumber remote = QVersionNumber::fromString(data.value(QStringLiteral("softVersion")).toString());
    qDebug() << "UpgradesSoftWidget::upgradePost" << local << remote;
    if (QVersionNumber::compare(local, remote) >= 0)
        return false;
    _p->softName->setText(data.value(QStringLiteral("softName")).toString());
    _p->softVersion->setText(data.value(QStringLiteral("softVersion")).toString());
    _p->softCode->setText(data.value(QStringLiteral("softCode")).toString());
    _p->releaseDate->setText(data.value(QStringLiteral("releaseDate")).toString());
    showReleaseNotes(_p->content, data.value(QStringLiteral("content")).toString());
    return true;
}
