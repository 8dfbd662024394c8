// frameshim.cpp -- a preloaded shim that seeds a program, stops it on its frames and times them
// SPDX-License-Identifier: MIT
//
// LD_PRELOAD=libframeshim.so runs gridcity (or the benchmark's bare frames) unchanged except
// for these things, each off unless its variable is set:
//   SHIM_SEED=S    time() returns S, so initme builds seed S's world
//   SHIM_UP=F      an Up key-down is queued right after swap F-1, so frame F's event drain
//                  takes it before that frame's step (F >= 2), as gridcity-replay --press F:up
//   SHIM_STOP=N    from the Nth buffer swap on (frame 1 is the first) the process stops itself
//                  with SIGSTOP after every swap, so the screen holds that frame until SIGCONT
//                  moves it on one frame, and input queued meanwhile is drained by the next.
//                  SIGUSR2 lets it run free, SIGUSR1 makes it stop again after the next swap;
//                  SHIM_STOP=0 starts it free with those signals in place. SDL_GetTicks then
//                  gives 1000/60 ms more at each swap, so a program paced by that clock (the
//                  saver) runs one step a frame, as the demo does.
//   SHIM_COUNT=P   each stop first writes the number of the frame just swapped to the file P
//   SHIM_FRAMES=N  after SHIM_WARMUP swaps (default 30) a clock starts; after N more the frame
//                  rate is appended to SHIM_OUT (or standard error) and a quit event posted,
//                  which the program handles like a closed window
//   SHIM_SPLIT=P   with SHIM_FRAMES, where the timed frames' time went is appended to P, in ms a
//                  frame: the program's own code (from a swap to the frame's first glClear), the
//                  GL calls (to SDL_Delay, a glFlush included), the delay while the frame that
//                  glFlush handed over is rasterised (a fence put after that flush, waited on in
//                  place of the delay's sleep, which then sleeps out the rest: the wait is as
//                  long), the rest of the delay (all of it without a flush), the rasterisation
//                  left at the swap (a glFinish put at its start, where the SDL layer's blit would
//                  wait for it anyway), the SDL layer's clear, blit and swap without the copy to
//                  X, and that copy (the swap's XPutImage, XShmPutImage and XSync); then the
//                  whole frame
//   SHIM_HEAP=P    at exit 96 MB is allocated in small blocks and freed again; the MB of it
//                  that the allocator handed back to the system rather than kept go to P
#include "app/app.h" // keydown
#include "xkit.h"    // now

#include <GL/gl.h> // GLsync and the fence's entry points' types, from glext.h
#include <X11/extensions/XShm.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <dlfcn.h>
#include <fcntl.h>
#include <malloc.h>
#include <unistd.h>

static long envlong(const char *name, long fallback = 0) {
    const char *s = getenv(name);
    return s && *s ? strtol(s, nullptr, 10) : fallback;
}

// SDL and Xlib are the program's; the shim links neither and finds them at run time.
template <class fn> static fn any(const char *name) {
    return (fn)dlsym(RTLD_DEFAULT, name);
}

static void push(SDL_Event e) {
    if (auto p = any<int (*)(SDL_Event *)>("SDL_PushEvent")) p(&e);
}

// The swap may leave the picture in the program's own Xlib buffer; a stopped process would
// never send it, so it goes to the server before the stop.
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
    const char *s = getenv("SHIM_STOP");
    if (!s || !*s) return;
    struct sigaction a = {};
    a.sa_flags = SA_RESTART;
    a.sa_handler = stepon;
    sigaction(SIGUSR1, &a, nullptr);
    a.sa_handler = stepoff;
    sigaction(SIGUSR2, &a, nullptr);
}

static void writecount(long swaps) {
    const char *path = getenv("SHIM_COUNT");
    if (!path || !*path) return;
    int fd = open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) return;
    char text[24];
    int n = snprintf(text, sizeof text, "%ld\n", swaps);
    if (write(fd, text, (size_t)n) != n) unlink(path); // no count rather than a torn one
    close(fd);
}

static void report(double fps, long frames, double secs) {
    const char *out = getenv("SHIM_OUT");
    FILE *f = out && *out ? fopen(out, "a") : nullptr;
    fprintf(f ? f : stderr, "%.4f fps %ld frames %.4f s\n", fps, frames, secs);
    if (f) fclose(f);
}

// The frame rate of frames warmup + 1 to warmup + frames, then a quit.
static void timeframes(long swaps) {
    static const long warmup = envlong("SHIM_WARMUP", 30);
    static const long frames = envlong("SHIM_FRAMES");
    static double start = 0.0;
    if (frames <= 0) return;
    if (swaps == warmup) start = now();
    if (swaps == warmup + frames) {
        double secs = now() - start;
        report(frames / secs, frames, secs);
        SDL_Event quit = {};
        quit.type = SDL_QUIT;
        push(quit);
    }
}

// The split of the timed frames: marks taken as a frame goes, sums over the timed ones.
enum { program, glcalls, delayraster, delayrest, raster, sdllayer, xcopy, frame, nparts };
static const bool splitting = getenv("SHIM_SPLIT") && *getenv("SHIM_SPLIT");
static double swapped, glstart, delaystart, rastered, delayend, xtime, parts[nparts];
static bool inswap;
static GLsync handed; // the fence after the frame's flush, until the delay has waited on it

static void writesplit(long frames) {
    FILE *f = fopen(getenv("SHIM_SPLIT"), "a");
    if (!f) return;
    for (double &p : parts)
        fprintf(f, "%.3f ", 1e3 * p / (double)frames);
    fprintf(f, "%ld\n", frames);
    fclose(f);
}

extern "C" void glClear(unsigned mask) {
    static auto real = (void (*)(unsigned))dlsym(RTLD_NEXT, "glClear");
    if (glstart < swapped) glstart = now();
    real(mask);
}

extern "C" void glFlush(void) {
    static auto real = (void (*)())dlsym(RTLD_NEXT, "glFlush");
    real();
    if (splitting && !handed && glstart > delaystart) // the frame's own flush, before its delay
        handed = any<PFNGLFENCESYNCPROC>("glFenceSync")(GL_SYNC_GPU_COMMANDS_COMPLETE, 0);
}

// With a fence handed over, the delay's first part waits on it (blocked, as a sleep is) and the
// rest sleeps until the delay's end.
extern "C" void SDL_Delay(Uint32 ms) {
    static auto real = (void (*)(Uint32))dlsym(RTLD_NEXT, "SDL_Delay");
    delaystart = rastered = now();
    if (!handed) {
        real(ms);
    } else {
        any<PFNGLCLIENTWAITSYNCPROC>("glClientWaitSync")(handed, 0, (GLuint64)ms * 1000000);
        rastered = now();
        any<PFNGLDELETESYNCPROC>("glDeleteSync")(handed);
        handed = nullptr;
        double end = delaystart + ms * 1e-3;
        timespec t = {(time_t)end, (long)((end - (double)(time_t)end) * 1e9)};
        while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &t, nullptr) == EINTR) {
        }
    }
    delayend = now();
}

// The copy to X: the image requests and the wait for the server, timed inside the swap only.
// Where the program does not link Xlib, SDL's copy is not in the global scope: found in lib.
template <class fn, class... args> static int timedx(const char *lib, const char *name, args... a) {
    static auto real =
        (fn)(dlsym(RTLD_NEXT, name) ?: dlsym(dlopen(lib, RTLD_LAZY | RTLD_NOLOAD), name));
    if (!inswap) return real(a...);
    double t = now();
    int r = real(a...);
    xtime += now() - t;
    return r;
}

extern "C" int XPutImage(Display *d, Drawable w, GC gc, XImage *i, int sx, int sy, int dx, int dy,
                         unsigned width, unsigned height) {
    return timedx<decltype(&XPutImage)>("libX11.so.6", "XPutImage", d, w, gc, i, sx, sy, dx, dy,
                                        width, height);
}

extern "C" Bool XShmPutImage(Display *d, Drawable w, GC gc, XImage *i, int sx, int sy, int dx,
                             int dy, unsigned width, unsigned height, Bool event) {
    return timedx<decltype(&XShmPutImage)>("libXext.so.6", "XShmPutImage", d, w, gc, i, sx, sy, dx,
                                           dy, width, height, event);
}

extern "C" int XSync(Display *d, Bool discard) {
    return timedx<decltype(&XSync)>("libX11.so.6", "XSync", d, discard);
}

static void splitframe(long swaps, double start, double finished, double end) {
    static const long warmup = envlong("SHIM_WARMUP", 30);
    static const long frames = envlong("SHIM_FRAMES");
    if (swaps > warmup && swaps <= warmup + frames && swapped > 0) {
        parts[program] += glstart - swapped;
        parts[glcalls] += delaystart - glstart;
        parts[delayraster] += rastered - delaystart;
        parts[delayrest] += delayend - rastered;
        parts[raster] += finished - start;
        parts[sdllayer] += end - finished - xtime;
        parts[xcopy] += xtime;
        parts[frame] += end - swapped;
    }
    if (swaps == warmup + frames) writesplit(frames);
}

static long swaps = 0;

extern "C" Uint32 SDL_GetTicks(void) {
    static auto real = (Uint32(*)())dlsym(RTLD_NEXT, "SDL_GetTicks");
    static const bool driven = getenv("SHIM_STOP") && *getenv("SHIM_STOP");
    return driven ? (Uint32)(swaps * 50 / 3) : real();
}

extern "C" void SDL_GL_SwapBuffers(void) {
    static auto real = (void (*)())dlsym(RTLD_NEXT, "SDL_GL_SwapBuffers");
    static const long stop = envlong("SHIM_STOP");
    static const long up = envlong("SHIM_UP");
    double start = now(), finished = start;
    if (splitting) {
        any<void (*)()>("glFinish")();
        finished = now();
        xtime = 0.0;
        inswap = true;
    }
    real();
    inswap = false;
    swaps++;
    if (splitting) {
        double end = now();
        splitframe(swaps, start, finished, end);
        swapped = end;
    }
    timeframes(swaps);
    if (up >= 2 && swaps == up - 1) push(keydown(SDLK_UP));
    if (swaps == stop) stepping = 1;
    if (stepping) {
        writecount(swaps);
        sendpicture();
        raise(SIGSTOP);
    }
}

extern "C" time_t time(time_t *t) {
    static auto real = (time_t(*)(time_t *))dlsym(RTLD_NEXT, "time");
    const char *seed = getenv("SHIM_SEED");
    if (!seed || !*seed) return real(t);
    time_t v = (time_t)strtoll(seed, nullptr, 10);
    if (t) *t = v;
    return v;
}

// Blocks under any mmap threshold come from the heap; freed last to first, they join its top,
// which glibc hands back to the system if the trim threshold lets it. 96 MB lies past the
// highest threshold glibc reaches by itself (64 MB), so only a threshold set higher keeps it.
[[gnu::destructor]] static void heapkept() {
    const char *path = getenv("SHIM_HEAP");
    if (!path || !*path) return;
    constexpr int nblocks = 1536, block = 64 << 10;
    static void *blocks[nblocks];
    for (int i = 0; i < nblocks; i++)
        blocks[i] = malloc(block);
    size_t grown = mallinfo2().arena;
    for (int i = nblocks - 1; i >= 0; i--)
        free(blocks[i]);
    size_t returned = grown - mallinfo2().arena;
    FILE *f = fopen(path, "w");
    if (!f) return;
    fprintf(f, "%zu\n", returned >> 20);
    fclose(f);
}
