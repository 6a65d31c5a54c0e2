#pragma once

#include <QByteArray>
#include <QNetworkReply>
#include <QUrl>

#include <QList>
#include <QPair>
#include <QString>

class QNetworkAccessManager;

// The outcome of one bounded GET.
struct HttpResult
{
    QNetworkReply::NetworkError error = QNetworkReply::NoError;
    bool timedOut = false;
    int status = 0;
    // The body passed the cap and was cut off (error is then set too).
    bool tooLarge = false;
    QByteArray body;
    QUrl url;

    bool ok() const { return error == QNetworkReply::NoError; }
};

// GETs url and waits for the whole answer in a local event loop, so the rest
// of the GUI keeps running. The wait ends after boundMs in any case: a server
// that trickles its answer cannot hold the caller longer than that; a body
// past maxBytes is cut off as it arrives.
HttpResult fetchBounded(QNetworkAccessManager &manager, const QUrl &url, int boundMs, qint64 maxBytes);

// url with the query items in the given order; an empty value still goes
// out as "key=".
QUrl withQuery(const QString &url, const QList<QPair<QString, QString>> &items);
