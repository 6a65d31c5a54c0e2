// The X11 window control on a display of its own with no window manager:
// the test plays the manager's part (its check window, the client list),
// takes the child's map request and receives the iconify request the
// control sends.
#include "platform/window_control/window_control.h"
#include "tests/support/hang_bound.h"

#include <QDeadlineTimer>
#include <QProcess>
#include <QtTest>

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <functional>

namespace {

// The next event the predicate takes.
bool nextEvent(Display *display, XEvent &event, const std::function<bool(const XEvent &)> &wanted)
{
    QDeadlineTimer deadline(kHangMs);
    while (!deadline.hasExpired()) {
        while (XPending(display)) {
            XNextEvent(display, &event);
            if (wanted(event))
                return true;
        }
        QThread::msleep(5);
    }
    return false;
}

} // namespace

class TstWindowControl : public QObject
{
    Q_OBJECT

private slots:
    void findsAndIconifiesAChildProcessWindow()
    {
        Display *display = XOpenDisplay(nullptr);
        QVERIFY2(display, "no X display");
        const Window root = DefaultRootWindow(display);
        // As a window manager: map requests and client messages come here.
        XSelectInput(display, root, SubstructureRedirectMask | SubstructureNotifyMask);
        XSync(display, False);

        // A manager is known by its check window, which names itself; until
        // then nothing minimises windows.
        windowcontrol::WindowControl &control = windowcontrol::windowControl();
        QVERIFY(!control.canMinimise());
        const Atom checkAtom = XInternAtom(display, "_NET_SUPPORTING_WM_CHECK", False);
        const unsigned long check[] = {XCreateSimpleWindow(display, root, 0, 0, 1, 1, 0, 0, 0)};
        XChangeProperty(display, root, checkAtom, XA_WINDOW, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char *>(check), 1);
        XSync(display, False);
        QVERIFY(!control.canMinimise()); // left by a manager that ended
        XChangeProperty(display, Window(check[0]), checkAtom, XA_WINDOW, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char *>(check), 1);
        XSync(display, False);
        QVERIFY(control.canMinimise());

        QProcess child;
        child.start(QStringLiteral(X_WINDOW_CHILD), {});
        QVERIFY(child.waitForStarted(kHangMs));
        const qint64 pid = child.processId();
        XEvent event;
        QVERIFY(nextEvent(display, event, [](const XEvent &e) { return e.type == MapRequest; }));
        const Window window = event.xmaprequest.window;
        XMapWindow(display, window);
        // Another client first, a window of this test without a process id.
        const Window other = XCreateSimpleWindow(display, root, 0, 0, 10, 10, 0, 0, 0);
        const unsigned long clients[] = {other, window};
        XChangeProperty(display, root, XInternAtom(display, "_NET_CLIENT_LIST", False), XA_WINDOW, 32,
                        PropModeReplace, reinterpret_cast<const unsigned char *>(clients), 2);
        XSync(display, False);

        windowcontrol::ProcessWindow found = control.rootWindowOf(pid);
        QVERIFY(found.found);
        QCOMPARE(found.handle, quintptr(window));
        QVERIFY(found.visible);
        QVERIFY(!found.minimised);
        QVERIFY(!control.rootWindowOf(QCoreApplication::applicationPid()).found);

        // The request: WM_CHANGE_STATE to iconic for that window.
        QVERIFY(control.minimise(found.handle));
        const Atom changeState = XInternAtom(display, "WM_CHANGE_STATE", False);
        QVERIFY(nextEvent(display, event, [&](const XEvent &e) {
            return e.type == ClientMessage && e.xclient.message_type == changeState;
        }));
        QCOMPARE(event.xclient.window, window);
        QCOMPARE(event.xclient.data.l[0], long(IconicState));

        // Done as a manager does it: unmapped, WM_STATE iconic. Now it reads
        // as minimised, so the supervision ends.
        const Atom wmState = XInternAtom(display, "WM_STATE", False);
        const long state[] = {IconicState, long(None)};
        XChangeProperty(display, window, wmState, wmState, 32, PropModeReplace,
                        reinterpret_cast<const unsigned char *>(state), 2);
        XUnmapWindow(display, window);
        XSync(display, False);
        found = control.rootWindowOf(pid);
        QVERIFY(found.found);
        QVERIFY(found.minimised);

        child.kill();
        child.waitForFinished(kHangMs);
        XCloseDisplay(display);
    }
};

QTEST_GUILESS_MAIN(TstWindowControl)
#include "tst_window_control.moc"
