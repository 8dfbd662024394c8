// traffic.cpp -- cars driving the road grid, turning as the turn table says
#include "anim.h"

#include "../scene/random.h"
#include "../scene/scene.h"

#include <cstddef> // offsetof
#include <cstring> // memcpy

#ifdef __SSE2__
#include <immintrin.h>
#endif

// A walk over the turn table with a stride that is redrawn whenever it runs off the end.
int Randooz() {
    rpos = rpos + rstep;
    if (rpos > nturns - 1) {
        rstep = drawrandom() % 5 + 1;
        rpos = drawrandom() % 5;
    }
    return radoz[rpos];
}

// New heading and lane offset for a block end, by old heading and turn outcome. The turn from
// -x onto +z sets its offset from -ccmove - speed, unlike the other two ways onto +z.
static void turncar(car &c, int chancer) {
    double ahead = (double)ccmove - c.speed; // for new headings 0 and 3
    double back = (double)c.speed - ccmove;  // for new headings 1 and 2
    static const int next[4][3] = {{0, 1, 3}, {0, 1, 2}, {1, 2, 3}, {0, 2, 3}};
    int s = next[c.state][chancer];
    double o = (s == 0 || s == 3) ? ahead : back;
    if (c.state == 1 && chancer == 2) o = -(double)ccmove - c.speed;
    c.state = s;
    c.offzet = (GLfloat)o;
}

// Every car goes through the same code whatever its heading: with 6000 cars in random
// headings a branch per heading would be mispredicted for most of them. The axis is picked by
// its offset in the record and the sign by a factor of +1 or -1; a - b is a + (-1 * b) exactly.
// The bound and the block length come in as arguments: read from their globals, they would be
// reloaded after every store to a car, since a store to a float may alias them.
static inline void move(car &c, double bound, double block) {
    int s = c.state;
    bool alongz = s == 0 || s == 2; // headings 0 and 2 drive along z, the others along x
    bool back = s == 0 || s == 1;   // headings 0 and 1 drive toward the negative bound
    size_t at = alongz ? offsetof(car, zpos) : offsetof(car, xpos);
    GLfloat &p = *(GLfloat *)((char *)&c + at);
    double dir = 1.0 - 2.0 * back;
    double speed = c.speed;

    // Bound and block tests see the exact sums, before they are rounded into the record.
    double v = (double)p + dir * speed;
    double b = (double)c.blockm + speed;
    p = (GLfloat)v;
    if (dir * v > bound) {
        p = (GLfloat)(back ? bound : -bound);
        b = speed; // the wrap clears the count, then this step's distance is counted
    }
    c.blockm = (GLfloat)b;
    if (b > block) {
        double e = b - block; // the overshoot, dropped: the car turns on the block end
        p = (GLfloat)(p - dir * e);
        c.blockm = 0.0f;
        turncar(c, Randooz());
    }
}

void movecar(int i) {
    move(carz[i], cbound, mmover);
}

static_assert(sizeof(Vertex3) == 3 * sizeof(GLfloat), "vertices are packed float triples");

// One 8-byte store for two floats that lie side by side: in a packed Vertex3 array a vertex's
// z is directly followed by the next vertex's x. Half the stores of writing them one by one.
static void pair(GLfloat *at, GLfloat a, GLfloat b) {
    GLfloat two[2] = {a, b};
    memcpy(at, two, sizeof two);
}

// The lane offset moves the whole box across the direction of travel; it is never rotated.
// Adding -0.0 leaves every value as it is (signed zeros too), so the axis without the offset
// goes through the same sums as the one with it.
static inline void place(const car &c, GLfloat *f) {
    double x = c.xpos, z = c.zpos, w = c.wpos, d = c.dpos, o = c.offzet;
    bool alongz = c.state == 0 || c.state == 2;
    const double offs[2] = {-0.0, o}; // picked by index: a branch here would be mispredicted
    double ox = offs[alongz], oz = offs[!alongz];
    GLfloat x0 = (GLfloat)(x + ox), x1 = (GLfloat)(x + w + ox);
    GLfloat z0 = (GLfloat)(z + oz), z1 = (GLfloat)(z + d + oz);
    // Box corners: 0-3 around the face at z0, 4-7 the same at z1; 1, 2, 5, 6 at x1. Float 3n
    // is the x of corner n, 3n + 2 its z; the y in between stays as built.
    f[0] = x0;
    pair(f + 2, z0, x1);
    pair(f + 5, z0, x1);
    pair(f + 8, z0, x0);
    pair(f + 11, z0, x0);
    pair(f + 14, z1, x1);
    pair(f + 17, z1, x1);
    pair(f + 20, z1, x0);
    f[23] = z1;
}

void placecar(int i) {
    place(carz[i], &car_verts[8 * i].x);
}

// The exact road for one car: every case, wraps and block ends included. Kept out of line so
// that the quick road below stays small.
[[gnu::noinline]] static void moveplace(car &c, GLfloat *f, double bound, double block) {
    move(c, bound, block);
    place(c, f);
}

#ifdef __SSE2__
// Four floats rearranged. The integer shuffle writes a fresh register, so no copy is needed.
template <int order> static inline __m128 lanes(__m128 a) {
    return _mm_castsi128_ps(_mm_shuffle_epi32(_mm_castps_si128(a), order));
}

// A car's eight corners from x0, z0, x1, z1, as in place: z of one vertex and x of the next lie
// side by side, so nine stores write the sixteen values.
static inline void corners(GLfloat *f, __m128 a) {
    __m128 b = lanes<_MM_SHUFFLE(2, 3, 0, 1)>(a); // z0, x0, z1, x1
    __m128 d = lanes<_MM_SHUFFLE(0, 3, 2, 1)>(a); // z0, x1, z1, x0
    _mm_store_ss(f, a);
    _mm_storel_pi((__m64 *)(f + 2), d);
    _mm_storel_pi((__m64 *)(f + 5), d);
    _mm_storel_pi((__m64 *)(f + 8), b);
    _mm_storel_pi((__m64 *)(f + 11), b);
    _mm_storeh_pi((__m64 *)(f + 14), b);
    _mm_storeh_pi((__m64 *)(f + 17), b);
    _mm_storeh_pi((__m64 *)(f + 20), d);
    _mm_store_ss(f + 23, lanes<_MM_SHUFFLE(3, 3, 3, 3)>(a));
}

// The same with AVX-512: the 24 floats of a car as one 16-wide and one 8-wide store whose masks
// skip the y values, which stay as built. The stores were what the quick road spent most on.
[[gnu::target("avx512f,avx512vl")]] static inline void widecorners(GLfloat *f, __m128 a) {
    // Per float of the car, which of x0, z0, x1, z1 (0 to 3) it takes; the y floats are masked out.
    const __m512i first = _mm512_setr_epi32(0, 0, 1, 2, 0, 1, 2, 0, 1, 0, 0, 1, 0, 0, 3, 2);
    const __m256i last = _mm256_setr_epi32(0, 3, 2, 0, 3, 0, 0, 3);
    const __mmask16 firstxz = 0b1101101101101101; // floats 0 to 15 but 1, 4, 7, 10, 13
    const __mmask8 lastxz = 0b10110110;           // floats 16 to 23 but 16, 19, 22
    _mm512_mask_storeu_ps(f, firstxz,
                          _mm512_maskz_permutexvar_ps(firstxz, first, _mm512_zextps128_ps512(a)));
    _mm256_mask_storeu_ps(f + 16, lastxz,
                          _mm256_permutevar8x32_ps(_mm256_zextps128_ps256(a), last));
}

// The quick road, for the common step: a car that neither reaches the bound nor its block end.
// Almost every float sum here has two terms, and a two-term sum rounded to float is the same
// whether it is formed in double first or in float directly (a double carries more than twice
// a float's digits, so rounding twice cannot change the result). So the step, the count and
// the near corner are formed four floats at a time; only the far corner adds three terms and
// stays in double. The bound and block tests see the rounded sums: a rounded sum below the
// limit means the exact one was not above it. Anything else takes the exact road, as does a
// heading out of range or a speed that is not positive: the still axis adds -0.0 * speed,
// which leaves every value as it is only when that product is -0.0.
//
// The axis without the lane offset is the one the car moves along, and after a step of non-zero
// speed it cannot hold -0.0 (an exact cancellation gives +0.0). So it may add +0.0 here, where
// place adds -0.0: the two differ only on -0.0.
template <bool wide> static inline void drive(car &c, GLfloat *f, float bound, float block) {
    const float nz = -0.0f;
    const uint32_t all = ~0u;
    // Per heading, lane by lane over x, y, z, speed: the step factor; the factor that turns
    // the new position into a distance beyond the bound, and the speed into a test of its
    // sign; and which of x and z takes the lane offset.
    alignas(16) static const float dirs[4][4] = {
        {nz, nz, -1.0f, nz}, {-1.0f, nz, nz, nz}, {nz, nz, 1.0f, nz}, {1.0f, nz, nz, nz}};
    alignas(16) static const float tests[4][4] = {{nz, nz, -1.0f, -1.0f},
                                                  {-1.0f, nz, nz, -1.0f},
                                                  {nz, nz, 1.0f, -1.0f},
                                                  {1.0f, nz, nz, -1.0f}};
    alignas(16) static const uint32_t keep[4][4] = {
        {all, 0, 0, 0}, {0, all, 0, 0}, {all, 0, 0, 0}, {0, all, 0, 0}};

    static_assert(offsetof(car, zpos) == 8 && offsetof(car, speed) == 12 &&
                      offsetof(car, dpos) == offsetof(car, wpos) + 8,
                  "x, z and speed, and w and d, are read four floats at a time");

    int s = c.state & 3;
    __m128 pos = _mm_loadu_ps(&c.xpos); // x, y, z, speed
    __m128 box = _mm_loadu_ps(&c.wpos); // w, h, d, r
    __m128 speed = lanes<_MM_SHUFFLE(3, 3, 3, 3)>(pos);
    __m128 dir = _mm_load_ps(dirs[s]);
    __m128 to = _mm_add_ps(pos, _mm_mul_ps(dir, speed));
    // Lanes x and z: on or past the bound; lane speed: -speed not below 0, i.e. not positive.
    __m128 limits = _mm_setr_ps(bound, bound, bound, 0.0f);
    __m128 beyond = _mm_mul_ps(_mm_load_ps(tests[s]), to);
    int out = _mm_movemask_ps(_mm_cmpnlt_ps(beyond, limits));
    float count = c.blockm + _mm_cvtss_f32(speed);
    if (__builtin_expect(out | (count >= block) | (s != c.state), 0)) {
        moveplace(c, f, bound, block);
        return;
    }
    _mm_storeu_ps(&c.xpos, to); // y and speed go back as they were
    c.blockm = count;

    __m128 xz = lanes<_MM_SHUFFLE(2, 0, 2, 0)>(to);
    __m128 off = _mm_and_ps(_mm_set1_ps(c.offzet),
                            _mm_castsi128_ps(_mm_load_si128((const __m128i *)keep[s])));
    __m128 near = _mm_add_ps(xz, off);
    __m128d wd = _mm_cvtps_pd(lanes<_MM_SHUFFLE(2, 0, 2, 0)>(box));
    __m128d farsum = _mm_add_pd(_mm_add_pd(_mm_cvtps_pd(xz), wd), _mm_cvtps_pd(off));
    __m128 a = _mm_movelh_ps(near, _mm_cvtpd_ps(farsum)); // x0, z0, x1, z1

    if constexpr (wide)
        widecorners(f, a);
    else
        corners(f, a);
}

// Every car in order through the quick road. The AVX-512 loop is flattened so that the
// corner stores, compiled for that processor, are inlined into it; the exact road stays a call.
static void narrowroad(float bound, float block) {
    for (int i = 0; i < ncars; i++)
        drive<false>(carz[i], &car_verts[8 * i].x, bound, block);
}

[[gnu::target("avx512f,avx512vl"), gnu::flatten]] static void wideroad(float bound, float block) {
    for (int i = 0; i < ncars; i++)
        drive<true>(carz[i], &car_verts[8 * i].x, bound, block);
}

static bool widestores() {
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512vl");
}

static void (*const road)(float, float) = widestores() ? wideroad : narrowroad;

void drivecar(int i) {
    drive<false>(carz[i], &car_verts[8 * i].x, cbound, mmover);
}

const char *trafficroad() {
    return road == wideroad ? "AVX-512 masked stores" : "SSE2";
}
#else
static void road(float bound, float block) {
    for (int i = 0; i < ncars; i++)
        moveplace(carz[i], &car_verts[8 * i].x, bound, block);
}

void drivecar(int i) {
    moveplace(carz[i], &car_verts[8 * i].x, cbound, mmover);
}

const char *trafficroad() {
    return "scalar";
}
#endif

// A car's move and its vertices touch nothing of any other car, so each car is moved and
// redrawn in one go, while its record is at hand. Block ends still read the turn table in
// car order.
void traffic() {
    road(cbound, mmover);
}
