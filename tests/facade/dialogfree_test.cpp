#include "3drenddlgface.h"
#include "glimagetarget.h"
#include "glofflinecontext.h"
#include "rendertestsupport.h"

#include <gtest/gtest.h>

#include <numeric>
#include <tuple>

namespace {

// What it draws of a recording is in the facade's GL stream reference; here, that it reaches the
// host's context, which switches it sets, and that it leaves the host's own switches alone.
TEST(DialogFreeFacade, MakesItsRendererOnFirstNeedAndKeepsTheHostsSwitches) {
    CGLOfflineContextqv context;
    std::string error;
    ASSERT_TRUE(context.open(160, 160, error)) << error;
    C3DRendDlgFace face;
    EXPECT_EQ(face.getShow3DCntMapqv(false), nullptr) << "the renderer comes with the first need";
    const auto show = [&] {
        int nResult = -1;
        context.renderFrame([&]() { nResult = face.showMSLSensor(); });
        return nResult;
    };
    EXPECT_EQ(show(), 0); // nothing set yet
    CMessageRecorder messages;
    EXPECT_EQ(face.setMslMEGData(nullptr), 1);
    EXPECT_EQ(show(), 1);
    auto pData = makeTestRecording({at(-20, 0, 0, 2.0), at(20, 0, 0, -3.0)});
    face.setMslMEGData(pData.get());
    EXPECT_EQ(show(), 1);
    // Drawn into the host's context: more there than its opaque black background.
    const std::vector<unsigned char>& image = context.target()->getImage();
    EXPECT_GT(std::accumulate(image.begin(), image.end(), 0L), 255L * 160 * 160);
    EXPECT_TRUE(messages.texts().empty());
    CShow3DCntMapqv* pMap = face.getShow3DCntMapqv(false);
    ASSERT_TRUE(pMap != nullptr && face.getShow3DCntMapqv(true) == pMap);
    EXPECT_EQ(std::make_tuple(pMap->m_bAutofitColor, pMap->m_bAutofitPlace, pMap->m_bSensorAct,
                              pMap->m_bContourAct),
              std::make_tuple(0, 0, 0, 0))
        << "fitting and value colours off";
    pMap->m_bSensors = 0;
    face.setMslMEGData(pData.get());
    EXPECT_EQ(pMap->m_bSensors, 0);
    // No range check runs: on a first load the thresholds are the raw extremes.
    C3DRendDlgFace fresh;
    fresh.setMslMEGData(pData.get());
    pMap = fresh.getShow3DCntMapqv(false);
    EXPECT_EQ(std::make_pair(pMap->m_dColorMin, pMap->m_dColorMax), std::make_pair(-3.0, 2.0));
}

} // namespace
