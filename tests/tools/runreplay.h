// runreplay.h -- running gridcity-replay as a subprocess, and reading what it writes
// SPDX-License-Identifier: MIT
#pragma once

#include "replay.h" // the dump layout

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct result {
    int status;      // exit status, or -1 when it did not exit normally
    std::string err; // what it wrote on standard error
};

// A fresh empty directory for one test's files; removed with everything in it on destruction.
struct scratch {
    std::string dir;
    scratch();
    ~scratch();
    std::string path(const char *name) const { return dir + "/" + name; }
    std::vector<std::string> files(const char *sub = ".") const; // hidden ones included
};

// Runs the tool; setup, when given, runs in the child just before the exec (descriptors,
// limits, environment).
result replay(const std::vector<std::string> &args, const char *stdoutfile = nullptr,
              const std::function<void()> &setup = {});
std::vector<unsigned char> readfile(const std::string &path);

uint32_t word(const std::vector<unsigned char> &d, long off); // little-endian
float fword(const std::vector<unsigned char> &d, long off);
// A scalar of the dump by its name in the scene store.
inline int32_t scalarint(const std::vector<unsigned char> &d, const char *name) {
    return (int32_t)word(d, dumpat(name));
}
inline float scalarfloat(const std::vector<unsigned char> &d, const char *name) {
    return fword(d, dumpat(name));
}

// A tool's man page and its option table agree on this form of an entry: .BI DASHNAME for an
// option that takes a value, .B DASHNAME for a switch, each dash written \-.
std::string manentry(const char *dash, const char *name, bool takesvalue);
// The entries of the man page at path in its order: the line after each .TP that names an
// option, up to its first space.
std::vector<std::string> manentries(const std::string &path, const char *dash);
