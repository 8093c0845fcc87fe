// The field mapping of every MEG channel: lead-field dot products, the minimum-norm inverse and
// the layout the bridge hands over. Its accuracy against MNE-Python's own numbers is checked on a
// 306-channel recording in tests/tools/test_mne_export.py.

#include "leadfielddots.h"
#include "mappingrequest.h"
#include "minimumnorm.h"

#include <Eigen/Eigenvalues>
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

using megmapping::SCoil;

namespace {

// A point magnetometer at r along n, and a planar gradiometer of two such points 1.7 cm apart
// along t with weights +-1/d.
SCoil magnetometer(const Eigen::Vector3d& r, const Eigen::Vector3d& n) {
    SCoil coil;
    coil.points = r.transpose();
    coil.normals = n.normalized().transpose();
    coil.weights = Eigen::VectorXd::Ones(1);
    return coil;
}

SCoil gradiometer(const Eigen::Vector3d& r, const Eigen::Vector3d& n, const Eigen::Vector3d& t) {
    const double d = 0.0168;
    SCoil coil;
    coil.points.resize(2, 3);
    coil.points.row(0) = (r + 0.5 * d * t).transpose();
    coil.points.row(1) = (r - 0.5 * d * t).transpose();
    coil.normals.resize(2, 3);
    coil.normals.row(0) = coil.normals.row(1) = n.normalized().transpose();
    coil.weights = Eigen::Vector2d(1.0 / d, -1.0 / d);
    return coil;
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
        coils.push_back(magnetometer(r, n));
        coils.push_back(gradiometer(r, n, t));
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
    const Eigen::SelfAdjointEigenSolver<Eigen::MatrixXd> eigen(self);
    EXPECT_GT(eigen.eigenvalues().minCoeff(), 0.0) << "lead fields of distinct coils";

    SCoil centred = coils[0];
    centred.points.conservativeResize(2, 3);
    centred.normals.conservativeResize(2, 3);
    centred.weights.conservativeResize(2);
    centred.points.row(1) = sphere.origin.transpose();
    centred.normals.row(1) = centred.normals.row(0);
    centred.weights(1) = 5.0;
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
    Eigen::VectorXd noise(self.rows());
    for (Eigen::Index i = 0; i < noise.size(); ++i) {
        noise(i) = i % 2 ? 5e-13 : 2e-14;
    }
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
    const Eigen::MatrixXd projector = loose;
    EXPECT_LT((projector * projector - projector).cwiseAbs().maxCoeff(), 1e-6)
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
