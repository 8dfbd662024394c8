// harness.cpp -- starting and always stopping Xvfb and gridcity, freezing and counting frames
// SPDX-License-Identifier: MIT
#include "harness.h"

#include "render/render.h" // picturew, pictureh

#include <X11/Xlib.h>
#include <X11/extensions/Xfixes.h>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <poll.h>
#include <sys/mman.h> // memfd_create
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

void nap(double secs) {
    usleep((useconds_t)(secs * 1e6));
}

child::~child() {
    stop(*this);
    if (errfd >= 0) close(errfd);
}

// keepfd stays open in the child (Xvfb reports its display number there).
static bool spawnkeeping(child &c, const std::vector<std::string> &argv,
                         const std::vector<envset> &env, int keepfd) {
    c.errfd = memfd_create("stderr", MFD_CLOEXEC);
    if (c.errfd < 0) return false;
    pid_t parent = getpid();
    pid_t pid = fork();
    if (pid < 0) return false;
    if (pid == 0) {
        setpgid(0, 0);
        prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (getppid() != parent) _exit(127); // the test died before the line above
        int in = open("/dev/null", O_RDONLY);
        dup2(in, 0);
        dup2(c.errfd, 1);
        dup2(c.errfd, 2);
        if (keepfd >= 0) fcntl(keepfd, F_SETFD, 0);
        // No session bus, so that the SDL layer does not autolaunch one: the daemon it starts
        // leaves the group and outlives the group's SIGKILL and the X server. A test that wants
        // a bus gives its own address in env.
        setenv("DBUS_SESSION_BUS_ADDRESS", "disabled:", 1);
        for (const envset &e : env)
            e.value ? setenv(e.name, e.value, 1) : unsetenv(e.name);
        std::vector<char *> args;
        for (const std::string &a : argv)
            args.push_back(const_cast<char *>(a.c_str()));
        args.push_back(nullptr);
        execvp(args[0], args.data());
        _exit(127);
    }
    setpgid(pid, pid); // also here, so a kill of the group never races the child's own call
    c.pid = pid;
    c.ended = false;
    return true;
}

bool spawn(child &c, const std::vector<std::string> &argv, const std::vector<envset> &env) {
    return spawnkeeping(c, argv, env, -1);
}

static void reaped(child &c, int ws) {
    c.ended = true;
    c.status = WIFEXITED(ws) ? WEXITSTATUS(ws) : 128 + WTERMSIG(ws);
    // Anything the program left in its group (none expected) goes with it.
    kill(-c.pid, SIGKILL);
}

bool waitend(child &c, double secs) {
    if (c.pid < 0) return false;
    if (c.ended) return true;
    double end = now() + secs;
    for (;;) {
        int ws;
        pid_t r = waitpid(c.pid, &ws, WNOHANG);
        if (r == c.pid) {
            reaped(c, ws);
            return true;
        }
        if (r < 0 && errno != EINTR) return false;
        if (now() >= end) return false;
        nap(0.01);
    }
}

bool waitstopped(child &c, double secs) {
    if (c.pid < 0 || c.ended) return false;
    double end = now() + secs;
    for (;;) {
        int ws;
        pid_t r = waitpid(c.pid, &ws, WNOHANG | WUNTRACED);
        if (r == c.pid) {
            if (WIFSTOPPED(ws)) return true;
            reaped(c, ws);
            return false;
        }
        if (r < 0 && errno != EINTR) return false;
        if (now() >= end) return false;
        nap(0.01);
    }
}

void stop(child &c) {
    if (c.pid < 0 || c.ended) return;
    kill(-c.pid, SIGKILL);
    int ws;
    while (waitpid(c.pid, &ws, 0) < 0 && errno == EINTR) {
    }
    reaped(c, ws);
}

std::string errtext(const child &c) {
    std::string s;
    if (c.errfd < 0) return s;
    char buf[4096];
    off_t at = 0;
    ssize_t n;
    while ((n = pread(c.errfd, buf, sizeof buf, at)) > 0) {
        s.append(buf, (size_t)n);
        at += n;
    }
    return s;
}

xserver::~xserver() {
    if (d) XCloseDisplay(d);
    d = nullptr;
    // A polite end first, so Xvfb removes its lock file and socket.
    if (proc.pid > 0 && !proc.ended) {
        kill(proc.pid, SIGTERM);
        waitend(proc, 5);
    }
}

bool startx(xserver &x, const char *screen) {
    std::string picture = std::to_string(picturew) + "x" + std::to_string(pictureh) + "x24";
    return startserver(x, {"Xvfb", "-screen", "0", screen ? screen : picture});
}

bool startserver(xserver &x, std::vector<std::string> argv) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return false;
    argv.insert(argv.end(), {"-displayfd", std::to_string(fds[1]), "-nolisten", "tcp", "-noreset"});
    bool ok = spawnkeeping(x.proc, argv, {}, fds[1]);
    close(fds[1]);
    std::string number;
    pollfd p = {fds[0], POLLIN, 0};
    double end = now() + 20;
    while (ok && number.find('\n') == std::string::npos && now() < end) {
        if (poll(&p, 1, 100) <= 0) continue;
        char ch;
        if (read(fds[0], &ch, 1) != 1) break;
        number += ch;
    }
    close(fds[0]);
    if (!ok || number.find('\n') == std::string::npos) return false;
    x.name = ":" + number.substr(0, number.find('\n'));
    while (!x.d && now() < end) {
        x.d = XOpenDisplay(x.name.c_str());
        if (!x.d) nap(0.05);
    }
    return x.d && xtestready(x.d);
}

bool runon(const xserver &x, const std::vector<std::string> &argv, double secs) {
    child c;
    return spawn(c, argv, {{"DISPLAY", x.name.c_str()}}) && waitend(c, secs) && c.status == 0;
}

bool startprogram(child &c, const xserver &x, const char *bin, const std::vector<envset> &env) {
    std::vector<envset> all = {{"DISPLAY", x.name.c_str()}, {"WAYLAND_DISPLAY", nullptr}};
    all.insert(all.end(), env.begin(), env.end());
    return spawn(c, {bin}, all);
}

bool startdemo(child &c, const xserver &x, const std::vector<envset> &env) {
    return startprogram(c, x, GRIDCITY_BIN, env);
}

void freeze(child &c) {
    kill(c.pid, SIGSTOP);
}

void thaw(child &c) {
    kill(c.pid, SIGCONT);
}

bool cursorhidden(Display *d) {
    XFixesCursorImage *c = XFixesGetCursorImage(d);
    if (!c) return false;
    bool clear = true;
    for (int i = 0; i < c->width * c->height; i++)
        if (c->pixels[i] >> 24) clear = false;
    XFree(c);
    return clear;
}

bool drawnwithin(xserver &x, child &c, double secs) {
    double end = now() + secs;
    xpicture p;
    do {
        if (xappwindow(x.d) && xgrab(x.d, p) && !uniform(p)) return true;
        if (waitend(c, 0.05)) return false;
    } while (now() < end);
    return false;
}

// The screen holds the last swapped frame; a frame drawn while we look counts once we see it.
bool runframes(child &c, xserver &x, int n, xpicture &last, double secs) {
    xpicture prev, cur;
    if (!xgrab(x.d, prev)) return false;
    thaw(c);
    double end = now() + secs;
    int seen = 0;
    while (seen < n && now() < end) {
        if (!xgrab(x.d, cur)) break;
        if (cur.rgb != prev.rgb) {
            seen++;
            prev.rgb.swap(cur.rgb);
        } else {
            nap(0.02); // a frame under valgrind takes seconds: leave the cores to it
        }
    }
    freeze(c);
    // Whatever the demo sent before it stopped reaches the screen before we read it.
    nap(0.05);
    XSync(x.d, False);
    return seen == n && xgrab(x.d, last);
}
