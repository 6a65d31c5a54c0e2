#include "app/log_limiter.h"

#include <algorithm>

namespace {
// Room kept below the bound for the closing line.
constexpr qint64 kClosingReserve = 256;

// Counts go out in the order of their times.
QList<LogLimiter::Line> inTimeOrder(QList<LogLimiter::Line> lines)
{
    std::stable_sort(lines.begin(), lines.end(),
                     [](const LogLimiter::Line &a, const LogLimiter::Line &b) { return a.atMs < b.atMs; });
    return lines;
}
} // namespace

LogLimiter::Line LogLimiter::report(Recent &r, qint64 nowMs)
{
    Line line{QStringLiteral("%1 … repeated %2 times").arg(r.text).arg(r.repeats), r.lastRepeatMs};
    r.repeats = 0;
    r.lastReportMs = nowMs;
    return line;
}

QString LogLimiter::closingLine()
{
    return QStringLiteral("WARN log: the day's log reached its size bound; nothing more is written to it");
}

QList<LogLimiter::Line> LogLimiter::take(const QString &text, qint64 nowMs)
{
    QList<Line> out;
    // Counts whose second is up go out first, whatever the line is.
    for (Recent &r : m_recent) {
        if (r.repeats > 0 && nowMs - r.lastReportMs >= kRepeatReportMs && r.text != text)
            out.append(report(r, nowMs));
    }
    for (Recent &r : m_recent) {
        if (r.text != text)
            continue;
        ++r.repeats;
        r.lastRepeatMs = nowMs;
        if (nowMs - r.lastReportMs >= kRepeatReportMs)
            out.append(report(r, nowMs));
        return out;
    }
    if (m_recent.size() == kRecent) {
        Recent oldest = m_recent.takeLast();
        if (oldest.repeats > 0)
            out.append(report(oldest, nowMs));
    }
    m_recent.prepend(Recent{text, 0, nowMs, nowMs});
    out.append(Line{text, nowMs});
    return out;
}

QStringList LogLimiter::feed(const QString &text, qint64 nowMs)
{
    QStringList texts;
    for (const Line &line : take(text, nowMs))
        texts.append(line.text);
    return texts;
}

QList<LogLimiter::Line> LogLimiter::due(qint64 nowMs)
{
    QList<Line> out;
    for (Recent &r : m_recent) {
        if (r.repeats > 0 && nowMs - r.lastReportMs >= kRepeatReportMs)
            out.append(report(r, nowMs));
    }
    return inTimeOrder(out);
}

std::optional<qint64> LogLimiter::nextDueMs() const
{
    std::optional<qint64> next;
    for (const Recent &r : m_recent) {
        if (r.repeats > 0 && (!next || r.lastReportMs + kRepeatReportMs < *next))
            next = r.lastReportMs + kRepeatReportMs;
    }
    return next;
}

QList<LogLimiter::Line> LogLimiter::drain()
{
    QList<Line> out;
    for (Recent &r : m_recent) {
        if (r.repeats > 0)
            out.append(report(r, r.lastReportMs));
    }
    return inTimeOrder(out);
}

LogLimiter::Room LogLimiter::room(qint64 fileBytes, qint64 lineBytes)
{
    const qint64 limit = m_dayBytes - kClosingReserve;
    // A file that was deleted or emptied meanwhile takes lines again.
    if (m_closed && fileBytes < limit / 2)
        m_closed = false;
    if (m_closed || fileBytes >= limit)
        return Room::Full;
    if (fileBytes + lineBytes > limit) {
        m_closed = true;
        return Room::WriteClosing;
    }
    return Room::Write;
}
