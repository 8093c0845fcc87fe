#include "glmaterial.h"

#include <GL/gl.h>

namespace {

constexpr GLfloat kBlack[4] = {0.0f, 0.0f, 0.0f, 1.0f};
constexpr GLfloat kDefaultShininess = 32.0f;
// Share of the colour given as emission: with the scene's modest light on top the geometry
// reads as the colour itself rather than as a dark shade of it.
constexpr GLfloat kEmissionShare = 0.5f;

// Works for any context the host made current, not only this library's: without one, the GL
// dispatch answers glGetString with null.
bool hasCurrentContext() {
    return glGetString(GL_VERSION) != nullptr;
}

} // namespace

CGLmaterialqv::CGLmaterialqv() = default;
CGLmaterialqv::~CGLmaterialqv() = default;

int CGLmaterialqv::initMaterial() {
    if (!hasCurrentContext())
        return 0;
    glMaterialfv(GL_FRONT_AND_BACK, GL_EMISSION, kBlack);
    glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, kBlack);
    glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, kDefaultShininess);
    return 1;
}

int CGLmaterialqv::setCurrentColorAmbt(unsigned long nColorRef) {
    if (!hasCurrentContext())
        return 0;
    const GLfloat colour[4] = {static_cast<GLfloat>(nColorRef & 0xFFu) / 255.0f,
                               static_cast<GLfloat>((nColorRef >> 8) & 0xFFu) / 255.0f,
                               static_cast<GLfloat>((nColorRef >> 16) & 0xFFu) / 255.0f, 1.0f};
    const GLfloat emission[4] = {colour[0] * kEmissionShare, colour[1] * kEmissionShare,
                                 colour[2] * kEmissionShare, 1.0f};
    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, colour);
    glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, colour);
    glMaterialfv(GL_FRONT_AND_BACK, GL_EMISSION, emission);
    glColor4fv(colour);
    return 1;
}
