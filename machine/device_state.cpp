// The driver's view of the machine: readings, switches, the condition bits
// with their banner, and the task status. Writers run on the GUI, receive,
// poll, collect and task threads; every field is read and written whole
// under the state lock and the change signal goes out after it is released.
#include "settings/config.h"
#include "machine/trv610plus.h"

#include <QDebug>
#include <QtMath>

#include <cmath>

namespace {

template <typename T>
bool sameValue(const T &a, const T &b)
{
    return a == b;
}

// Reals count as changed only beyond a relative 1e-12.
template <>
bool sameValue<double>(const double &a, const double &b)
{
    return a == b || qFuzzyCompare(a, b);
}

} // namespace

template <typename T>
void TRV610Plus::storeProperty(T &field, const T &value, void (TRV610Plus::*signal)())
{
    {
        QMutexLocker lock(&m_stateLock);
        if (sameValue(field, value))
            return;
        field = value;
    }
    emit(this->*signal)();
}

#define SPOOLSMITH_DEVICE_PROPERTY(Type, name, Name)                                                                   \
    Type TRV610Plus::name() const                                                                                      \
    {                                                                                                                  \
        QMutexLocker lock(&m_stateLock);                                                                               \
        return m_##name;                                                                                               \
    }                                                                                                                  \
    void TRV610Plus::set##Name(SPOOLSMITH_PARAM(Type) v)                                                               \
    {                                                                                                                  \
        storeProperty(m_##name, Type(v), &TRV610Plus::name##Changed);                                                 \
    }

#define SPOOLSMITH_PARAM(Type) const Type &
SPOOLSMITH_DEVICE_PROPERTY(QString, devType, DevType)
SPOOLSMITH_DEVICE_PROPERTY(QString, devId, DevId)
SPOOLSMITH_DEVICE_PROPERTY(QString, pcbId, PcbId)
SPOOLSMITH_DEVICE_PROPERTY(QString, pcbVer, PcbVer)
SPOOLSMITH_DEVICE_PROPERTY(QString, firmware, Firmware)
SPOOLSMITH_DEVICE_PROPERTY(QString, updateFile, UpdateFile)
SPOOLSMITH_DEVICE_PROPERTY(QString, progress, Progress)
#undef SPOOLSMITH_PARAM
#define SPOOLSMITH_PARAM(Type) Type
SPOOLSMITH_DEVICE_PROPERTY(double, printRoller, PrintRoller)
SPOOLSMITH_DEVICE_PROPERTY(double, filmRoller, FilmRoller)
SPOOLSMITH_DEVICE_PROPERTY(double, collectRoller, CollectRoller)
SPOOLSMITH_DEVICE_PROPERTY(double, gyroscope, Gyroscope)
SPOOLSMITH_DEVICE_PROPERTY(int, pressure, Pressure)
SPOOLSMITH_DEVICE_PROPERTY(int, speed, Speed)
SPOOLSMITH_DEVICE_PROPERTY(double, scalex, Scalex)
SPOOLSMITH_DEVICE_PROPERTY(double, scaley, Scaley)
SPOOLSMITH_DEVICE_PROPERTY(int, cutModel, CutModel)
SPOOLSMITH_DEVICE_PROPERTY(int, markLight, MarkLight)
SPOOLSMITH_DEVICE_PROPERTY(int, checkBackgroundLight, CheckBackgroundLight)
SPOOLSMITH_DEVICE_PROPERTY(int, checkLightStrip, CheckLightStrip)
SPOOLSMITH_DEVICE_PROPERTY(int, index, Index)
#undef SPOOLSMITH_PARAM
#undef SPOOLSMITH_DEVICE_PROPERTY

QColor TRV610Plus::rgbLightStrip() const
{
    QMutexLocker lock(&m_stateLock);
    return m_rgbLightStrip;
}

void TRV610Plus::setRgbLightStrip(const QColor &v)
{
    storeProperty(m_rgbLightStrip, v, &TRV610Plus::rgbLightStripChanged);
}

bool TRV610Plus::sensor(int i) const
{
    if (i < 0 || i >= 7)
        return false;
    QMutexLocker lock(&m_stateLock);
    return m_sensors[i];
}

void TRV610Plus::setSensor(int i, bool v)
{
    static constexpr void (TRV610Plus::*changed[7])() = {
        &TRV610Plus::sensor1Changed, &TRV610Plus::sensor2Changed, &TRV610Plus::sensor3Changed,
        &TRV610Plus::sensor4Changed, &TRV610Plus::sensor5Changed, &TRV610Plus::sensor6Changed,
        &TRV610Plus::sensor7Changed};
    if (i < 0 || i >= 7)
        return;
    storeProperty(m_sensors[i], v, changed[i]);
}

int TRV610Plus::cutMotorStatus() const
{
    QMutexLocker lock(&m_stateLock);
    return m_cutMotorStatus;
}

void TRV610Plus::setCutMotorStatus(int v)
{
    {
        QMutexLocker lock(&m_stateLock);
        if (m_cutMotorStatus == v)
            return;
        m_cutMotorStatus = v;
        // The cutter went idle: the plot data sent last is done.
        if (v == 0)
            m_plotting.store(false);
    }
    emit cutMotorStatusChanged();
}

namespace {
void storeFlag(std::atomic<bool> &flag, bool v, TRV610Plus *device, void (TRV610Plus::*signal)())
{
    if (flag.exchange(v) != v)
        emit(device->*signal)();
}
} // namespace

void TRV610Plus::setFeedMotorRunning(bool v)
{
    storeFlag(m_feedMotorRunning, v, this, &TRV610Plus::feedMotorRunningChanged);
}

void TRV610Plus::setFilmMotorRunning(bool v)
{
    storeFlag(m_filmMotorRunning, v, this, &TRV610Plus::filmMotorRunningChanged);
}

void TRV610Plus::setCollectMotorRunning(bool v)
{
    storeFlag(m_collectMotorRunning, v, this, &TRV610Plus::collectMotorRunningChanged);
}

void TRV610Plus::setPolling(bool on)
{
    storeFlag(m_polling, on, this, &TRV610Plus::pollingChanged);
}

void TRV610Plus::setTaskStatus(int status)
{
    if (m_taskStatus.exchange(status) != status)
        emit taskStatusChanged();
}

qulonglong TRV610Plus::deviceState() const
{
    QMutexLocker lock(&m_stateLock);
    return m_deviceState;
}

void TRV610Plus::setDeviceState(qulonglong state)
{
    storeProperty(m_deviceState, state, &TRV610Plus::deviceStateChanged);
}

void TRV610Plus::changeDeviceState(qulonglong set, qulonglong clear)
{
    {
        QMutexLocker lock(&m_stateLock);
        const qulonglong next = (m_deviceState & ~clear) | set;
        if (next == m_deviceState)
            return;
        m_deviceState = next;
    }
    emit deviceStateChanged();
}

QString TRV610Plus::limitText() const
{
    QMutexLocker lock(&m_stateLock);
    return m_limitText;
}

QString TRV610Plus::deviceStateString() const
{
    qulonglong state;
    QString text;
    {
        QMutexLocker lock(&m_stateLock);
        state = m_deviceState;
        text = m_limitText;
    }
    const bool scanAndTrim = Config::instance() && Config::instance()->enableScanAndTrim();
    const struct
    {
        qulonglong bit;
        const char *text;
    } banners[] = {
        {DS_Gyroscope, scanAndTrim ? QT_TR_NOOP(" 送纸限位 ") : QT_TR_NOOP(" 排废限位 ")},
        {DS_PrintRollerLimit, QT_TR_NOOP(" 打印容纸限位 ")},
        {DS_PrintRollerFull, QT_TR_NOOP(" 打印容纸过多 ")},
        {DS_FilmRollerLimit, QT_TR_NOOP(" 覆膜容纸限位 ")},
        {DS_FilmRollerFull, QT_TR_NOOP(" 覆膜容纸过多 ")},
        {DS_CollectRollerLimit, QT_TR_NOOP(" 收纸容纸限位 ")},
        {DS_CollectRollerFull, QT_TR_NOOP(" 收纸容纸过多 ")},
        {DS_Rectify, QT_TR_NOOP(" 纠偏错误 ")},
        {DS_DefectFailed, QT_TR_NOOP(" 缺陷检测失败 ")},
    };
    for (const auto &banner : banners) {
        if (state & banner.bit)
            text += tr(banner.text);
    }
    return text;
}

QPointF TRV610Plus::devicePosition() const
{
    QMutexLocker lock(&m_stateLock);
    return m_devicePosition;
}

QPointF TRV610Plus::origin() const
{
    QMutexLocker lock(&m_stateLock);
    return m_origin;
}

QSizeF TRV610Plus::storedWorkArea() const
{
    QMutexLocker lock(&m_stateLock);
    return m_workArea;
}

double TRV610Plus::rectifyLength() const
{
    QMutexLocker lock(&m_stateLock);
    return m_rectifyLength;
}
