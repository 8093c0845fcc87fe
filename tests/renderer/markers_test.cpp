#include "glcontextfixture.h"
#include "glrecorder.h"
#include "rendertestsupport.h"

#include "mdtrial.h"

#include <GL/gl.h>

// When the marker passes draw no selection cube, and how fiducials are drawn (when they draw
// nothing at all is with the surface's tests); the spheres and cube of every variant are held by
// the stream references.

namespace {

using Vertex = std::vector<double>;

class RendererMarkers : public GLContextTest {
protected:
    CMessageRecorder m_messages; // loading an empty trial reports it
    CTestMap m_map;
    std::unique_ptr<CMEGDataqv> m_pData;
    int m_bMark = 1;

    void load(const std::vector<STestChannel>& channels) {
        m_pData = makeTestRecording(channels);
        m_map.setMegData(m_pData.get());
        m_map.m_pMarkSelection = &m_bMark;
        m_map.m_bAutofitPlace = 0;
    }
    CMDTrialqv* trial() { return m_pData->getTrialqv(-1); }
    // Where each sphere was put: the translation just before its gluSphere.
    static std::vector<Vertex> spherePositions(const CGLRecorder& recorder) {
        std::vector<Vertex> positions;
        Vertex last;
        for (const SGLCall& call : recorder.calls()) {
            if (call.strName == "glTranslated") {
                last = call.adArgs;
            } else if (call.strName == "gluSphere") {
                positions.push_back(last);
            }
        }
        return positions;
    }
};

TEST_F(RendererMarkers, NoCubeWhenTheMarkIsOffOrTheChannelCannotBeShown) {
    load({at(0, 0, 0, 1.0), without(&STestChannel::bMeg, at(0, 0, 0)), emptySlot()});
    // A host trial may report any index; one past the slots is never matched.
    struct SBeyond : CMDTrialqv {
        CMDTrialqv* pReal = nullptr;
        int getTotalChannel() override { return pReal->getTotalChannel(); }
        CMDChannelqv** getAllChannelPt() override { return pReal->getAllChannelPt(); }
        int getCurntChnlIndx() override { return 3; }
    } beyond;
    beyond.pReal = trial();
    const struct {
        const char* pszName;
        int nCurrent;
        int bMark;
        bool bBound;
    } cases[] = {{"mark off", 0, 0, true},
                 {"not bound", 0, 1, false},
                 {"not a measuring channel", 1, 1, true},
                 {"empty slot", 2, 1, true},
                 {"no current channel", -1, 1, true},
                 {"beyond the slots", 3, 1, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pszName);
        m_bMark = c.bMark;
        m_map.m_pMarkSelection = c.bBound ? &m_bMark : nullptr;
        trial()->setCurrentChannel(c.nCurrent);
        m_map.m_pTrial = c.nCurrent == 3 ? &beyond : trial();
        CGLRecorder recorder;
        m_map.drawSensors();
        EXPECT_EQ(recorder.primitives(GL_LINE_LOOP).size(), 0u);
        EXPECT_EQ(recorder.named("gluSphere").size(), 1u);
    }
}

TEST_F(RendererMarkers, AfterTheCubeUncolouredSpheresAreWhite) {
    load({at(0, 0, 0, 1.0), at(50, 0, 0, 1.0)});
    trial()->setCurrentChannel(0);
    m_map.m_bSensorAct = 0;
    m_map.drawSensors();
    std::vector<float> emission(4);
    glGetMaterialfv(GL_FRONT, GL_EMISSION, emission.data());
    EXPECT_EQ(emission, (std::vector<float>{1, 1, 1, 1}));
}

TEST_F(RendererMarkers, FiducialsInOrderAndColourSkippingUnsetOnes) {
    load({});
    CFiducialqv* pFid = m_pData->createFidWorkMeg();
    for (int i = 0; i < 6; ++i) {
        pFid->m_FiduciaryPt[i].setPoint(i, 0, 0);
    }
    pFid->m_FiduciaryPt[4].clearPoint();
    CGLRecorder recorder;
    EXPECT_EQ(m_map.drawFiducial(), 1);
    EXPECT_EQ(spherePositions(recorder),
              (std::vector<Vertex>{{1, 0, 0}, {2, 0, 0}, {0, 0, 0}, {3, 0, 0}, {5, 0, 0}}));
    for (const SGLCall& call : recorder.named("gluSphere")) {
        EXPECT_EQ(call.adArgs[0], 7.0);
    }
    // Each point's ambient colour comes from its COLORREF: green, red, blue, cyan, magenta.
    std::vector<std::string> colours;
    for (const SGLCall& call : recorder.named("glMaterialfv")) {
        if (call.nPname == GL_AMBIENT || call.nPname == GL_AMBIENT_AND_DIFFUSE) {
            std::string strRgb;
            for (int k = 0; k < 3; ++k) {
                strRgb += call.adArgs.at(k) > 0.5 ? "rgb"[k] : '-';
            }
            colours.push_back(strRgb);
        }
    }
    EXPECT_EQ(colours, (std::vector<std::string>{"-g-", "r--", "--b", "-gb", "r-b"}));
}

} // namespace
