// alloc_test.cpp -- the animation allocates nothing from the heap, frame after frame
// SPDX-License-Identifier: MIT
#include "anim/anim.h"
#include "scene/scene.h"
#include "world/world.h"

#include <GL/gl.h> // GLAPIENTRY, for the counting glClearColor

#include <gtest/gtest.h>

#include <cstdlib>
#include <new>

// Every heap allocation of the process passes through here. glibc's own entry points do the
// work; while `counting` is set each call is counted.
extern "C" void *__libc_malloc(size_t);
extern "C" void *__libc_calloc(size_t, size_t);
extern "C" void *__libc_realloc(void *, size_t);
extern "C" void *__libc_memalign(size_t, size_t);
extern "C" void __libc_free(void *);

static volatile bool counting = false;
static volatile long allocs = 0;

static void note() {
    if (counting) allocs = allocs + 1;
}

extern "C" void *malloc(size_t n) {
    note();
    return __libc_malloc(n);
}
extern "C" void *calloc(size_t k, size_t n) {
    note();
    return __libc_calloc(k, n);
}
extern "C" void *realloc(void *p, size_t n) {
    note();
    return __libc_realloc(p, n);
}
extern "C" void *aligned_alloc(size_t a, size_t n) {
    note();
    return __libc_memalign(a, n);
}
extern "C" int posix_memalign(void **p, size_t a, size_t n) {
    note();
    *p = __libc_memalign(a, n);
    return *p ? 0 : 12; // ENOMEM
}
extern "C" void free(void *p) {
    __libc_free(p);
}

void *operator new(size_t n) {
    note();
    if (void *p = __libc_malloc(n ? n : 1)) return p;
    throw std::bad_alloc();
}
void *operator new[](size_t n) {
    return operator new(n);
}
void *operator new(size_t n, const std::nothrow_t &) noexcept {
    note();
    return __libc_malloc(n ? n : 1);
}
void *operator new[](size_t n, const std::nothrow_t &t) noexcept {
    return operator new(n, t);
}
void operator delete(void *p) noexcept {
    __libc_free(p);
}
void operator delete[](void *p) noexcept {
    __libc_free(p);
}
void operator delete(void *p, size_t) noexcept {
    __libc_free(p);
}
void operator delete[](void *p, size_t) noexcept {
    __libc_free(p);
}

namespace {

int sweepends = 0;
void GLAPIENTRY countclear(GLfloat, GLfloat, GLfloat, GLfloat) {
    sweepends++;
}

// Allocations made by fn, and nothing else.
template <class F> long allocationsof(F fn) {
    allocs = 0;
    counting = true;
    fn();
    counting = false;
    return allocs;
}

} // namespace

// Without this the real test would pass with a counter that never counts.
TEST(Allocation, CounterSeesNewAndMalloc) {
    long n = allocationsof([] {
        int *volatile p = new int(3);
        delete p;
        void *volatile q = malloc(40);
        free(q);
    });
    EXPECT_EQ(n, 2);
}

// 1000 frames from frame 500 on: the window holds the programme clock's first new programme
// (step 600), a colour sweep end (frame 1200) and hundreds of block ends and wraps.
TEST(Allocation, ThousandFramesOfAnimationAllocateNothing) {
    resetscene();
    clearcolour = countclear;
    buildworld(20240601);
    for (int f = 0; f < 500; f++) {
        calcme();
        changecolc();
    }
    int startfx = fxcounter;
    long n = allocationsof([] {
        for (int f = 0; f < 1000; f++) {
            calcme();
            changecolc();
        }
    });
    clearcolour = nullptr;
    EXPECT_EQ(n, 0);
    EXPECT_EQ(sweepends, 1);              // the window really crossed a sweep end
    EXPECT_NE(fxcounter, startfx + 1000); // and a new programme
}

// The car camera takes its own path through the director.
TEST(Allocation, CarCameraFramesAllocateNothing) {
    resetscene();
    buildworld(7);
    whichcam = 1;
    fxcounter = -100000; // no programme change in the window: stay on the car camera
    long n = allocationsof([] {
        for (int f = 0; f < 1000; f++) {
            calcme();
            changecolc();
        }
    });
    EXPECT_EQ(whichcam, 1);
    EXPECT_EQ(n, 0);
}
