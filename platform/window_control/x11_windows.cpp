#include "platform/window_control/x11_windows.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <memory>
#include <vector>

namespace windowcontrol {

namespace {

// A transient chain longer than this is a loop.
constexpr int kMaxOwners = 16;

struct DisplayCloser
{
    void operator()(Display *display) const { XCloseDisplay(display); }
};
using DisplayPtr = std::unique_ptr<Display, DisplayCloser>;

// The values of a 32-bit property (windows, cardinals, atoms), as longs.
std::vector<unsigned long> longsOf(Display *display, Window window, const char *name, Atom type)
{
    std::vector<unsigned long> values;
    const Atom property = XInternAtom(display, name, True);
    if (property == None)
        return values;
    Atom actualType = None;
    int format = 0;
    unsigned long count = 0;
    unsigned long after = 0;
    unsigned char *data = nullptr;
    // Up to 4096 entries: more windows than any desktop holds.
    if (XGetWindowProperty(display, window, property, 0, 4096, False, type, &actualType, &format, &count, &after,
                           &data)
            == Success
        && data && format == 32) {
        const auto *longs = reinterpret_cast<const unsigned long *>(data);
        values.assign(longs, longs + count);
    }
    if (data)
        XFree(data);
    return values;
}

bool hasState(Display *display, Window window, const char *state)
{
    const Atom wanted = XInternAtom(display, state, True);
    if (wanted == None)
        return false;
    for (unsigned long atom : longsOf(display, window, "_NET_WM_STATE", XA_ATOM))
        if (atom == wanted)
            return true;
    return false;
}

bool iconic(Display *display, Window window)
{
    const Atom wmState = XInternAtom(display, "WM_STATE", True);
    if (wmState != None) {
        const std::vector<unsigned long> state = longsOf(display, window, "WM_STATE", wmState);
        if (!state.empty() && state.front() == IconicState)
            return true;
    }
    return hasState(display, window, "_NET_WM_STATE_HIDDEN");
}

// Errors of a window that went away meanwhile are expected, not fatal.
int ignoreErrors(Display *, XErrorEvent *)
{
    return 0;
}

} // namespace

ProcessWindow X11Windows::rootWindowOf(qint64 pid)
{
    ProcessWindow result;
    if (pid <= 0)
        return result;
    DisplayPtr display(XOpenDisplay(nullptr));
    if (!display)
        return result;
    XErrorHandler previous = XSetErrorHandler(ignoreErrors);
    const Window root = DefaultRootWindow(display.get());
    std::vector<unsigned long> clients = longsOf(display.get(), root, "_NET_CLIENT_LIST_STACKING", XA_WINDOW);
    if (clients.empty())
        clients = longsOf(display.get(), root, "_NET_CLIENT_LIST", XA_WINDOW);
    // The stacking list runs bottom to top: the topmost first.
    for (auto it = clients.rbegin(); it != clients.rend() && !result.found; ++it) {
        const std::vector<unsigned long> owner = longsOf(display.get(), Window(*it), "_NET_WM_PID", XA_CARDINAL);
        if (owner.empty() || qint64(owner.front()) != pid)
            continue;
        // Climb to the window the others are transient for.
        Window window = Window(*it);
        for (int i = 0; i < kMaxOwners; ++i) {
            Window parent = None;
            if (!XGetTransientForHint(display.get(), window, &parent) || parent == None || parent == root)
                break;
            window = parent;
        }
        XWindowAttributes attributes;
        if (!XGetWindowAttributes(display.get(), window, &attributes))
            continue;
        result.found = true;
        result.handle = quintptr(window);
        result.minimised = iconic(display.get(), window);
        // A window manager unmaps what it iconified.
        result.visible = result.minimised || attributes.map_state == IsViewable;
    }
    XSync(display.get(), False);
    XSetErrorHandler(previous);
    return result;
}

bool X11Windows::canMinimise()
{
    DisplayPtr display(XOpenDisplay(nullptr));
    if (!display)
        return false;
    XErrorHandler previous = XSetErrorHandler(ignoreErrors);
    // The manager's check window names itself; one left by a manager that
    // ended is gone or names nothing.
    const std::vector<unsigned long> check =
        longsOf(display.get(), DefaultRootWindow(display.get()), "_NET_SUPPORTING_WM_CHECK", XA_WINDOW);
    bool running = false;
    if (!check.empty() && check.front() != None) {
        const std::vector<unsigned long> self =
            longsOf(display.get(), Window(check.front()), "_NET_SUPPORTING_WM_CHECK", XA_WINDOW);
        running = !self.empty() && self.front() == check.front();
    }
    XSync(display.get(), False);
    XSetErrorHandler(previous);
    return running;
}

bool X11Windows::minimise(quintptr handle)
{
    DisplayPtr display(XOpenDisplay(nullptr));
    if (!display || handle == 0)
        return false;
    XErrorHandler previous = XSetErrorHandler(ignoreErrors);
    const Status sent = XIconifyWindow(display.get(), Window(handle), DefaultScreen(display.get()));
    XSync(display.get(), False);
    XSetErrorHandler(previous);
    return sent != 0;
}

} // namespace windowcontrol
