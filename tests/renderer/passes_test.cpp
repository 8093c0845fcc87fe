#include "glcontextfixture.h"
#include "glstreamrecorder.h"
#include "rendertestsupport.h"

#include "fiducial.h"
#include "mdtrial.h"

#include <GL/gl.h>

#include <algorithm>
#include <iterator>

// The drawing passes where the stream references cannot tell: where the triangle fans' neighbour
// rule cuts off, when the marker passes draw no selection cube, the colours of the landmarks the
// references leave unset, when no pass draws anything, and hits through a real selection pass. The
// vertices, normals, colours, spheres and cube of every variant, and the channels each skips, are
// held by the references; which hit wins is the views' business (and their tests').

namespace {

class RendererPass : public GLContextTest {
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
    // The time-domain (0), frequency (1) or spectral (2) surface pass.
    int drawFans(int nVariant) {
        return nVariant == 0   ? m_map.drawSensorMapTriFan()
               : nVariant == 1 ? m_map.drawSensorMapTriFanFrqc()
                               : m_map.drawSensorMapTriFanSpctm();
    }
};

using RendererSurface = RendererPass;
using RendererMarkers = RendererPass;
using RendererPick = GLContextTest;

// The references hold 60.000001 mm (a neighbour in single precision only) and the fans' vertices;
// here, the radius itself in every variant.
TEST_F(RendererSurface, NeighboursUpToTheRadiusInEveryVariant) {
    for (double dDistance : {60.0, 60.1}) {
        load({at(0, 0, 0, 1.0), at(dDistance, 0, 0, 2.0)});
        for (int nVariant = 0; nVariant < 3; ++nVariant) {
            CGLStreamRecorder recorder;
            EXPECT_EQ(drawFans(nVariant), 1);
            // Each fan is its centre, then every sensor within the radius, itself included.
            EXPECT_EQ(recorder.count("glVertex3f"), dDistance == 60.0 ? 6 : 4)
                << dDistance << " variant " << nVariant;
        }
    }
}

// Surface, sensor and fiducial passes alike.
TEST_F(RendererSurface, PassesWithNothingToDrawFromMakeNoCall) {
    CGLStreamRecorder recorder;
    EXPECT_EQ(m_map.drawSensorMapTriFan(), 0);
    EXPECT_EQ(m_map.drawSensorMapTriFanFrqc(), 0);
    EXPECT_EQ(m_map.drawSensors(), 0);
    EXPECT_EQ(m_map.drawSensorsFrqc(), 0);
    EXPECT_EQ(m_map.drawFiducial(), 0);
    load({at(0, 0, 0, 1.0)});
    EXPECT_EQ(m_map.drawFiducial(), 0); // none set
    m_pData->createFidWorkMeg()->m_FiduciaryPt[0].setPoint(0, 90, 0);
    m_map.m_bSensors = 0;
    m_map.m_bContourMap = 0;
    m_map.m_bShowFiducialPts = false;
    EXPECT_EQ(m_map.show3DCntMap(), 1); // every part switched off
    m_map.m_nSpctmSelector = 2;         // no spectral result under this selector
    EXPECT_EQ(m_map.drawSensorMapTriFanFrqc(), 0);
    EXPECT_EQ(m_map.drawSensorMapTriFanSpctm(), 0);
    EXPECT_EQ(m_map.drawSensorsFrqc(), 0);
    EXPECT_EQ(m_map.drawSensorsSpctm(), 0);
    EXPECT_TRUE(recorder.lines().empty());
    load({without(&STestChannel::bMeg, at(0, 0, 0))}); // no measuring channel: no fan, no sphere
    m_map.m_bSensors = 1;
    EXPECT_EQ(m_map.drawSensorMapTriFan(), 1);
    EXPECT_EQ(m_map.drawSensors(), 1);
    EXPECT_EQ(recorder.count("glBegin"), 0);
    EXPECT_EQ(recorder.count("gluSphere"), 0);
}

TEST_F(RendererMarkers, NoCubeWhenTheMarkIsUnboundOrTheChannelCannotBeShown) {
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
    } cases[] = {{"not bound", 0, 1, false},
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
        CGLStreamRecorder recorder;
        m_map.drawSensors();
        EXPECT_EQ(recorder.count("glBegin"), 0); // the cube's line loops are the pass's only ones
        EXPECT_EQ(recorder.count("gluSphere"), 1);
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

// The references draw the first three landmarks and skip unset ones; the style table's other
// rows, in drawing order with point 4 unset: cyan for point 3, magenta for point 5.
TEST_F(RendererMarkers, TheLastLandmarksAreCyanAndMagenta) {
    load({});
    CFiducialqv* pFid = m_pData->createFidWorkMeg();
    pFid->m_FiduciaryPt[3].setPoint(3, 0, 0);
    pFid->m_FiduciaryPt[5].setPoint(5, 0, 0);
    CGLStreamRecorder recorder;
    EXPECT_EQ(m_map.drawFiducial(), 1);
    std::vector<std::string> colours;
    std::copy_if(recorder.lines().begin(), recorder.lines().end(), std::back_inserter(colours),
                 [](const std::string& str) { return str.rfind("glColor4fv(", 0) == 0; });
    EXPECT_EQ(colours, (std::vector<std::string>{"glColor4fv(0, 0.996078432, 0.996078432, 1)",
                                                 "glColor4fv(0.996078432, 0, 0.996078432, 1)"}));
}

TEST_F(RendererPick, SensorSizeSizesTheSpheresEvenHiddenAndNoTrialDrawsNothing) {
    auto pData = makeTestRecording({at(-40, 0, 0, 1.0)});
    CShow3DCntMapqv map;
    map.setMegData(pData.get());
    map.m_bAutofitPlace = 0;
    map.m_bSensors = 0;
    std::vector<unsigned> records;
    const auto hits = [&](SClientPoint p) {
        return m_context.pick(
            57600, p.x, p.y, 4.0, 4.0, [&]() { map.pickSensor(); }, records);
    };
    EXPECT_EQ(hits(project(-40, 0, 0)), 1);
    const SClientPoint edge = project(-26, 0, 0);
    EXPECT_EQ(hits(edge), 0);
    map.setSensorSize(18.0);
    EXPECT_EQ(hits(edge), 1);

    CShow3DCntMapqv none;
    EXPECT_EQ(none.pickSensor(), 1);
    EXPECT_EQ(m_context.pick(
                  100, 100, 100, 4, 4, [&]() { none.pickSensor(); }, records),
              0);
}

} // namespace
