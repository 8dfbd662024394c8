// screens_test.cpp -- the whole picture, 4:3 and centred, on screens of other sizes, with and
// without a window manager
// GoogleTest first: Xlib defines macros (None, Bool, Status) that clash with its templates.
// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include "stills.h"

#include <X11/Xatom.h>
#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <tuple>
#include <unistd.h>

// A window manager on the display ("openbox", "mutter"), once it has announced itself.
static bool startwm(child &wm, const xserver &x, const char *name) {
    std::vector<std::string> argv = {name};
    // mutter wants a session bus and, on an X server, to be told it is not a Wayland compositor.
    if (!strcmp(name, "mutter")) argv = {"dbus-run-session", "--", "mutter", "--x11", "--replace"};
    if (!spawn(wm, argv, {{"DISPLAY", x.name.c_str()}})) return false;
    Atom check = XInternAtom(x.d, "_NET_SUPPORTING_WM_CHECK", False);
    double end = now() + 60;
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

// The demo, seed 7, stepping on x, shows its whole picture 4:3 and centred in the monitor m of
// the screen, and nothing lit anywhere else.
static void wholeon(xserver &x, const box &m, const char *stem) {
    child g;
    ASSERT_NO_FATAL_FAILURE(startstepping(x, g, "7"));
    // The window reaches the monitor's size while the demo runs its frames.
    int frame = 1;
    XWindowAttributes a = {};
    double end = now() + 30;
    do {
        ASSERT_TRUE(step(x, g)) << errtext(g);
        frame++;
        Window w = xappwindow(x.d);
        if (w) XGetWindowAttributes(x.d, w, &a);
    } while ((a.width != m.w || a.height != m.h) && now() < end);
    ASSERT_EQ(a.width, m.w);
    ASSERT_EQ(a.height, m.h);
    ASSERT_TRUE(step(x, g, 2)) << errtext(g); // one frame to see the new size, one to draw it
    frame += 2;

    xpicture shot, still, next;
    ASSERT_NO_FATAL_FAILURE(replaystill("7", frame, {}, still));
    ASSERT_NO_FATAL_FAILURE(replaystill("7", frame + 1, {}, next));
    box b = letterbox(m.w, m.h);
    b.x += m.x;
    b.y += m.y;
    // A compositing window manager puts the frame on screen a moment after the swap: the frame
    // is waited for, not raced.
    end = now() + 10;
    do {
        XSync(x.d, False);
        ASSERT_TRUE(xgrab(x.d, shot));
    } while (mismatch(shot, still, b) >= 0.3 && now() < end && (nap(0.1), true));
    if (b.w == 1024) {
        // Shown 1:1: the replay's picture exactly, wherever it is.
        xpicture part;
        part.w = 1024;
        part.h = 768;
        for (int y = 0; y < 768; y++)
            for (int i = 0; i < 1024 * 3; i++)
                part.rgb.push_back(shot.rgb[((size_t)(b.y + y) * shot.w + b.x) * 3 + i]);
        EXPECT_TRUE(identical(part, still, stem));
    }
    // The layer's filtering stays within a hundredth of a level on average (measured 0.01);
    // the next frame is over a level away (1.26), so the threshold sits between.
    EXPECT_EQ(litoutside(shot, b), 0) << b.w << "x" << b.h << "+" << b.x << "+" << b.y;
    EXPECT_LT(mismatch(shot, still, b), 0.3) << "frame " << frame;
    EXPECT_GT(mismatch(shot, next, b), 0.3) << "frame " << frame + 1;
    letgo(g);
}

class Screens : public testing::TestWithParam<std::tuple<const char *, const char *>> {};

TEST_P(Screens, ShowTheWholePictureCentredWithBlackAround) {
    auto [size, wmname] = GetParam();
    xserver x;
    ASSERT_TRUE(startx(x, (std::string(size) + "x24").c_str())) << errtext(x.proc);
    child wm;
    if (*wmname) {
        ASSERT_TRUE(startwm(wm, x, wmname)) << wmname << " did not start: " << errtext(wm);
    }
    Screen *s = DefaultScreenOfDisplay(x.d);
    wholeon(x, {0, 0, WidthOfScreen(s), HeightOfScreen(s)}, size);
}

INSTANTIATE_TEST_SUITE_P(, Screens,
                         testing::Combine(testing::Values("1920x1080", "1280x720", "800x600",
                                                          "1024x768"),
                                          testing::Values("", "openbox")),
                         [](const auto &info) {
                             std::string s = std::get<0>(info.param);
                             std::replace(s.begin(), s.end(), 'x', '_');
                             std::string wm = std::get<1>(info.param);
                             return s + "_" + (wm.empty() ? "bare" : wm);
                         });
// GNOME's window manager, Debian's default desktop, at one size.
INSTANTIATE_TEST_SUITE_P(Gnome, Screens, testing::Values(std::make_tuple("1920x1080", "mutter")),
                         [](const auto &) { return std::string("1920_1080_mutter"); });

// Xorg's dummy driver with two 1920x1080 heads side by side and no window manager, as in a bare
// xinit session or a kiosk with two outputs: the picture fills the first monitor, 4:3, and
// leaves the second dark, rather than spreading over the seam. Xorg runs only as root here.
TEST(Monitors, TwoShowThePictureWholeOnOne) {
    if (getuid() != 0) GTEST_SKIP() << "Xorg runs only as root without a console";
    char dir[] = "/tmp/gridcity-xorg-XXXXXX";
    ASSERT_TRUE(mkdtemp(dir));
    std::string conf = std::string(dir) + "/xorg.conf", log = std::string(dir) + "/Xorg.log";
    std::ofstream(conf) << R"(Section "Device"
  Identifier "d"
  Driver "dummy"
  VideoRam 65536
EndSection
Section "Monitor"
  Identifier "m"
  HorizSync 5.0-1000.0
  VertRefresh 5.0-200.0
  Modeline "1920x1080" 148.50 1920 2008 2052 2200 1080 1084 1089 1125 +hsync +vsync
EndSection
Section "Screen"
  Identifier "s"
  Device "d"
  Monitor "m"
  DefaultDepth 24
  SubSection "Display"
    Depth 24
    Virtual 3840 1080
    Modes "1920x1080"
  EndSubSection
EndSection
)";
    struct gone {
        std::string dir;
        ~gone() { std::filesystem::remove_all(dir); }
    } cleanup{dir};
    xserver x;
    ASSERT_TRUE(startserver(x, {"Xorg", "-config", conf, "-logfile", log})) << errtext(x.proc);
    ASSERT_TRUE(runon(x, {"xrandr", "--addmode", "DUMMY1", "1920x1080"}));
    ASSERT_TRUE(runon(x, {"xrandr", "--output", "DUMMY0", "--mode", "1920x1080", "--primary",
                          "--output", "DUMMY1", "--mode", "1920x1080", "--right-of", "DUMMY0"}));
    XWindowAttributes root;
    ASSERT_TRUE(XGetWindowAttributes(x.d, DefaultRootWindow(x.d), &root));
    ASSERT_EQ(root.width, 3840);
    wholeon(x, {0, 0, 1920, 1080}, "twoheads");
}
