// dump.h -- the scene store's serialised form, for a file or a hash, and its layout
// SPDX-License-Identifier: MIT
#pragma once

#include "scene.h"

#include <cstdint>
#include <cstdio>

// The dump: every array at its declared size, then every scalar, then the random state, in the
// order of the store's list; 4 bytes a value, little-endian.
struct dumppart {
    const char *name; // as in the scene store
    const void *at;   // where it lives in memory
    long bytes;       // in the file and in memory
    long size;        // of one entry
    bool rewritten;   // by the animation, after generation
    const char *what; // the entry's type and fields, for the layout table
};
#define DUMP_ONE(...) +1
#define DUMP_BYTES(type, name, n, ...) +(long)sizeof(type) * (n)
constexpr int narrays = 0 SCENE_ARRAYS(DUMP_ONE);               // the first parts
constexpr int ndumpparts = narrays SCENE_SCALARS(DUMP_ONE) + 1; // the scalars, the random state
constexpr long dumpbytes = 4L * (ndumpparts - narrays) SCENE_ARRAYS(DUMP_BYTES);
// A change of any size or part changes the file's layout: it shows here first.
static_assert(dumpbytes == 6177096 && ndumpparts == 36);

extern const dumppart dumpparts[ndumpparts]; // in file order
long dumpat(const char *name); // byte offset of an array or scalar in the dump; -1 if none
bool writedump(FILE *f);
// The dump's XXH3 64-bit hash, the value xxhsum -H3 prints for the file writedump writes. With
// upto, upto[k] is set to the low 32 bits of the hash of the dump up to the end of part k.
uint64_t dumphash(uint32_t *upto = nullptr);
void printlayout(FILE *f); // the layout table, for --help
