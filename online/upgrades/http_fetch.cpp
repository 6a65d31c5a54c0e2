#include "online/upgrades/http_fetch.h"

#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkRequest>
#include <QTimer>

HttpResult fetchBounded(QNetworkAccessManager &manager, const QUrl &url, int boundMs)
{
    QNetworkRequest request(url);
    request.setTransferTimeout(boundMs);
    QNetworkReply *reply = manager.get(request);

    HttpResult result;
    QEventLoop loop;
    QTimer bound;
    bound.setSingleShot(true);
    QObject::connect(&bound, &QTimer::timeout, reply, [&result, reply] {
        result.timedOut = true;
        reply->abort();
    });
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    bound.start(boundMs);
    if (!reply->isFinished())
        loop.exec();
    bound.stop();

    result.error = reply->error();
    // Qt's own transfer time-out ends the reply as cancelled too.
    if (result.error == QNetworkReply::OperationCanceledError)
        result.timedOut = true;
    if (result.timedOut && result.error == QNetworkReply::NoError)
        result.error = QNetworkReply::TimeoutError;
    result.status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    result.url = reply->url();
    if (result.ok())
        result.body = reply->readAll();
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
