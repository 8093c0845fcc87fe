// The OpenGL call stream of every drawing pass, compared call by call with the reference files
// in tests/renderer/streams/: a change to the calls, their order or their values fails here,
// however small, so that speed work can never change what is drawn without anyone noticing.
//
// A frame is recorded the way a view paints it, from making the context current to the end of
// the frame (the read-back that follows is not a drawing pass and is left out); a pick from
// making the context current to the end of the selection pass.
//
// After an intended change to a pass, rewrite the references and review their diff:
//   CM3D_UPDATE_GL_STREAMS=1 build/tests/renderer/renderer_stream_tests

#include "glstreamrecorder.h"
#include "rendertestsupport.h"

#include "3drenddlgface.h"
#include "fiducial.h"
#include "glofflinecontext.h"
#include "mdtrial.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <functional>
#include <iostream>
#include <limits>
#include <sstream>

namespace {

// Every branch of the passes on a few sensors 40 mm apart: values on both colour tables and in
// the neutral band (NaN included), an empty slot, an EEG channel, a sensor without coil, one
// flagged bad, one without samples, one without spectral data, and a neighbour 60.000001 mm
// away (inside the radius in single precision, outside in double).
std::vector<STestChannel> _channels() {
    return {at(0, 0, 100, 400.0),
            at(40, 0, 100, -300.0),
            at(0, 40, 100, 10.0),
            at(40, 40, 95, 250.0),
            emptySlot(),
            without(&STestChannel::bMeg, at(20, 20, 100, 90.0)),
            without(&STestChannel::bCoil, at(0, 0, 0, 80.0)),
            without(&STestChannel::bGood, at(-40, 0, 100, 0.0)),
            without(&STestChannel::bWave, at(0, -40, 100, 70.0)),
            without(&STestChannel::bSpectral, at(-40, 40, 100, -150.0)),
            at(60.000001, 0, 100, -200.0),
            at(80, 40, 100, std::numeric_limits<double>::quiet_NaN())};
}

class StreamReference : public testing::Test {
protected:
    void SetUp() override {
        std::string error;
        ASSERT_TRUE(m_context.open(200, 200, error)) << error;
        m_pData = makeTestRecording(_channels());
        CFiducialqv* pFiducials = m_pData->createFidWorkMeg();
        pFiducials->m_FiduciaryPt[0].setPoint(0, 95, 0);
        pFiducials->m_FiduciaryPt[1].setPoint(-72, 0, 0);
        pFiducials->m_FiduciaryPt[2].setPoint(72, 0, 0);
        m_pData->getTrialqv(-1)->setCurrentChannel(3);
    }

    // One frame as a view paints it, recorded under a scene title.
    void frame(const std::string& strScene, const std::function<void()>& draw) {
        CGL4dqv& gl4d = *m_context.viewport();
        HDC hDC = m_context.target();
        {
            CGLStreamRecorder recorder;
            gl4d.setViewGLContextCurrent(hDC);
            gl4d.glqvInit();
            gl4d.beginGLqv();
            draw();
            gl4d.endGLqv();
            _take(strScene, recorder);
        }
        EXPECT_EQ(gl4d.glSwapBuffers(hDC), 1) << gl4d.getLastError();
    }

    // One selection pass as the time-domain view makes it around client point (x, y).
    void pick(const std::string& strScene, CShow3DCntMapqv& map, double x, double y) {
        CGL4dqv& gl4d = *m_context.viewport();
        CGLStreamRecorder recorder;
        gl4d.setViewGLContextCurrent(m_context.target());
        const int nBufferSize = static_cast<int>(map.m_dSensorSize * 400.0 * 4.0 * 4.0);
        ASSERT_NE(gl4d.glqvPickBegin(nBufferSize, x, y, 4.0, 4.0), nullptr) << gl4d.getLastError();
        map.pickSensor();
        gl4d.glqvPickEnd();
        _take(strScene, recorder);
    }

    // Compares the recorded scenes of the pass with its reference file (a failure shows the
    // differing lines with their neighbours), or rewrites the file.
    void expectReference(const std::string& strPass) {
        const std::string strPath = std::string(CM3D_STREAM_REFERENCE_DIR) + "/" + strPass + ".txt";
        std::string strRecorded;
        for (const std::string& line : m_lines) {
            strRecorded += line + '\n';
        }
        const char* pszUpdate = std::getenv("CM3D_UPDATE_GL_STREAMS");
        if (pszUpdate != nullptr && *pszUpdate != '\0' && std::string(pszUpdate) != "0") {
            std::ofstream out(strPath);
            out << strRecorded;
            ASSERT_TRUE(out.good()) << "cannot write " << strPath;
            std::cout << "rewrote " << strPath << " (" << m_lines.size() << " lines)\n";
            return;
        }
        std::ifstream in(strPath);
        ASSERT_TRUE(in) << "no reference stream " << strPath;
        std::ostringstream expected;
        expected << in.rdbuf();
        EXPECT_EQ(expected.str(), strRecorded) << strPath;
    }

    CGLOfflineContextqv m_context;
    std::unique_ptr<CMEGDataqv> m_pData;
    CMessageRecorder m_messages;

private:
    void _take(const std::string& strScene, CGLStreamRecorder& recorder) {
        std::vector<std::string> lines = recorder.take();
        EXPECT_FALSE(lines.empty()) << strScene;
        m_lines.push_back("# " + strScene);
        m_lines.insert(m_lines.end(), lines.begin(), lines.end());
    }

    std::vector<std::string> m_lines;
};

TEST_F(StreamReference, TimeDomainShowSequence) {
    CShow3DCntMapqv map;
    int bMark = 0;
    map.m_pMarkSelection = &bMark;
    map.setMegData(m_pData.get());
    map._checkSensorPosVlm();
    frame("autofit colour and place, every part on", [&] { map.show3DCntMap(); });

    bMark = 1;
    m_context.viewport()->setRotateValue(-20.0, 55.0, 0.0);
    m_context.viewport()->addViewDistanceZ(-300.0f);
    frame("selection mark on slot 3, camera turned and nearer", [&] { map.show3DCntMap(); });

    bMark = 0;
    map.m_bAutofitColor = 0;
    map.m_dColorMin = -100.0;
    map.m_dColorMax = 100.0;
    map._checkSensorPosVlm();
    map.m_bAutofitPlace = 0;
    map.m_bSensorAct = 0;
    map.m_bContourAct = 0;
    map.setShowFiducialPts(false);
    frame("typed range, no recentring, no value colours, no fiducials",
          [&] { map.show3DCntMap(); });

    map.m_bSensorAct = 1;
    map.m_bContourAct = 1;
    map.m_bSensors = 0;
    frame("surface only", [&] { map.show3DCntMap(); });
    map.m_bSensors = 1;
    map.m_bContourMap = 0;
    frame("sensors only", [&] { map.show3DCntMap(); });
    expectReference("time-domain");
}

TEST_F(StreamReference, FrequencyShowSequence) {
    CShow3DCntMapqv map;
    map.setMegDataFrqc(m_pData.get());
    map._checkSensorPosVlmFrqc();
    frame("autofit colour and place, every part on", [&] { map.show3DCntMapFrqc(); });
    map.m_bSensorAct = 0;
    map.m_bContourAct = 0;
    frame("no value colours", [&] { map.show3DCntMapFrqc(); });
    map.m_bSensorAct = 1;
    map.m_bContourAct = 1;
    map.m_bContourMap = 0;
    frame("sensors only", [&] { map.show3DCntMapFrqc(); });
    expectReference("frequency");
}

TEST_F(StreamReference, SpectralShowSequence) {
    CShow3DCntMapqv map;
    // The spectral view loads with the time-domain loader.
    map.setMegData(m_pData.get());
    map._checkSensorPosVlmSpctm();
    frame("autofit colour and place, every part on", [&] { map.show3DCntMapSpctm(); });
    map.m_bSensorAct = 0;
    map.m_bContourAct = 0;
    map.m_bAutofitPlace = 0;
    frame("no value colours, no recentring", [&] { map.show3DCntMapSpctm(); });
    expectReference("spectral");
}

TEST_F(StreamReference, PickPass) {
    CShow3DCntMapqv map;
    int bMark = 1;
    map.m_pMarkSelection = &bMark;
    map.setMegData(m_pData.get());
    map._checkSensorPosVlm();
    pick("centre of the view", map, 100.0, 100.0);
    pick("top-left corner", map, 2.0, 2.0);
    map.m_bSensors = 0;
    map.m_bAutofitPlace = 0;
    m_context.viewport()->setRotateValue(30.0, -40.0, 0.0);
    pick("spheres hidden, no recentring, camera turned", map, 120.0, 80.0);
    expectReference("pick");
}

TEST_F(StreamReference, DialogFreeFacade) {
    C3DRendDlgFace face;
    ASSERT_EQ(face.setMslMEGData(m_pData.get()), 1);
    frame("the recording as handed over", [&] { face.showMSLSensor(); });
    expectReference("facade");
}

} // namespace
