// Command 20: the feed, film, web-guide, collect and trim motors.
#include "machine/command_frame.h"
#include "machine/trv610plus.h"

#include <QDebug>

using C = CommandTable::Command;

bool TRV610Plus::wFeedMotorSpeed(int speed)
{
    qDebug() << "TRV610Plus::wFeedMotorSpeed" << speed;
    return send(C::FeedMotor, {QString::number(speed)});
}

bool TRV610Plus::wFilmMotorSpeed(int speed)
{
    setFilmMotorRunning(speed > 0);
    return send(C::FilmMotor, {QString::number(speed)});
}

bool TRV610Plus::rRectifyMotor()
{
    return send(C::ReadRectifyMotor);
}

bool TRV610Plus::wRectifyMotor(uint speed, float length)
{
    qInfo() << "TRV610Plus::wRectifyMotor" << "speed:" << speed << "length:" << length;
    // Not waited: its reply (key 103) carries the motor state for the collect cycle.
    return send(C::WriteRectifyMotor, {QString::number(speed), QString::number(double(length), 'f', 1)}, false);
}

bool TRV610Plus::rCollectMotor()
{
    return send(C::ReadCollectMotor);
}

bool TRV610Plus::wCollectMotor(int speed, int length)
{
    // A collect roller at its limit must not be wound further.
    if (speed >= 1 && hasDeviceState(DS_CollectRollerLimit))
        return false;
    return send(C::WriteCollectMotor, {QString::number(speed), QString::number(length)});
}

bool TRV610Plus::rTrimMotorX()
{
    return send(C::ReadTrimX);
}

bool TRV610Plus::wTrimMotorX(int speed, int length)
{
    return send(C::WriteTrimX, {QString::number(speed), QString::number(length)});
}

bool TRV610Plus::rTrimMotorY()
{
    return send(C::ReadTrimY);
}

bool TRV610Plus::wTrimMotorYSpeed(int speed)
{
    qInfo() << "TRV610Plus::wTrimMotorYSpeed" << speed;
    return send(C::WriteTrimY, {QString::number(speed), QString::number(0)});
}
