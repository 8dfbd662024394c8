// runreplay.h -- running gridcity-replay as a subprocess, and reading what it writes
#pragma once

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

// Byte offsets in the dump, from the declared sizes of the scene store's arrays.
constexpr long off_cityz = 0, off_carz = 3936000, off_mycamz = 6176844;
constexpr long off_scalars = 6177020, off_state = 6177092, dumpsize = 6177096;
enum scalar {
    whichcam_,
    fxcounter_,
    fx_,
    maxfx_,
    camcc1_,
    camcc2_,
    mmover_,
    ccmove_,
    cbound_,
    rpos_,
    rstep_,
    colstepz_,
    ccr1_,
    ccg1_,
    ccb1_,
    ccg2_,
    ccr2_,
    ccb2_
};
uint32_t word(const std::vector<unsigned char> &d, long off); // little-endian
float fword(const std::vector<unsigned char> &d, long off);
inline int32_t scalarint(const std::vector<unsigned char> &d, scalar s) {
    return (int32_t)word(d, off_scalars + 4 * s);
}
inline float scalarfloat(const std::vector<unsigned char> &d, scalar s) {
    return fword(d, off_scalars + 4 * s);
}
