#pragma once

#include <functional>

// What the driver asks of the application object. The application installs
// these once at start-up (the machine library does not link the application);
// an empty hook does nothing, so tools and driver tests run without one.
struct DeviceAppHooks
{
    // The application's task status (0 paused, 1 running, 2 stopped).
    std::function<int()> taskStatus;
    // Follows the machine's task status report (receive thread).
    std::function<void(int)> setTaskStatus;
    // Clears the captured-mark slots (index 0 or -1).
    std::function<void(int)> clearFilm;
    std::function<void(int)> setMarkIndex;
    // Forgets the paper-centre reference after the web guide was reset.
    std::function<void()> resetPaperCenter;
};
