// options.cpp -- gridcity-replay's options: their table, the command line and --help
// SPDX-License-Identifier: MIT
#include "replay.h"

#include "app/keys.h"

#include <cstdlib> // strtod
#include <cstring>
#include <strings.h> // strcasecmp

// Decimal only: no sign, no junk, fits 32 bits.
static bool parseuint32(const char *s, uint32_t &v) {
    if (!s || !*s) return false;
    uint64_t n = 0;
    for (const char *p = s; *p; p++) {
        if (*p < '0' || *p > '9') return false;
        n = n * 10 + (uint64_t)(*p - '0');
        if (n > 0xffffffffu) return false;
    }
    v = (uint32_t)n;
    return true;
}

// "F:up" or "F:down"; F counts frames from 1.
static bool parsepress(const char *s, press &p, char *err, int errlen) {
    const char *colon = strchr(s, ':');
    if (!colon) return fail(err, errlen, "--press wants FRAME:up or FRAME:down, not '%s'", s);
    char num[16];
    size_t n = (size_t)(colon - s);
    if (n == 0 || n >= sizeof num)
        return fail(err, errlen, "--press: '%s' has no valid frame number", s);
    memcpy(num, s, n);
    num[n] = 0;
    if (!parseuint32(num, p.frame))
        return fail(err, errlen, "--press: frame '%s' is not a number from 1 to 4294967295", num);
    if (p.frame == 0) return fail(err, errlen, "--press: frames count from 1, not 0");
    if (strcmp(colon + 1, "up") == 0)
        p.key = upkey;
    else if (strcmp(colon + 1, "down") == 0)
        p.key = downkey;
    else
        return fail(err, errlen, "--press: unknown key '%s' (up or down)", colon + 1);
    return true;
}

// Digits with at most one point, n characters at s: "60", "29.97", ".5"; its value in v.
static bool parsedecimal(const char *s, size_t n, double &v) {
    size_t digits = 0, dots = 0;
    for (size_t i = 0; i < n; i++) {
        if (s[i] == '.')
            dots++;
        else if (s[i] >= '0' && s[i] <= '9')
            digits++;
        else
            return false;
    }
    if (digits == 0 || dots > 1) return false;
    v = strtod(s, nullptr); // stops at the '/' of a fraction
    return true;
}

// Frames per second from minrate to maxrate, a decimal or a fraction N/D of two ("30000/1001",
// as the broadcast rates are written). ffmpeg reads the same text into the clip's rate.
constexpr double minrate = 0.001, maxrate = 1000;
static bool parserate(const char *s, double &v) {
    const char *slash = strchr(s, '/');
    double n, d = 1;
    if (!parsedecimal(s, slash ? (size_t)(slash - s) : strlen(s), n) ||
        (slash && !parsedecimal(slash + 1, strlen(slash + 1), d)))
        return false;
    v = n / d; // d == 0 gives infinity or NaN, both refused
    return v >= minrate && v <= maxrate;
}

// One side of a size, the n characters at s: even (4:2:0 halves both) and from 16 to max.
static bool parseside(const char *s, size_t n, int max, int &v) {
    char num[8];
    uint32_t u;
    if (n == 0 || n >= sizeof num) return false;
    memcpy(num, s, n);
    num[n] = 0;
    if (!parseuint32(num, u) || u < 16 || u > (uint32_t)max || u % 2) return false;
    v = (int)u;
    return true;
}

// "WxH".
static bool parsesize(const char *s, int max, int &w, int &h) {
    const char *x = strchr(s, 'x');
    return x && parseside(s, (size_t)(x - s), max, w) && parseside(x + 1, strlen(x + 1), max, h);
}

// The clip's kind by its file name's extension, in clipkind order.
static const char *const clipexts[] = {".mp4", ".webm", ".mkv", ".webp"};
static_assert(sizeof clipexts / sizeof clipexts[0] == nclipkinds, "one extension a kind");

int clipkind(const char *path) {
    size_t n = strlen(path);
    for (int k = 0; k < nclipkinds; k++) {
        size_t e = strlen(clipexts[k]);
        if (n >= e && strcasecmp(path + n - e, clipexts[k]) == 0) return k;
    }
    return -1;
}

// Stable insertion by frame, so presses of one frame keep their command-line order.
static void addpress(replayopts &o, press p) {
    int i = o.npresses++;
    while (i > 0 && o.presses[i - 1].frame > p.frame) {
        o.presses[i] = o.presses[i - 1];
        i--;
    }
    o.presses[i] = p;
}

// An animated WebP is assembled only at its end, so ffmpeg holds every frame until then (some
// 160 KB each at 1024x768): its clips are held to as many pixels as webpframes frames of the
// demo's picture, some 380 MB.
constexpr uint64_t webpframes = 1800;
constexpr uint64_t webppixels = webpframes * picturew * pictureh;

const optrow opttable[nopts] = {
    {"seed", "S",
     "the seed, 0 to 4294967295; without it the clock, as the demo seeds\n"
     "(time(NULL) reduced to 32 bits; the seed is then printed on stderr).\n"
     "Seeds that differ only in the top bit build the same city (the\n"
     "generator's top bit never reaches its draws), so 2^31 cities are distinct"},
    {"frames", "N",
     "run N frames after building the world (default 0); each frame is the\n"
     "event drain, then calcme, then changecolc, as in the demo's loop"},
    {"press", "F:KEY",
     "deliver an arrow-key press (KEY up or down) to the demo's key handler\n"
     "in the event drain of frame F (from 1), before that frame's step;\n"
     "repeatable, presses of one frame in the order given"},
    {"dump", "FILE", "write the scene store after the last frame (- for standard output)"},
    {"trace", "FILE",
     "write a line after world generation (frame 0) and after every frame: the\n"
     "frame, the XXH3 64-bit hash of the dump --dump would write then (as\n"
     "xxhsum -H3 gives it for that file), and for each array, then the scalars\n"
     "and the random state, a 32-bit hash of the dump up to its end (two\n"
     "comment lines first: the seed, the column names); - for\n"
     "standard output. Two builds' traces match when every frame's scene does;\n"
     "the first line that differs names the frame, its first differing column\n"
     "the array"},
    {"png", "FILE",
     "draw the last frame with the demo's own initGL and drawing into an\n"
     "offscreen OpenGL surface of the picture's size, or --view's (SDL's\n"
     "offscreen driver, no display needed) and write it as an 8-bit RGB PNG;\n"
     "needs N >= 1 and a build with SDL, GL and libpng (not the core-only one)"},
    {"video", "FILE",
     "record frames A to N, each drawn as --png draws it, as a clip through\n"
     "ffmpeg (Debian package ffmpeg), of the kind --kind names, else the\n"
     "name's extension: .mp4 H.264 4:2:0 with its index first (plays while it\n"
     "loads), .webm VP9, .mkv lossless FFV1 in RGB (every frame decodes to\n"
     "the still, pixel for pixel), .webp animated WebP (ffmpeg holds all its\n"
     "frames until the end, so at most 1800 of 1024x768, as many pixels at\n"
     "other sizes); - for standard output; progress on stderr when it is a\n"
     "terminal; needs the full build, as --png does"},
    {"view", "WxH",
     "draw stills and clips at W x H pixels (even, 16 to 8192) with the demo's\n"
     "eye, look-at point, vertical field of view (101 degrees) and near and\n"
     "far planes, the horizontal extent following W / H: the city fills any\n"
     "aspect (a 4:3 view is the demo's picture at another resolution)"},
    {"kind", "K",
     "the clip's kind, mp4, webm, mkv or webp, whatever its name: for a name\n"
     "without one of their extensions (-, /dev/stdout, a pipe)"},
    {"from", "A", "the clip's first frame, 1 to N (default 1); earlier frames run undrawn"},
    {"rate", "R",
     "the clip's frames per second, from 0.001 to 1000, a decimal (29.97) or a\n"
     "fraction (30000/1001; default 60); the demo moves by frames, so a clip\n"
     "lasts (N - A + 1) / R seconds"},
    {"size", "WxH",
     "scale the clip's frames to W x H (even, 16 to 4096) after drawing them\n"
     "at the picture's size or --view's (ffmpeg's Lanczos); a scaled .mkv is\n"
     "no longer the stills"},
    {"check", nullptr,
     "check the scene's invariants after world generation and after every\n"
     "frame; stop at the first violation with its frame and exit status 1.\n"
     "Everything the animation rewrites is checked every frame; the arrays and\n"
     "fields it never rewrites are compared with a snapshot taken after mesh\n"
     "building every 100 frames and after the last frame, so such a violation is\n"
     "reported at the first such check after it happened"},
    {"help", nullptr, "this text"},
};

bool parseopts(int argc, char **argv, replayopts &o, char *err, int errlen) {
    o = replayopts{};
    o.from = 1;
    o.rate = "60";
    o.fps = 60;
    o.vieww = picturew;
    o.viewh = pictureh;
    o.videokind = -1;
    uint32_t given = 0; // options seen, by row; all but the switches and --press at most once
    static_assert(nopts <= 32, "a bit a row");
    for (int at = 1; at < argc;) {
        const char *val;
        int c = nextopt(argc, argv, &at, opttable, nopts, "--", &val, err, errlen);
        if (c < 0) return false;
        if (c != o_help && c != o_check && c != o_press && (given >> c & 1))
            return fail(err, errlen, "--%s given twice", opttable[c].name);
        given |= 1u << c;

        switch (c) {
        case o_help: o.help = true; break;
        case o_check: o.check = true; break;
        case o_seed:
            if (!parseuint32(val, o.seed))
                return fail(err, errlen, "--seed '%s' is not a number from 0 to 4294967295", val);
            o.seeded = true;
            break;
        case o_frames:
            if (!parseuint32(val, o.frames))
                return fail(err, errlen, "--frames '%s' is not a number from 0 to 4294967295", val);
            break;
        case o_dump:
        case o_trace:
        case o_png:
        case o_video:
            if (!*val) return fail(err, errlen, "--%s needs a file name", opttable[c].name);
            o.out[c - o_dump] = val;
            break;
        case o_kind:
            for (int k = 0; k < nclipkinds; k++)
                if (!strcmp(val, clipexts[k] + 1)) o.videokind = k;
            if (o.videokind < 0)
                return fail(err, errlen, "--kind '%s' is not mp4, webm, mkv or webp", val);
            break;
        case o_from:
            if (!parseuint32(val, o.from) || o.from == 0)
                return fail(err, errlen, "--from '%s' is not a frame number from 1 to 4294967295",
                            val);
            break;
        case o_view:
            if (!parsesize(val, maxview, o.vieww, o.viewh))
                return fail(err, errlen,
                            "--view '%s' is not WIDTHxHEIGHT, each even and from 16 to %d", val,
                            maxview);
            break;
        case o_size:
            if (!parsesize(val, 4096, o.clipw, o.cliph))
                return fail(err, errlen,
                            "--size '%s' is not WIDTHxHEIGHT, each even and from 16 to 4096", val);
            break;
        case o_rate:
            if (!parserate(val, o.fps))
                return fail(err, errlen,
                            "--rate '%s' is not a number of frames per second from %g to %g "
                            "(a decimal or a fraction N/D)",
                            val, minrate, maxrate);
            o.rate = val;
            break;
        case o_press: {
            press p = {};
            if (!parsepress(val, p, err, errlen)) return false;
            if (o.npresses == maxpresses)
                return fail(err, errlen, "more than %d presses", maxpresses);
            addpress(o, p);
            break;
        }
        }
    }
    if (o.help) return true;
    const char *video = o.out[outvideo], *png = o.out[outpng];
    const int forvideo[] = {o_from, o_rate, o_size, o_kind};
    for (int c : forvideo)
        if ((given >> c & 1) && !video)
            return fail(err, errlen, "--%s is for --video", opttable[c].name);
    if ((given >> o_view & 1) && !video && !png)
        return fail(err, errlen, "--view is for --png and --video");
    if (video && o.videokind < 0) { // the kind by the name
        if ((o.videokind = clipkind(video)) < 0)
            return fail(err, errlen,
                        "--video: '%s' does not end in %s, %s, %s or %s (or give --kind)", video,
                        clipexts[0], clipexts[1], clipexts[2], clipexts[3]);
        const char *slash = strrchr(video, '/'), *name = slash ? slash + 1 : video;
        if (strlen(name) == strlen(clipexts[o.videokind]))
            return fail(err, errlen, "--video: '%s' has no file name before %s", video, name);
    }
    if (video && o.frames == 0)
        return fail(err, errlen, "--video needs --frames N with N at least 1");
    if (video && o.from > o.frames)
        return fail(err, errlen, "--from %u comes after the last frame (%u)", o.from, o.frames);
    if (video && o.videokind == clipwebp) {
        uint64_t w = o.clipw ? o.clipw : o.vieww, h = o.clipw ? o.cliph : o.viewh;
        uint64_t most = webppixels / (w * h), asked = (uint64_t)o.frames - o.from + 1;
        if (asked > most)
            return fail(
                err, errlen,
                "--video: an animated WebP of %llux%llu takes at most %llu frames, not %llu "
                "(ffmpeg holds them all until its end); .webm or .mp4 take any number",
                (unsigned long long)w, (unsigned long long)h, (unsigned long long)most,
                (unsigned long long)asked);
    }
    if (png && o.frames == 0) return fail(err, errlen, "--png needs --frames N with N at least 1");
    if (png && !strcmp(png, "-"))
        return fail(err, errlen, "--png needs a file name, not standard output");
    if (o.npresses && o.presses[o.npresses - 1].frame > o.frames)
        return fail(err, errlen, "--press at frame %u comes after the last frame (%u)",
                    o.presses[o.npresses - 1].frame, o.frames);
    return true;
}

void printhelp(FILE *f) {
    fprintf(f, "%s",
            R"(usage: gridcity-replay [--seed S] [--frames N] [--press F:up|F:down]... [--dump FILE]
                       [--trace FILE] [--png FILE] [--video FILE [--kind K] [--from A]
                       [--rate R] [--size WxH]] [--view WxH] [--check]

Builds gridcity's world from a seed exactly as the demo does, runs its frames with no display,
and writes what it holds.

)");
    printopts(f, opttable, nopts, "--");
    fprintf(f,
            "\nPicture size: %dx%d, the demo's; stills and clips are drawn at it unless --view "
            "gives\nanother.\n\n",
            picturew, pictureh);
    fprintf(f, "%s",
            R"(Exit status: 0 done, 1 an output could not be written, an invariant broke, the
offscreen surface could not be made, or ffmpeg is not on PATH, failed or did not report
every frame written; 2 bad arguments (two outputs naming one file among them).

A file is written under a temporary name in its own folder (for a symbolic link, the folder
of the file it names) and renamed over it when complete: a failed run leaves no partial
file, nor does one ended by a signal (it stops ffmpeg and removes the temporary, then ends
by that signal; a closed pipe or the file size limit is a write error, status 1). A device
or a FIFO, /dev/null or /dev/stdout among them, is written in place and never replaced; a
clip goes there through the open descriptor as a stream (an .mp4 fragmented), of the kind
--kind names where the name has no clip's extension.

)");
    printlayout(f);
}
