#pragma once

#include <QMessageLogContext>
#include <QString>
#include <QStringList>

#include <algorithm>
#include <mutex>

// Records every log line while it lives (and still prints them, unless told
// to keep quiet), so a test can ask whether a message was logged.
class LogCapture
{
public:
    enum Echo { Print, Quiet };
    explicit LogCapture(Echo echo = Print)
    {
        s_echo = echo;
        s_previous = qInstallMessageHandler(&LogCapture::handle);
    }
    ~LogCapture() { qInstallMessageHandler(s_previous); }

    // The last lines kept, for a failed case to show what led to it.
    static QString tail(int count)
    {
        std::lock_guard<std::mutex> lock(mutex());
        return lines().mid(std::max(0, int(lines().size()) - count)).join(QLatin1Char('\n'));
    }

    static bool contains(const QString &text)
    {
        std::lock_guard<std::mutex> lock(mutex());
        for (const QString &line : lines()) {
            if (line.contains(text))
                return true;
        }
        return false;
    }
    static QString all()
    {
        std::lock_guard<std::mutex> lock(mutex());
        return lines().join(QLatin1Char('\n'));
    }
    static void clear()
    {
        std::lock_guard<std::mutex> lock(mutex());
        lines().clear();
        criticalLines().clear();
        qmlLines().clear();
    }
    // The warnings of QML and its scripts so far (bindings, console.warn).
    static QStringList qmlWarnings()
    {
        std::lock_guard<std::mutex> lock(mutex());
        return qmlLines();
    }
    // The critical (and fatal) lines so far.
    static QStringList criticals()
    {
        std::lock_guard<std::mutex> lock(mutex());
        return criticalLines();
    }

private:
    static void handle(QtMsgType type, const QMessageLogContext &context, const QString &message)
    {
        {
            std::lock_guard<std::mutex> lock(mutex());
            lines().append(message);
            if (type == QtCriticalMsg || type == QtFatalMsg)
                criticalLines().append(message);
            const bool fromQml = (context.category
                                  && (qstrcmp(context.category, "qml") == 0 || qstrcmp(context.category, "js") == 0))
                || (context.file && qstrncmp(context.file, "qrc:", 4) == 0);
            if (type != QtDebugMsg && type != QtInfoMsg && fromQml)
                qmlLines().append(message);
        }
        if (s_previous && (s_echo == Print || type == QtFatalMsg))
            s_previous(type, context, message);
    }
    static std::mutex &mutex()
    {
        static std::mutex m;
        return m;
    }
    static QStringList &lines()
    {
        static QStringList l;
        return l;
    }
    static QStringList &qmlLines()
    {
        static QStringList l;
        return l;
    }
    static QStringList &criticalLines()
    {
        static QStringList l;
        return l;
    }
    static inline QtMessageHandler s_previous = nullptr;
    static inline Echo s_echo = Print;
};
