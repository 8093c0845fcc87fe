// select-growth [PASSES]: resident memory before and after OpenGL selection passes that draw 100
// GLU spheres each, next to the same number of ordinary frames, in one offscreen context. It
// separates what the driver keeps per selection pass from anything of ours (no renderer, no
// window): see docs/reliability.md.

#include "glofflinecontext.h"
#include "resident.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

int main(int argc, char** argv) {
    const int nPasses = argc > 1 ? std::atoi(argv[1]) : 100;
    if (nPasses < 1) {
        std::fprintf(stderr, "usage: select-growth [PASSES >= 1]\n");
        return 2;
    }
    CGLOfflineContextqv context;
    std::string strError;
    if (!context.open(400, 400, strError)) {
        std::fprintf(stderr, "select-growth: %s\n", strError.c_str());
        return 1;
    }
    GLUquadric* pQuadric = gluNewQuadric();
    const auto spheres = [&](bool bNames) {
        for (int k = 0; k < 100; ++k) {
            if (bNames)
                glPushName(static_cast<GLuint>(k));
            gluSphere(pQuadric, 9.0, 16, 16);
            if (bNames)
                glPopName();
        }
    };
    context.renderFrame([&] { spheres(false); }); // warm-up: shaders, buffers
    std::vector<unsigned> hits;
    context.pick(
        57600, 200, 200, 4, 4, [&] { spheres(true); }, hits);

    const long nStart = residentKiB();
    for (int i = 0; i < nPasses; ++i)
        context.renderFrame([&] { spheres(false); });
    const long nAfterFrames = residentKiB();
    for (int i = 0; i < nPasses; ++i)
        context.pick(
            57600, 200, 200, 4, 4, [&] { spheres(true); }, hits);
    const long nAfterPicks = residentKiB();
    gluDeleteQuadric(pQuadric);
    std::printf("%d frames: %+ld KiB; %d selection passes: %+ld KiB (%.1f KiB each)\n", nPasses,
                nAfterFrames - nStart, nPasses, nAfterPicks - nAfterFrames,
                static_cast<double>(nAfterPicks - nAfterFrames) / nPasses);
    return 0;
}
