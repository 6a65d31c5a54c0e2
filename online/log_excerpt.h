#pragma once

#include <QByteArray>
#include <QString>

class QJsonObject;

// What of a server's body goes into the log: its head, and its size when
// more was cut off; an object as "QJsonObject(...)", as the debug stream
// writes one. One hostile answer must neither make a line that takes
// seconds to write nor fill the day's log.
constexpr int kLoggedBodyBytes = 512;
QString logExcerpt(const QByteArray &body);
QString logExcerpt(const QJsonObject &object);
