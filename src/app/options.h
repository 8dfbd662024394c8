// options.h -- a program's options as one table: its parser, its help and its man page's check
// all read the same rows
// SPDX-License-Identifier: MIT
#pragma once

#include <cstdio>
#include <cstring>

struct optrow {
    const char *name; // without its dashes: "seed"
    const char *arg;  // the value's name as the help shows it ("S", "FILE"); null for a switch
    const char *help; // what it does; each '\n' starts a line lined up under the first
};

constexpr int optcol = 18; // the column where the help starts

// The row of the n characters at name, or -1.
inline int findopt(const optrow *rows, int nrows, const char *name, size_t n) {
    for (int k = 0; k < nrows; k++)
        if (strlen(rows[k].name) == n && !strncmp(rows[k].name, name, n)) return k;
    return -1;
}

// Reads the option at argv[*at] ("DASHNAME", "DASHNAME VALUE" or "DASHNAME=VALUE") and moves
// *at past it. Its row, with its value in *val (null for a switch); -1 with a one-line reason
// in err when it names no row, a switch is given a value or a value is missing.
inline int nextopt(int argc, char **argv, int *at, const optrow *rows, int nrows, const char *dash,
                   const char **val, char *err, int errlen) {
    const char *a = argv[(*at)++];
    size_t nd = strlen(dash), n = strcspn(a, "=");
    int k = strncmp(a, dash, nd) ? -1 : findopt(rows, nrows, a + nd, n - nd);
    if (k < 0) {
        snprintf(err, (size_t)errlen, "unknown option '%.*s' (see %shelp)",
                 (int)(strncmp(a, dash, nd) || nd == 0 ? strlen(a) : n), a, dash);
        return -1;
    }
    *val = a[n] ? a + n + 1 : nullptr;
    if (!rows[k].arg && *val) {
        snprintf(err, (size_t)errlen, "%s%s takes no value", dash, rows[k].name);
        return -1;
    }
    if (rows[k].arg && !*val) {
        if (*at == argc) {
            snprintf(err, (size_t)errlen, "%s%s needs a value", dash, rows[k].name);
            return -1;
        }
        *val = argv[(*at)++];
    }
    return k;
}

// Each row as "  DASHNAME ARG", its help from column optcol (on the next line when the option
// reaches it).
inline void printopts(FILE *f, const optrow *rows, int nrows, const char *dash) {
    for (int k = 0; k < nrows; k++) {
        const optrow &r = rows[k];
        int n = fprintf(f, "  %s%s%s%s", dash, r.name, r.arg ? " " : "", r.arg ? r.arg : "");
        if (n >= optcol) {
            fprintf(f, "\n");
            n = 0;
        }
        fprintf(f, "%*s", optcol - n, "");
        for (const char *l = r.help;; l++) {
            int len = (int)strcspn(l, "\n");
            fprintf(f, "%.*s\n", len, l);
            if (!l[len]) break;
            fprintf(f, "%*s", optcol, "");
            l += len;
        }
    }
}
