// world.h -- the one-time generation of the city and the building of its geometry
// SPDX-License-Identifier: MIT
#pragma once

#include "../scene/scene.h"

#include <cstdint>

extern const GLuint boxquads[24]; // corner order of a box's six quads; 8i is added for box i
// A box's eight corners in order, each at the low or the high end (true) of x, y and z: 0-3
// around the face at the low z, 4-7 the same at the high z.
struct boxcorner {
    bool x, y, z;
};
constexpr boxcorner boxcorners[8] = {{0, 0, 0}, {1, 0, 0}, {1, 1, 0}, {0, 1, 0},
                                     {0, 0, 1}, {1, 0, 1}, {1, 1, 1}, {0, 1, 1}};
constexpr int roamlooktime = 141, carlooktime = 101; // the cameras' look legs, in steps
constexpr int worlddraws = 147606; // draws one generation makes, whatever the branches

void initme();                  // the demo's entry: seeds from the clock, then buildworld
void buildworld(uint32_t seed); // seed, generate every record, build the meshes
void genworld();                // every record, from the random sequence as it stands
void gencams();                 // the cameras' start values; draws nothing
double drawmod(int n);          // a draw's remainder modulo n, as formulas take it on
int drawtint();                 // a tint seed, 1 to 30
void buildmesh();               // vertex, colour and index arrays from the records
