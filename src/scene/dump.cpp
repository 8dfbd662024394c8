// dump.cpp -- the scene store as one flat little-endian stream, for a file or a hash, and its
// layout
// SPDX-License-Identifier: MIT
#include "dump.h"

#include "random.h"

#include <bit> // std::endian
#include <cstring>
#include <type_traits>

// Header-only, so every build of the core hashes without a library.
#define XXH_INLINE_ALL
#include <xxhash.h>

// Records hold only 4-byte fields, so they have no padding to leak into the file, and a
// big-endian host swaps them word by word.
static_assert(sizeof(city) == 40 && sizeof(car) == 52 && sizeof(cloud) == 24);
static_assert(sizeof(flooro) == 36 && sizeof(mycam) == 88 && sizeof(Vertex3) == 12);
#define FOURBYTE(type, name, ...) static_assert(alignof(type) == 4 && sizeof(type) % 4 == 0);
SCENE_ARRAYS(FOURBYTE)
#define SCALARFOUR(type, name, ...) static_assert(sizeof(type) == 4);
SCENE_SCALARS(SCALARFOUR)

#define ARRAYPART(type, name, n, rewritten, what)                                                  \
    {#name, name, (long)sizeof(name), (long)sizeof(type), rewritten, what},
#define SCALARPART(type, name, start, rewritten)                                                   \
    {#name, &name, 4, 4, rewritten, std::is_floating_point_v<type> ? "float" : "int"},
const dumppart dumpparts[ndumpparts] = {SCENE_ARRAYS(ARRAYPART) SCENE_SCALARS(SCALARPART){
    "randomstate", &randomstate, 4, 4, true, "uint"}};

long dumpat(const char *name) {
    long at = 0;
    for (const dumppart &p : dumpparts) {
        if (!strcmp(p.name, name)) return at;
        at += p.bytes;
    }
    return -1;
}

// A part as the file holds it, handed to sink in one or more pieces: every value is 4 bytes,
// so on a big-endian host each word is swapped through a small buffer.
using sink = bool (*)(void *ctx, const void *p, size_t bytes);
static bool words(sink to, void *ctx, const dumppart &part) {
    if constexpr (std::endian::native == std::endian::little) {
        return to(ctx, part.at, (size_t)part.bytes);
    } else {
        static unsigned char buf[1 << 16];
        const unsigned char *s = (const unsigned char *)part.at;
        for (size_t bytes = (size_t)part.bytes; bytes > 0;) {
            size_t n = bytes < sizeof buf ? bytes : sizeof buf;
            for (size_t k = 0; k < n; k += 4)
                for (int b = 0; b < 4; b++)
                    buf[k + b] = s[k + 3 - b];
            if (!to(ctx, buf, n)) return false;
            s += n;
            bytes -= n;
        }
        return true;
    }
}

static bool tofile(void *f, const void *p, size_t bytes) {
    return fwrite(p, 1, bytes, (FILE *)f) == bytes;
}

bool writedump(FILE *f) {
    for (const dumppart &p : dumpparts)
        if (!words(tofile, f, p)) return false;
    return true;
}

static XXH3_state_t hashstate; // static, so a traced frame allocates nothing

static bool tohash(void *, const void *p, size_t bytes) {
    return XXH3_64bits_update(&hashstate, p, bytes) == XXH_OK;
}

uint64_t dumphash(uint32_t *upto) {
    XXH3_64bits_reset(&hashstate);
    for (int k = 0; k < ndumpparts; k++) {
        words(tohash, nullptr, dumpparts[k]);
        if (upto) upto[k] = (uint32_t)XXH3_64bits_digest(&hashstate);
    }
    return XXH3_64bits_digest(&hashstate);
}
void printlayout(FILE *f) {
    fprintf(f,
            "Dump layout: %ld bytes; every value 4 bytes little-endian (floats IEEE single, ints\n"
            "two's complement, indices unsigned). Arrays at their declared sizes, records field\n"
            "by field in declared order, in this order:\n",
            dumpbytes);
    // One row an array; a record's field list may run over several lines, the offset ends
    // the last of them.
    long at = 0;
    for (int k = 0; k < narrays; k++) {
        const dumppart &p = dumpparts[k];
        int col = fprintf(f, "  %-13s %6ld x ", p.name, p.bytes / p.size);
        for (const char *what = p.what;; what++) {
            int n = (int)strcspn(what, "\n");
            col += fprintf(f, "%.*s", n, what);
            what += n;
            if (!*what) break;
            col = fprintf(f, "\n%31s", "") - 1;
        }
        fprintf(f, "%*s at %7ld\n", col < 75 ? 75 - col : 1, "", at);
        at += p.bytes;
    }
    // The scalars, each run of one type named once: "whichcam fxcounter ... (ints),".
    int col = fprintf(f, "then the scalars, at %ld:", at);
    const int last = ndumpparts - 2; // the random state follows
    for (int k = narrays; k <= last; k++) {
        const char *name = dumpparts[k].name;
        if (col + 1 + (int)strlen(name) > 90) col = fprintf(f, "\n ");
        col += fprintf(f, " %s", name);
        if (k == last || strcmp(dumpparts[k + 1].what, dumpparts[k].what))
            col += fprintf(f, " (%ss)%s", dumpparts[k].what, k == last ? ";" : ",");
    }
    fprintf(f, "\n");
    fprintf(f, "then the random source's 32-bit state, at %ld.\n", dumpat("randomstate"));
}
