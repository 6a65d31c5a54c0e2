// The web path of the simulated machine: the motors the collect cycle
// drives, the roller and dancer readings, the sensors.
#include "tools/simulator/machine_simulator.h"

#include "machine/protocol/command_table.h"

#include <cmath>

void SimMotor::start(int speed, double length)
{
    if (speed == 0) {
        state = 0;
        busyReads = 0;
        ++stops;
        return;
    }
    starts.append({speed, length});
    position += length;
    state = 1;
    busyReads = fixedBusyReads >= 0 ? fixedBusyReads : qMax(1, int(std::ceil(std::abs(length) / std::abs(speed))));
}

int SimMotor::read()
{
    if (state == 1) {
        if (busyReads > 0)
            --busyReads;
        else
            state = 3;
    }
    return state;
}

SimMotor *SimMachineState::motor(int number, int axis)
{
    switch (number) {
    case CommandTable::RectifyMotorNo: return &rectifyMotor;
    case CommandTable::CollectMotorNo: return &collectMotor;
    case CommandTable::TrimMotorNo: return axis == 0 ? &trimXMotor : &trimYMotor;
    default: return nullptr;
    }
}

void SimMachineState::setRollers(const SimRollers &r)
{
    gyroscopeHundredths = int(std::lround(r.gyroscope * 100.0));
    printRoller = QString::number(r.print);
    filmRoller = QString::number(r.film);
    collectRoller = QString::number(r.collect);
}

SimRollers SimMachineState::rollers() const
{
    return {gyroscopeHundredths * 0.01, printRoller.toDouble(), filmRoller.toDouble(), collectRoller.toDouble()};
}

void SimMachineState::advanceRollers()
{
    ++rollerReads;
    if (!rollerScript.isEmpty()) {
        setRollers(rollerScript.takeFirst());
        return;
    }
    if (feedRollerStep == 0 || feedDirection == 0)
        return;
    SimRollers r = rollers();
    r.film += feedDirection * feedRollerStep;
    r.collect -= feedDirection * feedRollerStep;
    setRollers(r);
}

void SimMachineState::setSensor(int number, bool on)
{
    if (number >= 1 && number <= 7)
        sensors[number - 1] = on;
}
