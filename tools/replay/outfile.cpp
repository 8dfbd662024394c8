// outfile.cpp -- outputs that never destroy what they replace: devices and FIFOs written in
// place, files through a temporary renamed when complete, removed on any failure or signal
// SPDX-License-Identifier: MIT
#include "replay.h"

#include <cerrno>
#include <csignal>
#include <cstdlib> // mkostemp
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <limits.h> // PATH_MAX
#include <sys/stat.h>
#include <unistd.h>

// Outputs with a temporary on disk, for the signal handler; a slot is filled only once its
// name is complete. Room for more outputs than the tool has.
static outfile *volatile tracked[8];
static bool stdoutshut; // standard output was closed at start: "-" has nowhere to go

static void track(outfile *o, bool on) {
    for (outfile *volatile &t : tracked)
        if (on ? !t : t == o) {
            t = on ? o : nullptr;
            return;
        }
}

// A signal that would end the tool: the temporaries go first, then it ends by that signal,
// so whoever ran it sees what happened. unlink and raise are safe in a handler.
static void (*volatile beforefatal)();
void onfatal(void (*fn)()) {
    beforefatal = fn;
}

static void fatal(int sig) {
    if (beforefatal) beforefatal();
    for (outfile *o : tracked)
        if (o) unlink(o->tmp);
    raise(sig); // the handler was reset on entry
}

void guardouts() {
    for (int fd = 0; fd <= 2; fd++) {
        if (fcntl(fd, F_GETFD) >= 0) continue;
        stdoutshut = stdoutshut || fd == 1;
        if (open("/dev/null", fd ? O_WRONLY : O_RDONLY) != fd) {
            fprintf(stderr, "gridcity-replay: cannot open /dev/null: %s\n", strerror(errno));
            exit(1);
        }
    }
    // A closed pipe or the file size limit then fails the write, as any other write error.
    signal(SIGPIPE, SIG_IGN);
    signal(SIGXFSZ, SIG_IGN);
    struct sigaction sa = {};
    sa.sa_handler = fatal;
    sa.sa_flags = SA_RESETHAND;
    sigfillset(&sa.sa_mask);
    const int harmless[] = {SIGKILL, SIGSTOP, SIGCHLD, SIGCONT, SIGTSTP,
                            SIGTTIN, SIGTTOU, SIGURG,  SIGWINCH};
    for (int sig = 1; sig <= SIGRTMAX; sig++) {
        struct sigaction now;
        bool ends = true;
        for (int h : harmless)
            ends = ends && sig != h;
        // An ignored signal stays ignored (nohup), a sanitizer's handler stays in place.
        if (ends && sigaction(sig, nullptr, &now) == 0 && now.sa_handler == SIG_DFL)
            sigaction(sig, &sa, nullptr);
    }
}

// The name a path's links lead to, each relative link read from the link's own folder.
static bool follow(const char *path, char *out, size_t len) {
    if (snprintf(out, len, "%s", path) >= (int)len) return errno = ENAMETOOLONG, false;
    for (int hops = 0; hops < 40; hops++) {
        char link[PATH_MAX], next[PATH_MAX];
        ssize_t n = readlink(out, link, sizeof link - 1);
        if (n < 0) return true; // not a link (or not there): this is the name
        link[n] = 0;
        const char *slash = strrchr(out, '/');
        int dirlen = link[0] == '/' || !slash ? 0 : (int)(slash - out + 1);
        if (snprintf(next, sizeof next, "%.*s%s", dirlen, out, link) >= (int)sizeof next)
            return errno = ENAMETOOLONG, false;
        snprintf(out, len, "%s", next);
    }
    return errno = ELOOP, false;
}

// A name not there yet, spelled one way: its links followed, its folder resolved.
static std::filesystem::path canonical(const char *path) {
    char name[PATH_MAX];
    std::error_code e;
    if (!follow(path, name, sizeof name)) return path;
    return std::filesystem::weakly_canonical(std::filesystem::absolute(name, e), e);
}

static bool sameout(const char *a, const char *b) {
    struct stat sa, sb;
    bool ina = !strcmp(a, "-") ? fstat(1, &sa) == 0 : stat(a, &sa) == 0;
    bool inb = !strcmp(b, "-") ? fstat(1, &sb) == 0 : stat(b, &sb) == 0;
    // Character devices (/dev/null) take any number of writers and replace nothing.
    if (ina && inb) return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino && !S_ISCHR(sa.st_mode);
    if (ina || inb) return false;
    return !strcmp(a, b) || canonical(a) == canonical(b);
}

const char *sameouts(const char *const out[nouts], char *err, int errlen) {
    for (int a = 0; a < nouts; a++)
        for (int b = a + 1; b < nouts; b++)
            if (out[a] && out[b] && sameout(out[a], out[b])) {
                fail(err, errlen, "--%s and --%s name the same file", opttable[o_dump + a].name,
                     opttable[o_dump + b].name);
                return err;
            }
    return nullptr;
}

const char *outerror(const outfile &o, char *err, int errlen) {
    const char *name = strcmp(o.path, "-") ? o.path : "standard output";
    snprintf(err, (size_t)errlen, "cannot write %s: %s", name, strerror(errno));
    return err;
}

static bool failed(const outfile &o, int e, char *err, int errlen) {
    errno = e;
    outerror(o, err, errlen);
    return false;
}

static bool inplace(outfile &o, int flags, char *err, int errlen) {
    int fd = open(o.path, O_WRONLY | O_NOCTTY | O_CLOEXEC | flags);
    if (fd >= 0 && (o.f = fdopen(fd, "wb"))) return true;
    int e = errno;
    if (fd >= 0) close(fd);
    return failed(o, e, err, errlen);
}

bool openout(outfile &o, const char *path, char *err, int errlen) {
    o.path = path;
    o.tmp[0] = 0;
    o.f = nullptr;
    if (!strcmp(path, "-")) {
        if (stdoutshut) return failed(o, EBADF, err, errlen);
        o.f = stdout;
        return true;
    }
    struct stat st, at;
    bool there = stat(path, &st) == 0;
    if (there && S_ISDIR(st.st_mode)) return failed(o, EISDIR, err, errlen);
    if (there && !S_ISREG(st.st_mode)) return inplace(o, 0, err, errlen); // a device, a FIFO
    // The file open as standard output (/dev/stdout): written through that descriptor, so
    // ">>" appends and no file is replaced beneath the shell.
    struct stat out;
    if (there && fstat(1, &out) == 0 && out.st_dev == st.st_dev && out.st_ino == st.st_ino) {
        o.f = stdout;
        return true;
    }
    if (!follow(path, o.target, sizeof o.target)) return failed(o, errno, err, errlen);
    // A file with no name of its own to rename onto (a deleted file behind /dev/stdout).
    if (there && (stat(o.target, &at) != 0 || at.st_dev != st.st_dev || at.st_ino != st.st_ino))
        return inplace(o, O_TRUNC, err, errlen);

    // The temporary beside the target, so the rename stays on one file system.
    const char *slash = strrchr(o.target, '/');
    int dirlen = slash ? (int)(slash - o.target + 1) : 0;
    int n = snprintf(o.tmp, sizeof o.tmp, "%.*s.%s.XXXXXX", dirlen, o.target, o.target + dirlen);
    if (n < 0 || n >= (int)sizeof o.tmp) {
        o.tmp[0] = 0;
        return failed(o, ENAMETOOLONG, err, errlen);
    }
    // Made and tracked with signals held, so no signal falls between the two.
    sigset_t all, old;
    sigfillset(&all);
    sigprocmask(SIG_BLOCK, &all, &old);
    int fd = mkostemp(o.tmp, O_CLOEXEC);
    if (fd >= 0) track(&o, true);
    sigprocmask(SIG_SETMASK, &old, nullptr);
    if (fd < 0) { // the folder is what refused: it must take a new file
        int e = errno;
        o.tmp[0] = 0;
        int shown = dirlen > 1 ? dirlen - 1 : dirlen; // "/" kept alone
        return fail(err, errlen, "cannot write %s: no file can be created in %.*s: %s", path,
                    shown ? shown : 1, shown ? o.target : ".", strerror(e));
    }
    // The owner and mode a plain fopen would leave: the replaced file's, else the caller's and
    // what the umask allows. Set through the descriptor: the name may be another file by now.
    mode_t mask = umask(0);
    umask(mask);
    if (there) (void)!fchown(fd, st.st_uid, st.st_gid); // fails unless root: then the caller's
    if (fchmod(fd, there ? st.st_mode & 0777 : 0666 & ~mask) == 0 && (o.f = fdopen(fd, "wb")))
        return true;
    int e = errno;
    close(fd);
    dropout(o);
    return failed(o, e, err, errlen);
}

bool closeout(outfile &o, char *err, int errlen) {
    if (!o.f) return true;
    int e = 0;
    if (fflush(o.f) != 0 || ferror(o.f)) e = errno ? errno : EIO;
    if (o.f != stdout && fclose(o.f) != 0 && !e) e = errno;
    o.f = nullptr;
    if (o.tmp[0]) {
        if (!e && rename(o.tmp, o.target) != 0) e = errno;
        if (e) unlink(o.tmp);
        track(&o, false); // after the rename: a signal before it still finds the temporary
        o.tmp[0] = 0;
    }
    return !e || failed(o, e, err, errlen);
}

void dropout(outfile &o) {
    if (o.f && o.f != stdout) fclose(o.f);
    o.f = nullptr;
    if (o.tmp[0]) {
        unlink(o.tmp);
        track(&o, false);
    }
    o.tmp[0] = 0;
}
