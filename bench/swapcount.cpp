// swapcount.cpp -- a preloaded shim that times a program's frames by its buffer swaps
//
// LD_PRELOAD=libswapcount.so runs a program unchanged. After SWAPCOUNT_WARMUP swaps it
// starts a clock, after SWAPCOUNT_FRAMES more it appends the frame rate to SWAPCOUNT_OUT
// (or standard error) and posts a quit event, which the demo handles like a closed window.
// With SWAPCOUNT_SEED set, time() returns it, so a clock-seeded program builds a known world.
#include <SDL.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <dlfcn.h>

static long envlong(const char *name, long fallback) {
    const char *s = getenv(name);
    return s && *s ? strtol(s, nullptr, 10) : fallback;
}

static double now() {
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec + t.tv_nsec * 1e-9;
}

static void report(double fps, long frames, double secs) {
    const char *out = getenv("SWAPCOUNT_OUT");
    FILE *f = out && *out ? fopen(out, "a") : nullptr;
    fprintf(f ? f : stderr, "%.4f fps %ld frames %.4f s\n", fps, frames, secs);
    if (f) fclose(f);
}

extern "C" void SDL_GL_SwapBuffers(void) {
    static void (*real)(void) = (void (*)(void))dlsym(RTLD_NEXT, "SDL_GL_SwapBuffers");
    static const long warmup = envlong("SWAPCOUNT_WARMUP", 30);
    static const long frames = envlong("SWAPCOUNT_FRAMES", 200);
    static long swaps = 0;
    static double start = 0.0;
    real();
    swaps++;
    if (swaps == warmup) start = now();
    if (swaps == warmup + frames) {
        double secs = now() - start;
        report(frames / secs, frames, secs);
        auto push = (int (*)(SDL_Event *))dlsym(RTLD_DEFAULT, "SDL_PushEvent");
        SDL_Event quit = {};
        quit.type = SDL_QUIT;
        if (push) push(&quit);
    }
}

extern "C" time_t time(time_t *t) {
    static time_t (*real)(time_t *) = (time_t(*)(time_t *))dlsym(RTLD_NEXT, "time");
    const char *seed = getenv("SWAPCOUNT_SEED");
    if (!seed || !*seed) return real(t);
    time_t v = (time_t)strtoll(seed, nullptr, 10);
    if (t) *t = v;
    return v;
}
