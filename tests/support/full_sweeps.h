#pragma once

#include <QtGlobal>

// A sweep of generated cases runs as many as tell its cases apart;
// SPOOLSMITH_FULL_SWEEPS=1 runs each at its full size instead.
inline int sweepSize(int sized, int full)
{
    static const bool all = qEnvironmentVariableIntValue("SPOOLSMITH_FULL_SWEEPS") == 1;
    return all ? full : sized;
}
