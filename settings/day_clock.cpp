#include "settings/day_clock.h"

#include <algorithm>

namespace {
constexpr qint64 kLongestWaitMs = 3600 * 1000;
// Lands past midnight, not on it, whatever the timer's coarseness.
constexpr qint64 kPastMidnightMs = 1000;
} // namespace

DayClock::DayClock(Source source, QObject *parent)
    : QObject(parent)
    , m_source(std::move(source))
{
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::VeryCoarseTimer);
    connect(&m_timer, &QTimer::timeout, this, &DayClock::recheck);
    recheck();
}

QDateTime DayClock::now() const
{
    return m_source ? m_source() : QDateTime::currentDateTime();
}

void DayClock::recheck()
{
    const QDateTime time = now();
    const QDateTime midnight(time.date().addDays(1), QTime(0, 0));
    m_timer.start(int(std::clamp(time.msecsTo(midnight), qint64(0), kLongestWaitMs) + kPastMidnightMs));
    emit looked();
}
