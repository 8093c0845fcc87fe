#include "glmaterial.h"
#include "glofflinecontext.h"
#include "scene_support.h"

#include <EGL/egl.h>
#include <gtest/gtest.h>

TEST(Material, WithoutAContextNothingHappens) {
    eglBindAPI(EGL_OPENGL_API);
    if (eglGetCurrentDisplay() != EGL_NO_DISPLAY)
        eglMakeCurrent(eglGetCurrentDisplay(), EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
    CGLmaterialqv1Face material;
    EXPECT_EQ(material.initMaterial(), 0);
    EXPECT_EQ(material.setCurrentColorAmbt(0x0000FE), 0);
}

TEST(Material, ResetAndColourSetBothFacesAndShowTheColour) {
    CGLOfflineContextqv offline;
    std::string strError;
    ASSERT_EQ(offline.open(100, 100, strError), 1) << strError;
    CGLmaterialqv1Face material;
    auto material4 = [](GLenum nFace, GLenum nName) {
        std::vector<GLfloat> v(4, -1.0f);
        glGetMaterialfv(nFace, nName, v.data());
        return v;
    };
    const GLfloat white[4] = {1, 1, 1, 1};
    glMaterialfv(GL_FRONT_AND_BACK, GL_EMISSION, white);
    glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, white);
    ASSERT_EQ(material.initMaterial(), 1);
    const std::vector<GLfloat> black{0, 0, 0, 1};
    // COLORREF is 0x00BBGGRR: R 0xFE, G 0x80, B 0.
    ASSERT_EQ(material.setCurrentColorAmbt(0x0080FE), 1);
    const std::vector<GLfloat> colour{0xFE / 255.0f, 0x80 / 255.0f, 0.0f, 1.0f};
    for (GLenum nFace : {GL_FRONT, GL_BACK}) {
        EXPECT_EQ(material4(nFace, GL_SPECULAR), black);
        EXPECT_EQ(material4(nFace, GL_AMBIENT), colour);
        EXPECT_EQ(material4(nFace, GL_DIFFUSE), colour);
        const std::vector<GLfloat> emission = material4(nFace, GL_EMISSION);
        EXPECT_TRUE(emission[0] > 0.0f && emission[0] < colour[0] && emission[2] == 0.0f);
    }

    for (int nChannel = 0; nChannel < 3; ++nChannel) {
        ASSERT_EQ(offline.renderFrame([&] {
            material.initMaterial();
            material.setCurrentColorAmbt(0xFEul << (8 * nChannel));
            scene::sphere(0, 0, 0, 40);
        }),
                  1);
        unsigned char pixel[4];
        ASSERT_EQ(offline.target()->getPixel(50, 50, pixel), 1);
        for (int k = 0; k < 3; ++k) {
            if (k == nChannel) {
                EXPECT_GT(pixel[k], 180) << nChannel;
            } else {
                EXPECT_LT(pixel[k], 60) << nChannel;
            }
        }
    }
}
