// freeze.cpp -- a preloaded shim that gives the demo a chosen seed and stops it on chosen frames
//
// LD_PRELOAD=libfreeze.so runs the demo unchanged except for these things, each off unless its
// variable is set:
//   FREEZE_SEED=S   time() returns S, so initme builds seed S's world
//   FREEZE_FRAME=N  right after the Nth buffer swap (frame 1 is the first) the process stops
//                   itself with SIGSTOP, so the screen holds frame N until SIGCONT
//   FREEZE_UP=F     an Up key-down is queued right after swap F-1, so frame F's event drain
//                   takes it before that frame's step (F >= 2), as gridcity-replay --press F:up
//   FREEZE_STEP=1   the process stops itself after every swap, so a test moves it on one frame
//                   per SIGCONT, and input queued meanwhile is drained by the next frame.
//                   SIGUSR2 lets it run free, SIGUSR1 makes it stop again after the next swap;
//                   FREEZE_STEP=0 starts it free with those signals in place.
//   FREEZE_COUNT=P  each stop first writes the number of the frame just swapped to the file P
#include <SDL.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <dlfcn.h>
#include <fcntl.h>
#include <unistd.h>

static long envlong(const char *name) {
    const char *s = getenv(name);
    return s && *s ? strtol(s, nullptr, 10) : 0;
}

template <class fn> static fn next(const char *name) {
    return (fn)dlsym(RTLD_NEXT, name);
}

template <class fn> static fn any(const char *name) {
    return (fn)dlsym(RTLD_DEFAULT, name);
}

static void pushup() {
    auto push = any<int (*)(SDL_Event *)>("SDL_PushEvent");
    SDL_Event e = {};
    e.type = SDL_KEYDOWN;
    e.key.type = SDL_KEYDOWN;
    e.key.state = SDL_PRESSED;
    e.key.keysym.sym = SDLK_UP;
    if (push) push(&e);
}

// The swap may leave the picture in the demo's own Xlib buffer; a stopped process would never
// send it, so it goes to the server before the stop.
static void sendpicture() {
    auto current = any<void *(*)()>("glXGetCurrentDisplay");
    auto sync = any<int (*)(void *, int)>("XSync");
    void *d = current ? current() : nullptr;
    if (d && sync) sync(d, 0);
}

static volatile sig_atomic_t stepping = 0;

static void stepon(int) {
    stepping = 1;
}

static void stepoff(int) {
    stepping = 0;
}

[[gnu::constructor]] static void setstepping() {
    const char *s = getenv("FREEZE_STEP");
    if (!s || !*s) return;
    stepping = envlong("FREEZE_STEP") != 0;
    struct sigaction a = {};
    a.sa_flags = SA_RESTART;
    a.sa_handler = stepon;
    sigaction(SIGUSR1, &a, nullptr);
    a.sa_handler = stepoff;
    sigaction(SIGUSR2, &a, nullptr);
}

static void writecount(long swaps) {
    const char *path = getenv("FREEZE_COUNT");
    if (!path || !*path) return;
    int fd = open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) return;
    char text[24];
    int n = snprintf(text, sizeof text, "%ld\n", swaps);
    if (write(fd, text, (size_t)n) != n) unlink(path); // no count rather than a torn one
    close(fd);
}

extern "C" void SDL_GL_SwapBuffers(void) {
    static auto real = next<void (*)()>("SDL_GL_SwapBuffers");
    static const long frame = envlong("FREEZE_FRAME");
    static const long up = envlong("FREEZE_UP");
    static long swaps = 0;
    real();
    swaps++;
    if (up >= 2 && swaps == up - 1) pushup();
    if (swaps == frame || stepping) {
        writecount(swaps);
        sendpicture();
        raise(SIGSTOP);
    }
}

extern "C" time_t time(time_t *t) {
    static auto real = next<time_t (*)(time_t *)>("time");
    const char *seed = getenv("FREEZE_SEED");
    if (!seed || !*seed) return real(t);
    time_t v = (time_t)strtoll(seed, nullptr, 10);
    if (t) *t = v;
    return v;
}
