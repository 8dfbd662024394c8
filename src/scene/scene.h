// scene.h -- the scene store: every record, geometry array and scalar of the demo
// SPDX-License-Identifier: MIT
#pragma once

#include "exact.h" // GLfloat, GLuint

struct SDL_Surface;

struct Vertex3 {
    GLfloat x, y, z; // a position, or a colour (x red, y green, z blue)
};

struct city {                 // one building, a box
    GLfloat xpos, ypos, zpos; // corner with the smallest coordinates
    GLfloat speed;            // 20 for a tower, 24 for a beam; nothing reads it
    GLfloat wpos, hpos, dpos; // extents along x, y, z
    GLfloat r, g, b;
};

struct car {                  // a box that drives the road grid
    GLfloat xpos, ypos, zpos; // grid position before the lane offset
    GLfloat speed;            // distance per step along the heading
    GLfloat wpos, hpos, dpos; // extents along x, y, z; never exchanged on a turn
    GLfloat r, g, b;
    GLfloat offzet; // lane offset across the direction of travel
    GLfloat blockm; // distance since the last block end or wrap
    int state;      // heading: 0 -z, 1 -x, 2 +z, 3 +x
};

struct cloud { // a flat sheet at height ypos
    GLfloat xpos, ypos, zpos;
    GLfloat speed; // drift per step toward -z
    GLfloat wpos;  // extent along x
    GLfloat hpos;  // extent along z
};

struct flooro { // a ground tile, a flat quad at height ypos
    GLfloat xpos, ypos, zpos;
    GLfloat speed; // drift per step toward -z
    GLfloat wpos;  // extent along x
    GLfloat hpos;  // extent along z
    GLfloat r, g, b;
};

struct mycam {
    GLfloat xcampos, ycampos, zcampos;             // eye waypoint (end of the leg)
    GLfloat xcamoldpos, ycamoldpos, zcamoldpos;    // previous eye waypoint
    GLfloat xcam, ycam, zcam;                      // eye handed to the renderer
    GLfloat xlookpos, ylookpos, zlookpos;          // look-at waypoint
    GLfloat xlookoldpos, ylookoldpos, zlookoldpos; // previous look-at waypoint
    GLfloat xlook, ylook, zlook;                   // look-at point handed to the renderer
    int camcounter, camtime;                       // steps into the eye leg, its duration
    int lookcounter, looktime;                     // the same for the look leg
};

// Pool sizes. The flat-quad arrays carry one spare entry that is never written or drawn.
constexpr int nbuildings = 12000;
constexpr int ntowers = 6000; // cityz[0..5999]; the beams follow
constexpr int ncars = 6000;
constexpr int nclouds = 1000;
constexpr int ntiles = 600;
constexpr int nturns = 6000;
constexpr int ncams = 2;

constexpr int ncityverts = nbuildings * 8;
constexpr int ncityindexes = nbuildings * 24;
constexpr int ncarverts = ncars * 8;
constexpr int ncarindexes = ncars * 24;
constexpr int ncloudverts = nclouds * 4; // in use; declared one larger
constexpr int nfloorverts = ntiles * 4;  // in use; declared one larger

// The store, once: every array in dump order with its element type, declared size, whether the
// animation rewrites it after generation, and its entry's fields as the dump's layout lists them.
#define SCENE_ARRAYS(X)                                                                            \
    X(city, cityz, nbuildings, false, "city  (xpos ypos zpos speed wpos hpos dpos r g b)")         \
    X(Vertex3, city_verts, ncityverts, false, "(x y z)")                                           \
    X(Vertex3, city_colors, ncityverts, true, "(r g b)")                                           \
    X(GLuint, city_indexes, ncityindexes, false, "uint")                                           \
    X(car, carz, ncars, true,                                                                      \
      "car   (xpos ypos zpos speed wpos hpos dpos r g b\noffzet blockm state:int)")                \
    X(Vertex3, car_verts, ncarverts, true, "(x y z)")                                              \
    X(Vertex3, car_colors, ncarverts, false, "(r g b)")                                            \
    X(GLuint, car_indexes, ncarindexes, false, "uint")                                             \
    X(cloud, cloudz, nclouds, true, "cloud (xpos ypos zpos speed wpos hpos)")                      \
    X(Vertex3, cloud_verts, ncloudverts + 1, true, "(x y z)")                                      \
    X(GLuint, cloud_indexes, ncloudverts + 1, false, "uint")                                       \
    X(flooro, floorz, ntiles, true, "flooro (xpos ypos zpos speed wpos hpos r g b)")               \
    X(Vertex3, floor_verts, nfloorverts + 1, true, "(x y z)")                                      \
    X(Vertex3, floor_colors, nfloorverts + 1, false, "(r g b)")                                    \
    X(GLuint, floor_indexes, nfloorverts + 1, false, "uint")                                       \
    X(int, radoz, nturns, false, "int") /* the turn table: 0, 1 or 2 per entry */                  \
    X(mycam, mycamz, ncams, true,                                                                  \
      "mycam (xcampos ycampos zcampos xcamoldpos ycamoldpos\n"                                     \
      "zcamoldpos xcam ycam zcam xlookpos ylookpos zlookpos\n"                                     \
      "xlookoldpos ylookoldpos zlookoldpos xlook ylook zlook,\n"                                   \
      "then ints camcounter camtime lookcounter looktime)") /* 0 roaming, 1 riding car 0 */

// Every scalar in dump order, with its process-start value and whether the animation rewrites it.
#define SCENE_SCALARS(X)                                                                           \
    X(int, whichcam, 0, true)          /* camera advanced and drawn: 0 roaming, 1 car */           \
    X(int, fxcounter, 1400, true)      /* programme clock; a new programme when it passes 2000 */  \
    X(int, fx, 0, true)                /* programme drawn last */                                  \
    X(int, maxfx, 1, false)            /* highest programme number */                              \
    X(int, camcc1, 0, true)            /* roaming eye's axis cursor: 0 x, 1 y, 2 z */              \
    X(int, camcc2, 0, true)            /* roaming look-at point's axis cursor */                   \
    X(GLfloat, mmover, 400.0f, false)  /* block length */                                          \
    X(GLfloat, ccmove, 20.0f, false)   /* lane distance */                                         \
    X(GLfloat, cbound, 6000.0f, false) /* half-width of the square the cars drive in */            \
    X(int, rpos, 1, true)              /* turn-table walk position */                              \
    X(int, rstep, 1, true)             /* turn-table walk stride */                                \
    X(int, colstepz, 0, true)          /* next building the colour cycler recolours */             \
    X(int, ccr1, 0, true)              /* tint seeds, 1 to 30 */                                   \
    X(int, ccg1, 0, true)                                                                          \
    X(int, ccb1, 0, false)                                                                         \
    X(int, ccg2, 0, true) /* background grey level, 1 to 60 */                                     \
    X(int, ccr2, 0, true) /* drawn with the others; nothing reads them */                          \
    X(int, ccb2, 0, false)

#define SCENE_DECLAREARRAY(type, name, n, rewritten, what) extern type name[n];
SCENE_ARRAYS(SCENE_DECLAREARRAY)
#define SCENE_DECLARESCALAR(type, name, start, rewritten) extern type name;
SCENE_SCALARS(SCENE_DECLARESCALAR)
extern SDL_Surface *surface; // the screen surface, only tested for null; not in the dump

// Puts every array and scalar back to its process-start value, so tests and tools can
// build more than one world in a process.
void resetscene();
