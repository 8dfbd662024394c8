// scene.cpp -- storage and start values of the scene store
// SPDX-License-Identifier: MIT
#include "scene.h"

#include <cstring> // memset, for resetscene

// Every array, defined here and zeroed by resetscene.
#define ARRAYS(X)                                                                                  \
    X(city, cityz, nbuildings)                                                                     \
    X(Vertex3, city_verts, ncityverts)                                                             \
    X(Vertex3, city_colors, ncityverts)                                                            \
    X(GLuint, city_indexes, ncityindexes)                                                          \
    X(car, carz, ncars)                                                                            \
    X(Vertex3, car_verts, ncarverts)                                                               \
    X(Vertex3, car_colors, ncarverts)                                                              \
    X(GLuint, car_indexes, ncarindexes)                                                            \
    X(cloud, cloudz, nclouds)                                                                      \
    X(Vertex3, cloud_verts, ncloudverts + 1)                                                       \
    X(GLuint, cloud_indexes, ncloudverts + 1)                                                      \
    X(flooro, floorz, ntiles)                                                                      \
    X(Vertex3, floor_verts, nfloorverts + 1)                                                       \
    X(Vertex3, floor_colors, nfloorverts + 1)                                                      \
    X(GLuint, floor_indexes, nfloorverts + 1)                                                      \
    X(int, radoz, nturns)                                                                          \
    X(mycam, mycamz, ncams)

#define DEFINEARRAY(type, name, n) type name[n];
ARRAYS(DEFINEARRAY)

// Every scalar with its start value: defined with it here, and put back to it by resetscene.
#define SCALARS(X)                                                                                 \
    X(int, whichcam, 0)                                                                            \
    X(int, fxcounter, 1400)                                                                        \
    X(int, fx, 0)                                                                                  \
    X(int, maxfx, 1)                                                                               \
    X(int, camcc1, 0)                                                                              \
    X(int, camcc2, 0)                                                                              \
    X(GLfloat, mmover, 400.0f)                                                                     \
    X(GLfloat, ccmove, 20.0f)                                                                      \
    X(GLfloat, cbound, 6000.0f)                                                                    \
    X(int, rpos, 1)                                                                                \
    X(int, rstep, 1)                                                                               \
    X(int, colstepz, 0)                                                                            \
    X(int, ccr1, 0)                                                                                \
    X(int, ccg1, 0)                                                                                \
    X(int, ccb1, 0)                                                                                \
    X(int, ccg2, 0)                                                                                \
    X(int, ccr2, 0)                                                                                \
    X(int, ccb2, 0)                                                                                \
    X(SDL_Surface *, surface, nullptr)

#define DEFINE(type, name, start) type name = start;
SCALARS(DEFINE)

void resetscene() {
#define ZERO(type, name, n) std::memset(name, 0, sizeof(name));
    ARRAYS(ZERO)
#define RESET(type, name, start) name = start;
    SCALARS(RESET)
}
