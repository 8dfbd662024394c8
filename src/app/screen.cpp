// screen.cpp -- sizing the full-screen window to its monitor where no window manager does
// SPDX-License-Identifier: MIT
//
// The SDL layer asks for a full-desktop window and scales its 1024x768 picture to the desktop's
// size, trusting the window manager to give the window that size. With none running the window
// stays 1024x768 and shows a cropped, offset piece of the picture; sized from outside, as a
// window manager would size it, the window shows the whole picture scaled to the monitor.
#include "screen.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <strings.h> // strcasecmp
#include <poll.h>
#include <sys/prctl.h>
#include <unistd.h>

static int tolerate(Display *, XErrorEvent *) {
    return 0; // a window gone between two requests is no reason to stop
}

// The first 32-bit item of a property, or 0 when there is none.
static unsigned long first(Display *d, Window w, Atom name, Atom type) {
    Atom got;
    int format;
    unsigned long n, left;
    unsigned char *data = nullptr;
    unsigned long v = 0;
    if (XGetWindowProperty(d, w, name, 0, 1, False, type, &got, &format, &n, &left, &data) ==
            Success &&
        data && got == type && format == 32 && n == 1)
        v = *(unsigned long *)data;
    if (data) XFree(data);
    return v;
}

// A window manager names a window of its own on the root and on that window itself, and lists
// the states it honours on the root.
static bool wmfullscreen(Display *d, Window root) {
    Atom check = XInternAtom(d, "_NET_SUPPORTING_WM_CHECK", False);
    Window wm = first(d, root, check, XA_WINDOW);
    if (!wm || first(d, wm, check, XA_WINDOW) != wm) return false;
    Atom full = XInternAtom(d, "_NET_WM_STATE_FULLSCREEN", False);
    Atom got;
    int format;
    unsigned long n = 0, left;
    unsigned char *data = nullptr;
    bool found = false;
    if (XGetWindowProperty(d, root, XInternAtom(d, "_NET_SUPPORTED", False), 0, 4096, False,
                           XA_ATOM, &got, &format, &n, &left, &data) == Success &&
        data && got == XA_ATOM && format == 32)
        for (unsigned long i = 0; i < n && !found; i++)
            found = ((Atom *)data)[i] == full;
    if (data) XFree(data);
    return found;
}

// The monitor that holds most of the window, the primary one when none holds any of it, the
// whole screen where RandR lists no monitors: a picture spread over the whole screen would be
// cut by the seam between two monitors.
static XRectangle monitorof(Display *d, const XWindowAttributes &a) {
    XRectangle best = {0, 0, (unsigned short)WidthOfScreen(a.screen),
                       (unsigned short)HeightOfScreen(a.screen)};
    int n = 0;
    XRRMonitorInfo *m = XRRGetMonitors(d, a.root, True, &n);
    long most = 0;
    bool primary = false;
    for (int i = 0; i < n; i++) {
        long w = std::min(a.x + a.width, m[i].x + m[i].width) - std::max(a.x, m[i].x);
        long h = std::min(a.y + a.height, m[i].y + m[i].height) - std::max(a.y, m[i].y);
        long area = w > 0 && h > 0 ? w * h : 0;
        if (area > most || (!most && !primary && (m[i].primary || i == 0))) {
            best = {(short)m[i].x, (short)m[i].y, (unsigned short)m[i].width,
                    (unsigned short)m[i].height};
            most = area;
            primary = m[i].primary;
        }
    }
    if (m) XRRFreeMonitors(m);
    return best;
}

// A mapped top-level window of the demo's process gets the size and place of its monitor.
static void fit(Display *d, Window w, pid_t owner) {
    if (first(d, w, XInternAtom(d, "_NET_WM_PID", False), XA_CARDINAL) != (unsigned long)owner)
        return;
    XWindowAttributes a;
    if (!XGetWindowAttributes(d, w, &a) || a.map_state != IsViewable || a.override_redirect) return;
    XRectangle m = monitorof(d, a);
    if (a.x != m.x || a.y != m.y || a.width != m.width || a.height != m.height)
        XMoveResizeWindow(d, w, m.x, m.y, m.width, m.height);
    XFlush(d);
}

// Every top-level window of the demo's, fitted: those mapped before the watcher looked, and all
// of them again when the monitors change.
static void fitall(Display *d, Window root, pid_t owner) {
    Window r, p, *kids = nullptr;
    unsigned int n = 0;
    if (XQueryTree(d, root, &r, &p, &kids, &n))
        for (unsigned int i = 0; i < n; i++)
            fit(d, kids[i], owner);
    if (kids) XFree(kids);
}

// The watcher: sizes the demo's windows as they appear and change, until the demo ends.
[[noreturn]] static void watch(pid_t owner) {
    Display *d = XOpenDisplay(nullptr);
    if (!d) _exit(0);
    XSetErrorHandler(tolerate);
    Window root = DefaultRootWindow(d);
    if (wmfullscreen(d, root)) {
        XCloseDisplay(d);
        _exit(0);
    }
    XSelectInput(d, root, SubstructureNotifyMask);
    int rrevent = 0, rrerror;
    bool rr = XRRQueryExtension(d, &rrevent, &rrerror);
    if (rr) XRRSelectInput(d, root, RRScreenChangeNotifyMask);
    fitall(d, root, owner); // a window mapped before the lines above
    pollfd f = {ConnectionNumber(d), POLLIN, 0};
    while (getppid() == owner) {
        while (XPending(d)) {
            XEvent e;
            XNextEvent(d, &e);
            if (e.type == MapNotify) fit(d, e.xmap.window, owner);
            if (e.type == ConfigureNotify) fit(d, e.xconfigure.window, owner);
            if (rr && e.type == rrevent + RRScreenChangeNotify) {
                XRRUpdateConfiguration(&e);
                fitall(d, root, owner);
            }
        }
        if (poll(&f, 1, 1000) < 0 && errno != EINTR) break;
    }
    XCloseDisplay(d);
    _exit(0);
}

void fitscreen() {
    const char *display = getenv("DISPLAY"), *driver = getenv("SDL_VIDEODRIVER");
    if (!display || !*display || getenv("SDL_WINDOWID")) return;
    if (driver && *driver && strcmp(driver, "x11") != 0) return;
    // Unscaled, the layer draws in the window's corner; a 1024x768 window shows it centred.
    const char *scaling = getenv("SDL12COMPAT_OPENGL_SCALING");
    if (scaling && (!strcmp(scaling, "0") || !strcasecmp(scaling, "false"))) return;
    pid_t owner = getpid();
    pid_t pid = fork();
    if (pid != 0) return; // the demo goes on whether the watcher started or not
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != owner) _exit(0); // the demo ended before the line above
    watch(owner);
}
