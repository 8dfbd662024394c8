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
//                  SHIM_STOP=0 starts it free with those signals in place.
//   SHIM_COUNT=P   each stop first writes the number of the frame just swapped to the file P
//   SHIM_FRAMES=N  after SHIM_WARMUP swaps (default 30) a clock starts; after N more the frame
//                  rate is appended to SHIM_OUT (or standard error) and a quit event posted,
//                  which the program handles like a closed window
//   SHIM_HEAP=P    at exit 96 MB is allocated in small blocks and freed again; the MB of it
//                  that the allocator handed back to the system rather than kept go to P
#include "app/app.h" // keydown
#include "xkit.h"    // now

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

extern "C" void SDL_GL_SwapBuffers(void) {
    static auto real = (void (*)())dlsym(RTLD_NEXT, "SDL_GL_SwapBuffers");
    static const long stop = envlong("SHIM_STOP");
    static const long up = envlong("SHIM_UP");
    static long swaps = 0;
    real();
    swaps++;
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
