// options.cpp -- gridcity-replay's command line and its --help
// SPDX-License-Identifier: MIT
#include "replay.h"

#include "app/keys.h"

#include <cstdlib> // strtod
#include <cstring>
#include <strings.h> // strcasecmp
#include <getopt.h>

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

// One side of --size, the n characters at s: even (4:2:0 halves both) and from 16 to 4096.
static bool parseside(const char *s, size_t n, int &v) {
    char num[8];
    uint32_t u;
    if (n == 0 || n >= sizeof num) return false;
    memcpy(num, s, n);
    num[n] = 0;
    if (!parseuint32(num, u) || u < 16 || u > 4096 || u % 2) return false;
    v = (int)u;
    return true;
}

// "WxH".
static bool parsesize(const char *s, int &w, int &h) {
    const char *x = strchr(s, 'x');
    return x && parseside(s, (size_t)(x - s), w) && parseside(x + 1, strlen(x + 1), h);
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

// The long options, in the table in the same order, the outputs last; the value each carries is
// parsed in parseopts's switch. getopt_long takes "--opt VALUE" and "--opt=VALUE" alike.
enum { o_help = 256, o_check, o_seed, o_frames, o_press, o_from, o_rate, o_size };
constexpr int o_out = o_size + 1; // then the outputs, in their order
#define OUTOPTION(name, help) {#name, required_argument, nullptr, o_out + out##name},
static const option longopts[] = {
    {"help", no_argument, nullptr, o_help},
    {"check", no_argument, nullptr, o_check},
    {"seed", required_argument, nullptr, o_seed},
    {"frames", required_argument, nullptr, o_frames},
    {"press", required_argument, nullptr, o_press},
    {"from", required_argument, nullptr, o_from},
    {"rate", required_argument, nullptr, o_rate},
    {"size", required_argument, nullptr, o_size},
    OUTPUTS(OUTOPTION){nullptr, 0, nullptr, 0},
};

// The long option getopt_long matched in arg ("--name" or "--name=value"), or null for none.
// It matches unique prefixes too: those are refused.
static const option *named(const char *arg, int val) {
    if (val < o_help || val >= o_out + nouts) return nullptr;
    const option *p = &longopts[val - o_help];
    return strcspn(arg + 2, "=") == strlen(p->name) ? p : nullptr;
}

bool parseopts(int argc, char **argv, replayopts &o, char *err, int errlen) {
    o = replayopts{};
    o.from = 1;
    o.rate = "60";
    o.fps = 60;
    uint32_t given = 0; // options seen, by bit; all but the flags and --press at most once
    opterr = 0;         // the messages are ours
    optind = 0;         // glibc's full reset, so a second parse starts afresh
    // "-" first: arguments come back in order, a non-option as 1; ":" first: a missing value
    // comes back as ':'.
    for (;;) {
        int at = optind ? optind : 1; // no short options, so each call reads argv[at]
        int c = getopt_long(argc, argv, "-:", longopts, nullptr);
        if (c == -1 && at == argc) break;
        const char *a = argv[at]; // c == -1 before the end: "--", which is no option here
        const option *opt = c == -1 ? nullptr : named(a, c == '?' || c == ':' ? optopt : c);
        if (!opt)
            return fail(err, errlen, "unknown option '%.*s' (see --help)",
                        (int)(strncmp(a, "--", 2) ? strlen(a) : strcspn(a, "=")), a);
        if (c == '?') return fail(err, errlen, "--%s takes no value", opt->name);
        if (c == ':') return fail(err, errlen, "--%s needs a value", opt->name);
        if (c != o_help && c != o_check && c != o_press && (given >> (c - o_help) & 1))
            return fail(err, errlen, "--%s given twice", opt->name);
        given |= 1u << (c - o_help);

        const char *val = optarg;
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
        default: // an output
            if (c == o_out + outvideo) {
                if ((o.videokind = clipkind(val)) < 0)
                    return fail(err, errlen, "--video: '%s' does not end in %s, %s, %s or %s", val,
                                clipexts[0], clipexts[1], clipexts[2], clipexts[3]);
                const char *slash = strrchr(val, '/'), *name = slash ? slash + 1 : val;
                if (strlen(name) == strlen(clipexts[o.videokind]))
                    return fail(err, errlen, "--video: '%s' has no file name before %s", val, name);
            } else if (!*val) {
                return fail(err, errlen, "--%s needs a file name", opt->name);
            }
            o.out[c - o_out] = val;
            break;
        case o_from:
            if (!parseuint32(val, o.from) || o.from == 0)
                return fail(err, errlen, "--from '%s' is not a frame number from 1 to 4294967295",
                            val);
            break;
        case o_size:
            if (!parsesize(val, o.clipw, o.cliph))
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
    const int forvideo[] = {o_from, o_rate, o_size};
    for (int c : forvideo)
        if ((given >> (c - o_help) & 1) && !video)
            return fail(err, errlen, "--%s is for --video", longopts[c - o_help].name);
    if (video && o.frames == 0)
        return fail(err, errlen, "--video needs --frames N with N at least 1");
    if (video && o.from > o.frames)
        return fail(err, errlen, "--from %u comes after the last frame (%u)", o.from, o.frames);
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
                       [--trace FILE] [--png FILE] [--video FILE [--from A] [--rate R] [--size WxH]]
                       [--check]

Builds gridcity's world from a seed exactly as the demo does, runs its frames with no display,
and writes what it holds.

  --seed S        the seed, 0 to 4294967295; without it the clock, as the demo seeds
                  (time(NULL) reduced to 32 bits; the seed is then printed on stderr).
                  Seeds that differ only in the top bit build the same city (the
                  generator's top bit never reaches its draws), so 2^31 cities are distinct
  --frames N      run N frames after building the world (default 0); each frame is the
                  event drain, then calcme, then changecolc, as in the demo's loop
  --press F:KEY   deliver an arrow-key press (KEY up or down) to the demo's key handler
                  in the event drain of frame F (from 1), before that frame's step;
                  repeatable, presses of one frame in the order given
)");
    // Each output's lines: the option and its value, then what it writes, lined up.
#define OUTHELP(name, help) {"--" #name " FILE", help},
    const struct { const char *opt, *help; } outs[] = {OUTPUTS(OUTHELP)};
    for (const auto &o : outs) {
        fprintf(f, "  %-16s", o.opt);
        for (const char *l = o.help;; l++) {
            int n = (int)strcspn(l, "\n");
            fprintf(f, "%.*s\n", n, l);
            if (!l[n]) break;
            fprintf(f, "%18s", "");
            l += n;
        }
    }
    fprintf(
        f, "%s",
        R"(  --from A        the clip's first frame, 1 to N (default 1); earlier frames run undrawn
  --rate R        the clip's frames per second, from 0.001 to 1000, a decimal (29.97) or a
                  fraction (30000/1001; default 60); the demo moves by frames, so a clip
                  lasts (N - A + 1) / R seconds
  --size WxH      scale the clip's frames to W x H (even, 16 to 4096) after drawing them
                  at the picture's size (ffmpeg's Lanczos); a scaled .mkv is no longer the
                  stills
  --check         check the scene's invariants after world generation and after every
                  frame; stop at the first violation with its frame and exit status 1.
                  Everything the animation rewrites is checked every frame; the arrays and
                  fields it never rewrites are compared with a snapshot taken after mesh
                  building every 100 frames and after the last frame, so such a violation is
                  reported at the first such check after it happened
  --help          this text

)");
    fprintf(f, "Picture size: %dx%d, the demo's; stills and clips are drawn at it.\n\n", picturew,
            pictureh);
    fprintf(f, "%s",
            R"(Exit status: 0 done, 1 an output could not be written, an invariant broke, the
offscreen surface could not be made, or ffmpeg is not on PATH, failed or did not report
every frame written; 2 bad arguments (two outputs naming one file among them).

A file is written under a temporary name in its own folder (for a symbolic link, the folder
of the file it names) and renamed over it when complete: a failed run leaves no partial
file, nor does one ended by a signal (it stops ffmpeg and removes the temporary, then ends
by that signal; a closed pipe or the file size limit is a write error, status 1). A device
or a FIFO, /dev/null or /dev/stdout among them, is written in place and never replaced; a
clip goes there through the open descriptor as a stream (an .mp4 fragmented).

)");
    printlayout(f);
}
