#pragma once

#include <QtGlobal>

// A test listens for machines on a port of its own (0: any free one), also
// when run by hand: nothing announced on this computer reaches it. Call
// before the application object is built.
inline void isolateDiscovery()
{
    if (!qEnvironmentVariableIsSet("SPOOLSMITH_DISCOVERY_PORT"))
        qputenv("SPOOLSMITH_DISCOVERY_PORT", "0");
}
