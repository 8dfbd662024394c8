// runreplay.cpp -- subprocess and file helpers for the replay tool's tests
// SPDX-License-Identifier: MIT
#include "runreplay.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <ftw.h>
#include <sys/wait.h>
#include <unistd.h>

scratch::scratch() {
    char t[] = "/tmp/replaytest.XXXXXX";
    dir = mkdtemp(t) ? t : "";
}

scratch::~scratch() {
    // Deepest first, links themselves rather than what they name.
    nftw(
        dir.c_str(), [](const char *p, const struct stat *, int, FTW *) { return remove(p); }, 16,
        FTW_DEPTH | FTW_PHYS);
}

std::vector<std::string> scratch::files(const char *sub) const {
    std::vector<std::string> out;
    if (DIR *d = opendir(path(sub).c_str())) {
        while (dirent *e = readdir(d))
            if (strcmp(e->d_name, ".") && strcmp(e->d_name, "..")) out.push_back(e->d_name);
        closedir(d);
    }
    return out;
}

result replay(const std::vector<std::string> &args, const char *stdoutfile,
              const std::function<void()> &setup) {
    char errname[] = "/tmp/replayerr.XXXXXX";
    int errfd = mkstemp(errname);
    pid_t pid = fork();
    if (pid == 0) {
        dup2(errfd, 2);
        int outfd = open(stdoutfile ? stdoutfile : "/dev/null", O_WRONLY | O_CREAT | O_TRUNC, 0644);
        dup2(outfd, 1);
        unsetenv("DISPLAY"); // stills must need no display
        if (setup) setup();
        std::vector<char *> argv;
        argv.push_back((char *)REPLAY_BIN);
        for (const std::string &a : args)
            argv.push_back((char *)a.c_str());
        argv.push_back(nullptr);
        execv(REPLAY_BIN, argv.data());
        _exit(127);
    }
    int st = 0;
    waitpid(pid, &st, 0);
    result r;
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    std::vector<unsigned char> e = readfile(errname);
    r.err.assign(e.begin(), e.end());
    close(errfd);
    unlink(errname);
    return r;
}

std::vector<unsigned char> readfile(const std::string &path) {
    std::vector<unsigned char> d;
    if (FILE *f = fopen(path.c_str(), "rb")) {
        unsigned char buf[65536];
        size_t n;
        while ((n = fread(buf, 1, sizeof buf, f)) > 0)
            d.insert(d.end(), buf, buf + n);
        fclose(f);
    }
    return d;
}

uint32_t word(const std::vector<unsigned char> &d, long off) {
    return (uint32_t)d[off] | (uint32_t)d[off + 1] << 8 | (uint32_t)d[off + 2] << 16 |
           (uint32_t)d[off + 3] << 24;
}

float fword(const std::vector<unsigned char> &d, long off) {
    uint32_t w = word(d, off);
    float f;
    memcpy(&f, &w, 4);
    return f;
}

static std::string roff(const std::string &s) {
    std::string out;
    for (char c : s)
        out += c == '-' ? std::string("\\-") : std::string(1, c);
    return out;
}

std::string manentry(const char *dash, const char *name, bool takesvalue) {
    return (takesvalue ? ".BI " : ".B ") + roff(std::string(dash) + name);
}

std::vector<std::string> manentries(const std::string &path, const char *dash) {
    std::ifstream man(path);
    std::vector<std::string> got;
    std::string b = ".B " + roff(dash), bi = ".BI " + roff(dash);
    bool entry = false; // the line after .TP
    for (std::string l; std::getline(man, l); entry = l == ".TP")
        if (entry && (l.starts_with(b) || l.starts_with(bi)))
            got.push_back(l.substr(0, l.find(' ', l.find('-'))));
    return got;
}
