// xdrive.cpp -- gridcity-xdrive: keys, screenshots and close requests for a running X display
// SPDX-License-Identifier: MIT
#include "xkit.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <unistd.h> // usleep

static const char usage[] =
    "usage: gridcity-xdrive COMMAND...   (on $DISPLAY, run in order)\n"
    "  key NAME      press and release a key (X keysym name: Up, Down, Escape)\n"
    "  shot FILE     save the screen as a PNG file\n"
    "  sleep MS      wait MS milliseconds\n"
    "  drawn SECS    wait up to SECS seconds for a window showing more than one colour\n"
    "  close         send a close request to the application window\n";

static bool drawn(Display *d, double secs) {
    double end = now() + secs;
    xpicture p;
    do {
        if (xappwindow(d) && xgrab(d, p) && !uniform(p)) return true;
        usleep(100000);
    } while (now() < end);
    return false;
}

static int fail(const char *what, const char *arg) {
    fprintf(stderr, "gridcity-xdrive: %s%s\n", what, arg);
    return 1;
}

int main(int argc, char **argv) {
    if (argc < 2) {
        fputs(usage, stderr);
        return 2;
    }
    Display *d = XOpenDisplay(nullptr);
    if (!d) return fail("cannot open display ", getenv("DISPLAY") ? getenv("DISPLAY") : "(unset)");
    if (!xtestready(d)) return fail("the display has no XTEST extension", "");
    int rc = 0;
    for (int i = 1; i < argc && rc == 0; i++) {
        const char *cmd = argv[i];
        const char *arg = i + 1 < argc ? argv[i + 1] : nullptr;
        if (!strcmp(cmd, "close")) {
            Window w = xappwindow(d);
            if (!w || !xclose(d, w)) rc = fail("no window takes close requests", "");
            continue;
        }
        if (!arg) {
            fputs(usage, stderr);
            rc = 2;
            break;
        }
        i++;
        if (!strcmp(cmd, "key")) {
            if (!xtap(d, arg)) rc = fail("unknown key ", arg);
        } else if (!strcmp(cmd, "shot")) {
            xpicture p;
            if (!xgrab(d, p) || !xsavepng(arg, p)) rc = fail("cannot save the screen to ", arg);
        } else if (!strcmp(cmd, "sleep")) {
            usleep((useconds_t)atoi(arg) * 1000);
        } else if (!strcmp(cmd, "drawn")) {
            if (!drawn(d, atof(arg))) rc = fail("nothing drawn within seconds: ", arg);
        } else {
            fputs(usage, stderr);
            rc = 2;
        }
    }
    XCloseDisplay(d);
    return rc;
}
