// draw.cpp -- the page's WebGL renderer: the demo's four layers from the scene store's arrays,
// quads as triangle pairs, and only what a frame changed sent to the GPU
// SPDX-License-Identifier: MIT
#include "web.h"

#include "anim/anim.h"
#include "render/render.h" // the picture's size and perspective
#include "scene/scene.h"

#include <GLES2/gl2.h>
#include <algorithm> // max, for the triangles' size
#include <cmath>     // tan, for the projection
#include <emscripten/html5.h>

struct layer {
    GLuint verts, colors, tris; // buffers; colors 0 for the clouds
    GLsizei ntris;              // indices drawn
};
static layer ground, cars, buildings, clouds;
static GLint mvploc;
constexpr GLuint posattr = 0, colattr = 1;

static const char *vertexshader = R"(
attribute vec3 pos;
attribute vec3 col;
uniform mat4 mvp;
varying vec3 c;
void main() {
    c = col;
    gl_Position = mvp * vec4(pos, 1.0);
})";
static const char *fragmentshader = R"(
precision mediump float;
varying vec3 c;
void main() {
    gl_FragColor = vec4(c, 1.0);
})";

static GLuint shader(GLenum kind, const char *src) {
    GLuint s = glCreateShader(kind);
    glShaderSource(s, 1, &src, nullptr);
    glCompileShader(s);
    return s;
}

static EMSCRIPTEN_WEBGL_CONTEXT_HANDLE ctx;
static bool webgl1;
static bool ready; // the program and buffers exist on the context; false while it waits
static GLuint program;
static GLfloat background[4]; // the cycler's last clear colour, set again on a new context

static void setbackground(GLfloat r, GLfloat g, GLfloat b, GLfloat a) {
    background[0] = r, background[1] = g, background[2] = b, background[3] = a;
    glClearColor(r, g, b, a);
}

// The program and the fixed state, on a new context or one the browser gave back.
static const char *setupgl() {
    if (webgl1 && !emscripten_webgl_enable_extension(ctx, "OES_element_index_uint"))
        return "this browser's WebGL lacks 32-bit indices (OES_element_index_uint)";

    glDeleteProgram(program); // one from a lost context; 0 the first time
    program = glCreateProgram();
    GLuint vs = shader(GL_VERTEX_SHADER, vertexshader);
    GLuint fs = shader(GL_FRAGMENT_SHADER, fragmentshader);
    glAttachShader(program, vs);
    glAttachShader(program, fs);
    glBindAttribLocation(program, posattr, "pos");
    glBindAttribLocation(program, colattr, "col");
    glLinkProgram(program);
    glDeleteShader(vs); // they go with the program
    glDeleteShader(fs);
    GLint linked = 0;
    glGetProgramiv(program, GL_LINK_STATUS, &linked);
    if (!linked) return "this browser's WebGL could not build the page's shaders";
    glUseProgram(program);
    mvploc = glGetUniformLocation(program, "mvp");

    setbackground(background[0], background[1], background[2], background[3]);
    glClearDepthf(1.0f);
    glEnable(GL_DEPTH_TEST);
    glDepthFunc(GL_LEQUAL);
    glViewport(0, 0, picturew, pictureh);
    glDisable(GL_DITHER);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE);
    glEnableVertexAttribArray(posattr);
    return nullptr;
}

const char *initdraw() {
    EmscriptenWebGLContextAttributes a;
    emscripten_webgl_init_context_attributes(&a);
    a.alpha = false; // the clear colour's zero alpha must not show the page through
    a.antialias = false;
    a.depth = true;
    a.majorVersion = 2;
    ctx = emscripten_webgl_create_context("#canvas", &a);
    if (ctx <= 0) { // WebGL 1 draws it too, given 32-bit indices
        a.majorVersion = 1;
        ctx = emscripten_webgl_create_context("#canvas", &a);
    }
    if (ctx <= 0) return "this browser offers no WebGL, so the city cannot be drawn";
    emscripten_webgl_make_context_current(ctx);
    webgl1 = a.majorVersion == 1;
    clearcolour = setbackground; // the colour cycler's background goes to WebGL from here on
    // Taken away before the page could use it: a lost context makes no objects, so restoredraw
    // makes them all once the browser gives it back.
    if (emscripten_is_webgl_context_lost(ctx)) return nullptr;
    if (const char *why = setupgl()) return why;
    ready = true;
    return nullptr;
}

bool drawwaits() {
    return !ready;
}

const char *restoredraw() {
    ready = false;
    if (const char *why = setupgl()) return why;
    ready = true;
    loadscene();
    return nullptr;
}

// The quads' corners a, b, c, d as the triangles a b c and a c d, made once from the demo's
// index arrays (which the animation never rewrites), here before they go to their buffer.
static GLuint tris[std::max({ncityindexes, ncarindexes, ncloudverts, nfloorverts}) / 4 * 6];

static GLuint buffer(GLenum target, const void *data, GLsizeiptr bytes, GLenum usage) {
    GLuint b;
    glGenBuffers(1, &b);
    glBindBuffer(target, b);
    glBufferData(target, bytes, data, usage);
    return b;
}

static layer makelayer(const Vertex3 *verts, const Vertex3 *colors, int nverts, GLenum moving,
                       const GLuint *quads, int nquadix) {
    layer l;
    l.verts = buffer(GL_ARRAY_BUFFER, verts, nverts * sizeof(Vertex3), moving);
    l.colors =
        colors ? buffer(GL_ARRAY_BUFFER, colors, nverts * sizeof(Vertex3), GL_DYNAMIC_DRAW) : 0;
    l.ntris = nquadix / 4 * 6;
    const int corner[6] = {0, 1, 2, 0, 2, 3};
    for (int i = 0; i < l.ntris; i++)
        tris[i] = quads[i / 6 * 4 + corner[i % 6]];
    l.tris = buffer(GL_ELEMENT_ARRAY_BUFFER, tris, l.ntris * sizeof(GLuint), GL_STATIC_DRAW);
    return l;
}

void loadscene() {
    if (!ready) return;
    for (layer *l : {&ground, &cars, &buildings, &clouds}) { // those of a lost context
        GLuint old[3] = {l->verts, l->colors, l->tris};
        glDeleteBuffers(3, old);
    }
    ground = makelayer(floor_verts, floor_colors, nfloorverts, GL_DYNAMIC_DRAW, floor_indexes,
                       nfloorverts);
    cars = makelayer(car_verts, car_colors, ncarverts, GL_DYNAMIC_DRAW, car_indexes, ncarindexes);
    buildings =
        makelayer(city_verts, city_colors, ncityverts, GL_STATIC_DRAW, city_indexes, ncityindexes);
    clouds =
        makelayer(cloud_verts, nullptr, ncloudverts, GL_DYNAMIC_DRAW, cloud_indexes, ncloudverts);
}

static void upload(GLuint b, const Vertex3 *v, int first, int n) {
    glBindBuffer(GL_ARRAY_BUFFER, b);
    glBufferSubData(GL_ARRAY_BUFFER, first * sizeof(Vertex3), n * sizeof(Vertex3), v + first);
}

// The cycler sweeps buildings 0 to lastswept, eight vertices each, and starts again at 0.
constexpr int swept = lastswept + 1;

static void recoloured(int first, int n) {
    if (n >= swept) {
        upload(buildings.colors, city_colors, 0, ncityverts);
    } else if (first + n <= swept) {
        upload(buildings.colors, city_colors, 8 * first, 8 * n);
    } else {
        upload(buildings.colors, city_colors, 8 * first, 8 * (swept - first));
        upload(buildings.colors, city_colors, 0, 8 * (first + n - swept));
    }
}

// gluPerspective times gluLookAt, in double, column-major as GL takes it.
static void eyematrix(const mycam &c, GLfloat out[16]) {
    double aspect = (GLfloat)picturew / pictureh;
    double f = 1.0 / std::tan(fovy / 2 * M_PI / 180);
    double p[16] = {}; // p[4 * column + row]
    p[0] = f / aspect;
    p[5] = f;
    p[10] = (farz + nearz) / (nearz - farz);
    p[11] = -1;
    p[14] = 2 * farz * nearz / (nearz - farz);
    double fw[3] = {(double)c.xlook - c.xcam, (double)c.ylook - c.ycam, (double)c.zlook - c.zcam};
    double fl = std::sqrt(fw[0] * fw[0] + fw[1] * fw[1] + fw[2] * fw[2]);
    for (double &x : fw)
        x /= fl;
    double s[3] = {-fw[2], 0, fw[0]}; // forward x (0, 1, 0)
    double sl = std::sqrt(s[0] * s[0] + s[2] * s[2]);
    s[0] /= sl, s[2] /= sl;
    double u[3] = {s[1] * fw[2] - s[2] * fw[1], s[2] * fw[0] - s[0] * fw[2],
                   s[0] * fw[1] - s[1] * fw[0]};
    double e[3] = {c.xcam, c.ycam, c.zcam};
    double m[16] = {s[0], u[0], -fw[0], 0, s[1], u[1], -fw[1], 0,
                    s[2], u[2], -fw[2], 0, 0,    0,    0,      1};
    for (int r = 0; r < 3; r++)
        m[12 + r] = -(m[r] * e[0] + m[4 + r] * e[1] + m[8 + r] * e[2]);
    for (int col = 0; col < 4; col++)
        for (int r = 0; r < 4; r++) {
            double v = 0;
            for (int k = 0; k < 4; k++)
                v += p[4 * k + r] * m[4 * col + k];
            out[4 * col + r] = (GLfloat)v;
        }
}

static void drawlayer(const layer &l) {
    glBindBuffer(GL_ARRAY_BUFFER, l.verts);
    glVertexAttribPointer(posattr, 3, GL_FLOAT, GL_FALSE, 0, nullptr);
    if (l.colors) {
        glBindBuffer(GL_ARRAY_BUFFER, l.colors);
        glVertexAttribPointer(colattr, 3, GL_FLOAT, GL_FALSE, 0, nullptr);
    }
    glBindBuffer(GL_ELEMENT_ARRAY_BUFFER, l.tris);
    glDrawElements(GL_TRIANGLES, l.ntris, GL_UNSIGNED_INT, nullptr);
}

void drawframe(int first, int n) {
    if (!ready) return;
    upload(ground.verts, floor_verts, 0, nfloorverts);
    upload(cars.verts, car_verts, 0, ncarverts);
    upload(clouds.verts, cloud_verts, 0, ncloudverts);
    if (n) recoloured(first, n);

    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    GLfloat mvp[16];
    eyematrix(mycamz[whichcam], mvp);
    glUniformMatrix4fv(mvploc, 1, GL_FALSE, mvp);

    glEnableVertexAttribArray(colattr);
    drawlayer(ground);
    drawlayer(cars);
    drawlayer(buildings);
    glDisableVertexAttribArray(colattr);

    // Clouds add to what lies behind them; the depth test still hides them behind buildings.
    glEnable(GL_BLEND);
    glVertexAttrib3f(colattr, 0.35f, 0.35f, 0.35f);
    drawlayer(clouds);
    glDisable(GL_BLEND);
}
