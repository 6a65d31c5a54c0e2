// The machine's answers by command number. Each reply carries exactly the
// number of fields the driver accepts for that command and echoes the
// selectors it uses to pick the waiting sender.
#include "tools/simulator/machine_simulator.h"

namespace {

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
    t[1] = [](const QStringList &, SimMachineState &s) {
        return one(1, {s.devType, s.devId, s.pcbId, s.pcbVer, s.firmware});
    };
    // Resets: "2,a,b;" echoed; "0,4" rectify reset, "3,1" trim Y reset, "0,5" X clear.
    t[2] = [](const QStringList &args, SimMachineState &s) {
        if (arg(args, 1) == QLatin1String("0") && arg(args, 2) == QLatin1String("5"))
            s.posX = 0;
        return one(2, {arg(args, 1), arg(args, 2)});
    };
    t[3] = [](const QStringList &, SimMachineState &s) { return one(3, {QString::number(s.reportedCutMotorStatus())}); };
    // "4,0,0,0;" reads the position; "4,1,x,y;" moves relative and echoes the move.
    t[4] = [](const QStringList &args, SimMachineState &s) {
        if (isWrite(args)) {
            s.posX += arg(args, 2).toDouble();
            s.posY += arg(args, 3).toDouble();
            return one(4, {QStringLiteral("1"), arg(args, 2), arg(args, 3)});
        }
        return one(4, {QStringLiteral("0"), QString::number(s.posX), QString::number(s.posY)});
    };
    t[6] = valueHandler(6, &SimMachineState::speed);
    t[7] = valueHandler(7, &SimMachineState::pressure);
    t[9] = [](const QStringList &args, SimMachineState &s) {
        if (isWrite(args)) {
            s.scaleX = arg(args, 2);
            s.scaleY = arg(args, 3);
        }
        return one(9, {arg(args, 1), s.scaleX, s.scaleY});
    };
    t[10] = [](const QStringList &args, SimMachineState &s) {
        if (isWrite(args))
            s.cutModel = arg(args, 2);
        return one(10, {arg(args, 1), s.cutModel});
    };
    t[11] = [](const QStringList &args, SimMachineState &s) {
        if (isWrite(args)) {
            s.workWidth = arg(args, 2);
            s.workHeight = arg(args, 3);
        }
        return one(11, {arg(args, 1), s.workWidth, s.workHeight});
    };
    // Pause 0, resume 1, stop 2: the reply carries the new task status.
    t[12] = [](const QStringList &args, SimMachineState &s) {
        s.taskStatus = arg(args, 1);
        return one(12, {s.taskStatus});
    };
    // Lights: "13,selector,which,v1,v2,v3;" (which 0 mark, 1 background, 2 strip, 3 RGB).
    t[13] = [](const QStringList &args, SimMachineState &s) {
        const int which = qBound(0, arg(args, 2).toInt(), 3);
        if (isWrite(args))
            s.lights[which] = {arg(args, 3), arg(args, 4), arg(args, 5)};
        return one(13, QStringList{arg(args, 1), QString::number(which)} + s.lights[which]);
    };
    // "15,d,0;" feeds in direction d; "15,0,y;" moves the cutter head in Y.
    t[15] = [](const QStringList &args, SimMachineState &s) {
        s.feedDirection = arg(args, 1).toInt();
        s.feedMoveY = arg(args, 2).toInt();
        return one(15, {arg(args, 1), arg(args, 2)});
    };
    t[16] = [](const QStringList &args, SimMachineState &) { return one(16, {arg(args, 1)}); };
    t[17] = [](const QStringList &, SimMachineState &s) {
        QStringList f;
        for (bool on : s.sensors)
            f << (on ? QStringLiteral("1") : QStringLiteral("0"));
        return one(17, f);
    };
    // Fields after the status: 0, 0, gyroscope in hundredths, 0, 0, then the
    // print, film and collect rollers.
    t[18] = [](const QStringList &, SimMachineState &s) {
        return one(18, {QStringLiteral("0"), QStringLiteral("0"), QString::number(s.gyroscopeHundredths),
                        QStringLiteral("0"), QStringLiteral("0"), s.printRoller, s.filmRoller, s.collectRoller});
    };
    // Motors: "20,selector,motor,axis,speed,length;" answered with the motor's state.
    t[20] = [](const QStringList &args, SimMachineState &s) {
        const QString motor = arg(args, 2) + QLatin1Char(',') + arg(args, 3);
        if (isWrite(args))
            s.motorStates[motor] = arg(args, 4) == QLatin1String("0") ? QStringLiteral("0") : QStringLiteral("1");
        return one(20, {arg(args, 1), arg(args, 2), arg(args, 3), arg(args, 4), arg(args, 5),
                        s.motorStates.value(motor, QStringLiteral("0"))});
    };
    t[21] = [](const QStringList &, SimMachineState &s) {
        ++s.plotsPrepared;
        return one(21, {});
    };
    t[22] = [](const QStringList &args, SimMachineState &s) {
        s.announcedPlotSize = arg(args, 1).toLongLong();
        return one(22, {arg(args, 1), arg(args, 2)});
    };
    return t;
}
