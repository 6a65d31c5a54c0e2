#pragma once

#include "machine/protocol/frame_codec.h"

#include <functional>

class DeviceState;
class MachineContext;

// What an accepted reply stores into the device state (receive thread).
// Readings that do not parse or are not finite are refused: the reply counts
// as not accepted and the value read before stays, so a safety bit derived
// from it can never be cleared by noise.
class ReplyEffects
{
public:
    // factoryReset runs when the machine confirms a factory reset (the
    // set-up must go out again, off the receive thread).
    ReplyEffects(DeviceState &state, const MachineContext &context, std::function<void()> factoryReset);

    void apply(int id, MachineFrame::Reply &reply);

private:
    void applyMotor(MachineFrame::Reply &reply);
    void applyAxisLimit(const QStringList &fields);

    DeviceState &m_state;
    const MachineContext &m_context;
    std::function<void()> m_factoryReset;
};
