// shell.cpp -- the window shell: the SDL layer's window fitted to its monitor or kept inside a
// host's window, on an X connection and a thread of its own so the frame loop never waits on it
// SPDX-License-Identifier: MIT
#include "shell.h"
#include "where.h"

#include <SDL.h>
#include <SDL_syswm.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/extensions/Xrandr.h>
#include <X11/extensions/shape.h>
#include <algorithm>
#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <pthread.h>
#include <unistd.h>

static Display *conn;           // the shell's own connection, used only by its thread once it runs
static std::atomic<Window> own; // the SDL layer's window, 0 until the shell has it
static Window host;             // the window it is kept in, 0 for none
static bool fitting;            // own is sized to its monitor, as no window manager does it
static int rrevent = -1;        // RandR's first event number, -1 without RandR
static std::atomic<unsigned> size; // own's width << 16 | height
static volatile sig_atomic_t stopflag;
static XErrorHandler before; // Xlib's handler, or the one the SDL layer had set

void stopasked() {
    stopflag = 1;
}
bool stopping() {
    return stopflag;
}

void windowsize(int &w, int &h) {
    unsigned s = size;
    w = (int)(s >> 16);
    h = (int)(s & 0xffff);
}

static void publish(int w, int h) {
    size = (unsigned)std::clamp(w, 0, 0xffff) << 16 | (unsigned)std::clamp(h, 0, 0xffff);
}

[[noreturn]] static void hostgone() {
    // A host that stops the saver sends its SIGTERM first and destroys the window at once; the
    // signal may still be on its way to the thread that takes it.
    sigset_t pending;
    for (int i = 0; i < 20 && !stopping(); i++) {
        if (sigpending(&pending) == 0 && sigismember(&pending, SIGTERM)) break;
        usleep(5000);
    }
    if (stopping() || (sigpending(&pending) == 0 && sigismember(&pending, SIGTERM))) _exit(0);
    fprintf(stderr, "gridcity-saver: the window 0x%lx it was drawing in went away\n", host);
    _exit(1);
}

// A window destroyed under the saver fails whatever request comes next, on any connection.
// Whether the host is still there is asked over a connection of its own, as no connection may
// be used inside its own error handler.
static int onerror(Display *d, XErrorEvent *e) {
    static bool asking; // the question's own error comes back here
    if (asking) return 0;
    if (host) {
        asking = true;
        Display *q = XOpenDisplay(DisplayString(d));
        XWindowAttributes a;
        bool there = q && XGetWindowAttributes(q, host, &a);
        if (q) XCloseDisplay(q);
        asking = false;
        if (!there) hostgone();
        if (d == conn) return 0; // a window of the saver's, gone between two requests
        char what[160];
        XGetErrorText(d, e->error_code, what, sizeof what);
        fprintf(stderr, "gridcity-saver: the window 0x%lx cannot be drawn in: %s (request %d.%d)\n",
                host, what, e->request_code, e->minor_code);
        _exit(1); // as Xlib's handler ends it, without cleanup that would talk to the server again
    }
    if (d == conn) return 0;
    return before ? before(d, e) : 0;
}

static bool openshell(const char *name) {
    if (conn) return true;
    conn = XOpenDisplay(name);
    if (!conn) return false;
    XErrorHandler was = XSetErrorHandler(onerror);
    if (was != onerror) before = was;
    int rrerror;
    if (!XRRQueryExtension(conn, &rrevent, &rrerror)) rrevent = -1;
    return true;
}

// The first 32-bit item of a property, or 0 when there is none.
static unsigned long first(Window w, Atom name, Atom type) {
    Atom got;
    int format;
    unsigned long n, left, v = 0;
    unsigned char *data = nullptr;
    if (XGetWindowProperty(conn, w, name, 0, 1, False, type, &got, &format, &n, &left, &data) ==
            Success &&
        data && got == type && format == 32 && n == 1)
        v = *(unsigned long *)data;
    if (data) XFree(data);
    return v;
}

// A window manager names a window of its own on the root and on that window itself, and lists
// the states it honours on the root.
static bool wmfullscreen(Window root) {
    Atom check = XInternAtom(conn, "_NET_SUPPORTING_WM_CHECK", False);
    Window wm = first(root, check, XA_WINDOW);
    if (!wm || first(wm, check, XA_WINDOW) != wm) return false;
    Atom full = XInternAtom(conn, "_NET_WM_STATE_FULLSCREEN", False);
    Atom got;
    int format;
    unsigned long n = 0, left;
    unsigned char *data = nullptr;
    bool found = false;
    if (XGetWindowProperty(conn, root, XInternAtom(conn, "_NET_SUPPORTED", False), 0, 4096, False,
                           XA_ATOM, &got, &format, &n, &left, &data) == Success &&
        data && got == XA_ATOM && format == 32)
        for (unsigned long i = 0; i < n && !found; i++)
            found = ((Atom *)data)[i] == full;
    if (data) XFree(data);
    return found;
}

// The monitor that holds most of the window, as RandR lists them now.
static rect monitorof(const XWindowAttributes &a) {
    int n = 0;
    XRRMonitorInfo *m = rrevent >= 0 ? XRRGetMonitors(conn, a.root, True, &n) : nullptr;
    monitor list[16];
    n = std::min(n, 16);
    for (int i = 0; i < n; i++)
        list[i] = {{m[i].x, m[i].y, m[i].width, m[i].height}, m[i].primary != 0};
    if (m) XRRFreeMonitors(m);
    return monitorfor({a.x, a.y, a.width, a.height}, list, n,
                      {0, 0, WidthOfScreen(a.screen), HeightOfScreen(a.screen)});
}

// Own gets the size and place of its monitor. A window manager that keeps a border round every
// window it does not frame (xmonad) would have it over the picture's edge: the border goes
// outside the monitor, and is cut off the window's shape so that it lies on no neighbouring
// monitor either.
static void fit() {
    XWindowAttributes a;
    if (!XGetWindowAttributes(conn, own, &a) || a.map_state != IsViewable) return;
    rect m = monitorof(a);
    int bw = a.border_width;
    if (a.x != m.x - bw || a.y != m.y - bw || a.width != m.w || a.height != m.h) {
        XMoveResizeWindow(conn, own, m.x - bw, m.y - bw, (unsigned)m.w, (unsigned)m.h);
    } else if (bw) {
        XRectangle inner = {0, 0, (unsigned short)m.w, (unsigned short)m.h};
        XShapeCombineRectangles(conn, own, ShapeBounding, 0, 0, &inner, 1, ShapeSet, YXBanded);
    }
}

// Own kept at the host's size in its corner; the drawable has that size once the server has it.
static void follow(int w, int h) {
    XMoveResizeWindow(conn, own, 0, 0, (unsigned)w, (unsigned)h);
    publish(w, h);
}

// The shell's thread: waits on its connection and answers what the server says changed.
static void *watch(void *) {
    for (;;) {
        XEvent e;
        XNextEvent(conn, &e);
        if (rrevent >= 0 && e.type == rrevent + RRScreenChangeNotify) {
            XRRUpdateConfiguration(&e);
            if (fitting) fit();
        } else if (e.type == DestroyNotify && host && e.xdestroywindow.window == host) {
            hostgone();
        } else if (e.type == ConfigureNotify && own && e.xconfigure.window == own) {
            if (!host) publish(e.xconfigure.width, e.xconfigure.height);
            if (fitting) fit();
        } else if (e.type == ConfigureNotify && own && e.xconfigure.window == host) {
            follow(e.xconfigure.width, e.xconfigure.height);
        } else if (e.type == MapNotify && fitting && e.xmap.window == own) {
            fit();
        }
        XFlush(conn);
    }
    return nullptr;
}

static void startwatch() {
    static bool started;
    if (started) return;
    started = true;
    pthread_t t;
    if (pthread_create(&t, nullptr, watch, nullptr) == 0) pthread_detach(t);
}

// The window the SDL layer made for the video mode, on the display it opened.
static Window sdlwindow(Display **d) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (SDL_GetWMInfo(&info) <= 0 || info.subsystem != SDL_SYSWM_X11) return 0;
    *d = info.info.x11.display;
    return info.info.x11.wmwindow ? info.info.x11.wmwindow : info.info.x11.window;
}

void fitscreen() {
    Display *d = nullptr;
    Window w = sdlwindow(&d);
    if (!w || !openshell(DisplayString(d))) return;
    XWindowAttributes a;
    if (XGetWindowAttributes(conn, w, &a)) {
        own = w;
        publish(a.width, a.height);
        XSelectInput(conn, own, StructureNotifyMask);
        fitting = !wmfullscreen(a.root);
        if (fitting) {
            if (rrevent >= 0) XRRSelectInput(conn, a.root, RRScreenChangeNotifyMask);
            fit();
        }
    }
    XSync(conn, False); // the size is the server's before the first frame is drawn
    if (own) startwatch();
}

static Window focus; // where the input focus was before the SDL layer's window appeared
static int revert;

void watchhost(unsigned long h) {
    if (!h || !openshell(nullptr)) return;
    host = h;
    XGetInputFocus(conn, &focus, &revert);
    XWindowAttributes a;
    if (!XGetWindowAttributes(conn, host, &a)) hostgone();
    XSelectInput(conn, host, StructureNotifyMask);
    if (host == a.root && rrevent >= 0) XRRSelectInput(conn, host, RRScreenChangeNotifyMask);
    XSync(conn, False);
    startwatch(); // a host that goes while the SDL layer starts is seen at once
}

void embed(unsigned long h) {
    Display *sdl = nullptr;
    Window w = sdlwindow(&sdl);
    if (!w || h != host || !conn) return;
    // The thread owns the shell's connection by now: the move goes over one of its own.
    Display *d = XOpenDisplay(DisplayString(sdl));
    if (!d) return;
    own = w; // from here the thread keeps it at the host's size
    XWindowAttributes a;
    if (!XGetWindowAttributes(d, host, &a)) hostgone();
    // With no window manager the SDL layer gives its new window the focus; a hack takes none.
    Window now;
    int was;
    XGetInputFocus(d, &now, &was);
    if (now == w) XSetInputFocus(d, focus, revert, CurrentTime);
    XShapeCombineRectangles(d, w, ShapeInput, 0, 0, nullptr, 0, ShapeSet, Unsorted);
    XReparentWindow(d, w, host, 0, 0);
    if (host == a.root) XLowerWindow(d, w); // below every window, as the root's picture
    XMoveResizeWindow(d, w, 0, 0, (unsigned)a.width, (unsigned)a.height);
    publish(a.width, a.height);
    XSync(d, False);
    XCloseDisplay(d);
}

void onescreen() {
    if (screenof(getenv("DISPLAY")) > 0) setenv("SDL_VIDEO_X11_XRANDR", "0", 0);
}
