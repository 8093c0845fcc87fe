// The field mapping of every MEG channel: lead-field dot products, the minimum-norm inverse and
// the layout the bridge hands over. Its accuracy against MNE-Python's own numbers is checked on a
// 306-channel recording in tests/tools/test_mne_export.py.

#include "leadfielddots.h"
#include "mappingrequest.h"
#include "minimumnorm.h"

#include <Eigen/Geometry>
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

using megmapping::SCoil;

namespace {

// Integration points along n with their weights: one of weight 1 is a point magnetometer, two
// 1.68 cm apart with weights +-1/d a planar gradiometer.
SCoil coil(const Eigen::MatrixX3d& points, const Eigen::Vector3d& n,
           const Eigen::VectorXd& weights) {
    SCoil c;
    c.points = points;
    c.normals = n.normalized().transpose().replicate(points.rows(), 1);
    c.weights = weights;
    return c;
}

// Magnetometers and gradiometers over a cap 11 cm about the sphere's origin (0, 0, 0.04).
std::vector<SCoil> helmet(int nPlaces) {
    std::vector<SCoil> coils;
    for (int k = 0; k < nPlaces; ++k) {
        const double z = 1.0 - 0.8 * (k + 0.5) / nPlaces, phi = 2.399963 * k;
        const Eigen::Vector3d n(std::sqrt(1 - z * z) * std::cos(phi),
                                std::sqrt(1 - z * z) * std::sin(phi), z);
        const Eigen::Vector3d r = Eigen::Vector3d(0, 0, 0.04) + 0.11 * n;
        const Eigen::Vector3d t = n.cross(Eigen::Vector3d(0.3, 0.2, 1.0)).normalized();
        const double d = 0.0168;
        Eigen::Matrix<double, 2, 3> ends;
        ends << (r + 0.5 * d * t).transpose(), (r - 0.5 * d * t).transpose();
        coils.push_back(coil(r.transpose(), n, Eigen::VectorXd::Ones(1)));
        coils.push_back(coil(ends, n, Eigen::Vector2d(1.0 / d, -1.0 / d)));
    }
    return coils;
}

} // namespace

// The self products are the cross products of a set with itself, computed once per pair on any
// number of threads; a point at the sphere's centre adds nothing. (Their values against
// MNE-Python's are checked by the bridge's tests.)
TEST(LeadFieldDots, AgreeWithThemselvesAndIgnoreAPointAtTheCentre) {
    const megmapping::SSphere sphere;
    const std::vector<SCoil> coils = helmet(40);
    const Eigen::MatrixXd self = megmapping::leadFieldSelfDots(coils, sphere);
    const Eigen::MatrixXd cross = megmapping::leadFieldDots(coils, coils, sphere);
    ASSERT_EQ(self.rows(), 80);
    EXPECT_LT((self - cross).cwiseAbs().maxCoeff(), 1e-12 * self.cwiseAbs().maxCoeff());

    Eigen::Matrix<double, 2, 3> points;
    points << coils[0].points, sphere.origin.transpose();
    const SCoil centred = coil(points, coils[0].normals.row(0).transpose(), Eigen::Vector2d(1, 5));
    const Eigen::MatrixXd withCentre = megmapping::leadFieldDots({centred}, coils, sphere);
    EXPECT_TRUE(withCentre.allFinite());
    EXPECT_LT((withCentre.row(0) - self.row(0)).cwiseAbs().maxCoeff(),
              1e-12 * self.cwiseAbs().maxCoeff());
}

// Mapped onto themselves, the sensors keep any field their lead fields span; truncating more
// of the spectrum keeps fewer components; sizes that do not fit give nothing.
TEST(MinimumNorm, ReproducesTheMeasuredChannelsAndTruncatesAsAsked) {
    const megmapping::SSphere sphere;
    const std::vector<SCoil> coils = helmet(12);
    const Eigen::MatrixXd self = megmapping::leadFieldSelfDots(coils, sphere);
    const Eigen::VectorXd noise = Eigen::VectorXd::NullaryExpr(
        self.rows(), [](Eigen::Index i) { return i % 2 ? 5e-13 : 2e-14; });
    int nKept = 0;
    const Eigen::MatrixXd exact =
        megmapping::minimumNormMapping(self, self, noise, 0.0, {}, &nKept);
    EXPECT_EQ(nKept, self.rows());
    EXPECT_LT((exact - Eigen::MatrixXd::Identity(self.rows(), self.rows())).cwiseAbs().maxCoeff(),
              1e-6);

    int nLoose = 0;
    const Eigen::MatrixXd loose =
        megmapping::minimumNormMapping(self, self, noise, 0.05, {}, &nLoose);
    EXPECT_LT(nLoose, nKept);
    EXPECT_GT(nLoose, 0);
    EXPECT_LT((loose * loose - loose).cwiseAbs().maxCoeff(), 1e-6)
        << "onto itself, a truncated mapping is a projection";

    EXPECT_EQ(megmapping::minimumNormMapping(self, self.leftCols(3), noise, 1e-4).size(), 0);
    EXPECT_EQ(megmapping::minimumNormMapping(self, self, -noise, 1e-4).size(), 0);
    EXPECT_EQ(
        megmapping::minimumNormMapping(self, self, noise, 1e-4, Eigen::MatrixXd::Identity(3, 3))
            .size(),
        0);
}

// The layout the bridge writes: one line naming what is wrong and where.
TEST(MappingRequest, RejectsBadLayoutsInOneLine) {
    const std::string strCoil =
        R"([{"points": [[0, 0, 0.12]], "normals": [[0, 0, 1]], "weights": [1]}])";
    // A request with these sources, one target coil and the rest.
    const auto json = [&](const std::string& strSources, const std::string& strRest) {
        return R"({"sources": )" + strSources + R"(, "targets": )" + strCoil + ", " + strRest + "}";
    };
    megmapping::SMappingRequest request;
    std::string strError;
    ASSERT_TRUE(megmapping::parseMappingRequest(
        json(strCoil, R"("noise": [2e-14], "origin": [0, 0, 0.04])"), request, strError))
        << strError;
    EXPECT_EQ(request.sources.size(), 1u);
    EXPECT_DOUBLE_EQ(request.sphere.origin.z(), 0.04);

    const struct {
        std::string strText, strReason;
    } cases[] = {
        {"[1, 2]", "not a JSON object"},
        {"{\"sources\": ", "not valid JSON"},
        {json(strCoil, R"("noise": [1], "extra": 1)"), "unknown key 'extra'"},
        {json("[]", R"("noise": [])"), "sources: missing or empty"},
        {json(R"([{"points": [[0, 0]], "normals": [[0, 0, 1]], "weights": [1]}])",
              R"("noise": [1])"),
         "sources[0]: points[0]: not [x, y, z]"},
        {json(R"([{"points": [[0, 0, 1]], "normals": [[0, 0, 1]], "weights": [1, 2]}])",
              R"("noise": [1])"),
         "sources[0]: points, normals and weights differ in number"},
        {json(strCoil, R"("noise": [0])"), "noise[0]: must be above 0"},
        {json(strCoil, R"("noise": [1], "projector": [[1, 0]])"),
         "projector[0]: needs one value per source"},
        {json(strCoil, R"("noise": [1], "terms": 1)"),
         "terms: must be a whole number from 2 to 1000"},
    };
    for (const auto& c : cases) {
        strError.clear();
        EXPECT_FALSE(megmapping::parseMappingRequest(c.strText, request, strError)) << c.strText;
        EXPECT_EQ(strError.find('\n'), std::string::npos) << strError;
        EXPECT_EQ(strError.rfind(c.strReason, 0), 0u) << strError << " | " << c.strReason;
    }
}
