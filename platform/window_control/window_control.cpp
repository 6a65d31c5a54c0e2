#include "platform/window_control/window_control.h"

#include "core/installed_override.h"

#if defined(Q_OS_WIN)
#include <windows.h>
#elif defined(SPOOLSMITH_HAVE_X11)
#include "platform/window_control/x11_windows.h"
#endif

namespace windowcontrol {

namespace {

#if defined(Q_OS_WIN)
// The desktop's top-level windows from the topmost down; the first one of
// the process, climbed to its root owner.
class DesktopWindows : public WindowControl
{
public:
    ProcessWindow rootWindowOf(qint64 pid) override
    {
        ProcessWindow result;
        for (HWND w = GetTopWindow(nullptr); w; w = GetWindow(w, GW_HWNDNEXT)) {
            DWORD owner = 0;
            GetWindowThreadProcessId(w, &owner);
            if (qint64(owner) != pid)
                continue;
            HWND root = GetAncestor(w, GA_ROOTOWNER);
            if (!root)
                root = w;
            result.found = true;
            result.handle = quintptr(root);
            result.visible = IsWindowVisible(root) != FALSE;
            result.minimised = IsIconic(root) != FALSE;
            break;
        }
        return result;
    }
    bool minimise(quintptr handle) override { return ShowWindow(HWND(handle), SW_SHOWMINIMIZED) != FALSE; }
    bool canMinimise() override { return true; }
};
using PlatformWindows = DesktopWindows;
#elif defined(SPOOLSMITH_HAVE_X11)
using PlatformWindows = X11Windows;
#else
// No window system to ask: a supervised program never shows a window to
// minimise, so its supervision simply keeps checking.
class NoWindows : public WindowControl
{
public:
    ProcessWindow rootWindowOf(qint64) override { return {}; }
    bool minimise(quintptr) override { return false; }
    bool canMinimise() override { return false; }
};
using PlatformWindows = NoWindows;
#endif

spoolsmith::InstalledOverride<WindowControl> g_override;

} // namespace

WindowControl &windowControl()
{
    static PlatformWindows platform;
    return g_override.get(platform);
}

void installWindowControl(WindowControl *control)
{
    g_override.install(control);
}

} // namespace windowcontrol
