// Command 20: the feed, film, web-guide, collect and trim motors.
#include "machine/commands/motor_commands.h"

#include "machine/protocol/command_channel.h"
#include "machine/state/device_conditions.h"
#include "machine/state/device_state.h"

#include <QDebug>

using C = CommandTable::Command;

MotorCommands::MotorCommands(CommandChannel &channel, DeviceState &state)
    : m_channel(channel)
    , m_state(state)
{
}

bool MotorCommands::wFeedMotorSpeed(int speed)
{
    qDebug() << "TRV610Plus::wFeedMotorSpeed" << speed;
    return m_channel.send(C::FeedMotor, {QString::number(speed)});
}

bool MotorCommands::wFilmMotorSpeed(int speed)
{
    m_state.filmMotorRunning.set(speed > 0);
    return m_channel.send(C::FilmMotor, {QString::number(speed)});
}

bool MotorCommands::rRectifyMotor()
{
    return m_channel.send(C::ReadRectifyMotor);
}

bool MotorCommands::wRectifyMotor(uint speed, float length)
{
    qInfo() << "TRV610Plus::wRectifyMotor" << "speed:" << speed << "length:" << length;
    // Not waited: its reply (key 103) carries the motor state for the collect cycle.
    return m_channel.send(C::WriteRectifyMotor, {QString::number(speed), QString::number(double(length), 'f', 1)}, false);
}

bool MotorCommands::rCollectMotor()
{
    return m_channel.send(C::ReadCollectMotor);
}

bool MotorCommands::wCollectMotor(int speed, int length)
{
    // A collect roller at its limit must not be wound further.
    if (speed >= 1 && (m_state.conditions.get() & DeviceConditions::CollectRollerLimit) != 0)
        return false;
    return m_channel.send(C::WriteCollectMotor, {QString::number(speed), QString::number(length)});
}

bool MotorCommands::rTrimMotorX()
{
    return m_channel.send(C::ReadTrimX);
}

bool MotorCommands::wTrimMotorX(int speed, int length)
{
    return m_channel.send(C::WriteTrimX, {QString::number(speed), QString::number(length)});
}

bool MotorCommands::rTrimMotorY()
{
    return m_channel.send(C::ReadTrimY);
}

bool MotorCommands::wTrimMotorYSpeed(int speed)
{
    qInfo() << "TRV610Plus::wTrimMotorYSpeed" << speed;
    return m_channel.send(C::WriteTrimY, {QString::number(speed), QString::number(0)});
}
