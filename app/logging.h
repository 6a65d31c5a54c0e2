#pragma once

#include <QByteArray>
#include <QString>

// The program's one log: "./log/output<start day>.log", one line per message,
// filtered by four switches that the settings change while the program runs.

// Tidies the log folder, fixes the day's file and installs the handler.
void initLog();
// At the program's end: the repeat counts still held are written and the
// thread that writes them when their second is up is joined.
void closeLog();

void logMessageHandler(QtMsgType type, const QMessageLogContext &context, const QString &msg);

void setLogDebug(bool on);
void setLogWarn(bool on);
void setLogError(bool on);
void setLogInfo(bool on);
// The size at which the day's file stops growing (100 MB; tests lower it).
void setLogDayBytes(qint64 bytes);

// The file this run writes into (relative to the working directory).
QString logFilePath();

// Bytes from devices and old files come as UTF-8 or as GBK.
QString decodeUtf8OrGbk(const QByteArray &bytes);
