#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <optional>

// Keeps a flood of messages from filling the disk: a line equal to one of
// the last few different lines is not written again but counted (a flood
// often alternates two or three messages per frame), and each count goes
// out as "… repeated N times" at most once a second, dated by the last
// repeat it counts: with the next line, or by itself once its second is up
// (due), or when the log closes (drain). The day's file stops growing at
// its size bound, with a last line saying so. Not thread-safe: the log lock
// guards it.
class LogLimiter
{
public:
    static constexpr qint64 kDayBytes = 100LL * 1024 * 1024;
    static constexpr qint64 kRepeatReportMs = 1000;

    // A text to write and the time (ms of the caller's clock) it belongs to.
    struct Line
    {
        QString text;
        qint64 atMs = 0;
    };

    // text: the message as it would be written (prefix and trimmed message,
    // without the time). Gives the lines to write now, in order.
    QList<Line> take(const QString &text, qint64 nowMs);
    // The texts of take(), for callers that need no times.
    QStringList feed(const QString &text, qint64 nowMs);
    // The counts whose second is up by nowMs.
    QList<Line> due(qint64 nowMs);
    // When the next held count falls due; none while nothing is held.
    std::optional<qint64> nextDueMs() const;
    // Every count still held (the log closes).
    QList<Line> drain();

    // Whether a line of lineBytes may go into a file of fileBytes; the first
    // refused line turns into the closing line (closingLine) instead.
    enum class Room { Write, WriteClosing, Full };
    Room room(qint64 fileBytes, qint64 lineBytes);
    static QString closingLine();

    void setDayBytes(qint64 bytes) { m_dayBytes = bytes; }
    qint64 dayBytes() const { return m_dayBytes; }

private:
    struct Recent
    {
        QString text;
        qint64 repeats = 0;
        qint64 lastReportMs = 0;
        qint64 lastRepeatMs = 0;
    };
    // The count of r as a line, and r counting afresh from nowMs.
    static Line report(Recent &r, qint64 nowMs);

    static constexpr int kRecent = 8;
    QList<Recent> m_recent; // most recent first
    qint64 m_dayBytes = kDayBytes;
    bool m_closed = false;
};
