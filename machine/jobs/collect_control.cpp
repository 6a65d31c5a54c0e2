#include "machine/jobs/collect_control.h"

#include "machine/state/device_conditions.h"
#include "machine/task_app.h"
#include "machine/trv610plus.h"
#include "settings/config.h"

#include <QDebug>

#include <chrono>
#include <cmath>

namespace {

// Motor states are read at most this often unless a command forces it;
// collect commands repeat at most this often.
constexpr qint64 kMotorPollMs = 1000;
constexpr qint64 kCollectRepeatMs = 1000;
constexpr double kRectifyDeadBand = 0.2;
constexpr double kExcessToLength = 15.0;
constexpr int kCheckCamera = 2;

qint64 nowMs()
{
    // Never 0, which the fields use for "none".
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
               .count()
        + 1;
}

double realSetting(const Config &c, Config::ConfigParamType key)
{
    return c.getProperty(key).toDouble();
}

} // namespace

CollectControl::CollectControl(TRV610Plus &device)
    : m_device(device)
    , m_lastCollectCommandMs(nowMs() - kCollectRepeatMs)
{
    if (const Config *c = config())
        m_collectRunning = c->enableScanAndTrim();
}

Config *CollectControl::config() const
{
    return m_device.context().config();
}

TaskApp *CollectControl::app() const
{
    return m_device.context().app();
}

double CollectControl::collectLength(double excess, double inspected, bool scanAndTrim, bool trim)
{
    if (!scanAndTrim)
        return excess * kExcessToLength;
    if (inspected < kShortLength || !trim)
        return kDefaultLength;
    return inspected;
}

void CollectControl::doMotorStatus(int &step)
{
    ++step;
    const Config *c = config();
    const bool trim = c && c->trim();
    const qint64 now = nowMs();
    if (m_lastMotorPollMs == 0 || now - m_lastMotorPollMs > kMotorPollMs) {
        m_lastMotorPollMs = now;
        if (!m_collectIdle)
            m_device.rCollectMotor();
        if (trim && !m_trimXIdle)
            m_device.rTrimMotorX();
        if (trim && !m_trimYIdle)
            m_device.rTrimMotorY();
        if (!m_rectifyIdle)
            m_device.rRectifyMotor();
    }
    m_collectIdle = idleState(m_device.collectMotorState());
    m_rectifyIdle = idleState(m_device.rectifyMotorState());
    if (trim) {
        m_trimXIdle = idleState(m_device.trimXMotorState());
        m_trimYIdle = idleState(m_device.trimYMotorState());
    }
    // The diagrams turn the collect wheels while the motor is busy.
    m_device.setCollectMotorRunning(!m_collectIdle);
}

void CollectControl::doCapture(int &step)
{
    ++step;
    const Config *c = config();
    if (!c || !c->enableScanAndTrim() || !m_captureArmed)
        return;
    if (c->trim() && !m_trimXIdle)
        return;
    if (!m_collectIdle)
        return;
    m_captureArmed = false;
    TaskApp *a = app();
    if (!a)
        return;
    // Blocks until the inspection of the picture set the next length (or
    // the capture timed out and left it as it was).
    a->doCapture(kCheckCamera);
    if (a->taskStatus() != 2 || c->trimReset())
        m_trimYDue = a->collectLen() < kShortLength;
    if (!c->enableRectify())
        m_rectifyTarget = float(a->paperOffset());
}

void CollectControl::doTirmY(int &step)
{
    ++step;
    const Config *c = config();
    if (!c || !c->trim() || !m_trimYDue)
        return;
    m_device.rTrimMotorY();
    const bool moving = !idleState(m_device.trimYMotorState());
    if (moving)
        m_trimYDue = false;
    m_trimYIdle = !moving;
    if (!m_trimYDue || !m_trimXIdle || !m_trimYIdle || !m_collectIdle)
        return; // again next cycle, with the motor states read anew
    if (m_device.wTrimMotorYSpeed(kTrimYSpeed)) {
        m_trimYDue = false;
        m_lastMotorPollMs = 0;
        m_trimYIdle = false;
    } else {
        qCritical() << "pollworkerCollect::doTirmY" << "wTrimMotorYSpeed failed";
    }
}

void CollectControl::doCollect(int &step)
{
    ++step;
    const Config *c = config();
    if (!c)
        return;
    const bool scanAndTrim = c->enableScanAndTrim();
    const bool trim = c->trim();
    if (scanAndTrim && !m_collectIdle)
        return;
    if (trim && (m_trimYDue || !m_trimXIdle || !m_trimYIdle))
        return;
    const double reference = c->autoRoll() ? c->collectRollerLimit() : c->collectRollerTrigger();
    const double excess = m_device.collectRoller() - reference;
    const qint64 now = nowMs();
    const bool repeatDue = now - m_lastCollectCommandMs > kCollectRepeatMs;
    if (excess > 0) {
        const double inspected = app() ? app()->collectLen() : kDefaultLength;
        if (!scanAndTrim && m_collectRunning && !repeatDue)
            return;
        startCollect(*c, collectLength(excess, inspected, scanAndTrim, trim));
    } else {
        if (!m_collectRunning && !repeatDue)
            return;
        stopCollect();
    }
}

void CollectControl::startCollect(const Config &c, double length)
{
    m_collectSpeed = int(realSetting(c, Config::CPT_Collect_Speed));
    m_lastMotorPollMs = 0;
    const double scaled = c.collectScale() * length;
    if (!m_device.wCollectMotor(m_collectSpeed, int(scaled))) {
        qCritical() << "pollworkerCollect::doCollect" << "wCollectMotor failed" << scaled;
        if (m_device.rCollectMotor() && idleState(m_device.collectMotorState()))
            qCritical() << "pollworkerCollect::doCollect" << "rCollectMotor is stop";
        // Not started: nothing to inspect and nothing for trim X to cut.
        return;
    }
    if (c.enableScanAndTrim())
        m_captureArmed = true;
    m_pendingTrim = length;
    m_collectIdle = false;
    m_collectRunning = true;
    m_lastCollectCommandMs = nowMs();
}

void CollectControl::stopCollect()
{
    if (!m_device.wCollectMotor(0, 0))
        return; // again next cycle
    m_collectRunning = false;
    m_lastCollectCommandMs = nowMs();
}

void CollectControl::doRectification(int &step)
{
    ++step;
    const Config *c = config();
    if (!c)
        return;
    if (c->enableScanAndTrim())
        rectifyFromCamera(*c);
    else
        rectifyFromSensors(*c);
}

void CollectControl::rectifyFromCamera(const Config &c)
{
    m_device.rRectifyMotor();
    const double reported = m_device.rectifyLength();
    double offset = double(m_rectifyTarget) - reported;
    if (std::fabs(offset) <= kRectifyDeadBand || m_collectIdle || !m_rectifyIdle)
        return;
    qInfo() << "pollworkerCollect::doRectification" << m_rectifyTarget << reported << "offset" << offset;
    const double maxStep = realSetting(c, Config::CPT_Rectify_Len);
    if (std::fabs(offset) > maxStep)
        offset = std::copysign(maxStep, offset);
    if (m_device.wRectifyMotor(uint(realSetting(c, Config::CPT_Rectify_Speed)), float(offset)))
        m_rectifyIdle = false;
    else
        qWarning() << "pollworkerCollect::doRectification" << "wRectifyMotor failed";
}

void CollectControl::rectifyFromSensors(const Config &c)
{
    // Read every cycle, guide on or off: the status panel's sensor lamps
    // follow these reads.
    const bool read = m_device.rSensor();
    if (!c.enableRectify()) {
        // The guide is off: its error cannot stand.
        m_device.changeDeviceState(0, DeviceConditions::Rectify);
        return;
    }
    if (!read)
        return;
    const bool left = m_device.sensor6();
    const bool right = m_device.sensor7();
    if (left || right)
        m_device.changeDeviceState(0, DeviceConditions::Rectify);
    else
        m_device.changeDeviceState(DeviceConditions::Rectify, 0);
    if (left && right) {
        // The web is centred.
        if (!m_rectifyIdle)
            m_device.wRectifyMotor(0, 0.0f);
        m_rectifyChangeMs = 0;
        return;
    }
    float length = float(realSetting(c, Config::CPT_Rectify_Len));
    if (!left)
        length = -length;
    const qint64 now = nowMs();
    if (m_rectifyChangeMs == 0 || length != m_rectifyTarget) {
        m_rectifyChangeMs = now;
        m_rectifyTarget = length;
    }
    if (!m_rectifyIdle || !m_collectRunning)
        return;
    // A direction must persist this long before the guide moves.
    if (now - m_rectifyChangeMs <= c.getProperty(Config::CPT_Rectify_Span).toInt())
        return;
    if (!left && !right) {
        qCritical() << "pollworkerCollect::doRectification" << "Rectify Error: left and right are not triggered";
        return;
    }
    const float old = m_rectifyTarget;
    if (m_device.wRectifyMotor(uint(realSetting(c, Config::CPT_Rectify_Speed)), length)) {
        qInfo() << "pollworkerCollect::doRectification" << old << length;
        m_rectifyChangeMs = now;
        m_rectifyIdle = false;
    } else {
        qWarning() << "pollworkerCollect::doRectification" << "wRectifyMotor failed";
    }
}

void CollectControl::doTirmX(int &step)
{
    ++step;
    const Config *c = config();
    if (!c || !c->trim() || m_pendingTrim <= 0)
        return;
    m_device.rTrimMotorX();
    if (!idleState(m_device.trimXMotorState())) {
        m_trimXIdle = false;
        m_pendingTrim = 0;
        return;
    }
    m_trimXIdle = true;
    const double scale = c->tirmScale();
    if (m_device.wTrimMotorX(int(scale * m_collectSpeed), int(scale * m_pendingTrim))) {
        m_trimXIdle = false;
        m_pendingTrim = 0;
    } else {
        // The length stays pending: cut next cycle.
        qCritical() << "pollworkerCollect::doTirmX" << "wTrimMotorX failed";
    }
}
