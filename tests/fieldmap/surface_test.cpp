// The surface: one piece per group of sensors, no holes, no folds, outward, through every sensor.

#include "fieldmaptestsupport.h"

#include "bscmagsns.h"
#include "mdchannel.h"
#include "mdtrial.h"
#include "syntheticrecording.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>

namespace {

// The surface of the recording's map, nUsable sensors taking part, checked against aSensors (none:
// those taking part); in one piece when bOnePiece.
void expectSound(CMEGDataqv* pData, std::vector<P3> aSensors, int nUsable, bool bOnePiece) {
    CShow3DCntMapqv map;
    map.setMegData(pData);
    CSmoothFieldMap smooth;
    ASSERT_EQ(smooth.update(map, CSmoothFieldMap::kindTime), 1) << smooth.getMessage();
    EXPECT_EQ(smooth.getSensorCount(), nUsable);
    for (double d : smooth.getVertexValues()) {
        ASSERT_TRUE(std::isfinite(d));
    }
    for (int nSlot : aSensors.empty() ? smooth.getSensorSlots() : std::vector<int>()) {
        P3& p = aSensors.emplace_back();
        pData->getTrialqv(-1)->getAllChannelPt()[nSlot]->getMEGCoilqv(0)->getCoilPositionD(
            p[0], p[1], p[2]);
    }
    const SSurfaceReport r = inspectSurface(smooth, aSensors);
    if (bOnePiece) {
        EXPECT_EQ(r.nComponents, 1);
    }
    EXPECT_GT(r.nVertices, 100);
    // Holes would lower V - E + F by one each.
    EXPECT_EQ(r.nEuler, r.nRimEdges > 0 ? r.nComponents : 2 * r.nComponents);
    EXPECT_EQ(r.nOverusedEdges, 0);
    EXPECT_EQ(r.nFlipped, 0);
    EXPECT_EQ(r.nUncovered, 0);
    // Through the sensor shell: each sensor within 1 % of the radius of the surface; and no
    // farther out than about two sensor spacings.
    EXPECT_LT(r.dShellGap, 0.01);
    EXPECT_LT(r.dReach, 3.0);
}

TEST(SmoothSurface, SyntheticHelmetsOfEverySize) {
    for (int nChannels : {20, 100, 275, 600}) {
        SCOPED_TRACE(nChannels);
        CSyntheticOptionsqv options;
        options.nMegChannels = nChannels;
        auto pData = makeSyntheticRecording(options);
        // The synthetic helmet's flat channel is flagged bad.
        expectSound(pData.get(), {}, nChannels - 1, true);
    }
}

TEST(SmoothSurface, SparseFlatAndScatteredSets) {
    struct SCase {
        const char* pszName;
        std::vector<P3> aSensors;
    };
    std::vector<P3> aGap = spiralCap(120, 110.0, 100.0);
    // A patch of sensors missing in the middle of the array leaves no hole.
    aGap.erase(std::remove_if(aGap.begin(), aGap.end(),
                              [](const P3& p) { return std::hypot(p[0] - 50.0, p[1]) < 35.0; }),
               aGap.end());
    const SCase aCases[] = {
        {"three", {{0, 0, 100}, {40, 0, 90}, {0, 40, 90}}},
        {"a handful", spiralCap(6, 100.0, 60.0)},
        {"flat patch", {{0, 0, 90}, {30, 0, 90}, {0, 30, 90}, {30, 30, 90}, {15, 15, 90}}},
        {"whole sphere", spiralCap(80, 100.0, 180.0)},
        {"gap", aGap},
    };
    for (const SCase& c : aCases) {
        SCOPED_TRACE(c.pszName);
        auto pData = recordingAt(c.aSensors, std::vector<double>(c.aSensors.size(), 1.0));
        expectSound(pData.get(), c.aSensors, static_cast<int>(c.aSensors.size()), false);
    }
}

// Sets shaped like the common MEG systems, written by meg_systems.py from MNE-Python's helmet
// surfaces into the file named by CM3D_MEG_SYSTEMS.
TEST(SmoothSurface, SetsShapedLikeTheCommonMegSystems) {
    const char* pszPath = std::getenv("CM3D_MEG_SYSTEMS");
    if (!pszPath) {
        GTEST_SKIP() << "CM3D_MEG_SYSTEMS is not set (the fieldmap_meg_systems test sets it)";
    }
    std::ifstream in(pszPath);
    ASSERT_TRUE(in) << pszPath;
    std::map<std::string, std::vector<P3>> systems;
    std::string strLine;
    while (std::getline(in, strLine)) {
        std::istringstream line(strLine);
        std::string strSystem;
        P3 p;
        if (line >> strSystem >> p[0] >> p[1] >> p[2]) {
            systems[strSystem].push_back(p);
        }
    }
    ASSERT_GE(systems.size(), 5u);
    for (const auto& [strSystem, aSensors] : systems) {
        SCOPED_TRACE(strSystem);
        // A dipolar field over the helmet, so that the values vary as in a recording.
        std::vector<double> aValues;
        for (const P3& s : aSensors) {
            aValues.push_back(radialField(s, {-30.0, 10.0, 40.0}, {0.0, 0.0, 1.0}));
        }
        expectSound(recordingAt(aSensors, aValues).get(), aSensors,
                    static_cast<int>(aSensors.size()), false);
    }
}

} // namespace
