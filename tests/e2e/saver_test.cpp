// saver_test.cpp -- gridcity-saver as a hack: in a window it is given, and under xscreensaver
// GoogleTest first: Xlib defines macros (None, Bool, Status) that clash with its templates.
// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include "stills.h"

#include <X11/extensions/scrnsaver.h>
#include <dirent.h>
#include <filesystem>
#include <fstream>
#include <pwd.h>
#include <unistd.h>

namespace fs = std::filesystem;

static std::string hex(unsigned long id) {
    char s[24];
    snprintf(s, sizeof s, "0x%lx", id);
    return s;
}

TEST(Saver, BadArgumentsSayWhyInOneLineWithStatusTwo) {
    for (const char *arg : {"-bogus", "-window-id"}) {
        child s;
        ASSERT_TRUE(spawn(s, {SAVER_BIN, arg}, {}));
        ASSERT_TRUE(waitend(s, 10));
        EXPECT_EQ(s.status, 2) << arg;
        std::string said = errtext(s);
        EXPECT_EQ(said.rfind("gridcity-saver: ", 0), 0u) << said;
        EXPECT_EQ(said.find('\n'), said.size() - 1) << said;
    }
}

// Ends with status 1 and one line that names the program and holds what.
static void saysonly(child &c, const char *what) {
    ASSERT_TRUE(waitend(c, 10));
    EXPECT_EQ(c.status, 1);
    std::string said = errtext(c);
    EXPECT_EQ(said.rfind("gridcity-saver: ", 0), 0u) << said;
    EXPECT_EQ(said.find('\n'), said.size() - 1) << said;
    EXPECT_NE(said.find(what), std::string::npos) << said;
}

TEST(Saver, NoDisplayOrNoRoomForTheHelpIsOneLineWithStatusOne) {
    child help;
    ASSERT_TRUE(spawn(help, {"/bin/sh", "-c", "exec \"$0\" -h >/dev/full", SAVER_BIN}, {}));
    saysonly(help, "cannot write the help: No space left on device");
    for (const char *arg : {"-root", "-window"}) {
        child s;
        ASSERT_TRUE(spawn(s, {SAVER_BIN, arg},
                          {{"DISPLAY", nullptr},
                           {"WAYLAND_DISPLAY", nullptr},
                           {"XSCREENSAVER_WINDOW", nullptr}}));
        saysonly(s, "no display is set");
    }
}

// Ids in decimal even with a leading zero (as xscreensaver never writes octal), and a window
// that takes no drawing refused before the demo starts.
TEST(Saver, WindowIdsAreHexOrDecimalAndTheWindowMustTakeDrawing) {
    xserver x;
    ASSERT_TRUE(startx(x)) << errtext(x.proc);
    XSetWindowAttributes none = {};
    Window input = XCreateWindow(x.d, DefaultRootWindow(x.d), 0, 0, 64, 48, 0, 0, InputOnly,
                                 CopyFromParent, 0, &none);
    XSync(x.d, False);
    const std::pair<std::string, std::string> ids[] = {
        {"010", "no window 0xa "},
        {"08", "no window 0x8 "},
        {hex(input), "is InputOnly: it cannot be drawn in"}};
    for (const auto &[id, said] : ids) {
        child s;
        ASSERT_TRUE(spawn(s, {SAVER_BIN, "-window-id", id},
                          {{"DISPLAY", x.name.c_str()}, {"XSCREENSAVER_WINDOW", nullptr}}));
        saysonly(s, said.c_str());
    }
}

// A plain 16:9 window: the city fills it to its edges and nothing else is drawn, the
// X screensaver still comes on while it runs, and destroying the window ends it at once with a
// failure and one line. XSCREENSAVER_WINDOW wins over -window-id, and the standard switches pass.
TEST(Saver, DrawsIntoTheWindowItIsGivenAndEndsWhenTheWindowGoes) {
    xserver x;
    ASSERT_TRUE(startx(x)) << errtext(x.proc);
    int screen = DefaultScreen(x.d);
    Window host = XCreateSimpleWindow(x.d, RootWindow(x.d, screen), 100, 50, 640, 360, 0,
                                      BlackPixel(x.d, screen), BlackPixel(x.d, screen));
    XMapWindow(x.d, host);
    XSetScreenSaver(x.d, 1, 0, DontPreferBlanking, AllowExposures);
    XSync(x.d, False);
    std::string id = hex(host);
    child s;
    ASSERT_TRUE(spawn(s, {SAVER_BIN, "-window-id", "0x1", "-fps", "--install", "-visual", "best"},
                      {{"DISPLAY", x.name.c_str()},
                       {"WAYLAND_DISPLAY", nullptr},
                       {"XSCREENSAVER_WINDOW", id.c_str()}}));
    xpicture shot;
    box b = {100, 50, 640, 360};
    double end = now() + 60;
    do {
        ASSERT_FALSE(waitend(s, 0.1)) << "ended with status " << s.status << ": " << errtext(s);
        ASSERT_TRUE(xgrab(x.d, shot));
    } while (uniform(shot) && now() < end);
    ASSERT_FALSE(uniform(shot)) << "nothing drawn in 60 s";
    EXPECT_EQ(litoutside(shot, b), 0);
    EXPECT_TRUE(litedges(shot, b));

    XScreenSaverInfo *info = XScreenSaverAllocInfo();
    end = now() + 10;
    do {
        nap(0.1);
        XScreenSaverQueryInfo(x.d, RootWindow(x.d, screen), info);
    } while (info->state != ScreenSaverOn && now() < end);
    EXPECT_EQ(info->state, ScreenSaverOn) << "the saver held the screensaver off";
    XFree(info);

    XDestroyWindow(x.d, host);
    XSync(x.d, False);
    ASSERT_TRUE(waitend(s, 2)) << "still running 2 s after its window went";
    EXPECT_EQ(s.status, 1);
    std::string said = errtext(s);
    EXPECT_EQ(said, "gridcity-saver: the window " + hex(host) + " it was drawing in went away\n");
}

// The processes running a program from dir.
static std::vector<pid_t> runningfrom(const std::string &dir) {
    std::vector<pid_t> found;
    DIR *proc = opendir("/proc");
    if (!proc) return found;
    while (dirent *e = readdir(proc)) {
        pid_t pid = atoi(e->d_name);
        char exe[4096];
        ssize_t n = pid > 0 ? readlink(("/proc/" + std::string(e->d_name) + "/exe").c_str(), exe,
                                       sizeof exe - 1)
                            : -1;
        if (n > 0 && std::string(exe, (size_t)n).rfind(dir + "/", 0) == 0) found.push_back(pid);
    }
    closedir(proc);
    return found;
}

// A private home for the daemon, its settings listing only this hack, and a copy of the hack
// where an unprivileged user can run it; all gone with the test.
struct xsshome {
    std::string dir;
    ~xsshome() {
        for (pid_t p : runningfrom(dir))
            kill(p, SIGKILL);
        if (!dir.empty()) fs::remove_all(dir);
    }
};

static bool makehome(xsshome &h, uid_t uid, gid_t gid) {
    char dir[] = "/tmp/gridcity-xss-XXXXXX";
    if (!mkdtemp(dir)) return false;
    h.dir = dir;
    fs::copy_file(SAVER_BIN, h.dir + "/gridcity-saver");
    std::ofstream(h.dir + "/.xscreensaver")
        << "mode: one\nselected: 0\nlock: False\nsplash: False\nfade: False\nunfade: False\n"
        << "timeout: 0:30:00\nprograms: GL: " << h.dir << "/gridcity-saver -root \\n\n";
    for (const char *f : {"", "/gridcity-saver", "/.xscreensaver"})
        if (chown((h.dir + f).c_str(), uid, gid) != 0 && getuid() == 0) return false;
    return true;
}

static bool command(const xserver &x, const char *what) {
    return runon(x, {"xscreensaver-command", what}, 10);
}

// Debian's xscreensaver, with a private home listing only this hack: activation blanks the
// screen with the moving city to its edges; deactivation ends the hack within 2 s. xscreensaver
// runs no hack as root, so as root the daemon runs as nobody.
TEST(Saver, RunsUnderXscreensaver) {
    xserver x;
    ASSERT_TRUE(startx(x, "1280x720x24")) << errtext(x.proc);
    uid_t uid = getuid();
    gid_t gid = getgid();
    std::vector<std::string> argv = {"xscreensaver", "-no-splash"};
    if (uid == 0) {
        passwd *nobody = getpwnam("nobody");
        ASSERT_TRUE(nobody);
        uid = nobody->pw_uid;
        gid = nobody->pw_gid;
        argv.insert(argv.begin(), {"setpriv", "--reuid=" + std::to_string(uid),
                                   "--regid=" + std::to_string(gid), "--clear-groups", "--"});
    }
    xsshome home;
    ASSERT_TRUE(makehome(home, uid, gid));
    child daemon;
    ASSERT_TRUE(spawn(
        daemon, argv,
        {{"DISPLAY", x.name.c_str()}, {"HOME", home.dir.c_str()}, {"WAYLAND_DISPLAY", nullptr}}));
    double end = now() + 20;
    while (!command(x, "-version") && now() < end)
        ASSERT_FALSE(waitend(daemon, 0.2)) << errtext(daemon);
    ASSERT_TRUE(command(x, "-activate")) << errtext(daemon);

    xpicture first, later;
    end = now() + 60;
    do {
        nap(0.1);
        ASSERT_TRUE(xgrab(x.d, first));
    } while (uniform(first) && now() < end);
    ASSERT_FALSE(uniform(first)) << "nothing drawn in 60 s: " << errtext(daemon);
    ASSERT_FALSE(runningfrom(home.dir).empty());
    end = now() + 20;
    do {
        nap(0.1);
        ASSERT_TRUE(xgrab(x.d, later));
    } while (later.rgb == first.rgb && now() < end);
    EXPECT_NE(later.rgb, first.rgb) << "the city stood still";
    EXPECT_TRUE(litedges(later, {0, 0, 1280, 720}));

    ASSERT_TRUE(command(x, "-deactivate"));
    double t = now();
    while (!runningfrom(home.dir).empty() && now() < t + 5)
        nap(0.02);
    EXPECT_TRUE(runningfrom(home.dir).empty());
    EXPECT_LT(now() - t, 2.0) << "the hack outlived the deactivation";
}

// A window resized larger and smaller, as xscreensaver's preview is: two frames later the city
// is drawn at the window's new size, filling it, and it is still the same run (the frame it
// reached, not a new start).
TEST(Saver, FollowsItsWindowLargerAndSmaller) {
    xserver x;
    ASSERT_TRUE(startx(x, "1280x1024x24")) << errtext(x.proc);
    int screen = DefaultScreen(x.d);
    Window host = XCreateSimpleWindow(x.d, RootWindow(x.d, screen), 100, 50, 640, 400, 0,
                                      BlackPixel(x.d, screen), BlackPixel(x.d, screen));
    XMapWindow(x.d, host);
    XSync(x.d, False);
    child g;
    ASSERT_NO_FATAL_FAILURE(startstepping(x, g, "7", false, {SAVER_BIN, "-window-id", hex(host)}));
    int frame = 1;
    for (auto [w, h] : {std::pair{640, 400}, {1100, 900}, {320, 200}}) {
        XResizeWindow(x.d, host, (unsigned)w, (unsigned)h);
        std::string stem = "saver" + std::to_string(w);
        ASSERT_NO_FATAL_FAILURE(fillswhole(x, g, frame, {100, 50, w, h}, stem.c_str(), host));
    }
}

// A plain window of the display's, mapped, for a saver to draw in.
static Window hostwindow(xserver &x, int w = 320, int h = 200) {
    int screen = DefaultScreen(x.d);
    Window host =
        XCreateSimpleWindow(x.d, RootWindow(x.d, screen), 0, 0, (unsigned)w, (unsigned)h, 0, 0, 0);
    XMapWindow(x.d, host);
    XSync(x.d, False);
    return host;
}

// Hosts stop a hack as it starts: its window destroyed at any moment of the start ends it with
// one line and status 1, a SIGTERM ends it quietly with status 0, also when the window goes
// right after; never a crash or a hang. A SIGTERM that comes while the program is still being
// loaded, before its first instruction, ends it as the signal's own (seen under load at 30 ms).
TEST(Saver, AStopAtAnyMomentOfTheStartIsCleanAndQuiet) {
    xserver x;
    ASSERT_TRUE(startx(x)) << errtext(x.proc);
    for (double at : {0.03, 0.08, 0.12, 0.2, 0.5, 1.5}) {
        for (int how = 0; how < 3; how++) { // the window destroyed, a SIGTERM, both
            Window host = hostwindow(x);
            child s;
            ASSERT_TRUE(spawn(s, {SAVER_BIN, "-window-id", hex(host)},
                              {{"DISPLAY", x.name.c_str()}, {"XSCREENSAVER_WINDOW", nullptr}}));
            nap(at);
            if (how) kill(s.pid, SIGTERM);
            if (how != 1) XDestroyWindow(x.d, host);
            XSync(x.d, False);
            ASSERT_TRUE(waitend(s, 10)) << "still running 10 s after its stop at " << at << " s";
            std::string said = errtext(s);
            if (how) {
                EXPECT_TRUE(s.status == 0 || (at < 0.1 && s.status == 128 + SIGTERM))
                    << "stopped at " << at << " s: status " << s.status << ", " << said;
                EXPECT_EQ(said, "") << "stopped at " << at << " s";
            } else {
                EXPECT_EQ(s.status, 1) << "window gone at " << at << " s: " << said;
                EXPECT_EQ(said.find('\n'), said.size() - 1) << said;
                EXPECT_TRUE(said.find("went away") != std::string::npos ||
                            said.find("no window") != std::string::npos)
                    << said;
            }
            if (how == 1) XDestroyWindow(x.d, host);
        }
    }
}

// With no window manager the hack leaves the input focus with the user's window and grabs
// nothing: another client can grab the pointer while it runs, and keys still go to the user.
// With -letterbox the picture is 4:3 in the middle of the window, black around it.
TEST(Saver, TakesNoFocusAndNoGrab) {
    xserver x;
    ASSERT_TRUE(startx(x)) << errtext(x.proc);
    Window user = hostwindow(x, 100, 100), host = hostwindow(x);
    XSetInputFocus(x.d, user, RevertToPointerRoot, CurrentTime);
    XSync(x.d, False);
    child s;
    ASSERT_TRUE(spawn(s, {SAVER_BIN, "-window-id", hex(host), "-letterbox"},
                      {{"DISPLAY", x.name.c_str()}, {"XSCREENSAVER_WINDOW", nullptr}}));
    ASSERT_TRUE(drawnwithin(x, s, 60)) << errtext(s);
    xpicture shot;
    ASSERT_TRUE(xgrab(x.d, shot));
    box b = letterbox(320, 200);
    EXPECT_EQ(litoutside(shot, b), 0);
    EXPECT_TRUE(litedges(shot, b));
    Window focus;
    int revert;
    XGetInputFocus(x.d, &focus, &revert);
    EXPECT_EQ(focus, user);
    EXPECT_EQ(XGrabPointer(x.d, user, False, 0, GrabModeAsync, GrabModeAsync, 0, 0, CurrentTime),
              GrabSuccess);
    XUngrabPointer(x.d, CurrentTime);
    kill(s.pid, SIGTERM);
    ASSERT_TRUE(waitend(s, 10));
    EXPECT_EQ(s.status, 0) << errtext(s);
    XGetInputFocus(x.d, &focus, &revert);
    EXPECT_EQ(focus, user);
}

// Run by hand, with no host, it fills a full-screen window of its own.
TEST(Saver, FillsAWindowOfItsOwn) {
    xserver x;
    ASSERT_TRUE(startx(x, "800x450x24")) << errtext(x.proc);
    child s;
    ASSERT_TRUE(spawn(s, {SAVER_BIN, "-fps"},
                      {{"DISPLAY", x.name.c_str()}, {"XSCREENSAVER_WINDOW", nullptr}}));
    ASSERT_TRUE(drawnwithin(x, s, 60)) << errtext(s);
    xpicture shot;
    for (double end = now() + 20;
         xgrab(x.d, shot) && !litedges(shot, {0, 0, 800, 450}) && now() < end;)
        nap(0.1);
    EXPECT_TRUE(litedges(shot, {0, 0, 800, 450}));
    kill(s.pid, SIGTERM);
    ASSERT_TRUE(waitend(s, 10));
    EXPECT_EQ(s.status, 0) << errtext(s);
}

// -camera car holds the car camera from the first step: the saver's frames are the replay's with
// Up pressed before the first step, not the roaming camera's.
TEST(Saver, HoldsTheCameraItIsGiven) {
    xserver x;
    ASSERT_TRUE(startx(x)) << errtext(x.proc);
    Window host = hostwindow(x, 320, 240);
    child g;
    ASSERT_NO_FATAL_FAILURE(
        startstepping(x, g, "7", false, {SAVER_BIN, "-window-id", hex(host), "-camera", "car"}));
    ASSERT_TRUE(step(x, g, 2)) << errtext(g);
    xpicture shot, car, roaming;
    XSync(x.d, False);
    ASSERT_TRUE(xgrab(x.d, shot));
    ASSERT_NO_FATAL_FAILURE(replaystill("7", 3, {"1:up"}, car, "320x240"));
    ASSERT_NO_FATAL_FAILURE(replaystill("7", 3, {}, roaming, "320x240"));
    box b = {0, 0, 320, 240};
    EXPECT_LT(mismatch(shot, car, b), 0.65);
    EXPECT_GT(mismatch(shot, roaming, b), 0.65);
}
