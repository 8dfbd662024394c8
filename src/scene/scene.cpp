// scene.cpp -- storage and start values of the scene store
#include "scene.h"

#include <cstring> // memset, for resetscene

city cityz[nbuildings];
Vertex3 city_verts[ncityverts];
Vertex3 city_colors[ncityverts];
GLuint city_indexes[ncityindexes];
car carz[ncars];
Vertex3 car_verts[ncarverts];
Vertex3 car_colors[ncarverts];
GLuint car_indexes[ncarindexes];
cloud cloudz[nclouds];
Vertex3 cloud_verts[ncloudverts + 1];
GLuint cloud_indexes[ncloudverts + 1];
flooro floorz[ntiles];
Vertex3 floor_verts[nfloorverts + 1];
Vertex3 floor_colors[nfloorverts + 1];
GLuint floor_indexes[nfloorverts + 1];
int radoz[nturns];
mycam mycamz[ncams];

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

#define ZERO(a) std::memset(a, 0, sizeof(a))

void resetscene() {
    ZERO(cityz);
    ZERO(city_verts);
    ZERO(city_colors);
    ZERO(city_indexes);
    ZERO(carz);
    ZERO(car_verts);
    ZERO(car_colors);
    ZERO(car_indexes);
    ZERO(cloudz);
    ZERO(cloud_verts);
    ZERO(cloud_indexes);
    ZERO(floorz);
    ZERO(floor_verts);
    ZERO(floor_colors);
    ZERO(floor_indexes);
    ZERO(radoz);
    ZERO(mycamz);
#define RESET(type, name, start) name = start;
    SCALARS(RESET)
}
