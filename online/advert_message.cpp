#include "online/advert_message.h"

#include <QJsonDocument>
#include <QJsonObject>

AdvertMessage AdvertMessage::parse(const QByteArray &payload)
{
    AdvertMessage message;
    if (payload.size() > kMaxBytes) {
        message.tooLarge = true;
        return message;
    }
    const QJsonObject object = QJsonDocument::fromJson(payload).object();
    message.type = object.value(QStringLiteral("messageType")).toInt(-1);
    const QString cover = object.value(QStringLiteral("coverImage")).toString();
    const QString link = object.value(QStringLiteral("link")).toString();
    if (!cover.isEmpty()) {
        message.images = cover.split(QLatin1Char(','));
        message.links = link.split(QLatin1Char(','));
    }
    return message;
}
