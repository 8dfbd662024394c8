// helpers.h -- shared tools of the unit tests: peeking at the random sequence, hand-made states
// SPDX-License-Identifier: MIT
#pragma once

#include "scene/random.h"
#include "scene/scene.h"

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <random>
#include <vector>

// The next n draws, leaving the sequence (state and draw count) exactly where it was, so the
// code under test then makes these very draws.
inline std::vector<int> peek(int n) {
    uint32_t state = randomstate;
    uint64_t draws = randomdraws;
    std::vector<int> t(n);
    for (int &d : t)
        d = drawrandom();
    randomstate = state;
    randomdraws = draws;
    return t;
}

// Reads a peeked tape in the order the draws are expected to happen.
struct tapereader {
    const std::vector<int> &t;
    size_t at = 0;
    int next() { return t.at(at++); }
    double mod(int n) { return (double)(next() % n); } // remainder first, then to double
};

inline float f32(double v) {
    return (float)v;
}

// A float with all 23 fraction bits random and a binary exponent from lo to hi: sums of such
// values round in every way, which is where float and double arithmetic could part.
inline float anyfloat(std::mt19937 &g, int lo, int hi, bool negative) {
    float m = 1.0f + (float)(g() & 0x7fffff) / 8388608.0f;
    float v = std::ldexp(m, lo + (int)(g() % (unsigned)(hi - lo + 1)));
    return negative ? -v : v;
}

// Byte-wise equality of two records of the same type.
template <class T> bool samebytes(const T &a, const T &b) {
    const unsigned char *p = (const unsigned char *)&a, *q = (const unsigned char *)&b;
    for (size_t k = 0; k < sizeof(T); k++)
        if (p[k] != q[k]) return false;
    return true;
}
