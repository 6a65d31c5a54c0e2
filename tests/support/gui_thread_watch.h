#pragma once

#include "tests/support/hang_bound.h"

#include <QElapsedTimer>
#include <QFile>
#include <QObject>
#include <QTimer>

#include <algorithm>

// What a hostile peer costs the program while it lives: the longest gap
// between the ticks of a 10 ms timer on the GUI thread, and the process's
// peak resident memory since it was made (the kernel's high-water mark,
// reset at the start).
class GuiThreadWatch : public QObject
{
public:
    GuiThreadWatch()
    {
        QFile clear(QStringLiteral("/proc/self/clear_refs"));
        if (clear.open(QIODevice::WriteOnly))
            clear.write("5");
        m_baseKb = statusKb("VmRSS:");
        connect(&m_ticker, &QTimer::timeout, this, [this] { m_longestMs = std::max(m_longestMs, m_since.restart()); });
        m_since.start();
        m_ticker.start(10);
    }

    // Sanitised builds keep freed blocks for a while (ASan's quarantine,
    // 256 MB by default): their peaks hold that much more than the program's.
#ifdef SPOOLSMITH_SANITIZED
    static constexpr qint64 kQuarantineMb = 256;
#else
    static constexpr qint64 kQuarantineMb = 0;
#endif

    qint64 longestGapMs() const { return std::max(m_longestMs, m_since.elapsed()); }
    // Peak resident memory, and how far it rose above the start.
    qint64 peakMb() const { return statusKb("VmHWM:") / 1024; }
    qint64 peakRiseMb() const { return (statusKb("VmHWM:") - m_baseKb) / 1024; }

    static qint64 statusKb(const char *key)
    {
        QFile status(QStringLiteral("/proc/self/status"));
        if (!status.open(QIODevice::ReadOnly))
            return 0;
        for (const QByteArray &line : status.readAll().split('\n')) {
            if (line.startsWith(key))
                return line.mid(qstrlen(key)).trimmed().split(' ').value(0).toLongLong();
        }
        return 0;
    }

private:
    QTimer m_ticker;
    QElapsedTimer m_since;
    qint64 m_longestMs = 0;
    qint64 m_baseKb = 0;
};
