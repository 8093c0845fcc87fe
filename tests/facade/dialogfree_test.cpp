#include "3drenddlgface.h"
#include "glimagetarget.h"
#include "glofflinecontext.h"
#include "rendertestsupport.h"

#include <gtest/gtest.h>

#include <tuple>

namespace {

// Counts the pixels of a frame that are not background.
int _litPixels(CGLOfflineContextqv& context, C3DRendDlgFace& face, int& nResult) {
    context.renderFrame([&]() { nResult = face.showMSLSensor(); });
    const std::vector<unsigned char>& image = context.target()->getImage();
    int nLit = 0;
    for (std::size_t i = 0; i + 3 < image.size(); i += 4) {
        nLit += (image[i] + image[i + 1] + image[i + 2]) > 30;
    }
    return nLit;
}

// What it draws of a recording is in the facade's GL stream reference; here, that it reaches the
// host's context, which switches it sets, and that it leaves the host's own switches alone.
TEST(DialogFreeFacade, DrawsIntoTheHostsContextAndKeepsTheHostsSwitches) {
    CGLOfflineContextqv context;
    std::string error;
    ASSERT_TRUE(context.open(160, 160, error)) << error;
    C3DRendDlgFace face;
    EXPECT_EQ(face.getShow3DCntMapqv(false), nullptr) << "the renderer comes with the first need";
    int nResult = -1;
    EXPECT_EQ(_litPixels(context, face, nResult), 0);
    EXPECT_EQ(nResult, 0); // nothing set yet

    CMessageRecorder messages;
    EXPECT_EQ(face.setMslMEGData(nullptr), 1);
    EXPECT_EQ(_litPixels(context, face, nResult), 0);
    EXPECT_EQ(nResult, 1);

    // Measured positions, not recentred: the sensors sit around the origin of the view.
    auto pData = makeTestRecording({at(-20, 0, 0, 2.0), at(20, 0, 0, -3.0)});
    face.setMslMEGData(pData.get());
    EXPECT_GT(_litPixels(context, face, nResult), 50);
    EXPECT_EQ(nResult, 1);
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
