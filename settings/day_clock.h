#pragma once

#include <QDate>
#include <QDateTime>
#include <QObject>
#include <QTimer>

#include <functional>

// The calendar day the production counters belong to, and word when a new
// one begins while the program runs. The time comes from a source a test can
// set; without one it is the computer's local time. A timer is armed for the
// next midnight, but never more than an hour ahead, so a clock that was set
// or a computer that slept is caught up with soon after.
class DayClock : public QObject
{
    Q_OBJECT
public:
    using Source = std::function<QDateTime()>;

    // source is called from any thread that counts.
    explicit DayClock(Source source = {}, QObject *parent = nullptr);

    QDateTime now() const;
    QDate today() const { return now().date(); }

signals:
    // On this object's thread, once for every day seen to begin.
    void dayBegan(const QDate &day);

private:
    // Looks at the time and arms the timer from there.
    void recheck();

    Source m_source;
    QTimer m_timer;
    QDate m_day;
};
