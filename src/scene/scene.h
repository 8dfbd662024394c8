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

extern city cityz[nbuildings];
extern Vertex3 city_verts[ncityverts];
extern Vertex3 city_colors[ncityverts];
extern GLuint city_indexes[ncityindexes];
extern car carz[ncars];
extern Vertex3 car_verts[ncarverts];
extern Vertex3 car_colors[ncarverts];
extern GLuint car_indexes[ncarindexes];
extern cloud cloudz[nclouds];
extern Vertex3 cloud_verts[ncloudverts + 1];
extern GLuint cloud_indexes[ncloudverts + 1];
extern flooro floorz[ntiles];
extern Vertex3 floor_verts[nfloorverts + 1];
extern Vertex3 floor_colors[nfloorverts + 1];
extern GLuint floor_indexes[nfloorverts + 1];
extern int radoz[nturns];   // the turn table: 0, 1 or 2 per entry
extern mycam mycamz[ncams]; // 0 roaming, 1 riding the first car

extern int whichcam;         // camera advanced and drawn: 0 roaming, 1 car
extern int fxcounter;        // programme clock; a new programme when it passes 2000
extern int fx;               // programme drawn last
extern int maxfx;            // highest programme number
extern int camcc1;           // roaming eye's axis cursor: 0 x, 1 y, 2 z
extern int camcc2;           // roaming look-at point's axis cursor
extern GLfloat mmover;       // block length
extern GLfloat ccmove;       // lane distance
extern GLfloat cbound;       // half-width of the square the cars drive in
extern int rpos;             // turn-table walk position
extern int rstep;            // turn-table walk stride
extern int colstepz;         // next building the colour cycler recolours
extern int ccr1, ccg1, ccb1; // tint seeds, 1 to 30
extern int ccg2;             // background grey level, 1 to 60
extern int ccr2, ccb2;       // drawn with the others; nothing reads them
extern SDL_Surface *surface; // the screen surface, only tested for null

// Puts every array and scalar back to its process-start value, so tests and tools can
// build more than one world in a process.
void resetscene();
