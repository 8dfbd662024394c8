// world.h -- the one-time generation of the city and the building of its geometry
// SPDX-License-Identifier: MIT
#pragma once

#include <GL/gl.h> // GLuint

#include <cstdint>

extern const GLuint boxquads[24];  // corner order of a box's six quads; 8i is added for box i
constexpr int worlddraws = 147606; // draws one generation makes, whatever the branches

void initme();                  // the demo's entry: seeds from the clock, then buildworld
void buildworld(uint32_t seed); // seed, generate every record, build the meshes
void genworld();                // every record, from the random sequence as it stands
void gencams();                 // the cameras' start values; draws nothing
void buildmesh();               // vertex, colour and index arrays from the records
