// Command 20: the feed, film, web-guide, collect and trim motors.
#include "machine/command_frame.h"
#include "machine/trv610plus.h"

#include <QDebug>

using CommandFrame::command;

namespace {
constexpr int kRectifyReadKey = 104;
constexpr int kCollectWriteKey = 105;
constexpr int kCollectReadKey = 106;
constexpr int kTrimXWriteKey = 107;
constexpr int kTrimXReadKey = 108;
constexpr int kTrimYWriteKey = 109;
constexpr int kTrimYReadKey = 110;
} // namespace

bool TRV610Plus::wFeedMotorSpeed(int speed)
{
    qDebug() << "TRV610Plus::wFeedMotorSpeed" << speed;
    return sendCMD(command(QStringLiteral("20,1,0,0,%1,0;").arg(speed)));
}

bool TRV610Plus::wFilmMotorSpeed(int speed)
{
    setFilmMotorRunning(speed > 0);
    return sendCMD(command(QStringLiteral("20,1,1,0,%1,0;").arg(speed)));
}

bool TRV610Plus::rRectifyMotor()
{
    return sendCMD(command(QStringLiteral("20,0,2,0,0,0;")), true, kRectifyReadKey);
}

bool TRV610Plus::wRectifyMotor(uint speed, float length)
{
    qInfo() << "TRV610Plus::wRectifyMotor" << "speed:" << speed << "length:" << length;
    // Not waited: its reply (key 103) carries the motor state for the collect cycle.
    return sendCMD(command(QStringLiteral("20,1,2,0,%1,%2;").arg(speed).arg(double(length), 0, 'f', 1)), false);
}

bool TRV610Plus::rCollectMotor()
{
    return sendCMD(command(QStringLiteral("20,0,3,0,0,0;")), true, kCollectReadKey);
}

bool TRV610Plus::wCollectMotor(int speed, int length)
{
    // A collect roller at its limit must not be wound further.
    if (speed >= 1 && hasDeviceState(DS_CollectRollerLimit))
        return false;
    return sendCMD(command(QStringLiteral("20,1,3,0,%1,%2;").arg(speed).arg(length)), true, kCollectWriteKey);
}

bool TRV610Plus::rTrimMotorX()
{
    return sendCMD(command(QStringLiteral("20,0,4,0,0,0;")), true, kTrimXReadKey);
}

bool TRV610Plus::wTrimMotorX(int speed, int length)
{
    return sendCMD(command(QStringLiteral("20,1,4,0,%1,%2;").arg(speed).arg(length)), true, kTrimXWriteKey);
}

bool TRV610Plus::rTrimMotorY()
{
    return sendCMD(command(QStringLiteral("20,0,4,1,0,0;")), true, kTrimYReadKey);
}

bool TRV610Plus::wTrimMotorYSpeed(int speed)
{
    qInfo() << "TRV610Plus::wTrimMotorYSpeed" << speed;
    return sendCMD(command(QStringLiteral("20,1,4,1,%1,%2;").arg(speed).arg(0)), true, kTrimYWriteKey);
}
