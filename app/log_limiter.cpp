#include "app/log_limiter.h"

namespace {
// Room kept below the bound for the closing line.
constexpr qint64 kClosingReserve = 256;
} // namespace

QString LogLimiter::repeatLine(const QString &text, qint64 count)
{
    return QStringLiteral("%1 … repeated %2 times").arg(text).arg(count);
}

QString LogLimiter::closingLine()
{
    return QStringLiteral("WARN log: the day's log reached its size bound; nothing more is written to it");
}

QStringList LogLimiter::feed(const QString &text, qint64 nowMs)
{
    QStringList out;
    // Counts whose second is up go out first, whatever the line is.
    for (Recent &r : m_recent) {
        if (r.repeats > 0 && nowMs - r.lastReportMs >= kRepeatReportMs && r.text != text) {
            out.append(repeatLine(r.text, r.repeats));
            r.repeats = 0;
            r.lastReportMs = nowMs;
        }
    }
    for (Recent &r : m_recent) {
        if (r.text != text)
            continue;
        ++r.repeats;
        if (nowMs - r.lastReportMs >= kRepeatReportMs) {
            out.append(repeatLine(text, r.repeats));
            r.repeats = 0;
            r.lastReportMs = nowMs;
        }
        return out;
    }
    if (m_recent.size() == kRecent) {
        const Recent oldest = m_recent.takeLast();
        if (oldest.repeats > 0)
            out.append(repeatLine(oldest.text, oldest.repeats));
    }
    m_recent.prepend(Recent{text, 0, nowMs});
    out.append(text);
    return out;
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
