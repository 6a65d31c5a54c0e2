// A program with one small top-level window that says its process id, as a
// supervised program's window does; it runs until it is ended.
#include <X11/Xatom.h>
#include <X11/Xlib.h>

#include <unistd.h>

int main()
{
    Display *display = XOpenDisplay(nullptr);
    if (!display)
        return 1;
    const Window window = XCreateSimpleWindow(display, DefaultRootWindow(display), 10, 10, 120, 80, 0, 0, 0);
    const long pid = long(getpid());
    XChangeProperty(display, window, XInternAtom(display, "_NET_WM_PID", False), XA_CARDINAL, 32, PropModeReplace,
                    reinterpret_cast<const unsigned char *>(&pid), 1);
    XStoreName(display, window, "supervised");
    XMapWindow(display, window);
    XFlush(display);
    for (;;)
        pause();
}
