// The read-back hands every kind of device context the frame top row first and unchanged: the
// library's image target (filled in place), any other target (handed a frame the viewport keeps
// between frames) and an image target whose presentFrame is its own. The viewport turns the rows
// itself when the driver cannot while reading, with the same result.

#include "glstreamrecorder.h"
#include "rendertestsupport.h"

#include "gl4dqv.h"
#include "glimagetarget.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <numeric>
#include <string>
#include <vector>

namespace {

// A device context of a host: keeps what it is given.
class CKeepingTarget : public CGLDrawTargetqv {
public:
    CKeepingTarget(int nWidth, int nHeight) : m_nWidth(nWidth), m_nHeight(nHeight) {}
    int getTargetWidth() override { return m_nWidth; }
    int getTargetHeight() override { return m_nHeight; }
    int presentFrame(const unsigned char* pRGBA, int nWidth, int nHeight) override {
        m_image.assign(pRGBA, pRGBA + static_cast<std::size_t>(nWidth) * nHeight * 4);
        return 1;
    }
    int m_nWidth, m_nHeight;
    std::vector<unsigned char> m_image;
};

// An image target that does something of its own on each frame.
class CCountingImageTarget : public CGLImageTargetqv {
public:
    using CGLImageTargetqv::CGLImageTargetqv;
    int presentFrame(const unsigned char* pRGBA, int nWidth, int nHeight) override {
        ++m_nPresented;
        return CGLImageTargetqv::presentFrame(pRGBA, nWidth, nHeight);
    }
    int m_nPresented = 0;
};

// Run with the driver's row inversion and without it.
class ReadBack : public testing::TestWithParam<const char*> {
protected:
    void SetUp() override {
        m_pData = makeTestRecording({at(0, 0, 100, 400.0), at(40, 0, 100, -300.0),
                                     at(0, 40, 100, 10.0), at(40, 40, 95, 250.0)});
        m_map.setMegData(m_pData.get());
        m_map._checkSensorPosVlm();
        glStreamHideExtension(GetParam());
    }
    void TearDown() override { glStreamHideExtension(""); }

    // A viewport on hDC with the map drawn from a turned camera: nothing in it is symmetric.
    std::unique_ptr<CGL4dqv> open(HDC hDC) {
        auto pGL4d = std::make_unique<CGL4dqv>();
        EXPECT_TRUE(pGL4d->setWindowPixelFormat(hDC) && pGL4d->createViewGLContext(hDC))
            << pGL4d->getLastError();
        pGL4d->setRotateValue(-20.0, 55.0, 0.0);
        return pGL4d;
    }

    void frame(CGL4dqv& gl4d, HDC hDC) {
        gl4d.setViewGLContextCurrent(hDC);
        gl4d.reshape(hDC->getTargetWidth(), hDC->getTargetHeight());
        gl4d.glqvInit();
        gl4d.beginGLqv();
        m_map.show3DCntMap();
        gl4d.endGLqv();
        EXPECT_EQ(gl4d.glSwapBuffers(hDC), 1) << gl4d.getLastError();
    }

    // The frame as OpenGL holds it, turned top row first by hand.
    static std::vector<unsigned char> expected(int nWidth, int nHeight) {
        std::vector<unsigned char> bottomUp(static_cast<std::size_t>(nWidth) * nHeight * 4);
        glPixelStorei(GL_PACK_ALIGNMENT, 1);
        glReadPixels(0, 0, nWidth, nHeight, GL_RGBA, GL_UNSIGNED_BYTE, bottomUp.data());
        std::vector<unsigned char> topDown(bottomUp.size());
        const std::size_t nRow = static_cast<std::size_t>(nWidth) * 4;
        for (int y = 0; y < nHeight; ++y) {
            std::copy_n(bottomUp.data() + (nHeight - 1 - y) * nRow, nRow,
                        topDown.data() + y * nRow);
        }
        return topDown;
    }

    std::unique_ptr<CMEGDataqv> m_pData;
    CShow3DCntMapqv m_map;
};

TEST_P(ReadBack, EveryKindOfTargetGetsEachFrameTopRowFirstAtItsSize) {
    // An odd height leaves a middle row that stays where it is.
    CGLImageTargetqv image(64, 61);
    CKeepingTarget host(64, 61);
    CCountingImageTarget own(64, 61);
    auto pImageView = open(&image);
    auto pHostView = open(&host);
    auto pOwnView = open(&own);
    const std::pair<int, int> sizes[] = {{64, 61}, {64, 61}, {30, 20}, {90, 70}};
    for (int nFrame = 0; nFrame < 4; ++nFrame) {
        const auto [nWidth, nHeight] = sizes[nFrame];
        SCOPED_TRACE(nFrame);
        // Each frame is another picture, so a stale frame would show.
        m_map.m_bContourMap = nFrame % 2 == 0 ? 1 : 0;
        image.setTargetSize(nWidth, nHeight);
        host.m_nWidth = nWidth;
        host.m_nHeight = nHeight;
        own.setTargetSize(nWidth, nHeight);
        frame(*pImageView, &image);
        const std::vector<unsigned char> want = expected(nWidth, nHeight);
        // More than the opaque alpha channel alone: something was drawn.
        ASSERT_GT(std::accumulate(want.begin(), want.end(), 0L), 255L * nWidth * nHeight);
        EXPECT_EQ(image.getImage(), want);
        EXPECT_EQ(image.getImageWidth(), nWidth);
        EXPECT_EQ(image.getImageHeight(), nHeight);
        frame(*pHostView, &host);
        EXPECT_EQ(host.m_image, want);
        frame(*pOwnView, &own);
        EXPECT_EQ(own.getImage(), want);
        EXPECT_EQ(own.m_nPresented, nFrame + 1);
    }
}

INSTANTIATE_TEST_SUITE_P(Driver, ReadBack, testing::Values("", "GL_MESA_pack_invert"),
                         [](const auto& info) {
                             return std::string(*info.param ? "WithoutRowInversion" : "AsItIs");
                         });

} // namespace
