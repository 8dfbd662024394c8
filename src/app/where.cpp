// where.cpp -- the shell's decisions, with no display: which monitor, which screen, which window
// SPDX-License-Identifier: MIT
#include "where.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>

rect monitorfor(const rect &a, const monitor *m, int n, const rect &screen) {
    rect best = screen;
    long most = 0;
    bool primary = false;
    for (int i = 0; i < n; i++) {
        const rect &r = m[i].r;
        long w = std::min(a.x + a.w, r.x + r.w) - std::max(a.x, r.x);
        long h = std::min(a.y + a.h, r.y + r.h) - std::max(a.y, r.y);
        long area = w > 0 && h > 0 ? w * h : 0;
        if (area > most || (!most && !primary && (m[i].primary || i == 0))) {
            best = r;
            most = area;
            primary = m[i].primary;
        }
    }
    return best;
}

// "host:D.S": digits after the last colon, then optionally a dot and digits.
int screenof(const char *display) {
    const char *colon = display ? strrchr(display, ':') : nullptr;
    if (!colon || !isdigit((unsigned char)colon[1])) return -1;
    char *end;
    strtol(colon + 1, &end, 10);
    if (!*end) return 0;
    if (*end != '.' || !isdigit((unsigned char)end[1])) return -1;
    errno = 0;
    long s = strtol(end + 1, &end, 10);
    return *end || errno || s > INT_MAX ? -1 : (int)s;
}

std::string onscreen(const char *display, int screen) {
    std::string s = display;
    size_t colon = s.rfind(':'), dot = s.rfind('.');
    if (colon != std::string::npos && dot != std::string::npos && dot > colon) s.erase(dot);
    return s + "." + std::to_string(screen);
}

unsigned long windowid(const char *s) {
    bool hex = s[0] == '0' && (s[1] == 'x' || s[1] == 'X');
    const char *digits = hex ? s + 2 : s;
    if (!isxdigit((unsigned char)*digits) || (!hex && !isdigit((unsigned char)*digits))) return 0;
    char *end;
    errno = 0;
    unsigned long id = strtoul(digits, &end, hex ? 16 : 10);
    if (*end || errno || id > UINT_MAX) return 0;
    return id;
}
