#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QtGlobal>

// Keeps a flood of messages from filling the disk: a line equal to one of
// the last few different lines is not written again but counted (a flood
// often alternates two or three messages per frame), and each count goes
// out as "… repeated N times" at most once a second, with the next line
// logged after that second; the day's file stops growing at its size bound,
// with a last line saying so. Not thread-safe: the log lock guards it.
class LogLimiter
{
public:
    static constexpr qint64 kDayBytes = 100LL * 1024 * 1024;
    static constexpr qint64 kRepeatReportMs = 1000;

    // text: the message as it would be written (prefix and trimmed message,
    // without the time). Gives the texts to write now, in order.
    QStringList feed(const QString &text, qint64 nowMs);

    // Whether a line of lineBytes may go into a file of fileBytes; the first
    // refused line turns into the closing line (closingLine) instead.
    enum class Room { Write, WriteClosing, Full };
    Room room(qint64 fileBytes, qint64 lineBytes);
    static QString closingLine();

    void setDayBytes(qint64 bytes) { m_dayBytes = bytes; }
    qint64 dayBytes() const { return m_dayBytes; }

private:
    static QString repeatLine(const QString &text, qint64 count);

    struct Recent
    {
        QString text;
        qint64 repeats = 0;
        qint64 lastReportMs = 0;
    };
    static constexpr int kRecent = 8;
    QList<Recent> m_recent; // most recent first
    qint64 m_dayBytes = kDayBytes;
    bool m_closed = false;
};
