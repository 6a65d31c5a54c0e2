#pragma once

#include <QColor>
#include <QSizeF>

class CommandChannel;
class DeviceState;
class MachineContext;
class PlotBuffer;

// The machine's commands other than motors and lights, one method each
// (w… writes, r… reads): the row of the command table, its arguments and
// preconditions. Each returns whether the machine accepted it.
class MachineCommands
{
public:
    MachineCommands(CommandChannel &channel, DeviceState &state, const MachineContext &context, PlotBuffer &plot);

    bool rDeviceInfo();
    bool cutterXClear();
    bool wRectifyMotorReset();
    bool wTirmMotorYReset();
    bool rCutMotorStatus();
    bool rDevicePoint();
    bool wDevicePoint(int x, int y);
    bool rSpeed();
    bool wSpeed(double speed);
    bool rPressure();
    bool wPressure(double pressure);
    bool rScale();
    bool wScale(double scalex, double scaley);
    bool setScale(double sx, double sy);
    bool rCutModel();
    bool wCutModel(int m);
    bool workArea();
    bool setWorkArea(const QSizeF &area);
    bool wPause();
    bool wResume();
    bool wStop();
    bool exitTask();
    bool wMoveX(int speed);
    bool wMoveY(int speed);
    bool isMoveXAllowed() const;
    bool wSaveToFactorySet();
    bool wFactoryReset();
    bool rSensor();
    bool rGyroscope();
    bool rPrePltSend();
    bool wPltSize();
    bool wPlt();

private:
    CommandChannel &m_channel;
    DeviceState &m_state;
    const MachineContext &m_context;
    PlotBuffer &m_plot;
};
