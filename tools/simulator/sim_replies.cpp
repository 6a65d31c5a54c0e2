// The machine's answers by command number. Each reply carries exactly the
// number of fields the driver accepts for that command and echoes the
// selectors it uses to pick the waiting sender.
#include "tools/simulator/machine_simulator.h"

#include "machine/protocol/command_table.h"

namespace {

using namespace CommandTable;

QString arg(const QStringList &args, int i, const QString &fallback = QStringLiteral("0"))
{
    return i < args.size() && !args.at(i).isEmpty() ? args.at(i) : fallback;
}

SimReply one(int id, const QStringList &fields)
{
    return SimReply{{simReplyPayload(id, fields)}, 0};
}

bool isWrite(const QStringList &args)
{
    return arg(args, 1) == QLatin1String("1");
}

// Commands 6 and 7: "n,selector,0,value;", answered "n,0,selector,0,value".
SimHandler valueHandler(int id, QString SimMachineState::*value)
{
    return [id, value](const QStringList &args, SimMachineState &s) {
        if (isWrite(args))
            s.*value = arg(args, 3);
        return one(id, {arg(args, 1), QStringLiteral("0"), s.*value});
    };
}

} // namespace

QByteArray simReplyPayload(int id, const QStringList &fields, int status)
{
    QStringList parts{QString::number(id), QString::number(status)};
    parts += fields;
    return "CMD;" + parts.join(QLatin1Char(',')).toLatin1() + ';';
}

QMap<int, SimHandler> defaultReplyTable()
{
    QMap<int, SimHandler> t;
    t[DeviceInfoId] = [](const QStringList &, SimMachineState &s) {
        return one(DeviceInfoId, {s.devType, s.devId, s.pcbId, s.pcbVer, s.firmware});
    };
    // Resets: "2,a,b;" echoed; "0,4" rectify reset, "3,1" trim Y reset, "0,5" X clear.
    t[ResetId] = [](const QStringList &args, SimMachineState &s) {
        if (arg(args, 1) == QLatin1String("0") && arg(args, 2) == QLatin1String("5"))
            s.posX = 0;
        return one(ResetId, {arg(args, 1), arg(args, 2)});
    };
    t[CutMotorStatusId] = [](const QStringList &, SimMachineState &s) { return one(CutMotorStatusId, {QString::number(s.reportedCutMotorStatus())}); };
    // "4,0,0,0;" reads the position; "4,1,x,y;" moves relative and echoes the move.
    t[PositionId] = [](const QStringList &args, SimMachineState &s) {
        if (isWrite(args)) {
            s.posX += arg(args, 2).toDouble();
            s.posY += arg(args, 3).toDouble();
            return one(PositionId, {QStringLiteral("1"), arg(args, 2), arg(args, 3)});
        }
        return one(PositionId, {QStringLiteral("0"), QString::number(s.posX), QString::number(s.posY)});
    };
    t[SpeedId] = valueHandler(SpeedId, &SimMachineState::speed);
    t[PressureId] = valueHandler(PressureId, &SimMachineState::pressure);
    t[ScaleId] = [](const QStringList &args, SimMachineState &s) {
        if (isWrite(args)) {
            s.scaleX = arg(args, 2);
            s.scaleY = arg(args, 3);
        }
        return one(ScaleId, {arg(args, 1), s.scaleX, s.scaleY});
    };
    t[CutModelId] = [](const QStringList &args, SimMachineState &s) {
        if (isWrite(args))
            s.cutModel = arg(args, 2);
        return one(CutModelId, {arg(args, 1), s.cutModel});
    };
    t[WorkAreaId] = [](const QStringList &args, SimMachineState &s) {
        if (isWrite(args)) {
            s.workWidth = arg(args, 2);
            s.workHeight = arg(args, 3);
        }
        return one(WorkAreaId, {arg(args, 1), s.workWidth, s.workHeight});
    };
    // Pause 0, resume 1, stop 2: the reply carries the new task status.
    t[TaskId] = [](const QStringList &args, SimMachineState &s) {
        s.taskStatus = arg(args, 1);
        return one(TaskId, {s.taskStatus});
    };
    // Lights: "13,selector,which,v1,v2,v3;" (which 0 mark, 1 background, 2 strip, 3 RGB).
    t[LightId] = [](const QStringList &args, SimMachineState &s) {
        const int which = qBound(0, arg(args, 2).toInt(), 3);
        if (isWrite(args))
            s.lights[which] = {arg(args, 3), arg(args, 4), arg(args, 5)};
        return one(LightId, QStringList{arg(args, 1), QString::number(which)} + s.lights[which]);
    };
    // "15,d,0;" feeds in direction d; "15,0,y;" moves the cutter head in Y.
    t[MoveId] = [](const QStringList &args, SimMachineState &s) {
        s.feedDirection = arg(args, 1).toInt();
        s.feedMoveY = arg(args, 2).toInt();
        return one(MoveId, {arg(args, 1), arg(args, 2)});
    };
    t[FactoryId] = [](const QStringList &args, SimMachineState &) { return one(FactoryId, {arg(args, 1)}); };
    t[SensorsId] = [](const QStringList &, SimMachineState &s) {
        QStringList f;
        for (bool on : s.sensors)
            f << (on ? QStringLiteral("1") : QStringLiteral("0"));
        return one(SensorsId, f);
    };
    // Fields after the status: 0, 0, gyroscope in hundredths, 0, 0, then the
    // print, film and collect rollers, as they are after this read.
    t[RollersId] = [](const QStringList &, SimMachineState &s) {
        s.advanceRollers();
        return one(RollersId, {QStringLiteral("0"), QStringLiteral("0"), QString::number(s.gyroscopeHundredths),
                        QStringLiteral("0"), QStringLiteral("0"), s.printRoller, s.filmRoller, s.collectRoller});
    };
    // Motors: "20,selector,motor,axis,speed,length;" answered with the motor's
    // state; motors 2 to 4 run as state machines (SimMotor).
    t[MotorId] = [](const QStringList &args, SimMachineState &s) {
        const QString key = arg(args, 2) + QLatin1Char(',') + arg(args, 3);
        SimMotor *motor = s.motor(arg(args, 2).toInt(), arg(args, 3).toInt());
        if (!motor) {
            if (isWrite(args))
                s.motorStates[key] = arg(args, 4) == QLatin1String("0") ? QStringLiteral("0") : QStringLiteral("1");
            return one(MotorId, {arg(args, 1), arg(args, 2), arg(args, 3), arg(args, 4), arg(args, 5),
                            s.motorStates.value(key, QStringLiteral("0"))});
        }
        QString length = arg(args, 5);
        int state = 0;
        if (isWrite(args)) {
            const int speed = arg(args, 4).toInt();
            if (speed != 0 && motor->silentStarts > 0) {
                --motor->silentStarts;
                ++motor->swallowedStarts;
                return SimReply{};
            }
            motor->start(speed, length.toDouble());
            state = motor->state;
        } else {
            const bool wasBusy = motor->busy();
            state = motor->read();
            // A collect run that ends has taken its length off the collect roller.
            if (motor == &s.collectMotor && wasBusy && !motor->busy() && s.collectRollerPerLength > 0
                && !motor->starts.isEmpty()) {
                const double taken = motor->starts.last().second * s.collectRollerPerLength;
                s.collectRoller = QString::number(s.collectRoller.toDouble() - taken);
            }
            if (motor == &s.rectifyMotor)
                length = QString::number(motor->position);
        }
        return one(MotorId, {arg(args, 1), arg(args, 2), arg(args, 3), arg(args, 4), length, QString::number(state)});
    };
    t[PrePlotId] = [](const QStringList &, SimMachineState &s) {
        ++s.plotsPrepared;
        return one(PrePlotId, {});
    };
    t[PlotSizeId] = [](const QStringList &args, SimMachineState &s) {
        s.announcedPlotSize = arg(args, 1).toLongLong();
        return one(PlotSizeId, {arg(args, 1), arg(args, 2)});
    };
    return t;
}
