// xkit.cpp -- XTEST input, screen grabs, PNG files and close requests for the tools and tests
// SPDX-License-Identifier: MIT
#include "xkit.h"

#include "pngio.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

#include <cstdio>

bool xtestready(Display *d) {
    int ev, er, major, minor;
    return XTestQueryExtension(d, &ev, &er, &major, &minor);
}

bool xkey(Display *d, const char *name, bool down) {
    KeySym sym = XStringToKeysym(name);
    if (sym == NoSymbol) return false;
    KeyCode code = XKeysymToKeycode(d, sym);
    if (code == 0) return false;
    XTestFakeKeyEvent(d, code, down, CurrentTime);
    XFlush(d);
    return true;
}

bool xtap(Display *d, const char *name) {
    return xkey(d, name, true) && xkey(d, name, false);
}

void xmotion(Display *d, int x, int y) {
    XTestFakeMotionEvent(d, DefaultScreen(d), x, y, CurrentTime);
    XFlush(d);
}

void xbutton(Display *d, int button, bool down) {
    XTestFakeButtonEvent(d, button, down, CurrentTime);
    XFlush(d);
}

// Where a colour mask's bits sit, so any TrueColor layout converts to 8-bit channels.
static int maskshift(unsigned long m) {
    int s = 0;
    while (m && !(m & 1)) {
        m >>= 1;
        s++;
    }
    return s;
}

static unsigned char channel(unsigned long px, unsigned long mask) {
    if (!mask) return 0;
    unsigned long v = (px & mask) >> maskshift(mask);
    unsigned long top = mask >> maskshift(mask);
    return (unsigned char)(v * 255 / top);
}

bool xgrab(Display *d, xpicture &p) {
    Window root = DefaultRootWindow(d);
    XWindowAttributes a;
    if (!XGetWindowAttributes(d, root, &a)) return false;
    XImage *img = XGetImage(d, root, 0, 0, a.width, a.height, AllPlanes, ZPixmap);
    if (!img) return false;
    p.w = a.width;
    p.h = a.height;
    p.rgb.resize((size_t)p.w * p.h * 3);
    unsigned char *o = p.rgb.data();
    // The common 32-bit layout converts without a call per pixel.
    if (img->bits_per_pixel == 32 && img->byte_order == LSBFirst && img->red_mask == 0xff0000 &&
        img->green_mask == 0xff00 && img->blue_mask == 0xff) {
        for (int y = 0; y < p.h; y++) {
            const unsigned char *row =
                (const unsigned char *)img->data + (size_t)y * img->bytes_per_line;
            for (int x = 0; x < p.w; x++, row += 4) {
                *o++ = row[2];
                *o++ = row[1];
                *o++ = row[0];
            }
        }
        XDestroyImage(img);
        return true;
    }
    for (int y = 0; y < p.h; y++)
        for (int x = 0; x < p.w; x++) {
            unsigned long px = XGetPixel(img, x, y);
            *o++ = channel(px, img->red_mask);
            *o++ = channel(px, img->green_mask);
            *o++ = channel(px, img->blue_mask);
        }
    XDestroyImage(img);
    return true;
}

bool xsavepng(const char *path, const xpicture &p) {
    FILE *f = fopen(path, "wb");
    if (!f) return false;
    bool ok = writepng(f, p.w, p.h, p.rgb.data());
    // A full disk shows up only when the buffered rest is written out.
    if (fclose(f) != 0) ok = false;
    if (!ok) remove(path);
    return ok;
}

bool uniform(const xpicture &p) {
    for (size_t i = 3; i < p.rgb.size(); i++)
        if (p.rgb[i] != p.rgb[i % 3]) return false;
    return true;
}

static bool takesclose(Display *d, Window w) {
    Atom *protocols = nullptr;
    int n = 0;
    bool yes = false;
    if (XGetWMProtocols(d, w, &protocols, &n)) {
        Atom del = XInternAtom(d, "WM_DELETE_WINDOW", False);
        for (int i = 0; i < n; i++)
            if (protocols[i] == del) yes = true;
        XFree(protocols);
    }
    return yes;
}

// Windows come and go while a program starts (SDL makes and drops one to probe the GL visual),
// so one may be gone between the query and the look at it. Xlib's default handler would end
// this process for that; here the window simply does not count.
static int tolerate(Display *, XErrorEvent *) {
    return 0;
}

// A window manager's frame holds the application's window one level down.
static Window framed(Display *d, Window frame) {
    Window root, parent, *kids = nullptr, found = 0;
    unsigned int n = 0;
    if (XQueryTree(d, frame, &root, &parent, &kids, &n))
        for (unsigned int i = 0; i < n && !found; i++)
            if (takesclose(d, kids[i])) found = kids[i];
    if (kids) XFree(kids);
    return found;
}

Window xappwindow(Display *d) {
    XSync(d, False);
    int (*before)(Display *, XErrorEvent *) = XSetErrorHandler(tolerate);
    Window root, parent, *kids = nullptr;
    unsigned int n = 0;
    Window found = 0;
    if (XQueryTree(d, DefaultRootWindow(d), &root, &parent, &kids, &n)) {
        for (unsigned int i = 0; i < n && !found; i++) {
            XWindowAttributes a;
            if (XGetWindowAttributes(d, kids[i], &a) && a.map_state == IsViewable)
                found = takesclose(d, kids[i]) ? kids[i] : framed(d, kids[i]);
        }
    }
    if (kids) XFree(kids);
    XSync(d, False); // errors of the calls above reach our handler, not the one restored
    XSetErrorHandler(before);
    return found;
}

bool xclose(Display *d, Window w) {
    XEvent e = {};
    e.xclient.type = ClientMessage;
    e.xclient.window = w;
    e.xclient.message_type = XInternAtom(d, "WM_PROTOCOLS", False);
    e.xclient.format = 32;
    e.xclient.data.l[0] = (long)XInternAtom(d, "WM_DELETE_WINDOW", False);
    e.xclient.data.l[1] = CurrentTime;
    Status s = XSendEvent(d, w, False, NoEventMask, &e);
    XFlush(d);
    return s != 0;
}
