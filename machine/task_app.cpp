// The one object the driver calls back into; null when no application runs.
#include "machine/task_app.h"

#include <atomic>

namespace {

// Read from the receive and task threads, set on the GUI thread.
std::atomic<TaskApp *> g_taskApp{nullptr};

} // namespace

TaskApp *TaskApp::instance()
{
    return g_taskApp.load();
}

void TaskApp::setInstance(TaskApp *app)
{
    g_taskApp.store(app);
}
