// camera.cpp -- the camera director: programme clock, roaming camera, car camera
// SPDX-License-Identifier: MIT
#include "anim.h"

#include "../scene/random.h"
#include "../scene/scene.h"
#include "../world/world.h" // drawmod

// From the old waypoint toward the new one: difference, over the duration, times the counter.
static GLfloat glide(GLfloat from, GLfloat to, int time, int counter) {
    return (GLfloat)(from + ((double)to - from) / time * counter);
}

void programclock() {
    fxcounter++;
    if (fxcounter > 2000) {
        fx = drawrandom() % 2;
        if (fx > maxfx) fx = 0;
        if (fx == 0) {
            whichcam = 0;
            fxcounter = 1200 + drawrandom() % 800;
        }
        if (fx == 1) {
            whichcam = 1;
            fxcounter = 1700 + drawrandom() % 300;
        }
    }
}

// Advances a cursor over the axes x, y, z and returns the axis it pointed at.
static int nextaxis(int &cursor) {
    int chancer = cursor;
    cursor++;
    if (cursor > 2) cursor = 0;
    return chancer;
}

static void glidelook(mycam &c) {
    c.xlook = glide(c.xlookoldpos, c.xlookpos, c.looktime, c.lookcounter);
    c.ylook = glide(c.ylookoldpos, c.ylookpos, c.looktime, c.lookcounter);
    c.zlook = glide(c.zlookoldpos, c.zlookpos, c.looktime, c.lookcounter);
}

static void startlookleg(mycam &c) {
    c.xlookoldpos = c.xlookpos;
    c.ylookoldpos = c.ylookpos;
    c.zlookoldpos = c.zlookpos;
}

// Each leg moves one coordinate of a waypoint, the axes taking turns.
void roamcam() {
    mycam &c = mycamz[0];
    c.camcounter++;
    if (c.camcounter > c.camtime) {
        c.xcamoldpos = c.xcampos;
        c.ycamoldpos = c.ycampos;
        c.zcamoldpos = c.zcampos;
        switch (nextaxis(camcc1)) {
        case 0: c.xcampos = (GLfloat)((drawmod(76000) - 22000.0) / 7.0); break;
        case 1: c.ycampos = (GLfloat)(drawmod(16000) / 7.0 + 2.0); break;
        case 2: c.zcampos = (GLfloat)((drawmod(76000) - 22000.0) / 7.0); break;
        }
        c.camcounter = 0;
        c.camtime = mincamtime + drawrandom() % camtimes;
    }
    c.xcam = glide(c.xcamoldpos, c.xcampos, c.camtime, c.camcounter);
    c.ycam = glide(c.ycamoldpos, c.ycampos, c.camtime, c.camcounter);
    c.zcam = glide(c.zcamoldpos, c.zcampos, c.camtime, c.camcounter);

    c.lookcounter++;
    if (c.lookcounter > c.looktime) {
        startlookleg(c);
        switch (nextaxis(camcc2)) {
        case 0: c.xlookpos = (GLfloat)((drawmod(22000) - 12000.0) * 0.125); break;
        case 1: c.ylookpos = (GLfloat)(drawmod(12000) / 7.0 + 5.0); break;
        case 2: c.zlookpos = (GLfloat)((drawmod(22000) - 12000.0) * 0.125); break;
        }
        c.lookcounter = 0;
    }
    glidelook(c);
}

// The eye sits on the first car; the look-at point glides around one fixed spot.
void carcam() {
    mycam &c = mycamz[1];
    c.lookcounter++;
    c.xcam = carz[0].xpos;
    c.ycam = 27.0f;
    c.zcam = carz[0].zpos;
    if (c.lookcounter > c.looktime) {
        startlookleg(c);
        c.xlookpos = (GLfloat)((drawmod(2000) - 1000.0) / 10.0 + 587.0);
        c.ylookpos = (GLfloat)(drawmod(2000) / 10.0 + 1.0);
        c.zlookpos = (GLfloat)((drawmod(2000) - 1000.0) / 10.0);
        c.lookcounter = 0;
    }
    glidelook(c);
}

void director() {
    programclock();
    if (whichcam == 0) roamcam();
    if (whichcam == 1) carcam();
}
