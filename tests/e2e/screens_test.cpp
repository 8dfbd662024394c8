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

// A window manager on the display ("openbox", "mutter", "xmonad"), once it has announced itself
// or, where it announces nothing (xmonad), once it manages the root's children.
static bool startwm(child &wm, const xserver &x, const char *name) {
    std::vector<std::string> argv = {name};
    std::vector<envset> env = {{"DISPLAY", x.name.c_str()}};
    // mutter wants a session bus and, on an X server, to be told it is not a Wayland compositor.
    if (!strcmp(name, "mutter")) argv = {"dbus-run-session", "--", "mutter", "--x11", "--replace"};
    // xmonad in its default set-up: no configuration of the user's, its folders made and gone
    // with the start.
    char dir[] = "/tmp/gridcity-xmonad-XXXXXX";
    bool own = !strcmp(name, "xmonad");
    if (own && !mkdtemp(dir)) return false;
    if (own)
        for (const char *v : {"XMONAD_CONFIG_DIR", "XMONAD_DATA_DIR", "XMONAD_CACHE_DIR"})
            env.push_back({v, dir});
    bool up = spawn(wm, argv, env);
    Atom check = XInternAtom(x.d, "_NET_SUPPORTING_WM_CHECK", False);
    double end = now() + 60;
    while (up && now() < end && !waitend(wm, 0.05)) {
        Atom type;
        int format;
        unsigned long n = 0, left;
        unsigned char *data = nullptr;
        XGetWindowProperty(x.d, DefaultRootWindow(x.d), check, 0, 1, False, XA_WINDOW, &type,
                           &format, &n, &left, &data);
        if (data) XFree(data);
        XWindowAttributes root;
        XGetWindowAttributes(x.d, DefaultRootWindow(x.d), &root);
        if (n == 1 || (own && root.all_event_masks & SubstructureRedirectMask)) break;
    }
    up = up && now() < end && !wm.ended;
    if (own) std::filesystem::remove_all(dir);
    return up;
}

// The demo, seed 7, stepping on x, shows its whole picture 4:3 and centred in the monitor m of
// the screen, and nothing lit anywhere else.
static void wholeon(xserver &x, const box &m, const char *stem) {
    child g;
    ASSERT_NO_FATAL_FAILURE(startstepping(x, g, "7"));
    int frame = 1;
    ASSERT_NO_FATAL_FAILURE(showswhole(x, g, frame, m, stem));
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
// xmonad, which announces no full-screen support and keeps a border round every window.
INSTANTIATE_TEST_SUITE_P(Xmonad, Screens, testing::Values(std::make_tuple("1920x1080", "xmonad")),
                         [](const auto &) { return std::string("1920_1080_xmonad"); });

// Xorg's dummy driver: one 1920x1080 head and room for a second beside it, the screen's size set
// by xrandr. Xorg runs only as root here; its folder goes once it has read its configuration.
static bool startxorg(xserver &x) {
    char dir[] = "/tmp/gridcity-xorg-XXXXXX";
    if (!mkdtemp(dir)) return false;
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
    bool up = startserver(x, {"Xorg", "-config", conf, "-logfile", log});
    std::filesystem::remove_all(dir);
    return up;
}

// Two 1920x1080 heads side by side and no window manager, as in a bare xinit session or a kiosk
// with two outputs: the picture fills the first monitor, 4:3, and leaves the second dark, rather
// than spreading over the seam.
TEST(Monitors, TwoShowThePictureWholeOnOne) {
    if (getuid() != 0) GTEST_SKIP() << "Xorg runs only as root without a console";
    xserver x;
    ASSERT_TRUE(startxorg(x)) << errtext(x.proc);
    ASSERT_TRUE(runon(x, {"xrandr", "--addmode", "DUMMY1", "1920x1080"}));
    ASSERT_TRUE(runon(x, {"xrandr", "--output", "DUMMY0", "--mode", "1920x1080", "--primary",
                          "--output", "DUMMY1", "--mode", "1920x1080", "--right-of", "DUMMY0"}));
    XWindowAttributes root;
    ASSERT_TRUE(XGetWindowAttributes(x.d, DefaultRootWindow(x.d), &root));
    ASSERT_EQ(root.width, 3840);
    wholeon(x, {0, 0, 1920, 1080}, "twoheads");
}

// The saver on the root window of a screen whose size changes under it (a resolution changed,
// a monitor swapped): the city drawn at the new size, and still the same run.
TEST(Monitors, TheSaverOnTheRootFollowsTheScreensSize) {
    if (getuid() != 0) GTEST_SKIP() << "Xorg runs only as root without a console";
    xserver x;
    ASSERT_TRUE(startxorg(x)) << errtext(x.proc);
    child g;
    ASSERT_NO_FATAL_FAILURE(startstepping(x, g, "7", false, {SAVER_BIN, "-root"}));
    int frame = 1;
    ASSERT_NO_FATAL_FAILURE(fillswhole(x, g, frame, {0, 0, 1920, 1080}, "root1920", 0));
    ASSERT_TRUE(runon(x, {"xrandr", "-s", "1280x720"}));
    ASSERT_NO_FATAL_FAILURE(fillswhole(x, g, frame, {0, 0, 1280, 720}, "root1280", 0));
}

// The second screen of a display, named in DISPLAY (":N.1"): the demo opens there, fitted.
TEST(Monitors, TheSecondScreenOfADisplayShowsThePicture) {
    xserver x;
    ASSERT_TRUE(
        startserver(x, {"Xvfb", "-screen", "0", "1280x1024x24", "-screen", "1", "800x600x24"}))
        << errtext(x.proc);
    x.name += ".1";
    XCloseDisplay(x.d);
    ASSERT_TRUE(x.d = XOpenDisplay(x.name.c_str()));
    wholeon(x, {0, 0, 800, 600}, "secondscreen");
}

// The saver on the second screen: on the root window of ":N.1", and in a window of screen 1
// handed over on ":N".
TEST(Monitors, TheSaverOnTheSecondScreenShowsThePicture) {
    xserver x;
    ASSERT_TRUE(
        startserver(x, {"Xvfb", "-screen", "0", "1280x1024x24", "-screen", "1", "800x600x24"}))
        << errtext(x.proc);
    XCloseDisplay(x.d);
    ASSERT_TRUE(x.d = XOpenDisplay((x.name + ".1").c_str()));
    Window host = XCreateSimpleWindow(x.d, DefaultRootWindow(x.d), 100, 50, 640, 400, 0, 0, 0);
    XMapWindow(x.d, host);
    XSync(x.d, False);
    int frame = 1;
    {
        child g;
        ASSERT_NO_FATAL_FAILURE(
            startstepping(x, g, "7", false, {SAVER_BIN, "-window-id", std::to_string(host)}));
        ASSERT_NO_FATAL_FAILURE(fillswhole(x, g, frame, {100, 50, 640, 400}, "second1", host));
    }
    XDestroyWindow(x.d, host);
    x.name += ".1";
    child g;
    frame = 1;
    ASSERT_NO_FATAL_FAILURE(startstepping(x, g, "7", false, {SAVER_BIN, "-root"}));
    ASSERT_NO_FATAL_FAILURE(fillswhole(x, g, frame, {0, 0, 800, 600}, "second1root", 0));
}
