#pragma once

#include <QPointF>
#include <QString>

class CommandChannel;
class DeviceState;
class MachineCommands;
class MachineContext;

// Operations of the camera page built from several commands: the origin,
// the camera-offset move and moves sent as plot data.
class CompositeOps
{
public:
    CompositeOps(CommandChannel &channel, DeviceState &state, const MachineContext &context,
                 MachineCommands &commands);

    void setOrigin();
    void gotoOrigin();
    void moveOffset();
    // A move to pos as plot data, not waited for.
    bool wDevicePoint(const QPointF &pos);
    // The same in inter steps, waited for.
    bool wDevicePoint(const QPointF &pos, int inter);

private:
    bool sendPlotMove(const QString &hpgl, bool waitPlot);
    // The application has no job and the cutter reports idle.
    bool cutterIdle();

    CommandChannel &m_channel;
    DeviceState &m_state;
    const MachineContext &m_context;
    MachineCommands &m_commands;
};
