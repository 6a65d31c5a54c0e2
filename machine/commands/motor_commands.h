#pragma once

#include <QtGlobal>

class CommandChannel;
class DeviceState;

// The feed, film, web-guide, collect and trim motors (command 20).
class MotorCommands
{
public:
    MotorCommands(CommandChannel &channel, DeviceState &state);

    bool wFeedMotorSpeed(int speed);
    bool wFilmMotorSpeed(int speed);
    bool rRectifyMotor();
    bool wRectifyMotor(uint speed, float length);
    bool rCollectMotor();
    bool wCollectMotor(int speed, int length);
    bool rTrimMotorX();
    bool wTrimMotorX(int speed, int length);
    bool rTrimMotorY();
    bool wTrimMotorYSpeed(int speed);

private:
    CommandChannel &m_channel;
    DeviceState &m_state;
};
