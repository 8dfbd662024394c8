// dump.cpp -- the scene store as one flat little-endian stream, for a file or a hash, and its
// layout
// SPDX-License-Identifier: MIT
#include "replay.h"

#include "scene/random.h"
#include "scene/scene.h"

#include <bit> // std::endian
#include <cstring>

// Records hold only 4-byte fields, so they have no padding to leak into the file.
static_assert(sizeof(city) == 40 && sizeof(car) == 52 && sizeof(cloud) == 24);
static_assert(sizeof(flooro) == 36 && sizeof(mycam) == 88 && sizeof(Vertex3) == 12);
static_assert(sizeof(GLfloat) == 4 && sizeof(GLuint) == 4 && sizeof(int) == 4);

#define ARRAY(a, what)                                                                             \
    { #a, a, sizeof(a), sizeof(a[0]), what }
#define INT(v)                                                                                     \
    { #v, &v, 4, 4, "int" }
#define FLOAT(v)                                                                                   \
    { #v, &v, 4, 4, "float" }

// The dump, in file order: every array at its declared size, then every scalar, then the
// random state. The tests and --help read the offsets from here.
const dumppart dumpparts[] = {
    ARRAY(cityz, "city  (xpos ypos zpos speed wpos hpos dpos r g b)"),
    ARRAY(city_verts, "(x y z)"),
    ARRAY(city_colors, "(r g b)"),
    ARRAY(city_indexes, "uint"),
    ARRAY(carz, "car   (xpos ypos zpos speed wpos hpos dpos r g b\n"
                "offzet blockm state:int)"),
    ARRAY(car_verts, "(x y z)"),
    ARRAY(car_colors, "(r g b)"),
    ARRAY(car_indexes, "uint"),
    ARRAY(cloudz, "cloud (xpos ypos zpos speed wpos hpos)"),
    ARRAY(cloud_verts, "(x y z)"),
    ARRAY(cloud_indexes, "uint"),
    ARRAY(floorz, "flooro (xpos ypos zpos speed wpos hpos r g b)"),
    ARRAY(floor_verts, "(x y z)"),
    ARRAY(floor_colors, "(r g b)"),
    ARRAY(floor_indexes, "uint"),
    ARRAY(radoz, "int"),
    ARRAY(mycamz, "mycam (xcampos ycampos zcampos xcamoldpos ycamoldpos\n"
                  "zcamoldpos xcam ycam zcam xlookpos ylookpos zlookpos\n"
                  "xlookoldpos ylookoldpos zlookoldpos xlook ylook zlook,\n"
                  "then ints camcounter camtime lookcounter looktime)"),
    INT(whichcam),
    INT(fxcounter),
    INT(fx),
    INT(maxfx),
    INT(camcc1),
    INT(camcc2),
    FLOAT(mmover),
    FLOAT(ccmove),
    FLOAT(cbound),
    INT(rpos),
    INT(rstep),
    INT(colstepz),
    INT(ccr1),
    INT(ccg1),
    INT(ccb1),
    INT(ccg2),
    INT(ccr2),
    INT(ccb2),
    {"randomstate", &randomstate, 4, 4, "uint"},
};
const int ndumpparts = sizeof dumpparts / sizeof dumpparts[0];
static_assert(sizeof dumpparts / sizeof dumpparts[0] > narrays);

long dumpat(const char *name) {
    long at = 0;
    for (const dumppart &p : dumpparts) {
        if (!strcmp(p.name, name)) return at;
        at += p.bytes;
    }
    return -1;
}

// Every field of every record is 4 bytes, so an array is a run of 4-byte words; on a
// big-endian host each word is swapped through a small buffer.
static bool words(dumpsink sink, void *ctx, int part, const void *p, size_t bytes) {
    if constexpr (std::endian::native == std::endian::little) {
        return sink(ctx, part, p, bytes);
    } else {
        static unsigned char buf[1 << 16];
        const unsigned char *s = (const unsigned char *)p;
        while (bytes > 0) {
            size_t n = bytes < sizeof buf ? bytes : sizeof buf;
            for (size_t k = 0; k < n; k += 4)
                for (int b = 0; b < 4; b++)
                    buf[k + b] = s[k + 3 - b];
            if (!sink(ctx, part, buf, n)) return false;
            s += n;
            bytes -= n;
        }
        return true;
    }
}

bool walkdump(dumpsink sink, void *ctx) {
    for (int k = 0; k < ndumpparts; k++)
        if (!words(sink, ctx, k, dumpparts[k].at, (size_t)dumpparts[k].bytes)) return false;
    return true;
}

static bool tofile(void *f, int, const void *p, size_t bytes) {
    return fwrite(p, 1, bytes, (FILE *)f) == bytes;
}

bool writedump(FILE *f) {
    return walkdump(tofile, f);
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
