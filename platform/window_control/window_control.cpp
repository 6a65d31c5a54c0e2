#include "platform/window_control/window_control.h"

#include "core/installed_override.h"

namespace windowcontrol {

namespace {

// No window walk here: a supervised program never shows a window to
// minimise, so its supervision simply keeps checking.
class NoWindows : public WindowControl
{
public:
    ProcessWindow rootWindowOf(qint64) override { return {}; }
    bool minimise(quintptr) override { return false; }
};

spoolsmith::InstalledOverride<WindowControl> g_override;

} // namespace

WindowControl &windowControl()
{
    static NoWindows none;
    return g_override.get(none);
}

void installWindowControl(WindowControl *control)
{
    g_override.install(control);
}

} // namespace windowcontrol
