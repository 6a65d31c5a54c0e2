#include "machine/jobs/roller_poll.h"

#include "machine/state/device_conditions.h"
#include "machine/trv610plus.h"
#include "settings/config.h"

#include <QDebug>

#include <chrono>
#include <cmath>

namespace {

constexpr int kReadRetryMs = 500;
// An unchanged film speed is sent again after this long.
constexpr qint64 kFilmResendMs = 2001;
constexpr int kDefaultPollMs = 100;

qint64 nowMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

int intSetting(const Config &config, Config::ConfigParamType key)
{
    // Speeds are stored as reals ("30.0"); the machine takes whole numbers.
    return int(config.getProperty(key).toDouble());
}

} // namespace

qulonglong RollerPoll::ownBits()
{
    using namespace DeviceConditions;
    return Gyroscope | PrintRollerLimit | PrintRollerFull | FilmRollerLimit | FilmRollerFull | CollectRollerLimit
        | CollectRollerFull;
}

qulonglong RollerPoll::conditionBits(const Readings &r, const Limits &l)
{
    using namespace DeviceConditions;
    qulonglong bits = 0;
    const double lim = l.gyroscopeLimit;
    const double trig = l.gyroscopeTrigger;
    if ((lim >= trig && r.gyroscope > lim) || (trig >= lim && lim > r.gyroscope))
        bits |= Gyroscope;
    if (l.printRoller && r.print < l.printLimit)
        bits |= PrintRollerLimit;
    if (l.printRoller && r.print > l.printMax)
        bits |= PrintRollerFull;
    if (r.film < l.filmLimit)
        bits |= FilmRollerLimit;
    if (r.film > l.filmMax)
        bits |= FilmRollerFull;
    if (r.collect < l.collectLimit)
        bits |= CollectRollerLimit;
    if (r.collect > l.collectMax)
        bits |= CollectRollerFull;
    return bits;
}

int RollerPoll::feedSpeed(double g, double trigger, double limit, int max)
{
    int raw = 0;
    const bool past = (limit >= trigger && g > trigger) || (trigger >= limit && trigger > g);
    if (past && trigger != limit)
        raw = int(std::fabs((g - trigger) / (trigger - limit)) * (max - 10) + 10);
    return qMin(max, raw);
}

int RollerPoll::filmSpeed(double film, double trigger, int base)
{
    if (film == 0.0)
        return 0;
    const double v = trigger * 1.5 / film * base;
    return std::isfinite(v) ? int(v) : 0;
}

RollerPoll::Limits RollerPoll::limitsOf(const Config &c)
{
    Limits l;
    l.gyroscopeTrigger = c.gyroscopeTrigger();
    l.gyroscopeLimit = c.gyroscopeLimit();
    l.printRoller = c.enablePrintRoller();
    l.printLimit = c.printRollerLimit();
    l.printMax = c.printRollerMax();
    l.filmLimit = c.filmRollerLimit();
    l.filmMax = c.filmRollerMax();
    l.collectLimit = c.collectRollerLimit();
    l.collectMax = c.collectRollerMax();
    return l;
}

RollerPoll::RollerPoll(TRV610Plus &device, std::function<void(int)> sleep)
    : m_device(device)
    , m_sleep(std::move(sleep))
{
}

Config *RollerPoll::config() const
{
    return m_device.context().config();
}

int RollerPoll::pollPeriodMs() const
{
    const Config *c = config();
    bool ok = false;
    const int ms = c ? c->getProperty(Config::CPT_Poll_Time_Span).toInt(&ok) : kDefaultPollMs;
    return c && !ok ? kDefaultPollMs : qMax(0, ms);
}

void RollerPoll::doRollerState(int &step)
{
    const Config *c = config();
    if (!c) {
        ++step;
        return;
    }
    if (!m_device.rGyroscope()) {
        // Read again after a pause; nothing to report.
        if (m_sleep)
            m_sleep(kReadRetryMs);
        return;
    }
    const Readings r{m_device.gyroscope(), m_device.printRoller(), m_device.filmRoller(), m_device.collectRoller()};
    const qulonglong bits = conditionBits(r, limitsOf(*c));
    // Print-roller bits are cleared whenever its checking is off, so a bit set
    // before it was switched off cannot stay behind.
    m_device.changeDeviceState(bits, ownBits() & ~bits);
    ++step;
}

void RollerPoll::doFilmSpeed(int &step)
{
    ++step;
    const Config *c = config();
    if (!c)
        return;
    const double film = m_device.filmRoller();
    const double trigger = c->filmRollerTrigger();
    const int base = film < trigger ? intSetting(*c, Config::CPT_Film_Speed) : 0;
    const int v = filmSpeed(film, trigger, base);
    const qulonglong state = m_device.deviceState();
    int speed = (state & DeviceConditions::FilmRollerFull) ? 0 : v;
    if (speed > 0 && c->enablePrintRoller() && (state & DeviceConditions::PrintRollerLimit))
        speed = 0;
    const qint64 now = nowMs();
    if (speed == m_lastFilmSpeed && m_lastFilmSendMs >= 0 && now - m_lastFilmSendMs < kFilmResendMs)
        return;
    if (m_device.wFilmMotorSpeed(speed)) {
        m_lastFilmSpeed = speed;
        m_lastFilmSendMs = now;
    }
}

void RollerPoll::doGyroscope(int &step)
{
    ++step;
    const Config *c = config();
    if (!c || !c->enableGyroscope())
        return;
    const double g = m_device.gyroscope();
    const int speed = feedSpeed(g, c->gyroscopeTrigger(), c->gyroscopeLimit(), intSetting(*c, Config::CPT_Gyroscope_speed));
    const int gi = int(g);
    bool send = speed != m_lastFeedSpeed;
    // The dancer stands still although the feed runs, or moves although it
    // is stopped: the machine may have missed the last speed.
    send = send || (speed > 0 && gi == m_lastGyroscope) || (speed == 0 && gi != m_lastGyroscope);
    if (!send || !m_device.wFeedMotorSpeed(speed))
        return;
    qDebug() << "PollWorker::doGyroscope" << m_lastFeedSpeed << speed << g;
    m_lastFeedSpeed = speed;
    m_lastGyroscope = gi;
    m_device.setFeedMotorRunning(speed > 0);
}

void RollerPoll::doSafetyStop(int &step)
{
    ++step;
    if (!m_device.isMoveXAllowed())
        m_device.wMoveX(0);
    if (m_device.hasDeviceState(DeviceConditions::CollectRollerLimit))
        m_device.wCollectMotor(0, 0);
}

void RollerPoll::onPrintSwitch()
{
    const Config *c = config();
    if (c && !c->enablePrintRoller())
        m_device.changeDeviceState(0, DeviceConditions::PrintRollerLimit | DeviceConditions::PrintRollerFull);
}
