// page.cpp -- the browser page's driver: the address's options, then the demo's frames (events,
// calcme, changecolc) as the page's clock asks for them, drawn at the browser's animation frames
// SPDX-License-Identifier: MIT
#include "web.h"

#include "anim/anim.h"
#include "app/keys.h"
#include "replay.h"
#include "scene/scene.h"
#include "world/world.h"

#include <cstring>
#include <ctime> // time(), for the seed when the address gives none

// The address's options arrive one by one, spelt as gridcity-replay's command line, so the page
// reads seeds, frame counts and presses exactly as the tool does.
constexpr int maxargs = maxpresses + 8;
constexpr int argbytes = 1 << 16;
static char argstore[argbytes];
static int argused;
static char progname[] = "gridcity";
static char *argv[maxargs + 1] = {progname};
static int argc = 1;
static bool toolong; // the address held more than the store takes

static replayopts opts;
static uint32_t frames; // frames run since the world was built
static int nextpress;   // the next of the address's presses to deliver

// Arrow keys from the page wait here for the next frame's event drain, as SDL queues them.
constexpr int maxkeys = 64;
static int keys[maxkeys];
static int nkeys;

// Buildings recoloured since the last draw, from the one the cycler stood on then.
static int colfirst, colcount;

// One frame's step: the address's presses for it, then the keys that came, then the animation.
static void step() {
    frames++;
    while (nextpress < opts.npresses && opts.presses[nextpress].frame == frames)
        presskey(opts.presses[nextpress++].key);
    for (int i = 0; i < nkeys; i++)
        presskey(keys[i]); // only arrow keys come here, so it never asks to end
    nkeys = 0;
    if (colcount == 0) colfirst = colstepz;
    calcme();
    changecolc();
    if (colcount < nbuildings) colcount += colourpasses; // past a whole sweep, every colour goes
}

static void draw() {
    drawframe(colfirst, colcount);
    colcount = 0;
}

extern "C" {

int gc_arg(const char *a) {
    size_t n = strlen(a) + 1;
    if (toolong || argc == maxargs || argused + n > sizeof argstore) {
        toolong = true;
        return 0;
    }
    argv[argc++] = (char *)memcpy(argstore + argused, a, n);
    argused += (int)n;
    return 1;
}

// 1 when the city runs, 2 when it is built but waits for the browser to give back a WebGL
// context it took before the first frame, 0 when it cannot be drawn. Either way gc_problem
// tells what went wrong in a line, if anything: a bad address still gives a city, its own
// seed's when that seed is valid, else one from the clock.
static char problem[512];

// After a fault: nothing of what was read but the seed, when the seed alone parses.
static void keepseed() {
    char *seeds[maxargs + 1] = {progname};
    int n = 1;
    for (int i = 1; i < argc; i++)
        if (strncmp(argv[i], "--seed=", 7) == 0) seeds[n++] = argv[i];
    char why[sizeof problem];
    if (!parseopts(n, seeds, opts, why, sizeof why)) opts = replayopts{};
}

int gc_start() {
    if (toolong) {
        strcpy(problem, "the address holds more options than the page takes");
        keepseed();
    } else if (!parseopts(argc, argv, opts, problem, sizeof problem)) {
        keepseed();
        // The tool's reasons name its options; the address spells them without the dashes.
        if (strncmp(problem, "--", 2) == 0) memmove(problem, problem + 2, strlen(problem) - 1);
    }
    if (!opts.seeded) opts.seed = (uint32_t)time(nullptr); // as the demo's seed

    if (const char *why = initdraw()) {
        snprintf(problem, sizeof problem, "%s", why);
        return 0;
    }
    buildworld(opts.seed);
    loadscene();
    drawframe(0, 0);
    return drawwaits() ? 2 : 1;
}

const char *gc_problem() {
    return problem;
}
uint32_t gc_seed() {
    return opts.seed;
}
uint32_t gc_frames() {
    return frames;
}

void gc_key(int up) {
    if (nkeys < maxkeys) keys[nkeys++] = up ? upkey : downkey; // a full queue drops keys
}

// The browser's animation frame: the steps its clock owes, then one drawing if any ran. When
// limited (the address gave a frame count), none past that count, and 0 once it is reached; the
// last frame stays on the canvas.
int gc_frame(uint32_t steps, int limited) {
    uint32_t ran = 0;
    for (; ran < steps && !(limited && frames >= opts.frames); ran++)
        step();
    if (ran) draw();
    return !(limited && frames >= opts.frames);
}

// The browser gave a lost WebGL context back: every GL object made again from the store, and
// the frame reached drawn. Empty when it worked, else why not in a line.
const char *gc_restore() {
    if (const char *why = restoredraw()) return why;
    colcount = 0; // every colour has just gone up
    drawframe(0, 0);
    return "";
}

// Up to count of the address's frames at once, without drawing them; the last one is drawn.
// The frames still to run, so the page can share the work out over several tasks.
uint32_t gc_run(uint32_t count) {
    for (; count > 0 && frames < opts.frames; count--)
        step();
    if (frames == opts.frames) draw();
    return opts.frames - frames;
}

// The dump's hash as gridcity-replay --trace writes it for this frame, and xxhsum -H3 for the
// file --dump writes.
const char *gc_dumphash() {
    static char hex[17];
    snprintf(hex, sizeof hex, "%016llx", (unsigned long long)dumphash());
    return hex;
}
}
