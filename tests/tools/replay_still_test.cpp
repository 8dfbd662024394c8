// replay_still_test.cpp -- stills: deterministic, decodable, and showing what is drawn
// SPDX-License-Identifier: MIT
#include "pngio.h"
#include "runreplay.h"

#include "scene/scene.h"

#include <gtest/gtest.h>
#include <png.h>

#include <cmath>
#include <cstring>

struct image {
    int w = 0, h = 0;
    std::vector<unsigned char> rgb; // top row first
    const unsigned char *at(int x, int y) const { return &rgb[3 * (y * w + x)]; }
};

static image decode(const std::string &path) {
    image im;
    if (!readpng(path.c_str(), im.w, im.h, im.rgb)) return image{};
    return im;
}

// Runs the tool for a still, and a dump of the same run.
static void still(const scratch &s, std::vector<std::string> args) {
    args.push_back("--png");
    args.push_back(s.path("s.png"));
    args.push_back("--dump");
    args.push_back(s.path("d.bin"));
    result r = replay(args);
    ASSERT_EQ(r.status, 0) << r.err;
}

TEST(ReplayStill, SameArgumentsGiveTheSameDecodablePng) {
    scratch a, b;
    still(a, {"--seed", "7", "--frames", "30"});
    still(b, {"--seed", "7", "--frames", "30"});
    std::vector<unsigned char> pa = readfile(a.path("s.png")), pb = readfile(b.path("s.png"));
    ASSERT_GT(pa.size(), 8u);
    EXPECT_TRUE(pa == pb);
    image im = decode(a.path("s.png"));
    EXPECT_EQ(im.w, picturew);
    EXPECT_EQ(im.h, pictureh);
    // Eight-bit RGB straight from the header.
    EXPECT_EQ(pa[24], 8);
    EXPECT_EQ(pa[25], PNG_COLOR_TYPE_RGB);
}

TEST(ReplayStill, UpPressShowsTheCarCameraNotTheRoamingOne) {
    scratch a, b;
    still(a, {"--seed", "7", "--frames", "30"});
    still(b, {"--seed", "7", "--frames", "30", "--press", "30:up"});
    EXPECT_EQ(scalarint(readfile(b.path("d.bin")), "whichcam"), 1);
    image ia = decode(a.path("s.png")), ib = decode(b.path("s.png"));
    ASSERT_EQ(ia.rgb.size(), ib.rgb.size());
    long differ = 0;
    for (size_t k = 0; k < ia.rgb.size(); k++)
        differ += ia.rgb[k] != ib.rgb[k];
    EXPECT_GT(differ, (long)ia.rgb.size() / 10);
}

// ---- which pixels show the background: cast rays through them against the dumped scene ----

struct ray {
    double o[3], d[3]; // d has unit length along the view direction, so t is the depth
};

struct view {
    double eye[3], f[3], s[3], u[3], th, aspect;
    ray through(double px, double py) const { // px, py: pixel coordinates, top row 0
        double nx = px / picturew * 2 - 1, ny = 1 - py / pictureh * 2;
        ray r;
        for (int k = 0; k < 3; k++) {
            r.o[k] = eye[k];
            r.d[k] = f[k] + nx * th * aspect * s[k] + ny * th * u[k];
        }
        return r;
    }
};

static void cross(const double *a, const double *b, double *c) {
    c[0] = a[1] * b[2] - a[2] * b[1];
    c[1] = a[2] * b[0] - a[0] * b[2];
    c[2] = a[0] * b[1] - a[1] * b[0];
}
static void normalise(double *a) {
    double n = std::sqrt(a[0] * a[0] + a[1] * a[1] + a[2] * a[2]);
    for (int k = 0; k < 3; k++)
        a[k] /= n;
}

// gluLookAt through the dumped camera, the renderer's gluPerspective.
static view viewof(const std::vector<unsigned char> &d) {
    long cam = dumpat("mycamz") + 88L * scalarint(d, "whichcam");
    view v;
    double look[3], up[3] = {0, 1, 0};
    for (int k = 0; k < 3; k++) {
        v.eye[k] = fword(d, cam + 4 * (6 + k));
        look[k] = fword(d, cam + 4 * (15 + k));
        v.f[k] = look[k] - v.eye[k];
    }
    normalise(v.f);
    cross(v.f, up, v.s);
    normalise(v.s);
    cross(v.s, v.f, v.u);
    v.th = std::tan(fovy / 2 * M_PI / 180);
    v.aspect = (double)picturew / pictureh;
    return v;
}

// Axis-aligned boxes and horizontal quads, read from the vertex arrays that were drawn.
struct box {
    double lo[3], hi[3];
};

static bool hitsbox(const ray &r, const box &b) {
    double t0 = nearz, t1 = farz; // depth along the view
    for (int k = 0; k < 3; k++) {
        if (r.d[k] == 0) {
            if (r.o[k] < b.lo[k] || r.o[k] > b.hi[k]) return false;
            continue;
        }
        double a = (b.lo[k] - r.o[k]) / r.d[k], c = (b.hi[k] - r.o[k]) / r.d[k];
        if (a > c) std::swap(a, c);
        t0 = std::max(t0, a);
        t1 = std::min(t1, c);
        if (t0 > t1) return false;
    }
    return true;
}

struct scene {
    std::vector<box> solids, clouds;
};

static Vertex3 vert(const std::vector<unsigned char> &d, long base, long n) {
    return {fword(d, base + 12 * n), fword(d, base + 12 * n + 4), fword(d, base + 12 * n + 8)};
}

static scene sceneof(const std::vector<unsigned char> &d) {
    const long cityverts = dumpat("city_verts"), carverts = dumpat("car_verts"),
               cloudverts = dumpat("cloud_verts"), floorverts = dumpat("floor_verts");
    scene s;
    auto boxes = [&](long base, int n) {
        for (int i = 0; i < n; i++) {
            box b;
            for (int k = 0; k < 3; k++)
                b.lo[k] = 1e30, b.hi[k] = -1e30;
            for (int v = 0; v < 8; v++) {
                Vertex3 p = vert(d, base, 8L * i + v);
                const double c[3] = {p.x, p.y, p.z};
                for (int k = 0; k < 3; k++)
                    b.lo[k] = std::min(b.lo[k], c[k]), b.hi[k] = std::max(b.hi[k], c[k]);
            }
            s.solids.push_back(b);
        }
    };
    auto quads = [&](long base, int n, std::vector<box> &out) {
        for (int i = 0; i < n; i++) {
            Vertex3 a = vert(d, base, 4L * i), c = vert(d, base, 4L * i + 2);
            out.push_back({{std::min(a.x, c.x), a.y, std::min(a.z, c.z)},
                           {std::max(a.x, c.x), a.y, std::max(a.z, c.z)}});
        }
    };
    boxes(cityverts, nbuildings);
    boxes(carverts, ncars);
    quads(floorverts, ntiles, s.solids);
    quads(cloudverts, nclouds, s.clouds);
    return s;
}

// For a pixel: -1 if something solid or more than one cloud lies on a ray through it or
// near it, else the number of clouds (0 or 1) that every one of those rays meets.
static int classify(const scene &sc, const view &v, int px, int py) {
    int found = -2;
    const double offs[5][2] = {{0.5, 0.5}, {-1.0, 0.5}, {2.0, 0.5}, {0.5, -1.0}, {0.5, 2.0}};
    for (const auto &o : offs) {
        ray r = v.through(px + o[0], py + o[1]);
        for (const box &b : sc.solids)
            if (hitsbox(r, b)) return -1;
        int n = 0;
        for (const box &b : sc.clouds)
            n += hitsbox(r, b);
        if (n > 1 || (found != -2 && n != found)) return -1;
        found = n;
    }
    return found;
}

// Checks background pixels against the grey g (0 to 1) and cloud-only pixels against g + 0.35.
static void checkbackground(const char *seed, int frames, bool black) {
    scratch s;
    still(s, {"--seed", seed, "--frames", std::to_string(frames)});
    std::vector<unsigned char> d = readfile(s.path("d.bin"));
    image im = decode(s.path("s.png"));
    ASSERT_EQ(im.w, picturew);
    // Before the first sweep end the background is black whatever ccg2 holds.
    double g = black ? 0.0 : (float)(scalarint(d, "ccg2") / 100.0);
    if (black) {
        EXPECT_GT(scalarint(d, "ccg2"), 0);
    }
    scene sc = sceneof(d);
    view v = viewof(d);
    int seen[2] = {0, 0};
    for (int py = 4; py < pictureh; py += 16)
        for (int px = 4; px < picturew; px += 16) {
            int c = classify(sc, v, px, py);
            if (c < 0) continue;
            seen[c]++;
            double want = std::min(1.0, g + 0.35 * c) * 255;
            const unsigned char *p = im.at(px, py);
            for (int k = 0; k < 3; k++)
                EXPECT_NEAR(p[k], want, 1.0) << "pixel " << px << "," << py << " clouds " << c;
        }
    EXPECT_GE(seen[0], 5) << "too few background pixels to judge";
    EXPECT_GE(seen[1], 5) << "too few pixels where only a cloud covers the background";
}

TEST(ReplayStill, BackgroundIsBlackBeforeTheFirstSweepEnd) {
    checkbackground("7", 1199, true);
}

TEST(ReplayStill, BackgroundIsTheSweepsGreyAfterItAndCloudsAddPointThreeFive) {
    checkbackground("7", 1300, false);
}
