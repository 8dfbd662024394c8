// outfile.cpp -- outputs written under a temporary name and renamed when complete
#include "replay.h"

#include <cerrno>
#include <cstdlib> // mkstemp
#include <cstring>
#include <sys/stat.h> // umask, chmod
#include <unistd.h>   // close, unlink

bool openout(outfile &o, const char *path, char *err, int errlen) {
    o.path = path;
    o.tmp[0] = 0;
    o.f = nullptr;
    if (!strcmp(path, "-")) {
        o.f = stdout;
        return true;
    }
    // Beside the target, so the rename stays on one file system.
    const char *slash = strrchr(path, '/');
    int dirlen = slash ? (int)(slash - path + 1) : 0;
    int n = snprintf(o.tmp, sizeof o.tmp, "%.*s.%s.XXXXXX", dirlen, path, slash ? slash + 1 : path);
    if (n < 0 || n >= (int)sizeof o.tmp) {
        o.tmp[0] = 0;
        snprintf(err, (size_t)errlen, "cannot write %s: name too long", path);
        return false;
    }
    int fd = mkstemp(o.tmp);
    if (fd < 0) {
        snprintf(err, (size_t)errlen, "cannot write %s: %s", path, strerror(errno));
        o.tmp[0] = 0;
        return false;
    }
    o.f = fdopen(fd, "wb");
    if (!o.f) {
        snprintf(err, (size_t)errlen, "cannot write %s: %s", path, strerror(errno));
        close(fd);
        unlink(o.tmp);
        o.tmp[0] = 0;
        return false;
    }
    return true;
}

bool closeout(outfile &o, char *err, int errlen) {
    if (!o.f) return true;
    if (!o.tmp[0]) { // standard output
        bool ok = fflush(o.f) == 0;
        o.f = nullptr;
        if (!ok) snprintf(err, (size_t)errlen, "cannot write standard output: %s", strerror(errno));
        return ok;
    }
    bool ok = fflush(o.f) == 0 && !ferror(o.f);
    ok = (fclose(o.f) == 0) && ok;
    o.f = nullptr;
    // mkstemp makes the file 0600; give it the mode a plain fopen would have.
    mode_t mask = umask(0);
    umask(mask);
    ok = ok && chmod(o.tmp, 0666 & ~mask) == 0;
    ok = ok && rename(o.tmp, o.path) == 0;
    if (!ok) {
        snprintf(err, (size_t)errlen, "cannot write %s: %s", o.path, strerror(errno));
        unlink(o.tmp);
    }
    o.tmp[0] = 0;
    return ok;
}

void dropout(outfile &o) {
    if (o.f && o.tmp[0]) fclose(o.f);
    if (o.tmp[0]) unlink(o.tmp);
    o.f = nullptr;
    o.tmp[0] = 0;
}
