// What the simulated machine does with plot data and firmware, beyond the
// plain command replies of sim_replies.cpp.
#include "tools/simulator/machine_simulator.h"

namespace {
using Clock = std::chrono::steady_clock;
}

int SimMachineState::reportedCutMotorStatus() const
{
    return Clock::now() < cutterBusyUntil ? 1 : cutMotorStatus;
}

bool acceptPlot(SimMachineState &state, const QByteArray &hpgl)
{
    if (state.announcedPlotSize != hpgl.size()) {
        ++state.plotsRejected;
        return false;
    }
    state.announcedPlotSize = -1;
    state.plotData = hpgl;
    ++state.plotsCut;
    state.cutterBusyUntil = Clock::now() + std::chrono::milliseconds(state.plotDurationMs);
    return true;
}

SimReply acceptUpload(SimMachineState &state, const QByteArray &payload)
{
    const qsizetype end = payload.indexOf(';', 4);
    state.firmwareModule = payload.mid(4, end - 4).toInt();
    state.firmwareFile = payload.mid(end + 1);
    SimReply reply;
    const int steps = qMax(1, state.uploadSteps);
    for (int i = 1; i <= steps; ++i) {
        const double percent = 100.0 * i / steps;
        reply.payloads << "UPG;1,0," + QByteArray::number(percent, 'g', 4) + ';';
    }
    reply.stepMs = state.uploadStepMs;
    return reply;
}
