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
#include <X11/extensions/shape.h>
#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <strings.h> // strcasecmp
#include <poll.h>
#include <string>
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
    // A window manager that keeps a border round every window it does not frame (xmonad) would
    // have it over the picture's edge: the border goes outside the monitor, and is cut off the
    // window's shape so that it lies on no neighbouring monitor either.
    int bw = a.border_width;
    if (a.x != m.x - bw || a.y != m.y - bw || a.width != m.width || a.height != m.height) {
        XMoveResizeWindow(d, w, m.x - bw, m.y - bw, m.width, m.height);
    } else if (bw) {
        XRectangle inner = {0, 0, m.width, m.height};
        XShapeCombineRectangles(d, w, ShapeBounding, 0, 0, &inner, 1, ShapeSet, YXBanded);
    }
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

// In a window someone else made, the demo draws in a window of its own that is moved into it and
// kept at its size: the SDL layer hears of no size change of a window it did not make, but
// re-fits its picture whenever its own window changes size. Clicks and keys go through to the
// host as they did when the demo drew in it directly; in the root window the demo's own stays
// below every other window, as the root's picture does.
static Window embed(Display *d, Window root, Window host, pid_t owner) {
    static Window shaped;
    Window own = 0;
    XWindowAttributes h;
    if (!XGetWindowAttributes(d, host, &h)) return 0;
    for (Window parent : {root, host}) {
        Window r, p, *kids = nullptr;
        unsigned int n = 0;
        if (!XQueryTree(d, parent, &r, &p, &kids, &n)) continue;
        for (unsigned int i = 0; i < n; i++) {
            Window w = kids[i];
            if (first(d, w, XInternAtom(d, "_NET_WM_PID", False), XA_CARDINAL) !=
                (unsigned long)owner)
                continue;
            XWindowAttributes a;
            if (!XGetWindowAttributes(d, w, &a) || a.c_class == InputOnly) continue;
            if (w != shaped) {
                XShapeCombineRectangles(d, w, ShapeInput, 0, 0, nullptr, 0, ShapeSet, Unsorted);
                shaped = w;
            }
            if (parent != host) XReparentWindow(d, w, host, 0, 0);
            if (parent != host || a.x || a.y || a.width != h.width || a.height != h.height)
                XMoveResizeWindow(d, w, 0, 0, (unsigned)h.width, (unsigned)h.height);
            if (host == root && i != 0) XLowerWindow(d, w);
            own = w;
        }
        if (kids) XFree(kids);
        if (host == root) break;
    }
    XFlush(d);
    return own;
}

// The SDL layer takes no notice of a size change that comes while it is still setting up its
// window, and would draw fitted to the size it set itself for good: once the window has been
// quiet for a second, one pixel taller and back tells it the size again.
static void nudge(Display *d, Window w, Window host) {
    XWindowAttributes h;
    if (!XGetWindowAttributes(d, host, &h)) return;
    XResizeWindow(d, w, (unsigned)h.width, (unsigned)h.height + 1);
    XResizeWindow(d, w, (unsigned)h.width, (unsigned)h.height);
    XFlush(d);
}

// The watcher: sizes the demo's windows as they appear and change, until the demo ends; with a
// host, keeps the demo's window in it.
[[noreturn]] static void watch(pid_t owner, Window host) {
    Display *d = XOpenDisplay(nullptr);
    if (!d) _exit(0);
    XSetErrorHandler(tolerate);
    Window root = DefaultRootWindow(d);
    if (!host && wmfullscreen(d, root)) {
        XCloseDisplay(d);
        _exit(0);
    }
    XSelectInput(d, root, SubstructureNotifyMask | (host == root ? StructureNotifyMask : 0));
    if (host && host != root) XSelectInput(d, host, StructureNotifyMask | SubstructureNotifyMask);
    int rrevent = 0, rrerror;
    bool rr = XRRQueryExtension(d, &rrevent, &rrerror);
    if (rr) XRRSelectInput(d, root, RRScreenChangeNotifyMask);
    Window own = 0;
    bool nudged = false;
    if (host)
        own = embed(d, root, host, owner); // windows made before we looked
    else
        fitall(d, root, owner);
    pollfd f = {ConnectionNumber(d), POLLIN, 0};
    while (getppid() == owner) {
        bool changed = false;
        while (XPending(d)) {
            XEvent e;
            XNextEvent(d, &e);
            if (rr && e.type == rrevent + RRScreenChangeNotify) XRRUpdateConfiguration(&e);
            if (host) {
                changed = true;
            } else if (e.type == MapNotify) {
                fit(d, e.xmap.window, owner);
            } else if (e.type == ConfigureNotify) {
                fit(d, e.xconfigure.window, owner);
            } else if (rr && e.type == rrevent + RRScreenChangeNotify) {
                fitall(d, root, owner);
            }
        }
        if (changed) own = embed(d, root, host, owner);
        int ready = poll(&f, 1, 1000);
        if (ready < 0 && errno != EINTR) break;
        if (ready == 0 && own && !nudged) {
            nudge(d, own, host);
            nudged = true;
        }
    }
    XCloseDisplay(d);
    _exit(0);
}

// The display's name for another of its screens: ":0.1" for screen 1 of ":0".
static std::string onscreen(const char *name, int screen) {
    std::string s = name;
    size_t colon = s.rfind(':'), dot = s.rfind('.');
    if (colon != std::string::npos && dot != std::string::npos && dot > colon) s.erase(dot);
    return s + "." + std::to_string(screen);
}

void fitscreen() {
    const char *display = getenv("DISPLAY"), *driver = getenv("SDL_VIDEODRIVER");
    if (!display || !*display) return;
    if (driver && *driver && strcmp(driver, "x11") != 0) return;
    // Unscaled, the layer draws in the window's corner; a 1024x768 window shows it centred.
    const char *scaling = getenv("SDL12COMPAT_OPENGL_SCALING");
    if (scaling && (!strcmp(scaling, "0") || !strcasecmp(scaling, "false"))) return;
    const char *id = getenv("SDL_WINDOWID");
    Window host = id && *id ? strtoul(id, nullptr, 0) : 0; // as the SDL layer reads it
    Display *d = XOpenDisplay(nullptr);
    if (!d) return;
    auto before = XSetErrorHandler(tolerate);
    int screen = DefaultScreen(d);
    XWindowAttributes h;
    if (host && XGetWindowAttributes(d, host, &h) && h.c_class == InputOutput) {
        screen = XScreenNumberOfScreen(h.screen);
        // The window of the demo's own must open on the host's screen.
        setenv("DISPLAY", onscreen(DisplayString(d), screen).c_str(), 1);
        unsetenv("SDL_WINDOWID");
        unsetenv("SDL_VIDEO_FOREIGN_WINDOW_OPENGL");
        // No window manager takes it, and it never asks to be minimised.
        setenv("SDL_X11_FORCE_OVERRIDE_REDIRECT", "1", 1);
        setenv("SDL_VIDEO_MINIMIZE_ON_FOCUS_LOSS", "0", 1);
    } else {
        host = 0;
    }
    XSync(d, False); // errors of the calls above reach our handler, not the one restored
    XSetErrorHandler(before);
    XCloseDisplay(d);
    if (id && *id && !host) return; // a window that is not there fails the demo's own way
    // The layer's monitors of every screen share one plane, so it opens a window on screen 0
    // whatever screen is asked for; told only of the default screen it opens there.
    if (screen != 0) setenv("SDL_VIDEO_X11_XRANDR", "0", 0);
    pid_t owner = getpid();
    pid_t pid = fork();
    if (pid != 0) return; // the demo goes on whether the watcher started or not
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() != owner) _exit(0); // the demo ended before the line above
    watch(owner, host);
}
