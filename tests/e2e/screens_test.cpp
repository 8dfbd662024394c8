// screens_test.cpp -- the whole picture, 4:3 and centred, on screens of other sizes, with and
// without a window manager
// GoogleTest first: Xlib defines macros (None, Bool, Status) that clash with its templates.
// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include "stills.h"

#include <X11/Xatom.h>
#include <algorithm>
#include <string>
#include <tuple>

// openbox on the display, once it has announced itself as the window manager.
static bool startwm(child &wm, const xserver &x) {
    if (!spawn(wm, {"openbox"}, {{"DISPLAY", x.name.c_str()}})) return false;
    Atom check = XInternAtom(x.d, "_NET_SUPPORTING_WM_CHECK", False);
    double end = now() + 20;
    while (now() < end && !waitend(wm, 0.05)) {
        Atom type;
        int format;
        unsigned long n = 0, left;
        unsigned char *data = nullptr;
        XGetWindowProperty(x.d, DefaultRootWindow(x.d), check, 0, 1, False, XA_WINDOW, &type,
                           &format, &n, &left, &data);
        if (data) XFree(data);
        if (n == 1) return true;
    }
    return false;
}

// The still stretched over the box, bilinearly, sampled at pixel centres.
static int sample(const xpicture &s, const box &b, int x, int y, int k) {
    double fx = std::clamp((x - b.x + 0.5) * s.w / b.w - 0.5, 0.0, s.w - 1.0);
    double fy = std::clamp((y - b.y + 0.5) * s.h / b.h - 0.5, 0.0, s.h - 1.0);
    int x0 = (int)fx, y0 = (int)fy, x1 = std::min(x0 + 1, s.w - 1), y1 = std::min(y0 + 1, s.h - 1);
    double ax = fx - x0, ay = fy - y0;
    auto at = [&](int px, int py) { return (double)s.rgb[((size_t)py * s.w + px) * 3 + k]; };
    return (int)(at(x0, y0) * (1 - ax) * (1 - ay) + at(x1, y0) * ax * (1 - ay) +
                 at(x0, y1) * (1 - ax) * ay + at(x1, y1) * ax * ay + 0.5);
}

// The mean difference of a channel between the screen inside the box and the still stretched
// over it, 0 to 255.
static double mismatch(const xpicture &shot, const xpicture &still, const box &b) {
    double sum = 0;
    for (int y = b.y; y < b.y + b.h; y++)
        for (int x = b.x; x < b.x + b.w; x++)
            for (int k = 0; k < 3; k++)
                sum += abs(shot.rgb[((size_t)y * shot.w + x) * 3 + k] - sample(still, b, x, y, k));
    return sum / (3.0 * b.w * b.h);
}

class Screens : public testing::TestWithParam<std::tuple<const char *, bool>> {};

TEST_P(Screens, ShowTheWholePictureCentredWithBlackAround) {
    auto [size, managed] = GetParam();
    xserver x;
    ASSERT_TRUE(startx(x, (std::string(size) + "x24").c_str())) << errtext(x.proc);
    child wm;
    if (managed) {
        ASSERT_TRUE(startwm(wm, x)) << "openbox did not start: " << errtext(wm);
    }
    child g;
    ASSERT_NO_FATAL_FAILURE(startstepping(x, g, "7"));
    int sw = WidthOfScreen(DefaultScreenOfDisplay(x.d));
    int sh = HeightOfScreen(DefaultScreenOfDisplay(x.d));
    // The window reaches the screen's size while the demo runs its frames.
    int frame = 1;
    XWindowAttributes a = {};
    double end = now() + 30;
    do {
        ASSERT_TRUE(step(x, g)) << errtext(g);
        frame++;
        Window w = xappwindow(x.d);
        if (w) XGetWindowAttributes(x.d, w, &a);
    } while ((a.width != sw || a.height != sh) && now() < end);
    ASSERT_EQ(a.width, sw);
    ASSERT_EQ(a.height, sh);
    ASSERT_TRUE(step(x, g, 2)) << errtext(g); // one frame to see the new size, one to draw it
    frame += 2;

    xpicture shot, still, next;
    XSync(x.d, False);
    ASSERT_TRUE(xgrab(x.d, shot));
    ASSERT_NO_FATAL_FAILURE(replaystill("7", frame, {}, still));
    box b = letterbox(sw, sh);
    if (b.w == 1024) {
        // Shown 1:1: the replay's picture exactly, wherever it is.
        xpicture part;
        part.w = 1024;
        part.h = 768;
        for (int y = 0; y < 768; y++)
            for (int i = 0; i < 1024 * 3; i++)
                part.rgb.push_back(shot.rgb[((size_t)(b.y + y) * sw + b.x) * 3 + i]);
        EXPECT_TRUE(identical(part, still, size));
    }
    // The layer's filtering stays within a hundredth of a level on average (measured 0.01);
    // the next frame is over a level away (1.26), so the threshold sits between.
    ASSERT_NO_FATAL_FAILURE(replaystill("7", frame + 1, {}, next));
    EXPECT_EQ(litoutside(shot, b), 0) << b.w << "x" << b.h << "+" << b.x << "+" << b.y;
    EXPECT_LT(mismatch(shot, still, b), 0.3) << "frame " << frame;
    EXPECT_GT(mismatch(shot, next, b), 0.3) << "frame " << frame + 1;
    letgo(g);
}

INSTANTIATE_TEST_SUITE_P(, Screens,
                         testing::Combine(testing::Values("1920x1080", "1280x720", "800x600",
                                                          "1024x768"),
                                          testing::Values(false, true)),
                         [](const auto &info) {
                             std::string s = std::get<0>(info.param);
                             std::replace(s.begin(), s.end(), 'x', '_');
                             return s + (std::get<1>(info.param) ? "_openbox" : "_bare");
                         });
