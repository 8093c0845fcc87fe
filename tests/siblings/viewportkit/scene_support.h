#pragma once

#include "glimagetarget.h"

#include <GL/gl.h>
#include <GL/glu.h>

// Small scenes and image measurements shared by the viewport tests.
namespace scene {

struct SBlob {
    double dX = 0.0; // centroid in image pixels, origin top-left
    double dY = 0.0;
    int nPixels = 0;
};

// Centroid of the pixels that are not background.
inline SBlob litBlob(const CGLImageTargetqv& target) {
    SBlob blob;
    unsigned char p[4];
    for (int y = 0; y < target.getImageHeight(); ++y)
        for (int x = 0; x < target.getImageWidth(); ++x)
            if (target.getPixel(x, y, p) && (p[0] > 32 || p[1] > 32 || p[2] > 32)) {
                blob.dX += x;
                blob.dY += y;
                ++blob.nPixels;
            }
    if (blob.nPixels > 0) {
        blob.dX /= blob.nPixels;
        blob.dY /= blob.nPixels;
    }
    return blob;
}

// Unlit shapes are drawn in plain white, so their pixels depend on the camera alone.
inline void flatSquare(double dHalf) {
    glDisable(GL_LIGHTING);
    glColor3f(1.0f, 1.0f, 1.0f);
    glRectd(-dHalf, -dHalf, dHalf, dHalf);
    glEnable(GL_LIGHTING);
}

inline void sphere(double x, double y, double z, double dRadius, bool bLit = true) {
    GLUquadric* pQuadric = gluNewQuadric();
    if (!bLit)
        glDisable(GL_LIGHTING);
    glColor3f(1.0f, 1.0f, 1.0f);
    glPushMatrix();
    glTranslated(x, y, z);
    gluSphere(pQuadric, dRadius, 15, 10);
    glPopMatrix();
    if (!bLit)
        glEnable(GL_LIGHTING);
    gluDeleteQuadric(pQuadric);
}

} // namespace scene
