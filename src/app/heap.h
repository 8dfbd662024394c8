// heap.h -- the memory the GL driver frees after each frame stays in the process for the next
// SPDX-License-Identifier: MIT
#pragma once

#ifdef __GLIBC__
#include <malloc.h> // mallopt
#endif

// Called once before SDL starts by every program that draws frames (the demo through startup,
// the replay's stills and clips). glibc hands freed memory at the top of its heap back to the
// system once it passes the trim threshold; the driver frees its working memory after every
// frame (up to some tens of MB on far views), so each frame faulted it all in again. Kept, it
// is reused, and the peak is the same. Elsewhere the C library's own policy stands.
inline void keepheap() {
#ifdef __GLIBC__
    mallopt(M_TRIM_THRESHOLD, 256 << 20);
#endif
}
