// hosts_test.cpp -- gridcity-saver as installed, under the other hosts that run hacks
// GoogleTest first: Xlib defines macros (None, Bool, Status) that clash with its templates.
// SPDX-License-Identifier: MIT
#include <gtest/gtest.h>

#include "stills.h"

#include <csignal>
#include <dirent.h>
#include <filesystem>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

// The saver's files installed under /usr as the package installs them, into a folder of the
// test's; the processes running the saver and the folder go with the test. A process is known by
// its program's file, not by the path, which differs in another mount namespace.
struct installed {
    std::string dir, savers; // savers: what the package puts in /usr/libexec/xscreensaver
    std::vector<pid_t> running() const {
        std::vector<pid_t> found;
        struct stat s, p;
        if (stat((savers + "/gridcity-saver").c_str(), &s)) return found;
        DIR *proc = opendir("/proc");
        if (!proc) return found;
        while (dirent *e = readdir(proc))
            if (!stat(("/proc/" + std::string(e->d_name) + "/exe").c_str(), &p) &&
                p.st_dev == s.st_dev && p.st_ino == s.st_ino)
                found.push_back(atoi(e->d_name));
        closedir(proc);
        return found;
    }
    ~installed() {
        for (pid_t p : running())
            kill(p, SIGKILL);
        if (!dir.empty()) fs::remove_all(dir);
    }
};

static void install(installed &i) {
    char dir[] = "/tmp/gridcity-hosts-XXXXXX";
    ASSERT_TRUE(mkdtemp(dir));
    i.dir = dir;
    i.savers = i.dir + "/usr/libexec/xscreensaver";
    child c;
    ASSERT_TRUE(spawn(c, {CMAKE_BIN, "-DCMAKE_INSTALL_PREFIX=/usr", "-P", SAVER_INSTALL},
                      {{"DESTDIR", i.dir.c_str()}}));
    ASSERT_TRUE(waitend(c, 60));
    ASSERT_EQ(c.status, 0) << errtext(c);
}

// The city moving on the whole 1280x720 screen, to its edges, drawn by a program from i.
static void showsthecity(xserver &x, const installed &i, child &host) {
    xpicture first, shot;
    for (double end = now() + 60; now() < end;) {
        ASSERT_FALSE(waitend(host, 0.1)) << "the host ended: " << errtext(host);
        ASSERT_TRUE(xgrab(x.d, shot));
        if (!litedges(shot, {0, 0, 1280, 720})) continue; // not yet drawn, or not yet fitted
        if (first.rgb.empty()) first = shot;
        if (shot.rgb != first.rgb) break;
    }
    ASSERT_FALSE(first.rgb.empty()) << "nothing drawn in 60 s: " << errtext(host);
    EXPECT_NE(shot.rgb, first.rgb) << "the city stood still";
    EXPECT_TRUE(litedges(shot, {0, 0, 1280, 720}));
    EXPECT_FALSE(i.running().empty());
}

// The saver ends within 2 s once the host stops it.
static void endssoon(const installed &i) {
    double t = now();
    while (!i.running().empty() && now() < t + 5)
        nap(0.02);
    EXPECT_TRUE(i.running().empty());
    EXPECT_LT(now() - t, 2.0) << "the saver outlived its host's stop";
}

// MATE's daemon runs the theme named in its settings from the entry the package installs in
// applications/screensavers, and only a hack that lies in one of its folders for them
// (/usr/libexec/xscreensaver among them): the installed folder is mounted there, in a mount
// namespace of the daemon's own. Its settings come from a key file, its bus is a private one.
TEST(Hosts, RunsUnderMateScreensaver) {
    xserver x;
    ASSERT_TRUE(startx(x, "1280x720x24")) << errtext(x.proc);
    installed i;
    ASSERT_NO_FATAL_FAILURE(install(i));
    fs::create_directories(i.dir + "/config/glib-2.0/settings");
    std::ofstream(i.dir + "/config/glib-2.0/settings/keyfile")
        << "[org/mate/screensaver]\nmode='single'\nthemes=['screensavers-gridcity']\n"
        << "lock-enabled=false\n";
    std::string bus = "unix:path=" + i.dir + "/bus";
    child daemon;
    ASSERT_TRUE(spawn(daemon, {"dbus-daemon", "--session", "--nofork", "--address=" + bus}, {}));
    for (double end = now() + 10; !fs::exists(i.dir + "/bus"); nap(0.05))
        ASSERT_TRUE(now() < end && !waitend(daemon, 0)) << "no bus: " << errtext(daemon);
    std::string config = i.dir + "/config", data = i.dir + "/usr/share:/usr/share";
    std::vector<envset> env = {
        {"DISPLAY", x.name.c_str()},      {"DBUS_SESSION_BUS_ADDRESS", bus.c_str()},
        {"GSETTINGS_BACKEND", "keyfile"}, {"XDG_CONFIG_HOME", config.c_str()},
        {"XDG_DATA_DIRS", data.c_str()},  {"WAYLAND_DISPLAY", nullptr}};
    std::vector<std::string> argv = {"unshare", "-m", "--propagation", "private"};
    if (getuid() != 0) argv.push_back("-r"); // a user namespace lets anyone mount
    argv.insert(argv.end(), {"sh", "-c",
                             "mount --bind \"$0\" /usr/libexec/xscreensaver || exit 3; "
                             "exec mate-screensaver --no-daemon",
                             i.savers});
    child saver;
    ASSERT_TRUE(spawn(saver, argv, env));
    auto command = [&](const char *what) {
        child c;
        return spawn(c, {"mate-screensaver-command", what}, env) && waitend(c, 10) && c.status == 0;
    };
    double end = now() + 20;
    while (!command("--activate") && now() < end) {
        if (!waitend(saver, 0.2)) continue;
        // A container may withhold the right to make a mount namespace.
        if (saver.status == 3 || errtext(saver).find("unshare failed") != std::string::npos)
            GTEST_SKIP() << "no mount namespace here: " << errtext(saver);
        FAIL() << "ended with status " << saver.status << ": " << errtext(saver);
    }
    ASSERT_NO_FATAL_FAILURE(showsthecity(x, i, saver));
    ASSERT_TRUE(command("--deactivate"));
    endssoon(i);
}

// xsecurelock runs the program XSECURELOCK_SAVER names (an absolute path, or one of its own) in
// a window of each monitor, handed over in XSCREENSAVER_WINDOW. Its unlock stops its saver
// multiplexer with SIGTERM, as stopping xsecurelock itself does: the multiplexer passes it on and
// dies at once, its windows with it, often before the saver's quit is drawn. The saver ends, and
// says nothing: a stop, not a failure (the saver writes to xsecurelock's standard error).
TEST(Hosts, RunsUnderXsecurelock) {
    xserver x;
    ASSERT_TRUE(startx(x, "1280x720x24")) << errtext(x.proc);
    installed i;
    ASSERT_NO_FATAL_FAILURE(install(i));
    std::string saver = i.savers + "/gridcity-saver";
    child lock;
    ASSERT_TRUE(spawn(lock, {"xsecurelock"},
                      {{"DISPLAY", x.name.c_str()},
                       {"XSECURELOCK_SAVER", saver.c_str()},
                       {"WAYLAND_DISPLAY", nullptr}}));
    ASSERT_NO_FATAL_FAILURE(showsthecity(x, i, lock));
    kill(lock.pid, SIGTERM);
    endssoon(i);
    ASSERT_TRUE(waitend(lock, 10));
    EXPECT_EQ(errtext(lock).find("gridcity"), std::string::npos) << errtext(lock);
}
