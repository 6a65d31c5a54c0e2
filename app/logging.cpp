#include "app/logging.h"

#include "app/log_limiter.h"

#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>
#include <QStringConverter>
#include <QTextCodec>
#include <QTextStream>

#include <atomic>
#include <cstdlib>
#include <mutex>

namespace {

constexpr int kMaxLogFiles = 7;

std::atomic_bool g_logDebug{false};
std::atomic_bool g_logWarn{true};
std::atomic_bool g_logError{true};
std::atomic_bool g_logInfo{true};

std::mutex g_logLock;

// Under the log lock.
LogLimiter &limiter()
{
    static LogLimiter l;
    return l;
}

qint64 monotonicMs()
{
    static QElapsedTimer clock = [] {
        QElapsedTimer t;
        t.start();
        return t;
    }();
    return clock.elapsed();
}

QString &logPath()
{
    static QString path;
    return path;
}

void pruneOldLogs(QDir &dir, const QString &today)
{
    const QStringList logs = dir.entryList({QStringLiteral("*.log")}, QDir::Files, QDir::Name);
    if (logs.size() < kMaxLogFiles)
        return;
    static const QRegularExpression dayOf(QStringLiteral("(?<=output).*?(?=(.log))"));
    const QString newestDay = dayOf.match(logs.last()).captured(0);
    // Today's file is reused, so it needs no free place.
    const int keep = newestDay == today ? kMaxLogFiles : kMaxLogFiles - 1;
    for (int i = 0; i < logs.size() - keep; ++i)
        dir.remove(logs.at(i));
}

} // namespace

void initLog()
{
    const QString today = QDate::currentDate().toString(QStringLiteral("yyyy-MM-dd"));
    QDir dir(QStringLiteral("./log"));
    if (!dir.exists())
        QDir().mkpath(QStringLiteral("./log"));
    else
        pruneOldLogs(dir, today);
    {
        std::lock_guard<std::mutex> lock(g_logLock);
        logPath() = QStringLiteral("./log/output%1.log").arg(today);
        const qint64 bound = limiter().dayBytes();
        limiter() = LogLimiter();
        limiter().setDayBytes(bound);
    }
    qInstallMessageHandler(logMessageHandler);
}

QString logFilePath()
{
    std::lock_guard<std::mutex> lock(g_logLock);
    return logPath();
}

void logMessageHandler(QtMsgType type, const QMessageLogContext &, const QString &msg)
{
    const char *prefix = "";
    switch (type) {
    case QtDebugMsg:
        if (!g_logDebug)
            return;
        prefix = "DEBUG ";
        break;
    case QtWarningMsg:
        if (!g_logWarn)
            return;
        prefix = "WARN ";
        break;
    case QtCriticalMsg:
        if (!g_logError)
            return;
        prefix = "ERROR ";
        break;
    case QtInfoMsg:
        if (!g_logInfo)
            return;
        prefix = "INFO ";
        break;
    case QtFatalMsg:
        prefix = "FATAL ";
        break;
    }

    {
        std::lock_guard<std::mutex> lock(g_logLock);
        const QString text = QString::fromLatin1(prefix) + msg.trimmed();
        // A fatal line is always written; it is the last one anyway.
        const QStringList lines = type == QtFatalMsg ? QStringList{text} : limiter().feed(text, monotonicMs());
        QFile file(logPath());
        if (!lines.isEmpty() && file.open(QIODevice::WriteOnly | QIODevice::Append)) {
            const QString time = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz "));
            QByteArray bytes;
            for (const QString &line : lines) {
                const qsizetype space = line.indexOf(QLatin1Char(' '));
                // prefix, time, message, as every line has them
                QString full = prefix[0] ? line.left(space + 1) + time + line.mid(space + 1) : time + line;
                const QByteArray utf8 = full.toUtf8() + '\n';
                const LogLimiter::Room room =
                    type == QtFatalMsg ? LogLimiter::Room::Write : limiter().room(file.size() + bytes.size(), utf8.size());
                if (room == LogLimiter::Room::Full)
                    break;
                if (room == LogLimiter::Room::WriteClosing) {
                    bytes += ("WARN " + time + LogLimiter::closingLine().mid(5)).toUtf8() + '\n';
                    break;
                }
                bytes += utf8;
            }
            file.write(bytes);
            file.close();
        }
    }
    if (type == QtFatalMsg)
        std::abort();
}

void setLogDayBytes(qint64 bytes)
{
    std::lock_guard<std::mutex> lock(g_logLock);
    limiter().setDayBytes(bytes);
}

void setLogDebug(bool on) { g_logDebug = on; }
void setLogWarn(bool on) { g_logWarn = on; }
void setLogError(bool on) { g_logError = on; }
void setLogInfo(bool on) { g_logInfo = on; }

QString decodeUtf8OrGbk(const QByteArray &bytes)
{
    QTextCodec *utf8 = QTextCodec::codecForName("UTF-8");
    QTextCodec::ConverterState state;
    const QString text = utf8->toUnicode(bytes.constData(), bytes.size(), &state);
    qDebug() << "decodeUtf8OrGbk" << "invalid chars" << state.invalidChars;
    if (state.invalidChars == 0)
        return text;
    QTextCodec *gbk = QTextCodec::codecForName("GBK");
    return gbk ? gbk->toUnicode(bytes) : text;
}
