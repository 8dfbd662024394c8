// screen.cpp -- sizing the full-screen window to the screen where no window manager does
// SPDX-License-Identifier: MIT
//
// The SDL layer asks for a full-desktop window and scales its 1024x768 picture to the desktop's
// size, trusting the window manager to give the window that size. With none running the window
// stays 1024x768 and shows a cropped, offset piece of the picture; sized from outside, as a
// window manager would size it, the window shows the whole picture scaled to the screen.
#include "screen.h"

#include <X11/Xatom.h>
#include <X11/Xlib.h>
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

// A mapped top-level window of the demo's process gets the screen's size and place.
static void fit(Display *d, Window w, pid_t owner) {
    if (first(d, w, XInternAtom(d, "_NET_WM_PID", False), XA_CARDINAL) != (unsigned long)owner)
        return;
    XWindowAttributes a;
    if (!XGetWindowAttributes(d, w, &a) || a.map_state != IsViewable || a.override_redirect) return;
    int sw = WidthOfScreen(a.screen), sh = HeightOfScreen(a.screen);
    if (a.x != 0 || a.y != 0 || a.width != sw || a.height != sh)
        XMoveResizeWindow(d, w, 0, 0, (unsigned)sw, (unsigned)sh);
    XFlush(d);
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
    // A window mapped before the line above is found here.
    Window r, p, *kids = nullptr;
    unsigned int n = 0;
    if (XQueryTree(d, root, &r, &p, &kids, &n))
        for (unsigned int i = 0; i < n; i++)
            fit(d, kids[i], owner);
    if (kids) XFree(kids);
    pollfd f = {ConnectionNumber(d), POLLIN, 0};
    while (getppid() == owner) {
        while (XPending(d)) {
            XEvent e;
            XNextEvent(d, &e);
            if (e.type == MapNotify) fit(d, e.xmap.window, owner);
            if (e.type == ConfigureNotify) fit(d, e.xconfigure.window, owner);
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
