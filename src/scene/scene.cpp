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

int whichcam = 0;
int fxcounter = 1400;
int fx = 0;
int maxfx = 1;
int camcc1 = 0;
int camcc2 = 0;
GLfloat mmover = 400.0f;
GLfloat ccmove = 20.0f;
GLfloat cbound = 6000.0f;
int rpos = 1;
int rstep = 1;
int colstepz = 0;
int ccr1 = 0, ccg1 = 0, ccb1 = 0;
int ccg2 = 0;
int ccr2 = 0, ccb2 = 0;
SDL_Surface *surface = nullptr;

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
    whichcam = 0;
    fxcounter = 1400;
    fx = 0;
    maxfx = 1;
    camcc1 = 0;
    camcc2 = 0;
    mmover = 400.0f;
    ccmove = 20.0f;
    cbound = 6000.0f;
    rpos = 1;
    rstep = 1;
    colstepz = 0;
    ccr1 = ccg1 = ccb1 = 0;
    ccg2 = 0;
    ccr2 = ccb2 = 0;
    surface = nullptr;
}
