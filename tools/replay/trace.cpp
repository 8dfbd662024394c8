// trace.cpp -- a line per frame: the hash of the dump at that frame, and where it first differs
// SPDX-License-Identifier: MIT
#include "replay.h"

#include <cinttypes>

bool traceheader(FILE *f, uint32_t seed) {
    bool ok = fprintf(f, "# gridcity-replay trace, seed %u\n# frame dump", seed) > 0;
    for (int k = 0; k < narrays; k++)
        ok = ok && fprintf(f, " %s", dumpparts[k].name) > 0;
    ok = ok && fprintf(f, " scalars randomstate") > 0;
    return ok && fputc('\n', f) != EOF;
}

// The columns are the hash so far at the end of each array, of the last scalar and of the
// random state, so the first of them to differ between two traces names the first array that
// differs.
bool traceframe(FILE *f, uint64_t frame) {
    static uint32_t upto[ndumpparts];
    uint64_t h = dumphash(upto);
    bool ok = fprintf(f, "%" PRIu64 " %016" PRIx64, frame, h) > 0;
    for (int k = 0; k < ndumpparts; k++)
        if (k < narrays || k >= ndumpparts - 2) ok = ok && fprintf(f, " %08" PRIx32, upto[k]) > 0;
    return ok && fputc('\n', f) != EOF;
}
