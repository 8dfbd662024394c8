// drift.cpp -- clouds and ground tiles streaming toward -z, wrapping to the far side
// SPDX-License-Identifier: MIT
#include "anim.h"

#include "../scene/scene.h"

constexpr double driftbound = -8000.0;

// Moves one flat quad and rewrites the z of its four corners from the record. The wrap
// tests the exact difference, so one just below the bound wraps even if it rounds onto it.
static void driftquad(GLfloat &zpos, GLfloat speed, GLfloat hpos, Vertex3 *v) {
    double d = (double)zpos - speed;
    zpos = (GLfloat)d;
    if (d < driftbound) zpos = (GLfloat)(-d);
    GLfloat far = (GLfloat)((double)zpos + hpos);
    v[0].z = zpos;
    v[1].z = zpos;
    v[2].z = far;
    v[3].z = far;
}

void driftclouds() {
    for (int i = 0; i < nclouds; i++)
        driftquad(cloudz[i].zpos, cloudz[i].speed, cloudz[i].hpos, &cloud_verts[4 * i]);
}

void driftfloor() {
    for (int i = 0; i < ntiles; i++)
        driftquad(floorz[i].zpos, floorz[i].speed, floorz[i].hpos, &floor_verts[4 * i]);
}
