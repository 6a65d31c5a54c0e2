#pragma once

#include <functional>

class Config;
class TRV610Plus;

// The settings object and the machine driver as the application's parts
// reach them. Both are built after the application object and may be
// replaced while it runs (tests do), so a part asks for them when it needs
// them; either may be null.
struct AppServices
{
    std::function<Config *()> config;
    std::function<TRV610Plus *()> device;
};
