#pragma once

#include <QtGlobal>

namespace windowcontrol {

// The root window of a process's topmost top-level window, as far as it
// matters for keeping that window out of the operator's way.
struct ProcessWindow
{
    bool found = false;
    bool visible = false;
    bool minimised = false;
    quintptr handle = 0;
};

class WindowControl
{
public:
    virtual ~WindowControl() = default;
    // Walks the top-level windows from the topmost down to the first one of
    // pid and climbs to its root.
    virtual ProcessWindow rootWindowOf(qint64 pid) = 0;
    // Shows the window minimised; the call's own result.
    virtual bool minimise(quintptr handle) = 0;
    // Whether the display has someone to minimise windows (a kiosk session
    // may run none); when not, asking again changes nothing.
    virtual bool canMinimise() = 0;
};

// The window control in use: the platform's unless a test installed one
// (which must outlive its use; null restores the platform's).
WindowControl &windowControl();
void installWindowControl(WindowControl *control);

} // namespace windowcontrol
