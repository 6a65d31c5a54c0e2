#pragma once

class Config;
class TaskApp;

// What the driver's parts use from outside the machine library: the settings
// and the application's hooks. Both are looked up at each use, since tools
// and tests run a driver without them and install them after it; either may
// be null, and every part has a fallback for that.
class MachineContext
{
public:
    Config *config() const;
    TaskApp *app() const;
};
