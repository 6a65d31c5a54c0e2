#include "app/logging.h"

#include <QDate>
#include <QDateTime>
#include <QDir>
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
        QFile file(logPath());
        if (file.open(QIODevice::WriteOnly | QIODevice::Append)) {
            QTextStream out(&file);
            out.setEncoding(QStringConverter::Utf8);
            out << prefix
                << QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz "))
                << msg.trimmed() << '\n';
            out.flush();
            file.close();
        }
    }
    if (type == QtFatalMsg)
        std::abort();
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
