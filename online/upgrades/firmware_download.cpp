#include "online/upgrades/firmware_download.h"

#include "online/bounded_reply.h"

#include <QCryptographicHash>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>

namespace {
bool webScheme(const QUrl &url)
{
    const QString scheme = url.scheme().toLower();
    return scheme == QLatin1String("http") || scheme == QLatin1String("https");
}

bool looksLikeWebPage(const QByteArray &contentType, const QByteArray &body)
{
    if (contentType.toLower().startsWith("text/html"))
        return true;
    const QByteArray head = body.left(64).trimmed().toLower();
    return head.startsWith("<!doctype html") || head.startsWith("<html");
}
} // namespace

FirmwareDownload::FirmwareDownload(QNetworkAccessManager &manager, QObject *parent)
    : QObject(parent)
    , m_manager(manager)
{
}

FirmwareDownload::~FirmwareDownload()
{
    if (m_bounded)
        m_bounded->disconnect(this);
    if (m_reply) {
        m_reply->disconnect(this);
        m_reply->abort();
        m_reply->deleteLater();
    }
}

void FirmwareDownload::start(const QUrl &url, const QString &sha256Hex)
{
    m_sha256 = sha256Hex.trimmed().toLower();
    m_body.clear();
    m_reason.clear();
    m_done = false;
    if (!url.isValid() || !webScheme(url)) {
        fail(tr("下载地址无效：%1").arg(url.toString()));
        finish();
        return;
    }
    QNetworkRequest request(url);
    // Qt's transfer time-out restarts with every byte: it is a stall bound.
    request.setTransferTimeout(m_stallMs);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::UserVerifiedRedirectPolicy);
    m_reply = m_manager.get(request);
    QNetworkReply *reply = m_reply;
    m_bounded = new BoundedReply(reply, m_maxBytes, m_totalMs, reply);
    connect(reply, &QNetworkReply::redirected, this, [this, reply](const QUrl &target) {
        if (webScheme(target)) {
            emit reply->redirectAllowed();
            return;
        }
        fail(tr("重定向到不允许的地址：%1").arg(target.toString()));
        reply->abort();
    });
    connect(reply, &QNetworkReply::downloadProgress, this, &FirmwareDownload::progress);
    connect(m_bounded, &BoundedReply::finished, this, &FirmwareDownload::onFinished);
}

void FirmwareDownload::fail(const QString &reason)
{
    // The first reason is the one that counts: an abort adds its own error.
    if (m_reason.isEmpty())
        m_reason = reason;
}

void FirmwareDownload::onFinished()
{
    QNetworkReply *reply = m_reply;
    if (!reply)
        return;
    if (m_reason.isEmpty() && m_bounded->tooLarge()) {
        fail(tr("文件超过 %1 MiB").arg(m_maxBytes / (1024 * 1024)));
    } else if (m_reason.isEmpty() && m_bounded->timedOut()) {
        fail(tr("下载超时"));
    } else if (m_reason.isEmpty()) {
        const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
        if (status != 0 && (status < 200 || status > 299)) {
            fail(tr("服务器返回状态 %1").arg(status));
        } else if (reply->error() == QNetworkReply::OperationCanceledError) {
            fail(tr("下载超时"));
        } else if (reply->error() != QNetworkReply::NoError) {
            fail(tr("网络错误：%1").arg(reply->errorString()));
        } else if (status == 0) {
            fail(tr("服务器返回状态 %1").arg(status));
        } else {
            const QByteArray body = m_bounded->takeBody();
            const QVariant announced = reply->header(QNetworkRequest::ContentLengthHeader);
            if (body.isEmpty())
                fail(tr("文件为空"));
            else if (body.size() > m_maxBytes)
                fail(tr("文件超过 %1 MiB").arg(m_maxBytes / (1024 * 1024)));
            else if (announced.isValid() && announced.toLongLong() != body.size())
                fail(tr("文件不完整：收到 %1 字节，应为 %2 字节").arg(body.size()).arg(announced.toLongLong()));
            else if (!announced.isValid() && m_sha256.isEmpty())
                fail(tr("文件不完整：服务器未告知长度，也没有校验值"));
            else if (looksLikeWebPage(reply->rawHeader("Content-Type"), body))
                fail(tr("服务器返回了网页而不是固件"));
            else if (!m_sha256.isEmpty()
                     && QCryptographicHash::hash(body, QCryptographicHash::Sha256).toHex() != m_sha256.toLatin1())
                fail(tr("文件校验失败"));
            else
                m_body = body;
        }
    }
    reply->deleteLater();
    m_reply.clear();
    finish();
}

void FirmwareDownload::finish()
{
    if (!m_reason.isEmpty())
        m_body.clear();
    m_done = true;
    emit finished();
}
