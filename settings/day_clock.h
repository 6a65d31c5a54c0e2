#pragma once

#include <QDate>
#include <QDateTime>
#include <QObject>
#include <QTimer>

#include <functional>

// The local time the production counters go by, and a look at it just after
// every midnight. The time comes from a source a test can set; without one
// it is the computer's local time. The timer is armed for the next midnight,
// but never more than an hour ahead, so a clock that was set either way or a
// computer that slept is caught up with soon after.
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
    // On this object's thread, at every look; the counters compare the
    // clock's day with the day they are on.
    void looked();

private:
    // Looks at the time and arms the timer from there.
    void recheck();

    Source m_source;
    QTimer m_timer;
};
