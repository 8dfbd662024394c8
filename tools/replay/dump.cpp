// dump.cpp -- the scene store written as one flat little-endian file
#include "replay.h"

#include "scene/random.h"
#include "scene/scene.h"

#include <bit> // std::endian

// Every field of every record is 4 bytes, so an array is a run of 4-byte words; on a
// big-endian host each word is swapped through a small buffer.
static bool words(FILE *f, const void *p, size_t bytes) {
    static_assert(sizeof(GLfloat) == 4 && sizeof(GLuint) == 4 && sizeof(int) == 4);
    if constexpr (std::endian::native == std::endian::little) {
        return fwrite(p, 1, bytes, f) == bytes;
    } else {
        static unsigned char buf[1 << 16];
        const unsigned char *s = (const unsigned char *)p;
        while (bytes > 0) {
            size_t n = bytes < sizeof buf ? bytes : sizeof buf;
            for (size_t k = 0; k < n; k += 4)
                for (int b = 0; b < 4; b++)
                    buf[k + b] = s[k + 3 - b];
            if (fwrite(buf, 1, n, f) != n) return false;
            s += n;
            bytes -= n;
        }
        return true;
    }
}

#define ARRAY(a) words(f, a, sizeof(a))
#define SCALAR(v) words(f, &v, 4)

static bool writeall(FILE *f) {
    // Records hold only 4-byte fields, so they have no padding to leak into the file.
    static_assert(sizeof(city) == 40 && sizeof(car) == 52 && sizeof(cloud) == 24);
    static_assert(sizeof(flooro) == 36 && sizeof(mycam) == 88 && sizeof(Vertex3) == 12);
    bool ok = ARRAY(cityz) && ARRAY(city_verts) && ARRAY(city_colors) && ARRAY(city_indexes) &&
              ARRAY(carz) && ARRAY(car_verts) && ARRAY(car_colors) && ARRAY(car_indexes) &&
              ARRAY(cloudz) && ARRAY(cloud_verts) && ARRAY(cloud_indexes) && ARRAY(floorz) &&
              ARRAY(floor_verts) && ARRAY(floor_colors) && ARRAY(floor_indexes) && ARRAY(radoz) &&
              ARRAY(mycamz);
    ok = ok && SCALAR(whichcam) && SCALAR(fxcounter) && SCALAR(fx) && SCALAR(maxfx) &&
         SCALAR(camcc1) && SCALAR(camcc2) && SCALAR(mmover) && SCALAR(ccmove) && SCALAR(cbound) &&
         SCALAR(rpos) && SCALAR(rstep) && SCALAR(colstepz) && SCALAR(ccr1) && SCALAR(ccg1) &&
         SCALAR(ccb1) && SCALAR(ccg2) && SCALAR(ccr2) && SCALAR(ccb2);
    return ok && SCALAR(randomstate);
}

bool writedump(outfile &o, char *err, int errlen) {
    if (writeall(o.f)) return true;
    outerror(o, err, errlen);
    return false;
}
