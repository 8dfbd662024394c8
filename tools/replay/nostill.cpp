// nostill.cpp -- stills in a core-only build, which has no renderer to draw them
// SPDX-License-Identifier: MIT
#include "replay.h"

bool openstill(int, int, char *err, int errlen) {
    return fail(
        err, errlen,
        "--png and --video need the full build: this one is core-only, without SDL, GL or libpng");
}

bool writestill(outfile &, char *, int) {
    return false;
}

void closestill() {}

bool recordframe(clipstats &, char *, int) {
    return false;
}
