// render.cpp -- GL set-up and frame drawing, straight from the scene store's arrays
// SPDX-License-Identifier: MIT
#include "render.h"

#include "../anim/anim.h"
#include "../scene/scene.h"

#include <GL/gl.h>
#include <GL/glu.h>
#include <SDL.h>

static void GLAPIENTRY setclear(GLfloat r, GLfloat g, GLfloat b, GLfloat a) {
    glClearColor(r, g, b, a);
}

void setview(int w, int h) {
    glViewport(0, 0, w, h);
    glMatrixMode(GL_PROJECTION);
    glLoadIdentity();
    gluPerspective(fovy, (GLfloat)w / h, nearz, farz);
    glMatrixMode(GL_MODELVIEW);
}

int initGL() {
    glShadeModel(GL_SMOOTH);
    glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
    glClearDepth(1.0);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glHint(GL_PERSPECTIVE_CORRECTION_HINT, GL_NICEST);
    setview(picturew, pictureh);
    glLoadIdentity();
    glDisable(GL_DITHER);
    clearcolour = setclear; // the colour cycler's background goes to GL from here on
    return 1;
}

static void drawlayer(const Vertex3 *verts, const Vertex3 *colors, GLsizei n, const GLuint *ix) {
    glVertexPointer(3, GL_FLOAT, 0, verts);
    glColorPointer(3, GL_FLOAT, 0, colors);
    glDrawElements(GL_QUADS, n, GL_UNSIGNED_INT, ix);
}

void drawscene() {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glLoadIdentity();
    glDisable(GL_DITHER);
    const mycam &c = mycamz[whichcam];
    gluLookAt(c.xcam, c.ycam, c.zcam, c.xlook, c.ylook, c.zlook, 0.0, 1.0, 0.0);

    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_COLOR_ARRAY);
    drawlayer(floor_verts, floor_colors, nfloorverts, floor_indexes);
    drawlayer(car_verts, car_colors, ncarindexes, car_indexes);
    drawlayer(city_verts, city_colors, ncityindexes, city_indexes);
    glDisableClientState(GL_COLOR_ARRAY);

    // Clouds add to what lies behind them; the depth test still hides them behind buildings.
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    glEnable(GL_BLEND);
    glColor3f(0.35f, 0.35f, 0.35f);
    glVertexPointer(3, GL_FLOAT, 0, cloud_verts);
    glDrawElements(GL_QUADS, ncloudverts, GL_UNSIGNED_INT, cloud_indexes);
    glDisableClientState(GL_VERTEX_ARRAY);
    glDisable(GL_BLEND);
}

int drawGLScene() {
    drawscene();
    glFlush(); // llvmpipe rasterises on its own threads during the wait, not from the swap on
    SDL_Delay(6);
    SDL_GL_SwapBuffers();
    return 1;
}
