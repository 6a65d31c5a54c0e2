#pragma once

#include "machine/jobs/background_run.h"

class LightCommands;
class MachineCommands;
class MachineContext;
class MotorCommands;

// The fixed command sequences: the start sequence of a new link, the set-up
// sent again after a factory reset, and the motor stops before shut-down.
// Each command goes after the previous reply or its time-out; results are
// not checked.
class CommandSequences
{
public:
    CommandSequences(MachineCommands &commands, LightCommands &lights, MotorCommands &motors,
                     const MachineContext &context);

    void start();
    // On a thread of its own: waited commands cannot run on the receive
    // thread that decodes their replies. One at a time.
    void resendSetupLater();
    void stopMotors();
    void join() { m_setupRun.join(); }

private:
    void resendSetup();

    MachineCommands &m_commands;
    LightCommands &m_lights;
    MotorCommands &m_motors;
    const MachineContext &m_context;
    BackgroundRun m_setupRun{"TRV610Plus::decode set-up"};
};
