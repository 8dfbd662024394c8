// trace.cpp -- a line per frame: the hash of the dump at that frame, and where it first differs
// SPDX-License-Identifier: MIT
#include "replay.h"

#include <bit> // std::endian, std::rotl
#include <cinttypes>
#include <cstring> // memcpy

// The hash of a byte stream: the bytes as little-endian 64-bit words (the last one padded
// with zeros), word k folded into lane k % 4 as lane = (rotl(lane, 23) ^ word) * mult, then
// the length and the four lanes folded together through the MurmurHash3 finaliser. Each step
// is invertible, so streams that differ in one word always hash apart; four lanes keep the
// multiplier busy: a dump hashes in about half a millisecond.
constexpr uint64_t mult = 0x9e3779b97f4a7c15;

// The hash's state, fed in pieces of any size.
struct streamhash {
    uint64_t lane[4];
    uint64_t bytes;        // taken so far
    unsigned char tail[8]; // the first bytes % 8 hold a word not yet complete
};

static uint64_t le64(const unsigned char *p) {
    uint64_t w;
    memcpy(&w, p, 8);
    if constexpr (std::endian::native == std::endian::big) w = __builtin_bswap64(w);
    return w;
}

static uint64_t fold(uint64_t lane, uint64_t w) {
    return (std::rotl(lane, 23) ^ w) * mult;
}

static uint64_t finalise(uint64_t x) {
    x ^= x >> 33;
    x *= 0xff51afd7ed558ccd;
    x ^= x >> 33;
    x *= 0xc4ceb9fe1a85ec53;
    return x ^ (x >> 33);
}

static void hashstart(streamhash &h) {
    for (int j = 0; j < 4; j++)
        h.lane[j] = mult * (uint64_t)(j + 1);
    h.bytes = 0;
}

static void hashbytes(streamhash &h, const void *p, size_t n) {
    const unsigned char *s = (const unsigned char *)p;
    uint64_t at = h.bytes;
    h.bytes += n;
    if (size_t have = at % 8) { // complete the word left over from the last piece
        size_t m = n < 8 - have ? n : 8 - have;
        memcpy(h.tail + have, s, m);
        s += m, n -= m, at += m;
        if (at % 8) return;
        h.lane[(at / 8 - 1) % 4] = fold(h.lane[(at / 8 - 1) % 4], le64(h.tail));
    }
    uint64_t k = at / 8;
    for (; n >= 8 && k % 4; n -= 8, s += 8, k++)
        h.lane[k % 4] = fold(h.lane[k % 4], le64(s));
    uint64_t a = h.lane[0], b = h.lane[1], c = h.lane[2], d = h.lane[3];
    for (; n >= 32; n -= 32, s += 32, k += 4) {
        a = fold(a, le64(s));
        b = fold(b, le64(s + 8));
        c = fold(c, le64(s + 16));
        d = fold(d, le64(s + 24));
    }
    h.lane[0] = a, h.lane[1] = b, h.lane[2] = c, h.lane[3] = d;
    for (; n >= 8; n -= 8, s += 8, k++)
        h.lane[k % 4] = fold(h.lane[k % 4], le64(s));
    memcpy(h.tail, s, n);
}

static uint64_t hashend(const streamhash &h) {
    uint64_t lane[4] = {h.lane[0], h.lane[1], h.lane[2], h.lane[3]};
    if (size_t have = h.bytes % 8) {
        unsigned char w[8] = {};
        memcpy(w, h.tail, have);
        lane[h.bytes / 8 % 4] = fold(lane[h.bytes / 8 % 4], le64(w));
    }
    uint64_t x = h.bytes;
    for (uint64_t l : lane)
        x = finalise(x ^ l);
    return x;
}

uint64_t hashof(const void *p, size_t n) {
    streamhash h;
    hashstart(h);
    hashbytes(h, p, n);
    return hashend(h);
}

// ---- the trace ----

// One pass: the dump's hash, and at the end of each part the hash of the dump so far, so the
// first of these to differ between two traces names the first array that differs.
static streamhash whole;
static uint32_t upto[ntracecols];
static int at; // the part being hashed, -1 before the first

static bool totrace(void *, int part, const void *p, size_t bytes) {
    if (part >= narrays) part = part == ndumpparts - 1 ? narrays + 1 : narrays;
    if (part != at) {
        if (at >= 0) upto[at] = (uint32_t)hashend(whole);
        at = part;
    }
    hashbytes(whole, p, bytes);
    return true;
}

bool traceheader(FILE *f, uint32_t seed) {
    bool ok = fprintf(f, "# gridcity-replay trace, seed %u\n# frame dump", seed) > 0;
    for (int k = 0; k < narrays; k++)
        ok = ok && fprintf(f, " %s", dumpparts[k].name) > 0;
    ok = ok && fprintf(f, " scalars randomstate") > 0;
    return ok && fputc('\n', f) != EOF;
}

bool traceframe(FILE *f, uint64_t frame) {
    hashstart(whole);
    at = -1;
    walkdump(totrace, nullptr);
    uint64_t h = hashend(whole);
    upto[at] = (uint32_t)h;
    bool ok = fprintf(f, "%" PRIu64 " %016" PRIx64, frame, h) > 0;
    for (uint32_t u : upto)
        ok = ok && fprintf(f, " %08" PRIx32, u) > 0;
    return ok && fputc('\n', f) != EOF;
}
