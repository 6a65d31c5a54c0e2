// What an accepted reply stores into the driver (receive thread). Readings
// that do not parse or are not finite are refused: the reply counts as not
// accepted and the value read before stays, so a safety bit derived from it
// can never be cleared by noise.
#include "settings/config.h"
#include "machine/protocol/command_table.h"
#include "machine/task_app.h"
#include "machine/trv610plus.h"

#include <QDebug>

#include <cmath>
#include <optional>
#include <system_error>

namespace {

std::optional<int> intField(const QStringList &f, int i)
{
    bool ok = false;
    const int v = i < f.size() ? f.at(i).toInt(&ok) : 0;
    return ok ? std::optional<int>(v) : std::nullopt;
}

std::optional<double> realField(const QStringList &f, int i)
{
    bool ok = false;
    const double v = i < f.size() ? f.at(i).toDouble(&ok) : 0.0;
    return ok && std::isfinite(v) ? std::optional<double>(v) : std::nullopt;
}

void refuse(MachineFrame::Reply &reply, const char *what)
{
    qWarning() << "TRV610Plus::decode" << "refused reading" << what << reply.fields;
    reply.ok = false;
}

} // namespace

void TRV610Plus::applyReply(int id, MachineFrame::Reply &reply)
{
    // Acceptance (by field count for these ids) guarantees the fields indexed below.
    if (!reply.ok)
        return;
    const QStringList &f = reply.fields;
    switch (id) {
    case CommandTable::DeviceInfoId:
        setDevType(f.at(1));
        setDevId(f.at(2));
        setPcbId(f.at(3));
        setPcbVer(f.at(4));
        setFirmware(f.at(5));
        break;
    case CommandTable::CutMotorStatusId: {
        bool ok = false;
        const uint status = f.at(1).toUInt(&ok);
        if (!ok)
            return refuse(reply, "cut motor status");
        setCutMotorStatus(int(status));
        break;
    }
    case CommandTable::PositionId:
        if (f.at(1) == QLatin1String("0")) {
            const std::optional<double> x = realField(f, 2);
            const std::optional<double> y = realField(f, 3);
            if (!x || !y)
                return refuse(reply, "device position");
            QMutexLocker lock(&m_stateLock);
            m_devicePosition = QPointF(*x, *y);
        }
        break;
    // Speed and pressure are written as reals ("g"), so the echo may be one:
    // it is truncated rather than read as 0.
    case CommandTable::SpeedId:
        if (const std::optional<double> v = realField(f, 3); v && qAbs(*v) < 1e9)
            setSpeed(int(*v));
        else
            return refuse(reply, "speed");
        break;
    case CommandTable::PressureId:
        if (const std::optional<double> v = realField(f, 3); v && qAbs(*v) < 1e9)
            setPressure(int(*v));
        else
            return refuse(reply, "pressure");
        break;
    case CommandTable::CutModelId:
        if (const std::optional<int> v = intField(f, 2))
            setCutModel(*v);
        else
            return refuse(reply, "cut model");
        break;
    case CommandTable::WorkAreaId: {
        const std::optional<double> w = realField(f, 2);
        const std::optional<double> h = realField(f, 3);
        if (!w || !h)
            return refuse(reply, "work area");
        QMutexLocker lock(&m_stateLock);
        m_workArea = QSizeF(*w, *h);
        break;
    }
    case CommandTable::TaskId: {
        const std::optional<int> v = intField(f, 1);
        // An unknown report counts as stopped, the safe side.
        setTaskStatus(v && *v >= 0 && *v <= 2 ? *v : 2);
        if (TaskApp *app = TaskApp::instance())
            app->setTaskStatus(taskStatus());
        break;
    }
    case CommandTable::FactoryId:
        if (f.at(1) == QLatin1String("1"))
            resendSetup();
        break;
    case CommandTable::SensorsId: {
        bool values[7];
        for (int i = 0; i < 7; ++i) {
            const std::optional<int> v = intField(f, i + 1);
            if (!v)
                return refuse(reply, "sensors");
            values[i] = *v != 0;
        }
        for (int i = 0; i < 7; ++i)
            setSensor(i, values[i]);
        break;
    }
    case CommandTable::RollersId: {
        const std::optional<int> gyro = intField(f, 3);
        const std::optional<double> print = realField(f, 6);
        const std::optional<double> film = realField(f, 7);
        const std::optional<double> collect = realField(f, 8);
        if (!gyro || !print || !film || !collect)
            return refuse(reply, "rollers");
        setGyroscope(*gyro * 0.01);
        setPrintRoller(*print);
        setFilmRoller(*film);
        setCollectRoller(*collect);
        break;
    }
    case CommandTable::MotorId: {
        // status, selector, motor, axis, speed, length, state
        const std::optional<int> motor = intField(f, 2);
        const std::optional<int> axis = intField(f, 3);
        const std::optional<int> state = intField(f, 6);
        if (!motor || *motor == CommandTable::FeedMotorNo || *motor == CommandTable::FilmMotorNo)
            break;
        if (!axis || !state)
            return refuse(reply, "motor state");
        const bool read = f.at(1) == QLatin1String("0");
        if (*motor == CommandTable::RectifyMotorNo) {
            if (read) {
                const std::optional<double> length = realField(f, 5);
                if (!length)
                    return refuse(reply, "rectify length");
                QMutexLocker lock(&m_stateLock);
                m_rectifyLength = *length;
            }
            m_rectifyMotorState.store(*state);
        } else if (*motor == CommandTable::CollectMotorNo) {
            m_collectMotorState.store(*state);
        } else if (*motor == CommandTable::TrimMotorNo) {
            (*axis == 0 ? m_trimXMotorState : m_trimYMotorState).store(*state);
        }
        break;
    }
    case CommandTable::AxisLimitId: {
        // The report keeps its id first: "23", axis, ...
        QString text = f.join(QLatin1Char(','));
        if (f.size() > 1 && f.at(1) == QLatin1String("0"))
            text.prepend(tr("X轴限位 "));
        else if (f.size() > 1 && f.at(1) == QLatin1String("1"))
            text.prepend(tr("Y轴限位 "));
        {
            QMutexLocker lock(&m_stateLock);
            m_limitText = text;
        }
        changeDeviceState(DS_AxisLimit, 0);
        break;
    }
    default:
        break;
    }
}

void TRV610Plus::resendSetup()
{
    // Waited commands cannot run on the receive thread that decodes their
    // replies; one set-up at a time, joined at shut-down.
    QMutexLocker lock(&m_setupLock);
    if (m_setupRunning.load())
        return;
    if (m_setupThread.joinable())
        m_setupThread.join();
    m_setupRunning.store(true);
    try {
        m_setupThread = std::thread([this] {
            Config *config = Config::instance();
            rDeviceInfo();
            rCutModel();
            rSpeed();
            rPressure();
            wCheckLightStrip(config ? config->checkLight() : 0);
            wCheckBackgroundLight(config ? config->checkBKLight() : 0);
            wMarkLight(config ? config->markLight() : 0);
            m_setupRunning.store(false);
        });
    } catch (const std::system_error &e) {
        m_setupRunning.store(false);
        qCritical() << "TRV610Plus::decode" << "set-up thread failed:" << e.what();
    }
}

void TRV610Plus::joinSetupThread()
{
    QMutexLocker lock(&m_setupLock);
    if (m_setupThread.joinable() && m_setupThread.get_id() != std::this_thread::get_id())
        m_setupThread.join();
}
