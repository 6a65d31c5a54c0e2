// The face's device-state properties: each forwards to its value in the
// device state, which compares, stores and reports the change.
#include "machine/trv610plus.h"

#include "machine/commands/test_cuts.h"
#include "machine/state/device_state.h"
#include "settings/config.h"

#define SPOOLSMITH_FORWARD_PROPERTY(Type, name, Name)                                                                  \
    Type TRV610Plus::name() const                                                                                      \
    {                                                                                                                  \
        return m_state->name.get();                                                                                    \
    }                                                                                                                  \
    void TRV610Plus::set##Name(SPOOLSMITH_PARAM(Type) v)                                                               \
    {                                                                                                                  \
        m_state->name.set(v);                                                                                          \
    }

#define SPOOLSMITH_PARAM(Type) const Type &
SPOOLSMITH_FORWARD_PROPERTY(QString, errorMessage, ErrorMessage)
SPOOLSMITH_FORWARD_PROPERTY(QString, devType, DevType)
SPOOLSMITH_FORWARD_PROPERTY(QString, devId, DevId)
SPOOLSMITH_FORWARD_PROPERTY(QString, pcbId, PcbId)
SPOOLSMITH_FORWARD_PROPERTY(QString, pcbVer, PcbVer)
SPOOLSMITH_FORWARD_PROPERTY(QString, firmware, Firmware)
SPOOLSMITH_FORWARD_PROPERTY(QString, updateFile, UpdateFile)
SPOOLSMITH_FORWARD_PROPERTY(QString, progress, Progress)
SPOOLSMITH_FORWARD_PROPERTY(QColor, rgbLightStrip, RgbLightStrip)
#undef SPOOLSMITH_PARAM
#define SPOOLSMITH_PARAM(Type) Type
SPOOLSMITH_FORWARD_PROPERTY(float, updateProgress, UpdateProgress)
SPOOLSMITH_FORWARD_PROPERTY(double, printRoller, PrintRoller)
SPOOLSMITH_FORWARD_PROPERTY(double, filmRoller, FilmRoller)
SPOOLSMITH_FORWARD_PROPERTY(double, collectRoller, CollectRoller)
SPOOLSMITH_FORWARD_PROPERTY(double, gyroscope, Gyroscope)
SPOOLSMITH_FORWARD_PROPERTY(int, pressure, Pressure)
SPOOLSMITH_FORWARD_PROPERTY(int, speed, Speed)
SPOOLSMITH_FORWARD_PROPERTY(double, scalex, Scalex)
SPOOLSMITH_FORWARD_PROPERTY(double, scaley, Scaley)
SPOOLSMITH_FORWARD_PROPERTY(int, cutModel, CutModel)
SPOOLSMITH_FORWARD_PROPERTY(int, markLight, MarkLight)
SPOOLSMITH_FORWARD_PROPERTY(int, checkBackgroundLight, CheckBackgroundLight)
SPOOLSMITH_FORWARD_PROPERTY(int, checkLightStrip, CheckLightStrip)
SPOOLSMITH_FORWARD_PROPERTY(int, index, Index)
SPOOLSMITH_FORWARD_PROPERTY(bool, feedMotorRunning, FeedMotorRunning)
SPOOLSMITH_FORWARD_PROPERTY(bool, filmMotorRunning, FilmMotorRunning)
SPOOLSMITH_FORWARD_PROPERTY(bool, collectMotorRunning, CollectMotorRunning)
SPOOLSMITH_FORWARD_PROPERTY(bool, polling, Polling)
SPOOLSMITH_FORWARD_PROPERTY(int, taskStatus, TaskStatus)
#undef SPOOLSMITH_PARAM
#undef SPOOLSMITH_FORWARD_PROPERTY

int TRV610Plus::cutMotorStatus() const
{
    return m_state->cutMotorStatus.get();
}

void TRV610Plus::setCutMotorStatus(int v)
{
    m_state->setCutMotorStatus(v);
}

bool TRV610Plus::sensor(int i) const
{
    return i >= 0 && i < 7 && m_state->sensors[i].get();
}

void TRV610Plus::setSensor(int i, bool v)
{
    if (i >= 0 && i < 7)
        m_state->sensors[i].set(v);
}

qulonglong TRV610Plus::deviceState() const
{
    return m_state->conditions.get();
}

void TRV610Plus::setDeviceState(qulonglong state)
{
    m_state->conditions.set(state);
}

void TRV610Plus::changeDeviceState(qulonglong set, qulonglong clear)
{
    m_state->conditions.update([set, clear](qulonglong &bits) { bits = (bits & ~clear) | set; });
}

QString TRV610Plus::limitText() const
{
    return m_state->limitText.get();
}

QString TRV610Plus::deviceStateString() const
{
    const auto [state, limit] = m_state->conditionsWithLimit();
    const Config *config = m_context.config();
    return DeviceConditions::banner(state, limit, config && config->enableScanAndTrim());
}

QPointF TRV610Plus::devicePosition() const
{
    return m_state->devicePosition.get();
}

QPointF TRV610Plus::origin() const
{
    return m_state->origin.get();
}

QSizeF TRV610Plus::storedWorkArea() const
{
    return m_state->workArea.get();
}

double TRV610Plus::rectifyLength() const
{
    return m_state->rectifyLength.get();
}

int TRV610Plus::feedDirection() const
{
    return m_state->feedDirection.load();
}

bool TRV610Plus::plotting() const
{
    return m_state->plotting.load();
}

int TRV610Plus::collectMotorState() const
{
    return m_state->collectMotorState.load();
}

int TRV610Plus::rectifyMotorState() const
{
    return m_state->rectifyMotorState.load();
}

int TRV610Plus::trimXMotorState() const
{
    return m_state->trimXMotorState.load();
}

int TRV610Plus::trimYMotorState() const
{
    return m_state->trimYMotorState.load();
}

int TRV610Plus::pressureTestCount() const
{
    return m_state->pressureTestCount.load();
}

bool TRV610Plus::isMoveXAllowed() const
{
    return DeviceConditions::moveXAllowed(feedDirection(), deviceState());
}

bool TRV610Plus::moveXAllowed(int direction, qulonglong state)
{
    return DeviceConditions::moveXAllowed(direction, state);
}
