// The one place the driver's parts reach the process-wide settings and
// application objects.
#include "machine/machine_context.h"

#include "machine/task_app.h"
#include "settings/config.h"

Config *MachineContext::config() const
{
    return Config::instance();
}

TaskApp *MachineContext::app() const
{
    return TaskApp::instance();
}
