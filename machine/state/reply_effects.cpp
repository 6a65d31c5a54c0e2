// What an accepted reply stores into the device state.
#include "machine/state/reply_effects.h"

#include "machine/machine_context.h"
#include "machine/protocol/command_table.h"
#include "machine/state/device_state.h"
#include "machine/state/device_conditions.h"
#include "machine/task_app.h"

#include <QCoreApplication>
#include <QDebug>

#include <cmath>
#include <optional>

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

ReplyEffects::ReplyEffects(DeviceState &state, const MachineContext &context, std::function<void()> factoryReset)
    : m_state(state)
    , m_context(context)
    , m_factoryReset(std::move(factoryReset))
{
}

void ReplyEffects::apply(int id, MachineFrame::Reply &reply)
{
    // Acceptance (by field count for these ids) guarantees the fields indexed below.
    if (!reply.ok)
        return;
    const QStringList &f = reply.fields;
    switch (id) {
    case CommandTable::DeviceInfoId:
        m_state.devType.set(f.at(1));
        m_state.devId.set(f.at(2));
        m_state.pcbId.set(f.at(3));
        m_state.pcbVer.set(f.at(4));
        m_state.firmware.set(f.at(5));
        break;
    case CommandTable::CutMotorStatusId: {
        bool ok = false;
        const uint status = f.at(1).toUInt(&ok);
        if (!ok)
            return refuse(reply, "cut motor status");
        m_state.setCutMotorStatus(int(status));
        break;
    }
    case CommandTable::PositionId:
        if (f.at(1) == QLatin1String("0")) {
            const std::optional<double> x = realField(f, 2);
            const std::optional<double> y = realField(f, 3);
            if (!x || !y)
                return refuse(reply, "device position");
            m_state.devicePosition.set(QPointF(*x, *y));
        }
        break;
    // Speed and pressure are written as reals ("g"), so the echo may be one:
    // it is truncated rather than read as 0.
    case CommandTable::SpeedId:
        if (const std::optional<double> v = realField(f, 3); v && qAbs(*v) < 1e9)
            m_state.speed.set(int(*v));
        else
            return refuse(reply, "speed");
        break;
    case CommandTable::PressureId:
        if (const std::optional<double> v = realField(f, 3); v && qAbs(*v) < 1e9)
            m_state.pressure.set(int(*v));
        else
            return refuse(reply, "pressure");
        break;
    case CommandTable::CutModelId:
        if (const std::optional<int> v = intField(f, 2))
            m_state.cutModel.set(*v);
        else
            return refuse(reply, "cut model");
        break;
    case CommandTable::WorkAreaId: {
        const std::optional<double> w = realField(f, 2);
        const std::optional<double> h = realField(f, 3);
        if (!w || !h)
            return refuse(reply, "work area");
        m_state.workArea.set(QSizeF(*w, *h));
        break;
    }
    case CommandTable::TaskId: {
        const std::optional<int> v = intField(f, 1);
        // An unknown report counts as stopped, the safe side.
        m_state.taskStatus.set(v && *v >= 0 && *v <= 2 ? *v : 2);
        if (TaskApp *app = m_context.app())
            app->setTaskStatus(m_state.taskStatus.get());
        break;
    }
    case CommandTable::FactoryId:
        if (f.at(1) == QLatin1String("1"))
            m_factoryReset();
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
            m_state.sensors[i].set(values[i]);
        break;
    }
    case CommandTable::RollersId: {
        const std::optional<int> gyro = intField(f, 3);
        const std::optional<double> print = realField(f, 6);
        const std::optional<double> film = realField(f, 7);
        const std::optional<double> collect = realField(f, 8);
        if (!gyro || !print || !film || !collect)
            return refuse(reply, "rollers");
        m_state.gyroscope.set(*gyro * 0.01);
        m_state.printRoller.set(*print);
        m_state.filmRoller.set(*film);
        m_state.collectRoller.set(*collect);
        break;
    }
    case CommandTable::MotorId:
        applyMotor(reply);
        break;
    case CommandTable::AxisLimitId:
        applyAxisLimit(f);
        break;
    default:
        break;
    }
}

void ReplyEffects::applyMotor(MachineFrame::Reply &reply)
{
    // status, selector, motor, axis, speed, length, state
    const QStringList &f = reply.fields;
    const std::optional<int> motor = intField(f, 2);
    const std::optional<int> axis = intField(f, 3);
    const std::optional<int> state = intField(f, 6);
    if (!motor || *motor == CommandTable::FeedMotorNo || *motor == CommandTable::FilmMotorNo)
        return;
    if (!axis || !state)
        return refuse(reply, "motor state");
    const bool read = f.at(1) == QLatin1String("0");
    if (*motor == CommandTable::RectifyMotorNo) {
        if (read) {
            const std::optional<double> length = realField(f, 5);
            if (!length)
                return refuse(reply, "rectify length");
            m_state.rectifyLength.set(*length);
        }
        m_state.rectifyMotorState.store(*state);
    } else if (*motor == CommandTable::CollectMotorNo) {
        m_state.collectMotorState.store(*state);
    } else if (*motor == CommandTable::TrimMotorNo) {
        (*axis == 0 ? m_state.trimXMotorState : m_state.trimYMotorState).store(*state);
    }
}

void ReplyEffects::applyAxisLimit(const QStringList &f)
{
    // The report keeps its id first: "23", axis, ...
    QString text = f.join(QLatin1Char(','));
    if (f.size() > 1 && f.at(1) == QLatin1String("0"))
        text.prepend(QCoreApplication::translate("TRV610Plus", "X轴限位 "));
    else if (f.size() > 1 && f.at(1) == QLatin1String("1"))
        text.prepend(QCoreApplication::translate("TRV610Plus", "Y轴限位 "));
    m_state.limitText.set(text);
    m_state.conditions.update([](qulonglong &bits) { bits |= DeviceConditions::AxisLimit; });
}
