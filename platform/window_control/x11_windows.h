#pragma once

#include "platform/window_control/window_control.h"

namespace windowcontrol {

// The X11 form: a process's top-level windows are the window manager's
// client list (_NET_CLIENT_LIST_STACKING, else _NET_CLIENT_LIST) whose
// _NET_WM_PID is the process; minimising is the ICCCM iconify request to
// the window manager. Each call opens its own connection to $DISPLAY; with
// no display nothing is found.
class X11Windows : public WindowControl
{
public:
    ProcessWindow rootWindowOf(qint64 pid) override;
    bool minimise(quintptr handle) override;
    // A window manager of the desktop standard runs: it keeps the client
    // list the windows are found in and iconifies them.
    bool canMinimise() override;
};

} // namespace windowcontrol
