// saver.cpp -- gridcity-saver: the city as a screensaver hack, drawn at its window's own pixels
// and filling it, at 60 steps a second whatever the display, with xscreensaver's switches
// SPDX-License-Identifier: MIT
//
// A host's window is drawn in through a window of the SDL layer's that the shell keeps inside it
// at its size (shell.cpp): the layer hears of no change to a window it did not make. The steps
// are the demo's, in the demo's order; only their pace and the view's shape are the saver's.
#include "app.h"
#include "heap.h"
#include "options.h"
#include "pace.h"
#include "shell.h"
#include "where.h"

#include "../anim/anim.h"
#include "../render/render.h"
#include "../scene/scene.h"
#include "../world/world.h"

#include <GL/gl.h>
#include <GL/glx.h>
#include <X11/Xlib.h>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <unistd.h>

// ---- settings ----

static bool root, letterbox, showrate;
static unsigned long window; // 0: a window of its own
static int maxfps = 60;
static int held = -1; // the camera held (0 roaming, 1 on the car), -1 the demo's programme

static const optrow options[] = {
    {"root", nullptr, "draw on the root window"},
    {"window", nullptr, "draw in a full-screen window of its own (the default)"},
    {"window-id", "ID", "draw in the window ID, 0x hex or decimal"},
    {"display", "NAME", "the X display to draw on"},
    {"visual", "VISUAL", "taken for xscreensaver; the saver picks a TrueColor GL visual itself"},
    {"install", nullptr, "taken for xscreensaver; a GL picture needs no colormap"},
    {"fps", nullptr, "show frames drawn and steps run a second in the top left corner"},
    {"no-fps", nullptr, "do not (the default)"},
    {"maxfps", "N",
     "draw at most N frames a second, 1 to 1000 (60); the city\n"
     "moves 60 steps a second whatever N is"},
    {"letterbox", nullptr, "keep the demo's 4:3 picture, centred, black around it"},
    {"no-letterbox", nullptr, "fill the window (the default)"},
    {"camera", "MODE", "switch (the demo's programme, the default), roam or car"},
    {"help", nullptr, "show this help and exit"},
};
constexpr int noptions = sizeof options / sizeof *options;

static const char usage[] = "usage: gridcity-saver [OPTION]...";

[[noreturn]] static void bad(const char *why) {
    fprintf(stderr, "gridcity-saver: %s (%s)\n", why, usage);
    exit(2);
}

[[noreturn]] static void failed(const char *what, const char *why) {
    fprintf(stderr, "gridcity-saver: %s: %s\n", what, why);
    exit(1);
}

static void help() {
    printf("%s\nThe city as a screensaver hack. Options take one dash or two:\n", usage);
    printopts(stdout, options, noptions, "-");
    if (fflush(stdout) == 0 && !ferror(stdout)) exit(0);
    failed("cannot write the help", strerror(errno));
}

// The value of -maxfps: a whole number in range, or 0.
static int framecap(const char *s) {
    char *end;
    errno = 0;
    long n = strtol(s, &end, 10);
    return *s && !*end && !errno && n >= 1 && n <= 1000 ? (int)n : 0;
}

static void take(int k, const char *v) {
    char why[200];
    const char *name = options[k].name;
    if (!strcmp(name, "root")) {
        root = true;
        window = 0;
    } else if (!strcmp(name, "window")) {
        root = false;
        window = 0;
    } else if (!strcmp(name, "window-id")) {
        window = windowid(v);
        root = false;
        if (!window) bad((snprintf(why, sizeof why, "not a window id: %s", v), why));
    } else if (!strcmp(name, "display")) {
        setenv("DISPLAY", v, 1);
    } else if (!strcmp(name, "fps") || !strcmp(name, "no-fps")) {
        showrate = name[0] == 'f';
    } else if (!strcmp(name, "maxfps")) {
        maxfps = framecap(v);
        if (!maxfps) bad((snprintf(why, sizeof why, "-maxfps takes 1 to 1000, not %s", v), why));
    } else if (!strcmp(name, "letterbox") || !strcmp(name, "no-letterbox")) {
        letterbox = name[0] == 'l';
    } else if (!strcmp(name, "camera")) {
        held = !strcmp(v, "roam") ? 0 : !strcmp(v, "car") ? 1 : !strcmp(v, "switch") ? -1 : -2;
        if (held == -2)
            bad((snprintf(why, sizeof why, "-camera takes switch, roam or car, not %s", v), why));
    } else if (!strcmp(name, "help")) {
        help();
    } // visual and install: nothing to do
}

static void parse(int argc, char **argv) {
    // Hacks take each switch with one dash or two, as xscreensaver's dialog writes them; -h is
    // every program's help.
    for (int i = 1; i < argc; i++) {
        if (argv[i][0] == '-' && argv[i][1] == '-') argv[i]++;
        if (!strcmp(argv[i], "-h")) help();
    }
    char err[200];
    for (int at = 1; at < argc;) {
        const char *v;
        int k = nextopt(argc, argv, &at, options, noptions, "-", &v, err, sizeof err);
        if (k < 0) bad(err);
        take(k, v);
    }
}

// ---- the window ----

static volatile sig_atomic_t running; // start-up is over: the frame loop sees the stop

// A hack is stopped with SIGTERM: quietly, at any moment. Before the frame loop there is
// nothing to finish, so the stop is at once.
static void onterm(int) {
    stopasked();
    if (!running) _exit(0);
}

// A visual the city can be drawn with: RGBA, double-buffered, with a depth buffer.
static bool drawable(Display *d, XVisualInfo *v) {
    int gl = 0, rgba = 0, twice = 0, depth = 0;
    glXGetConfig(d, v, GLX_USE_GL, &gl);
    glXGetConfig(d, v, GLX_RGBA, &rgba);
    glXGetConfig(d, v, GLX_DOUBLEBUFFER, &twice);
    glXGetConfig(d, v, GLX_DEPTH_SIZE, &depth);
    return gl && rgba && twice && depth >= 16 && v->c_class == TrueColor && v->depth == 24;
}

// The SDL layer would pick a DirectColor visual for its GL window where the server offers one,
// whose colours show only while its colormap is installed, which no host does. It gets the
// visual wanted (the host's, or the screen's when 0) where the city can be drawn with it, else
// the first TrueColor one it can. The connection GLX was asked on stays open: closed, it takes
// GLX's state with it, and the SDL layer then finds no X11 to start.
static void truecolour(VisualID wanted) {
    static Display *d = XOpenDisplay(nullptr);
    if (!d) return;
    if (!wanted) wanted = XVisualIDFromVisual(DefaultVisual(d, DefaultScreen(d)));
    XVisualInfo like = {};
    like.screen = DefaultScreen(d);
    int n = 0;
    XVisualInfo *all = XGetVisualInfo(d, VisualScreenMask, &like, &n);
    VisualID pick = 0;
    for (int i = 0; i < n; i++)
        if (drawable(d, &all[i]) && (!pick || all[i].visualid == wanted)) pick = all[i].visualid;
    if (all) XFree(all);
    if (pick) setenv("SDL_VIDEO_X11_WINDOW_VISUALID", std::to_string(pick).c_str(), 0);
}

static VisualID hostvisual; // the host window's

// The host's size and screen, checked before the SDL layer starts: a window that is not there
// or takes no drawing is refused with one line.
static void checkhost(int &w, int &h) {
    Display *d = XOpenDisplay(nullptr);
    if (!d) failed("cannot open display", XDisplayName(nullptr));
    if (!window) window = DefaultRootWindow(d);
    XSetErrorHandler([](Display *, XErrorEvent *) { return 0; });
    XWindowAttributes a;
    bool there = XGetWindowAttributes(d, window, &a);
    int screen = there ? XScreenNumberOfScreen(a.screen) : 0;
    std::string display = DisplayString(d);
    hostvisual = there ? XVisualIDFromVisual(a.visual) : 0;
    XCloseDisplay(d);
    if (!there || a.c_class == InputOnly) {
        fprintf(stderr,
                there ? "gridcity-saver: window 0x%lx is InputOnly: it cannot be drawn in\n"
                      : "gridcity-saver: no window 0x%lx on the display\n",
                window);
        exit(1);
    }
    w = a.width;
    h = a.height;
    // The SDL layer's window must open on the host's screen.
    if (screen != screenof(display.c_str()))
        setenv("DISPLAY", onscreen(display.c_str(), screen).c_str(), 1);
    // No window manager takes it, and it never asks to be minimised. It opens off the screen,
    // under no pointer: a host that takes the pointer crossing into a new window for the user's
    // return (MATE's) would stop the saver at once.
    setenv("SDL_X11_FORCE_OVERRIDE_REDIRECT", "1", 1);
    setenv("SDL_VIDEO_WINDOW_POS", "-30000,-30000", 1);
    setenv("SDL_VIDEO_MINIMIZE_ON_FOCUS_LOSS", "0", 1);
}

static void start() {
    int w = 0, h = 0;
    const char *display = getenv("DISPLAY"), *wayland = getenv("WAYLAND_DISPLAY");
    bool hosted = window || root;
    // A window of its own may open on Wayland; the others are X windows.
    if ((!display || !*display) && (hosted || !wayland || !*wayland)) {
        fprintf(stderr, "gridcity-saver: no display is set (neither DISPLAY nor -display NAME)\n");
        exit(1);
    }
    if (hosted) {
        checkhost(w, h);
        watchhost(window);
    }
    truecolour(hostvisual); // on the host's screen, which DISPLAY now names
    onescreen();
    // The picture is drawn at the window's own pixels, not scaled from the demo's size; the stop
    // is the saver's own; a screensaver that held off the screensaver would never let it blank.
    setenv("SDL12COMPAT_OPENGL_SCALING", "0", 1);
    setenv("SDL_NO_SIGNAL_HANDLERS", "1", 1);
    setenv("SDL_VIDEO_ALLOW_SCREENSAVER", "1", 1);
    // The saver needs no session bus, and one the SDL layer started would outlive a killed saver.
    setenv("DBUS_SESSION_BUS_ADDRESS", "disabled:", 1);
    keepheap();
    if (SDL_Init(SDL_INIT_VIDEO) < 0) failed("video initialization failed", SDL_GetError());
    char driver[32];
    if (invisibledriver(SDL_VideoDriverName(driver, sizeof driver)))
        failed("video mode set failed", "no display is available");
    // Eight bits a channel and the depth buffer the demo gets, as gridcity-replay's stills have.
    SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, 24);
    SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
    SDL_GL_SetAttribute(SDL_GL_SWAP_CONTROL, 1); // vsync where the layer can give it
    Uint32 flags = SDL_OPENGL | (hosted ? SDL_NOFRAME : SDL_FULLSCREEN);
    if (!hosted) {
        const SDL_VideoInfo *v = SDL_GetVideoInfo();
        w = v ? v->current_w : 0;
        h = v ? v->current_h : 0;
    }
    if (!SDL_SetVideoMode(w, h, 32, flags)) failed("video mode set failed", SDL_GetError());
    if (hosted)
        embed(window);
    else
        fitscreen();
    initGL();
    initme();
    SDL_ShowCursor(SDL_DISABLE);
}

// ---- the frame ----

// The view for a w x h window: all of it, or the largest 4:3 box centred in it (a spare
// column to the right, a spare row to the top).
static void placeview(int w, int h) {
    glDisable(GL_SCISSOR_TEST);
    if (!letterbox) {
        setview(w, h);
        return;
    }
    int bw = w, bh = h;
    if ((long)w * pictureh > (long)h * picturew)
        bw = (int)((long)h * picturew / pictureh);
    else
        bh = (int)((long)w * pictureh / picturew);
    int bx = (w - bw) / 2, by = (h - bh + 1) / 2;
    setview(bw, bh);
    glViewport(bx, by, bw, bh);
    glScissor(bx, by, bw, bh);
}

// In letterbox the bars are black, whatever the background of the moment.
static void clearbars() {
    GLfloat bg[4];
    glGetFloatv(GL_COLOR_CLEAR_VALUE, bg);
    glDisable(GL_SCISSOR_TEST);
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT);
    glClearColor(bg[0], bg[1], bg[2], bg[3]);
    glEnable(GL_SCISSOR_TEST);
}

// Frames drawn and steps run over the last second, shown with -fps.
static void countrate(int steps, Uint32 ms, char *text, size_t n) {
    static Uint32 since = ms;
    static int frames, ran;
    frames++;
    ran += steps;
    if (ms - since < 1000 && text[0]) return;
    double secs = (ms - since) / 1000.0;
    if (secs > 0) snprintf(text, n, "%.1f fps %.0f steps/s", frames / secs, ran / secs);
    since = ms;
    frames = ran = 0;
}

static void step() {
    if (held >= 0) whichcam = held;
    calcme();
    changecolc();
}

int main(int argc, char *argv[]) {
    struct sigaction a = {};
    a.sa_handler = onterm;
    sigaction(SIGTERM, &a, nullptr);
    sigaction(SIGINT, &a, nullptr);
    XInitThreads(); // the shell's thread has an X connection of its own
    parse(argc, argv);
    // xscreensaver's own window wins over any switch, as in every hack.
    const char *given = getenv("XSCREENSAVER_WINDOW");
    if (given && *given) {
        window = windowid(given);
        if (!window) bad("XSCREENSAVER_WINDOW is not a window id");
    }
    start();
    running = 1;

    pace clock;
    int vw = 0, vh = 0; // the view as placed
    char rate[48] = "";
    double next = SDL_GetTicks(); // when the next frame may be shown, ms
    SDL_Event event;
    int done = stopping();
    while (!done) {
        while (SDL_PollEvent(&event))
            if (HandleEvent(&event) == 1) done = 1;
        Uint32 ms = SDL_GetTicks();
        int steps = due(clock, ms);
        for (int i = 0; i < steps; i++)
            step();
        if (held >= 0) whichcam = held;
        int w, h;
        windowsize(w, h);
        if (w != vw || h != vh) placeview(vw = w, vh = h);
        if (letterbox) clearbars();
        drawscene();
        if (showrate) {
            countrate(steps, ms, rate, sizeof rate);
            glDisable(GL_SCISSOR_TEST);
            drawtext(rate, w, h);
            if (letterbox) glEnable(GL_SCISSOR_TEST);
        }
        glFlush(); // the driver draws while the frame waits for its time
        next += 1000.0 / maxfps;
        double now = SDL_GetTicks();
        if (next > now)
            SDL_Delay((Uint32)(next - now));
        else
            next = now; // late: no burst of frames to catch up
        SDL_GL_SwapBuffers();
        if (stopping()) done = 1;
    }
    Quit(0);
}
