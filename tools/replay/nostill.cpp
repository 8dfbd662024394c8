// nostill.cpp -- stills in a core-only build, which has no renderer to draw them
#include "replay.h"

bool openstill(char *err, int errlen) {
    snprintf(
        err, (size_t)errlen,
        "--png and --video need the full build: this one is core-only, without SDL, GL or libpng");
    return false;
}

bool writestill(outfile &, char *, int) {
    return false;
}

void closestill() {}

bool recordframe(clipstats &, char *, int) {
    return false;
}
