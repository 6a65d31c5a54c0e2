#include "online/upgrades/http_fetch.h"

#include "online/bounded_reply.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkRequest>

HttpResult fetchBounded(QNetworkAccessManager &manager, const QUrl &url, int boundMs, qint64 maxBytes)
{
    QNetworkRequest request(url);
    request.setTransferTimeout(boundMs);
    QNetworkReply *reply = manager.get(request);
    BoundedReply bounded(reply, maxBytes, boundMs);

    QEventLoop loop;
    QObject::connect(&bounded, &BoundedReply::finished, &loop, &QEventLoop::quit);
    if (!bounded.isFinished())
        loop.exec();

    HttpResult result;
    result.error = reply->error();
    result.tooLarge = bounded.tooLarge();
    result.timedOut = bounded.timedOut();
    // Qt's own transfer time-out ends the reply as cancelled too.
    if (result.error == QNetworkReply::OperationCanceledError && !result.tooLarge)
        result.timedOut = true;
    if (result.timedOut && result.error == QNetworkReply::NoError)
        result.error = QNetworkReply::TimeoutError;
    if (result.tooLarge)
        result.error = QNetworkReply::UnknownContentError;
    result.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    result.url = reply->url();
    if (result.ok())
        result.body = bounded.takeBody();
    reply->deleteLater();
    return result;
}

QUrl withQuery(const QString &url, const QList<QPair<QString, QString>> &items)
{
    QByteArray query;
    for (const auto &item : items) {
        if (!query.isEmpty())
            query += '&';
        query += QUrl::toPercentEncoding(item.first) + '=' + QUrl::toPercentEncoding(item.second);
    }
    QUrl result(url);
    result.setQuery(QString::fromLatin1(query), QUrl::StrictMode);
    return result;
}
