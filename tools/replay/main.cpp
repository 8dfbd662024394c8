// main.cpp -- gridcity-replay: any frame of any seed, as a dump, a still, a clip or a checked run
// SPDX-License-Identifier: MIT
#include "replay.h"

#include "anim/anim.h"
#include "app/keys.h"
#include "scene/scene.h"
#include "world/world.h"

#include <cerrno>
#include <cstdarg>
#include <cstdlib> // exit
#include <cstring> // strerror
#include <ctime>   // time(), for the seed when none is given

static outfile outs[nouts];
static outfile &dumpout = outs[outdump], &pngout = outs[outpng], &traceout = outs[outtrace],
               &videoout = outs[outvideo];
static bool showing; // a progress line is on the terminal, not ended by a newline

// Every failure after the outputs are opened goes through here: no partial file survives.
[[noreturn, gnu::format(printf, 2, 3)]] static void stop(int status, const char *fmt, ...) {
    if (showing) fprintf(stderr, "\n");
    dropclip(); // before its file goes: ffmpeg could write it again
    for (outfile &o : outs)
        dropout(o);
    closestill();
    va_list ap;
    va_start(ap, fmt);
    fprintf(stderr, "gridcity-replay: ");
    vfprintf(stderr, fmt, ap);
    fprintf(stderr, "\n");
    va_end(ap);
    exit(status);
}

static replayopts opts;

int main(int argc, char **argv) {
    char err[512];
    guardouts();
    // --- arguments, all checked before anything is opened ---
    if (!parseopts(argc, argv, opts, err, sizeof err)) {
        fprintf(stderr, "gridcity-replay: %s\n", err);
        return 2;
    }
    if (opts.help) {
        printhelp(stdout);
        if (fflush(stdout) == 0 && !ferror(stdout)) return 0;
        fprintf(stderr, "gridcity-replay: cannot write the help: %s\n", strerror(errno));
        return 1;
    }
    if (sameouts(opts.out, err, sizeof err)) { // one would replace the other
        fprintf(stderr, "gridcity-replay: %s\n", err);
        return 2;
    }
    if (!opts.seeded) {
        opts.seed = (uint32_t)time(nullptr); // as the demo's seed
        fprintf(stderr, "gridcity-replay: seed %u\n", opts.seed);
    }

    // --- outputs, then the GL state before the world, in the demo's order ---
    for (int k = 0; k < nouts; k++)
        if (opts.out[k] && !openout(outs[k], opts.out[k], err, sizeof err)) stop(1, "%s", err);
    const char *video = opts.out[outvideo], *png = opts.out[outpng], *trace = opts.out[outtrace];
    if (video) { // ffmpeg starts before the renderer's threads, so it forks a small process
        char title[96];
        snprintf(title, sizeof title, "gridcity, seed %u, frames %u to %u", opts.seed, opts.from,
                 opts.frames);
        if (!openclip(videoout, opts.videokind, opts.rate, opts.vieww, opts.viewh, opts.clipw,
                      opts.cliph, title, err, sizeof err))
            stop(1, "%s", err);
    }
    if ((png || video) && !openstill(opts.vieww, opts.viewh, err, sizeof err)) stop(1, "%s", err);

    // --- the world, then the frames: events, calcme, changecolc ---
    buildworld(opts.seed);
    const char *why;
    if (opts.check && (why = checkstart())) stop(1, "after world generation (frame 0): %s", why);
    if (trace && !(traceheader(traceout.f, opts.seed) && traceframe(traceout.f, 0)))
        stop(1, "%s", outerror(traceout, err, sizeof err));
    int next = 0;
    clipstats clip = {};
    uint32_t clipframes = video ? opts.frames - opts.from + 1 : 0;
    for (uint64_t f = 1; f <= opts.frames; f++) { // wide: --frames 4294967295 ends
        while (next < opts.npresses && opts.presses[next].frame == f)
            presskey(opts.presses[next++].key); // only arrow keys: it never asks to end
        calcme();
        changecolc();
        if (opts.check) {
            if ((why = checkframe(f))) stop(1, "frame %llu: %s", (unsigned long long)f, why);
            if ((f % checkevery == 0 || f == opts.frames) && (why = checkuntouched()))
                stop(1, "frame %llu: %s", (unsigned long long)f, why);
        }
        if (trace && !traceframe(traceout.f, f)) stop(1, "%s", outerror(traceout, err, sizeof err));
        if (video && f >= opts.from) {
            if (!recordframe(clip, err, sizeof err))
                stop(1, "%s: frame %llu: %s", video, (unsigned long long)f, err);
            showing = showprogress(clip, clipframes);
        }
    }

    // --- outputs ---
    if (opts.out[outdump] && !writedump(dumpout.f))
        stop(1, "%s", outerror(dumpout, err, sizeof err));
    if (png && !writestill(pngout, err, sizeof err)) stop(1, "%s", err);
    if (video) {
        if (!closeclip(clip, err, sizeof err)) stop(1, "%s: %s", video, err);
        if (!closeout(videoout, err, sizeof err)) stop(1, "%s", err);
        double took = clip.end - clip.start;
        fprintf(stderr,
                "gridcity-replay: %s: frames %u to %u (%.2f s at %s fps) in %.1f s, %.1f fps; "
                "a frame: drawing %.1f ms, reading back %.1f ms, waiting for ffmpeg %.1f ms; "
                "ffmpeg %.1f ms CPU\n",
                video, opts.from, opts.frames, clipframes / opts.fps, opts.rate, took,
                clip.frames / took, 1e3 * clip.drawing / clip.frames,
                1e3 * clip.reading / clip.frames, 1e3 * clip.waiting / clip.frames,
                1e3 * clip.encodecpu / clip.frames);
    }
    for (outfile &o : outs)
        if (!closeout(o, err, sizeof err)) stop(1, "%s", err);
    closestill();
    if (opts.check)
        fprintf(stderr, "gridcity-replay: seed %u, %u frames checked, every invariant holds\n",
                opts.seed, opts.frames);
    return 0;
}
