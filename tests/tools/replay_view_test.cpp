// replay_view_test.cpp -- --view: the demo's view at any size, wider aspects adding columns at
// the same scale, and clips drawn at it
// SPDX-License-Identifier: MIT
#include "pngio.h"
#include "runreplay.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>

struct picture {
    int w = 0, h = 0;
    std::vector<unsigned char> rgb; // top row first
};

// Seed 7's frame 300 through the car camera, which shows city to the picture's edges.
static picture stillat(const scratch &s, const std::string &view) {
    std::vector<std::string> args = {"--seed",  "7",      "--frames", "300",
                                     "--press", "120:up", "--png",    s.path("v.png")};
    if (!view.empty()) args.insert(args.end(), {"--view", view});
    result r = replay(args);
    EXPECT_EQ(r.status, 0) << r.err;
    picture p;
    readpng(s.path("v.png").c_str(), p.w, p.h, p.rgb);
    return p;
}

// The share of w x h pixels, a from column ax and b from column bx, with a channel more than
// tol apart.
static double differing(const picture &a, int ax, const picture &b, int bx, int w, int h, int tol) {
    long n = 0;
    for (int y = 0; y < h; y++)
        for (int x = 0; x < w; x++) {
            const unsigned char *p = &a.rgb[3 * ((size_t)y * a.w + ax + x)],
                                *q = &b.rgb[3 * ((size_t)y * b.w + bx + x)];
            n += std::abs(p[0] - q[0]) > tol || std::abs(p[1] - q[1]) > tol ||
                 std::abs(p[2] - q[2]) > tol;
        }
    return (double)n / ((double)w * h);
}

// Same vertical field of view and height: a 16:9 view is the 4:3 one with columns added on both
// sides. Its projection's x scale rounds apart from the 4:3 one's in the last bits, so smooth
// shading lands a unit or two apart here and there, and a few edges of thin beams and of quads
// clipped at the wider view's sides fall the other way.
TEST(ReplayView, AWideViewIsTheFourByThreeOneWithColumnsAdded) {
    scratch s;
    picture wide = stillat(s, "1920x1080"), narrow = stillat(s, "1440x1080");
    ASSERT_EQ(wide.w, 1920);
    ASSERT_EQ(narrow.w, 1440);
    ASSERT_EQ(wide.h, 1080);
    double any = differing(wide, 240, narrow, 0, 1440, 1080, 0),
           more = differing(wide, 240, narrow, 0, 1440, 1080, 2);
    std::cout << "middle 1440 columns: " << any * 100 << "% of pixels differ, " << more * 100
              << "% by more than 2 of 255\n";
    EXPECT_LT(any, 0.01);
    EXPECT_LT(more, 0.001);
    // A column off is far worse: the columns are where they should be.
    EXPECT_GT(differing(wide, 241, narrow, 0, 1440, 1080, 2), 10 * more);
    // The added columns show city, not bars.
    EXPECT_GT(differing(wide, 0, wide, 1680, 240, 1080, 0), 0.5);

    // The demo's own size is the demo's picture, byte for byte.
    std::vector<unsigned char> asview = readfile(s.path("v.png"));
    stillat(s, "");
    std::vector<unsigned char> plain = readfile(s.path("v.png"));
    stillat(s, std::to_string(picturew) + "x" + std::to_string(pictureh));
    EXPECT_TRUE(readfile(s.path("v.png")) == plain);
    EXPECT_FALSE(asview == plain);
}

// Twice the picture's size in each direction, averaged down by two, is the picture again up to
// the edges that fall between its pixels.
TEST(ReplayView, ADoubledViewHalvedIsClosetoTheDemosPicture) {
    scratch s;
    picture big = stillat(s, std::to_string(2 * picturew) + "x" + std::to_string(2 * pictureh)),
            pic = stillat(s, "");
    ASSERT_EQ(big.w, 2 * picturew);
    ASSERT_EQ(pic.w, picturew);
    double sum = 0;
    long far = 0; // channels more than a quarter of the range apart
    for (int y = 0; y < pictureh; y++)
        for (int x = 0; x < picturew; x++)
            for (int c = 0; c < 3; c++) {
                auto at = [&](int dx, int dy) {
                    return (int)big.rgb[3 * ((size_t)(2 * y + dy) * big.w + 2 * x + dx) + c];
                };
                int half = (at(0, 0) + at(1, 0) + at(0, 1) + at(1, 1) + 2) / 4;
                int d = std::abs(half - pic.rgb[3 * ((size_t)y * picturew + x) + c]);
                sum += d;
                far += d > 64;
            }
    double mean = sum / (3.0 * picturew * pictureh), farshare = far / (3.0 * picturew * pictureh);
    std::cout << "halved against the picture: mean difference " << mean << " of 255, "
              << farshare * 100 << "% of channels more than 64 apart\n";
    EXPECT_LT(mean, 4.0);
    EXPECT_LT(farshare, 0.03);
}

// A lossless clip at a view decodes to the stills at that view.
TEST(ReplayView, AClipAtAViewIsItsStills) {
    scratch s;
    result r = replay({"--seed", "7", "--from", "2", "--frames", "3", "--view", "320x180",
                       "--video", s.path("c.mkv")});
    ASSERT_EQ(r.status, 0) << r.err;
    r = replay({"--seed", "7", "--frames", "3", "--view", "320x180", "--png", s.path("s.png")});
    ASSERT_EQ(r.status, 0) << r.err;
    picture p;
    ASSERT_TRUE(readpng(s.path("s.png").c_str(), p.w, p.h, p.rgb));
    std::string frames;
    if (FILE *f = popen(
            ("ffmpeg -v error -i " + s.path("c.mkv") + " -f rawvideo -pix_fmt rgb24 -").c_str(),
            "r")) {
        char buf[65536];
        for (size_t n; (n = fread(buf, 1, sizeof buf, f)) > 0;)
            frames.append(buf, n);
        pclose(f);
    }
    ASSERT_EQ(frames.size(), 2 * p.rgb.size());
    EXPECT_TRUE(!memcmp(frames.data() + p.rgb.size(), p.rgb.data(), p.rgb.size()));
}
