// saver.cpp -- gridcity-saver: the city as an xscreensaver hack, in the window it is handed
// SPDX-License-Identifier: MIT
//
// The demo itself is run, unchanged: the SDL layer draws its picture letterboxed into a window it
// did not make when SDL_WINDOWID names it, and turns the SIGTERM that stops a hack into the quit
// the demo already obeys. A window destroyed under it ends it at once with status 1 and one line
// (hosted.cpp).
#include <X11/Xlib.h>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

static const char usage[] = "usage: gridcity-saver [-root | -window-id ID] [-display NAME]";

[[noreturn]] static void bad(const char *what, const char *arg) {
    fprintf(stderr, "gridcity-saver: %s%s (%s)\n", what, arg, usage);
    exit(2);
}

// A window id as xscreensaver writes it (0x hex) or in decimal, a leading zero included; 0 when
// it is not one.
static unsigned long windowid(const char *s) {
    bool hex = s[0] == '0' && (s[1] == 'x' || s[1] == 'X');
    const char *digits = hex ? s + 2 : s;
    char *end;
    errno = 0;
    unsigned long id = strtoul(digits, &end, hex ? 16 : 10);
    if (!isxdigit((unsigned char)*digits) || *end || errno || id > UINT_MAX) return 0;
    return id;
}

// The demo beside this program (the build tree), else where it is installed from here.
static std::string demopath() {
    char self[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    if (n <= 0) return DEMO_FROM_SAVER;
    std::string dir(self, (size_t)n);
    dir = dir.substr(0, dir.rfind('/') + 1);
    std::string beside = dir + "gridcity";
    return access(beside.c_str(), X_OK) == 0 ? beside : dir + DEMO_FROM_SAVER;
}

int main(int argc, char *argv[]) {
    bool root = false;
    unsigned long window = 0;
    for (int i = 1; i < argc; i++) {
        // Hacks take each switch with one dash or two, as xscreensaver's dialog writes them.
        const char *a = argv[i][0] == '-' && argv[i][1] == '-' ? argv[i] + 1 : argv[i];
        const char *next = i + 1 < argc ? argv[i + 1] : nullptr;
        if (!strcmp(a, "-h") || !strcmp(a, "-help")) {
            printf("%s\n", usage);
            if (fflush(stdout) == 0 && !ferror(stdout)) return 0;
            fprintf(stderr, "gridcity-saver: cannot write the help: %s\n", strerror(errno));
            return 1;
        } else if (!strcmp(a, "-root")) {
            root = true;
        } else if (!strcmp(a, "-window")) {
            root = false; // a window of its own, the demo's full-screen one
            window = 0;
        } else if (!strcmp(a, "-window-id")) {
            if (!next) bad("-window-id needs a window id", "");
            window = windowid(next);
            if (!window) bad("not a window id: ", next);
            i++;
        } else if (!strcmp(a, "-display")) {
            if (!next) bad("-display needs a display name", "");
            setenv("DISPLAY", next, 1);
            i++;
        } else if (!strcmp(a, "-visual")) {
            if (!next) bad("-visual needs a visual", "");
            i++; // the SDL layer picks its own GL visual for the window
        } else if (!strcmp(a, "-fps") || !strcmp(a, "-no-fps") || !strcmp(a, "-install")) {
            // standard hack switches with nothing to do here
        } else {
            bad("unknown option ", argv[i]);
        }
    }
    // xscreensaver's own window wins over any switch, as in every hack.
    const char *given = getenv("XSCREENSAVER_WINDOW");
    if (given && *given) {
        window = windowid(given);
        if (!window) bad("XSCREENSAVER_WINDOW is not a window id: ", given);
    }
    // A window of its own may open on Wayland; the others are X windows.
    const char *display = getenv("DISPLAY"), *wayland = getenv("WAYLAND_DISPLAY");
    if ((!display || !*display) && (window || root || !wayland || !*wayland)) {
        fprintf(stderr, "gridcity-saver: no display is set (neither DISPLAY nor -display NAME)\n");
        return 1;
    }
    if (window || root) {
        Display *d = XOpenDisplay(nullptr);
        if (!d) {
            fprintf(stderr, "gridcity-saver: cannot open display %s\n", XDisplayName(nullptr));
            return 1;
        }
        if (!window) window = DefaultRootWindow(d);
        XSetErrorHandler([](Display *, XErrorEvent *) { return 0; });
        XWindowAttributes a;
        bool there = XGetWindowAttributes(d, window, &a);
        XCloseDisplay(d);
        if (!there) {
            fprintf(stderr, "gridcity-saver: no window 0x%lx on the display\n", window);
            return 1;
        }
        if (a.c_class == InputOnly) {
            fprintf(stderr, "gridcity-saver: window 0x%lx is InputOnly: it cannot be drawn in\n",
                    window);
            return 1;
        }
        setenv("SDL_WINDOWID", std::to_string(window).c_str(), 1);
        setenv("SDL_VIDEO_FOREIGN_WINDOW_OPENGL", "1", 1);
    }
    // A screensaver that held off the screensaver would never let it lock or blank.
    setenv("SDL_VIDEO_ALLOW_SCREENSAVER", "1", 1);
    std::string demo = demopath();
    execl(demo.c_str(), "gridcity", (char *)nullptr);
    fprintf(stderr, "gridcity-saver: cannot run %s: %s\n", demo.c_str(), strerror(errno));
    return 1;
}
