#pragma once

#include "machine/link/link_stream.h"

#include <memory>
#include <utility>

// A connection in memory: two ends, each reading what the other wrote. Ending
// either end (shutdown or the last holder letting go) ends both, as a closed
// socket does. Lets the driver talk to the simulator without a socket.
namespace BytePipe {

// capacity: bytes one direction holds before its writer waits for the
// reader (0: no bound), as a socket's buffers fill behind a slow peer.
std::pair<std::shared_ptr<LinkStream>, std::shared_ptr<LinkStream>> create(qsizetype capacity = 0);

} // namespace BytePipe
