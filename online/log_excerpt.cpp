#include "online/log_excerpt.h"

#include <QJsonDocument>
#include <QJsonObject>

QString logExcerpt(const QByteArray &body)
{
    if (body.size() <= kLoggedBodyBytes)
        return QString::fromUtf8(body);
    // A multi-byte character cut in two shows as one replacement mark.
    return QString::fromUtf8(body.left(kLoggedBodyBytes))
           + QStringLiteral("… (%1 bytes)").arg(body.size());
}

QString logExcerpt(const QJsonObject &object)
{
    return QStringLiteral("QJsonObject(%1)").arg(logExcerpt(QJsonDocument(object).toJson(QJsonDocument::Compact)));
}
