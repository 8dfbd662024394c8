// hosted.cpp -- a window someone else made (SDL_WINDOWID): its loss ends the demo with one line
// SPDX-License-Identifier: MIT
#include "hosted.h"

#include <X11/Xlib.h>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

static unsigned long hostwindow; // the window SDL_WINDOWID names

// A host that stops the demo with SIGTERM may destroy its window before the quit is drawn
// (xsecurelock's saver_multiplex does so at every unlock): that is the stop asked for, not a
// failure.
static volatile sig_atomic_t stopping;
static void (*quitter)(int); // the SDL layer's handler, which turns SIGTERM into a quit

static void onterm(int sig) {
    stopping = 1;
    quitter(sig);
}

// Replaces Xlib's handler, which prints the failed request's details and exits: a window
// destroyed under the demo fails whatever request comes next. Whether it is gone is asked over
// a connection of its own, as this one must make no requests inside its handler.
static int hostfailed(Display *, XErrorEvent *e) {
    static bool asking; // the question's own error comes back here
    if (asking) return 0;
    asking = true;
    Display *d = XOpenDisplay(nullptr);
    XWindowAttributes a;
    bool there = d && XGetWindowAttributes(d, hostwindow, &a);
    if (d) XCloseDisplay(d);
    if (!there && stopping) _exit(0);
    if (!there) {
        fprintf(stderr, "gridcity: the window 0x%lx it was drawing in went away\n", hostwindow);
    } else {
        char what[160];
        XGetErrorText(e->display, e->error_code, what, sizeof what);
        fprintf(stderr, "gridcity: the window 0x%lx cannot be drawn in: %s (request %d.%d)\n",
                hostwindow, what, e->request_code, e->minor_code);
    }
    _exit(1); // as Xlib's handler ends it, without cleanup that would talk to the server again
}

void watchhost() {
    const char *id = getenv("SDL_WINDOWID");
    if (!id || !*id) return;
    hostwindow = strtoul(id, nullptr, 0); // as the SDL layer reads it
    XSetErrorHandler(hostfailed);
}

void watchstop() {
    struct sigaction sdl;
    if (!hostwindow || sigaction(SIGTERM, nullptr, &sdl) != 0 || (sdl.sa_flags & SA_SIGINFO) ||
        sdl.sa_handler == SIG_DFL || sdl.sa_handler == SIG_IGN)
        return;
    quitter = sdl.sa_handler;
    struct sigaction a = sdl;
    a.sa_handler = onterm;
    sigaction(SIGTERM, &a, nullptr);
}
