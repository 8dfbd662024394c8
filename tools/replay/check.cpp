// check.cpp -- the scene's invariants, checked after generation and after every frame
// SPDX-License-Identifier: MIT
#include "replay.h"

#include "anim/anim.h"
#include "scene/scene.h"
#include "world/world.h"

#include <algorithm> // std::ranges::find
#include <cmath>     // std::isfinite
#include <new>       // std::launder
#include <cstdarg>
#include <cstring> // memcmp, memcpy

static char msg[256];

static const char *broken(const char *fmt, ...) {
    va_list ap;
    va_start(ap, fmt);
    vsnprintf(msg, sizeof msg, fmt, ap);
    va_end(ap);
    return msg;
}

#define TRY(x)                                                                                     \
    do {                                                                                           \
        if (const char *why_ = (x)) return why_;                                                   \
    } while (0)

// ---- the snapshot: every part of the dump as generated, in memory's byte order; static, so
// a frame allocates nothing ----
alignas(8) static unsigned char snap[dumpbytes];
static bool camactive[ncams];        // a camera's counters are bounded once it has run
constexpr int swept = lastswept + 1; // buildings in a colour sweep

// Where the snapshot holds a part: at its offset in the dump.
static const unsigned char *snapof(const dumppart &p) {
    return snap + dumpat(p.name);
}

// The snapshot of what lives at a. The copy made objects of the part's type there, so it reads
// as the part does.
template <class T> static const T *snapof(const T *a) {
    return std::launder(
        (const T *)snapof(*std::ranges::find(dumpparts, dumpparts + ndumpparts, a, &dumppart::at)));
}

static bool fin(GLfloat v) {
    return std::isfinite(v);
}
static GLfloat sum(GLfloat a, GLfloat b) {
    return (GLfloat)((double)a + b);
}
static bool same(const Vertex3 &a, GLfloat x, GLfloat y, GLfloat z) {
    return a.x == x && a.y == y && a.z == z;
}
static bool unit(GLfloat v) {
    return v >= 0.0f && v <= 1.0f;
}

// A record equals its snapshot once the fields the animation writes are copied over.
template <class T, class F> static bool unwritten(T r, const T &snap, F written) {
    written(r, snap);
    return memcmp(&r, &snap, sizeof r) == 0;
}

// ---- what the animation rewrites: checked every frame ----

// The lane offset is one of the values a block end can give it, or 0 before the first.
static bool onlane(const car &c) {
    if (c.offzet == 0.0f) return true;
    for (int from = 0; from < 4; from++)
        for (int chancer = 0; chancer < 3; chancer++)
            if (c.offzet == (GLfloat)laneoffset(from, chancer, c.speed)) return true;
    return false;
}

static const char *checkcars() {
    const car *snapcars = snapof(carz);
    for (int i = 0; i < ncars; i++) {
        const car &c = carz[i];
        if (!fin(c.xpos) || !fin(c.zpos) || !fin(c.offzet) || !fin(c.blockm))
            return broken("car %d: a coordinate is not finite", i);
        if (c.state < 0 || c.state > 3) return broken("car %d: state %d is not 0 to 3", i, c.state);
        if (c.xpos < -cbound || c.xpos > cbound || c.zpos < -cbound || c.zpos > cbound)
            return broken("car %d: grid position (%g, %g) outside +-cbound", i, c.xpos, c.zpos);
        if (!(c.blockm >= 0.0f && c.blockm <= mmover))
            return broken("car %d: blockm %g outside 0 to mmover", i, c.blockm);
        if (!onlane(c)) return broken("car %d: offzet %g is no lane offset", i, c.offzet);
        const car &s = snapcars[i];
        if ((c.ypos != s.ypos) | (c.speed != s.speed) | (c.wpos != s.wpos) | (c.hpos != s.hpos) |
            (c.dpos != s.dpos) | (c.r != s.r) | (c.g != s.g) | (c.b != s.b))
            return broken("car %d: a field the traffic never writes changed", i);

        // The box from the record: the offset across the heading only; y as built.
        double x = c.xpos, z = c.zpos, w = c.wpos, d = c.dpos, o = c.offzet;
        bool alongz = c.state == 0 || c.state == 2;
        GLfloat x0 = (GLfloat)(x + (alongz ? o : 0.0)), x1 = (GLfloat)(x + w + (alongz ? o : 0.0));
        GLfloat z0 = (GLfloat)(z + (alongz ? 0.0 : o)), z1 = (GLfloat)(z + d + (alongz ? 0.0 : o));
        GLfloat y0 = c.ypos, y1 = sum(c.ypos, c.hpos);
        Vertex3 want[8];
#pragma GCC unroll 8 // kept as a loop, a checked run takes a quarter longer
        for (int n = 0; n < 8; n++)
            want[n] = {boxcorners[n].x ? x1 : x0, boxcorners[n].y ? y1 : y0,
                       boxcorners[n].z ? z1 : z0};
        const Vertex3 *v = &car_verts[8 * i];
        // The same bits are the same values (want is never NaN): nearly every car matches so,
        // and only the rest are compared value by value, where -0 equals 0.
        if (memcmp(v, want, sizeof want) == 0) continue;
        for (int n = 0; n < 8; n++)
            if (!same(v[n], want[n].x, want[n].y, want[n].z))
                return broken("car %d: vertex %d does not match its record", i, n);
    }
    return nullptr;
}

// Clouds and tiles: zpos finite, not below -8000 once drifted and not above its top, and the
// quad from the record.
static const char *checkquad(const char *layer, int i, bool drifted, GLfloat top, GLfloat zpos,
                             GLfloat hpos, GLfloat xpos, GLfloat ypos, GLfloat wpos,
                             const Vertex3 *v) {
    if (!fin(zpos)) return broken("%s %d: zpos is not finite", layer, i);
    if (drifted && zpos < -8000.0f) return broken("%s %d: zpos %g below -8000", layer, i, zpos);
    if (zpos > top) return broken("%s %d: zpos %g above %g", layer, i, zpos, top);
    GLfloat far = sum(zpos, hpos), xw = sum(xpos, wpos);
    if (!same(v[0], xpos, ypos, zpos) || !same(v[1], xw, ypos, zpos) ||
        !same(v[2], xw, ypos, far) || !same(v[3], xpos, ypos, far))
        return broken("%s %d: its quad does not match zpos and zpos + hpos", layer, i);
    return nullptr;
}

static const char *checkdrift(bool drifted) {
    auto onlyz = [](auto &r, const auto &s) { r.zpos = s.zpos; };
    const cloud *snapclouds = snapof(cloudz);
    const flooro *snaptiles = snapof(floorz);
    for (int i = 0; i < nclouds; i++) {
        const cloud &c = cloudz[i];
        if (!unwritten(c, snapclouds[i], onlyz))
            return broken("cloud %d: a field the drift never writes changed", i);
        // Clouds start at most at 7998, and a wrap lands at most one step beyond +8000.
        TRY(checkquad("cloud", i, drifted, (GLfloat)(8000.0 + c.speed), c.zpos, c.hpos, c.xpos,
                      c.ypos, c.wpos, &cloud_verts[4 * i]));
    }
    for (int i = 0; i < ntiles; i++) {
        const flooro &t = floorz[i];
        if (!unwritten(t, snaptiles[i], onlyz))
            return broken("ground tile %d: a field the drift never writes changed", i);
        // Tiles start as low as -15000, so their first wrap may land near +15000.
        TRY(checkquad("ground tile", i, drifted, (GLfloat)(15000.0 + t.speed), t.zpos, t.hpos,
                      t.xpos, t.ypos, t.wpos, &floor_verts[4 * i]));
    }
    return nullptr;
}

static bool between(GLfloat v, GLfloat a, GLfloat b) {
    return a <= b ? v >= a && v <= b : v >= b && v <= a;
}

// The eye or look-at point of a camera between its two waypoints, axis by axis.
static bool onleg(const GLfloat *now, const GLfloat *old, const GLfloat *to) {
    return between(now[0], old[0], to[0]) && between(now[1], old[1], to[1]) &&
           between(now[2], old[2], to[2]);
}

static const char *checkcams() {
    for (int k = 0; k < ncams; k++) {
        const GLfloat *f = &mycamz[k].xcampos;
        for (int n = 0; n < 18; n++)
            if (!fin(f[n])) return broken("camera %d: coordinate %d is not finite", k, n);
    }
    const mycam &r = mycamz[0], &c = mycamz[1];
    if (r.looktime != roamlooktime || c.looktime != carlooktime)
        return broken("a camera's looktime changed");
    if (camactive[0]) {
        if (r.camtime < mincamtime || r.camtime >= mincamtime + camtimes)
            return broken("roaming camera: camtime %d outside %d to %d", r.camtime, mincamtime,
                          mincamtime + camtimes - 1);
        if (r.camcounter < 0 || r.camcounter > r.camtime)
            return broken("roaming camera: camcounter %d outside 0 to camtime", r.camcounter);
        if (r.lookcounter < 0 || r.lookcounter > r.looktime)
            return broken("roaming camera: lookcounter %d outside 0 to looktime", r.lookcounter);
        if (!onleg(&r.xcam, &r.xcamoldpos, &r.xcampos))
            return broken("roaming camera: eye not between its waypoints");
        if (!onleg(&r.xlook, &r.xlookoldpos, &r.xlookpos))
            return broken("roaming camera: look-at point not between its waypoints");
    }
    if (camactive[1]) {
        if (c.lookcounter < 0 || c.lookcounter > c.looktime)
            return broken("car camera: lookcounter %d outside 0 to looktime", c.lookcounter);
        if (c.ycam != 27.0f) return broken("car camera: eye height %g, not 27", c.ycam);
        if (!onleg(&c.xlook, &c.xlookoldpos, &c.xlookpos))
            return broken("car camera: look-at point not between its waypoints");
    }
    if (c.camcounter != 0 || c.camtime != 0) return broken("car camera: its eye leg was used");
    return nullptr;
}

#define RANGE(v, lo, hi)                                                                           \
    do {                                                                                           \
        if ((v) < (lo) || (v) > (hi)) return broken(#v " %d outside %d to %d", (v), (lo), (hi));   \
    } while (0)

static const char *checkscalars() {
    RANGE(whichcam, 0, 1);
    RANGE(fxcounter, 1200, 2000);
    RANGE(fx, 0, 1);
    RANGE(camcc1, 0, 2);
    RANGE(camcc2, 0, 2);
    RANGE(rpos, 0, 5999);
    RANGE(rstep, 1, 5);
    RANGE(colstepz, 0, lastswept);
    RANGE(ccr1, 1, 30);
    RANGE(ccg1, 1, 30);
    RANGE(ccb1, 1, 30);
    RANGE(ccr2, 1, 30);
    RANGE(ccb2, 1, 30);
    RANGE(ccg2, 1, 60);
    for (int k = narrays; k < ndumpparts; k++) // the scalars the animation never rewrites
        if (const dumppart &p = dumpparts[k]; !p.rewritten && memcmp(p.at, snapof(p), 4) != 0)
            return broken("%s changed since generation", p.name);
    return nullptr;
}

// A recoloured building: all eight entries alike, a grey of 0.01 to 0.50 or a tint whose
// channels lie between (1/6 + 1)/100 and 0.31.
static const char *checkrecoloured(int b) {
    const Vertex3 *c = &city_colors[8 * b];
    for (int k = 0; k < 8; k++)
        if (!same(c[k], c[0].x, c[0].y, c[0].z))
            return broken("building %d: its eight colours differ", b);
    bool grey = c[0].x == c[0].y && c[0].y == c[0].z && c[0].x >= (GLfloat)(1 / 100.0) &&
                c[0].x <= (GLfloat)(50 / 100.0);
    const GLfloat lo = (GLfloat)((1.0 / 6 + 1) / 100.0), hi = 0.31f;
    bool tint = c[0].x >= lo && c[0].x <= hi && c[0].y >= lo && c[0].y <= hi && c[0].z >= lo &&
                c[0].z <= hi;
    if (!grey && !tint)
        return broken("building %d: colour (%g, %g, %g) is neither a tint nor a grey", b, c[0].x,
                      c[0].y, c[0].z);
    return nullptr;
}

// ---- entry points ----

const char *checkstart() {
    for (const dumppart &p : dumpparts)
        memcpy((void *)snapof(p), p.at, (size_t)p.bytes);
    camactive[0] = camactive[1] = false;
    for (int i = 0; i < nbuildings; i++) {
        const GLfloat *f = &cityz[i].xpos;
        for (int n = 0; n < 10; n++)
            if (!fin(f[n])) return broken("building %d: a field is not finite", i);
    }
    for (int i = 0; i < nturns; i++)
        if (radoz[i] < 0 || radoz[i] > 2)
            return broken("radoz[%d] = %d is not 0 to 2", i, radoz[i]);
    TRY(checkscalars());
    TRY(checkcars());
    TRY(checkdrift(false));
    TRY(checkcams());
    return checkuntouched();
}

const char *checkframe(uint64_t frame) {
    camactive[whichcam & 1] = true; // the camera drawn is the one this step advanced
    TRY(checkscalars());
    int want = (int)(frame % swept * colourpasses % swept);
    if (colstepz != want)
        return broken("colstepz %d, not %d after %llu frames", colstepz, want,
                      (unsigned long long)frame);
    TRY(checkcars());
    TRY(checkdrift(true));
    TRY(checkcams());
    for (int k = 1; k <= colourpasses; k++) // the buildings this frame recoloured
        TRY(checkrecoloured((colstepz - k + swept) % swept));
    return nullptr;
}

// The first entry where an array differs from its snapshot, or -1.
static long firstdiff(const void *a, const void *b, long n, long width) {
    const unsigned char *p = (const unsigned char *)a, *q = (const unsigned char *)b;
    for (long i = 0; i < n; i++)
        if (p[i] != q[i]) return i / width;
    return -1;
}

const char *checkuntouched() {
    for (int k = 0; k < narrays; k++) {
        const dumppart &p = dumpparts[k];
        if (!p.rewritten && memcmp(p.at, snapof(p), (size_t)p.bytes) != 0)
            return broken("%s entry %ld changed since generation", p.name,
                          firstdiff(p.at, snapof(p), p.bytes, p.size));
    }
    for (int b = swept; b < nbuildings; b++) // the colour sweep never reaches them
        if (memcmp(&city_colors[8 * b], &snapof(city_colors)[8 * b], 8 * sizeof(Vertex3)) != 0)
            return broken("building %d was recoloured; the sweep never reaches it", b);
    // The spare last entries are never written.
    if (!same(cloud_verts[ncloudverts], 0, 0, 0) || !same(floor_verts[nfloorverts], 0, 0, 0) ||
        !same(floor_colors[nfloorverts], 0, 0, 0) || cloud_indexes[ncloudverts] != 0 ||
        floor_indexes[nfloorverts] != 0)
        return broken("a spare last entry of the cloud or ground arrays was written");
    for (int k = 0; k < ncityverts; k++) {
        const Vertex3 &c = city_colors[k];
        if (!fin(c.x) || !fin(c.y) || !fin(c.z) || !unit(c.x) || !unit(c.y) || !unit(c.z))
            return broken("city_colors entry %d outside 0 to 1", k);
    }
    return nullptr;
}
