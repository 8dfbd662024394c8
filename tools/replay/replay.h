// replay.h -- gridcity-replay's parts: options, output files, the trace, stills, clips, the checker
// SPDX-License-Identifier: MIT
#pragma once

#include "app/options.h"
#include "render/render.h" // picturew, pictureh
#include "scene/dump.h"

#include <cstdarg>
#include <cstdint>
#include <cstdio>

// Each part reports a failure as a one-line reason in err; fail writes it and returns false.
[[gnu::format(printf, 3, 4)]] inline bool fail(char *err, int errlen, const char *fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    vsnprintf(err, (size_t)errlen, fmt, ap);
    va_end(ap);
    return false;
}

// ---- options ----
constexpr int maxpresses = 4096; // arrow-key presses one run can replay

struct press {
    uint32_t frame; // delivered in the event drain of this frame, before its step
    int key;        // upkey or downkey
};

// Every option, a row each in --help's order (opttable, in options.cpp): the parser, --help
// and the man page's test all read the rows. The outputs lie together, in their own order.
enum {
    o_seed,
    o_frames,
    o_press,
    o_dump,
    o_trace,
    o_png,
    o_video, // the outputs: --NAME FILE
    o_view,
    o_kind,
    o_from,
    o_rate,
    o_size,
    o_check,
    o_help,
    nopts
};
extern const optrow opttable[nopts];
enum { outdump, outtrace, outpng, outvideo, nouts }; // an output's option is o_dump + its number
static_assert(o_video - o_dump + 1 == nouts, "the outputs' rows together, in their order");

struct replayopts {
    bool seeded; // --seed given; otherwise the clock, as the demo does
    uint32_t seed;
    uint32_t frames;        // --frames N
    const char *out[nouts]; // each output's FILE ("-" standard output where taken); null if not
    int videokind;          // --kind K, else the clipkind of the video's FILE
    uint32_t from;          // --from A: the clip's first frame (default 1)
    const char *rate;       // --rate R as given, a decimal or N/D ("60" unless given)
    double fps;             // its value
    int vieww, viewh;       // --view WxH, the size stills and clips are drawn at
    int clipw, cliph;       // --size WxH, the clip's picture; 0 for the drawn vieww x viewh
    bool check;             // --check
    bool help;              // --help
    int npresses;
    press presses[maxpresses]; // sorted by frame, command-line order within a frame
};

// Fills o from the command line. On bad input returns false with a one-line reason in err.
bool parseopts(int argc, char **argv, replayopts &o, char *err, int errlen);
void printhelp(FILE *f);

// ---- output files ----
// A regular file, or a name not there yet, is written under a temporary name in the target's
// own folder (a symbolic link's target's) and renamed over it when complete, so a failed run
// leaves no partial file. A device, a FIFO or the file open as standard output (/dev/stdout)
// is written in place and never replaced.
struct outfile {
    const char *path;  // as given; "-" is standard output
    char target[4096]; // the file the rename replaces: path with its links followed
    char tmp[4096];    // the temporary; empty when written in place
    FILE *f;           // open for writing; null when closed
};
// At start: closed descriptors 0 to 2 onto /dev/null, so no output takes their place;
// SIGPIPE and SIGXFSZ ignored, so they fail the write (children inherit that); every other
// signal that would end the tool removes the open outputs' temporaries first.
void guardouts();
void onfatal(void (*fn)()); // fn runs first in that handler (a child writing an output stops)
// Two outputs that one file would take (one by device and inode, or by name); null if none,
// else why not, in a line.
const char *sameouts(const char *const out[nouts], char *err, int errlen);
bool openout(outfile &o, const char *path, char *err, int errlen);
const char *outerror(const outfile &o, char *err, int errlen); // "cannot write X: strerror(errno)"
bool closeout(outfile &o, char *err, int errlen); // flush, close, rename onto the target
void dropout(outfile &o);                         // close and remove the temporary file

// ---- trace ----
// Two comment lines, the seed and the columns (each array, then the scalars together, then the
// random state); then one line per frame (0 is the world as generated): the frame, the hash of
// the dump --dump would write then (dumphash), and for each column the hash (low 32 bits) of the
// dump up to its end. False when a write fails.
bool traceheader(FILE *f, uint32_t seed);
bool traceframe(FILE *f, uint64_t frame);

// ---- stills ----
// The largest side --view takes: a still of 8192x8192 takes some 1.2 GB, a clip's three frames
// in flight 0.6 GB more (and ffmpeg its own).
constexpr int maxview = 8192;
// SDL's offscreen driver with an OpenGL surface of w x h, then the demo's initGL, then the
// demo's view at that size (setview).
bool openstill(int w, int h, char *err, int errlen);
bool writestill(outfile &o, char *err, int errlen); // drawscene, read back, PNG
void closestill();

// ---- clips: frames piped raw into an ffmpeg process ----
enum { clipmp4, clipwebm, clipmkv, clipwebp, nclipkinds }; // .mp4 .webm .mkv .webp
int clipkind(const char *path); // (options.cpp) from the file name's extension; -1 if unknown
struct clipstats {
    uint32_t frames;                  // drawn and queued so far
    double start, end;                // first frame begun, ffmpeg ended: CLOCK_MONOTONIC s
    double drawing, reading, waiting; // seconds: drawscene + glFinish, glReadPixels, a free slot
    double encodecpu;                 // ffmpeg's user + system CPU seconds, once it has ended
};
// Starts ffmpeg writing the clip of that kind into o from frames drawn at vw x vh, scaled to
// w x h unless w is 0: into its temporary by name, or through its open descriptor when written
// in place. The clip is whole only once closeclip has ffmpeg's own word for every frame.
bool openclip(const outfile &o, int kind, const char *rate, int vw, int vh, int w, int h,
              const char *title, char *err, int errlen);
// A free frame buffer (vw x vh 8-bit RGB, bottom row first), waiting while all are
// queued; null once ffmpeg has stopped, with why in err. queueslot hands it to the pipe.
unsigned char *nextslot(clipstats &st, char *err, int errlen);
void queueslot(clipstats &st);
bool recordframe(clipstats &st, char *err, int errlen); // (still.cpp) draw into the next slot
bool closeclip(clipstats &st, char *err, int errlen);   // end of input; ffmpeg must finish
void dropclip();                                        // kill ffmpeg, stop the writer
// The progress line on standard error when it is a terminal; true while one is shown.
bool showprogress(const clipstats &st, uint32_t all);
double now(); // CLOCK_MONOTONIC, seconds

// ---- invariant checker ----
// Untouched arrays are compared with their snapshot every checkevery frames and after the
// last frame; everything that may change is checked after every frame.
constexpr uint32_t checkevery = 100;
// After world generation: the mesh matches the records; snapshots taken. Null when all holds,
// else a one-line description of the broken invariant.
const char *checkstart();
const char *checkframe(uint64_t frame); // the state after that frame's step and colours
const char *checkuntouched();           // never-rewritten arrays and fixed fields vs snapshot
