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
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <optional>
#include <thread>

namespace {

constexpr int kMaxLogFiles = 7;

std::atomic_bool g_logDebug{false};
std::atomic_bool g_logWarn{true};
std::atomic_bool g_logError{true};
std::atomic_bool g_logInfo{true};

std::mutex g_logLock;
// Wakes the repeat writer (under the log lock).
std::condition_variable g_repeatWake;

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

// Under the log lock: lines dated by the limiter's clock, nowMs being now.
void writeLines(const QList<LogLimiter::Line> &lines, qint64 nowMs, bool fatal)
{
    if (lines.isEmpty())
        return;
    QFile file(logPath());
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return;
    static const QString kTimeFormat = QStringLiteral("yyyy-MM-dd hh:mm:ss.zzz ");
    const QDateTime now = QDateTime::currentDateTime();
    QByteArray bytes;
    for (const LogLimiter::Line &line : lines) {
        const QString time = now.addMSecs(line.atMs - nowMs).toString(kTimeFormat);
        // prefix, time, message, as every line has them
        const qsizetype space = line.text.indexOf(QLatin1Char(' '));
        const QByteArray utf8 = (line.text.left(space + 1) + time + line.text.mid(space + 1)).toUtf8() + '\n';
        const LogLimiter::Room room =
            fatal ? LogLimiter::Room::Write : limiter().room(file.size() + bytes.size(), utf8.size());
        if (room == LogLimiter::Room::Full)
            break;
        if (room == LogLimiter::Room::WriteClosing) {
            bytes += ("WARN " + now.toString(kTimeFormat) + LogLimiter::closingLine().mid(5)).toUtf8() + '\n';
            break;
        }
        bytes += utf8;
    }
    file.write(bytes);
    file.close();
}

// Writes a held repeat count once its second is up, so it goes out with its
// own time even when no other line follows.
class RepeatWriter
{
public:
    ~RepeatWriter() { stop(); }
    // Under the log lock.
    void start()
    {
        if (m_thread.joinable())
            return;
        m_stopping = false;
        m_thread = std::thread([this] { run(); });
    }
    void stop()
    {
        {
            std::lock_guard<std::mutex> lock(g_logLock);
            m_stopping = true;
        }
        g_repeatWake.notify_all();
        if (m_thread.joinable())
            m_thread.join();
    }

private:
    void run()
    {
        std::unique_lock<std::mutex> lock(g_logLock);
        while (!m_stopping) {
            const std::optional<qint64> next = limiter().nextDueMs();
            if (!next)
                g_repeatWake.wait(lock);
            else if (*next > monotonicMs())
                g_repeatWake.wait_for(lock, std::chrono::milliseconds(*next - monotonicMs()));
            if (m_stopping)
                break;
            const qint64 now = monotonicMs();
            writeLines(limiter().due(now), now, false);
        }
    }

    bool m_stopping = false; // under the log lock
    std::thread m_thread;
};

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

// Built after the limiter and the path, so it goes before them at exit.
RepeatWriter &repeatWriter()
{
    static RepeatWriter writer;
    return writer;
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
        repeatWriter().start();
    }
    qInstallMessageHandler(logMessageHandler);
}

void closeLog()
{
    repeatWriter().stop();
    std::lock_guard<std::mutex> lock(g_logLock);
    writeLines(limiter().drain(), monotonicMs(), false);
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
        const qint64 now = monotonicMs();
        if (type == QtFatalMsg) {
            // The counts held first: the program ends with this line.
            QList<LogLimiter::Line> lines = limiter().drain();
            lines.append({text, now});
            writeLines(lines, now, true);
        } else {
            const std::optional<qint64> dueBefore = limiter().nextDueMs();
            writeLines(limiter().take(text, now), now, false);
            const std::optional<qint64> dueAfter = limiter().nextDueMs();
            // The repeat writer sleeps until the count due first.
            if (dueAfter && (!dueBefore || *dueAfter < *dueBefore))
                g_repeatWake.notify_one();
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
