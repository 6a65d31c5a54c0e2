#include "machine/commands/command_sequences.h"

#include "machine/commands/light_commands.h"
#include "machine/commands/machine_commands.h"
#include "machine/commands/motor_commands.h"
#include "machine/machine_context.h"
#include "settings/config.h"

CommandSequences::CommandSequences(MachineCommands &commands, LightCommands &lights, MotorCommands &motors,
                                   const MachineContext &context)
    : m_commands(commands)
    , m_lights(lights)
    , m_motors(motors)
    , m_context(context)
{
}

void CommandSequences::start()
{
    // Brings the machine to a known state.
    const Config *config = m_context.config();
    m_commands.rDeviceInfo();
    m_commands.rGyroscope();
    m_commands.rSensor();
    m_commands.rCutModel();
    m_commands.rSpeed();
    m_commands.rPressure();
    m_lights.wCheckLightStrip(100 - (config ? config->checkLight() : 0));
    m_lights.wCheckBackgroundLight(config ? config->checkBKLight() : 0);
    m_lights.wMarkLight(config ? config->markLight() : 0);
}

void CommandSequences::resendSetupLater()
{
    m_setupRun.start([this] { resendSetup(); });
}

void CommandSequences::resendSetup()
{
    const Config *config = m_context.config();
    m_commands.rDeviceInfo();
    m_commands.rCutModel();
    m_commands.rSpeed();
    m_commands.rPressure();
    m_lights.wCheckLightStrip(config ? config->checkLight() : 0);
    m_lights.wCheckBackgroundLight(config ? config->checkBKLight() : 0);
    m_lights.wMarkLight(config ? config->markLight() : 0);
}

void CommandSequences::stopMotors()
{
    const Config *config = m_context.config();
    m_motors.wFilmMotorSpeed(0);
    m_motors.wFeedMotorSpeed(0);
    m_motors.wCollectMotor(0, 0);
    if (config && config->trim())
        m_motors.wTrimMotorX(0, 0);
}
