// mesh.cpp -- vertex, colour and index arrays built once from the scene records
// SPDX-License-Identifier: MIT
#include "world.h"

#include "../scene/scene.h"

const GLuint boxquads[24] = {0, 1, 2, 3, 1, 5, 6, 2, 5, 6, 7, 4,
                             0, 3, 7, 4, 0, 4, 5, 1, 3, 2, 6, 7};

static Vertex3 vert(double x, double y, double z) {
    return {(GLfloat)x, (GLfloat)y, (GLfloat)z};
}

// Four corners of a flat quad at height y, extending w along x and h along z.
static void quadverts(Vertex3 *v, GLfloat x, GLfloat y, GLfloat z, GLfloat w, GLfloat h) {
    v[0] = vert(x, y, z);
    v[1] = vert((double)x + w, y, z);
    v[2] = vert((double)x + w, y, (double)z + h);
    v[3] = vert(x, y, (double)z + h);
}

// A box at x, y, z extending w, h, d along the axes.
static void boxverts(Vertex3 *v, GLfloat x, GLfloat y, GLfloat z, GLfloat w, GLfloat h, GLfloat d) {
    GLfloat xw = (GLfloat)((double)x + w), yh = (GLfloat)((double)y + h),
            zd = (GLfloat)((double)z + d);
    for (int k = 0; k < 8; k++)
        v[k] = {boxcorners[k].x ? xw : x, boxcorners[k].y ? yh : y, boxcorners[k].z ? zd : z};
}

static void fillcolour(Vertex3 *c, int n, GLfloat r, GLfloat g, GLfloat b) {
    for (int k = 0; k < n; k++)
        c[k] = {r, g, b};
}

static void countindexes(GLuint *ix, int n) {
    for (int k = 0; k < n; k++)
        ix[k] = (GLuint)k;
}

static void boxindexes(GLuint *ix, int nboxes) {
    for (int i = 0; i < nboxes; i++)
        for (int m = 0; m < 24; m++)
            ix[24 * i + m] = (GLuint)(8 * i) + boxquads[m];
}

void buildmesh() {
    int stepper = 0;
    for (int i = 0; i < ntiles; i++, stepper += 4) {
        const flooro &f = floorz[i];
        quadverts(&floor_verts[stepper], f.xpos, f.ypos, f.zpos, f.wpos, f.hpos);
        fillcolour(&floor_colors[stepper], 4, f.r, f.g, f.b);
    }
    countindexes(floor_indexes, nfloorverts);

    stepper = 0;
    for (int i = 0; i < nclouds; i++, stepper += 4) {
        const cloud &c = cloudz[i];
        quadverts(&cloud_verts[stepper], c.xpos, c.ypos, c.zpos, c.wpos, c.hpos);
    }
    countindexes(cloud_indexes, ncloudverts);

    stepper = 0;
    for (int i = 0; i < nbuildings; i++, stepper += 8) {
        const city &c = cityz[i];
        boxverts(&city_verts[stepper], c.xpos, c.ypos, c.zpos, c.wpos, c.hpos, c.dpos);
        fillcolour(&city_colors[stepper], 8, c.r, c.g, c.b);
    }
    boxindexes(city_indexes, nbuildings);

    stepper = 0;
    for (int i = 0; i < ncars; i++, stepper += 8) {
        const car &c = carz[i];
        boxverts(&car_verts[stepper], c.xpos, c.ypos, c.zpos, c.wpos, c.hpos, c.dpos);
        fillcolour(&car_colors[stepper], 8, c.r, c.g, c.b);
    }
    boxindexes(car_indexes, ncars);
}
