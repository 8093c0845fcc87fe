#include "smoothfieldmap.h"

#include "bscmagsns.h"
#include "mdchannel.h"
#include "mdtrial.h"
#include "megdata.h"
#include "show3dcntmap.h"
#include "show3dcntmap_p.h"
#include "smoothfieldmap_p.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

using fieldmap::Vec3;

namespace {

const char* const pszPrefix = "Smooth field map: ";
// Vertex radii stay this close to the sensors' own, so that the spline cannot bulge the rim.
const double dRadiusSlack = 0.2;
// Sensor dots sit this share of the radius outside the surface.
const double dDotLift = 0.005;

// A sensor at the sphere's very centre, or so far out that its distance is not a number, has no
// direction and stays out of the fit.
bool _hasDirection(const Vec3& fromCentre) {
    const double d = fromCentre.norm();
    return d > 0.0 && std::isfinite(d);
}

void _pushDot(std::vector<float>& aDots, const double adPos[3], const fieldmap::SSphere& sphere) {
    Vec3 p(adPos[0], adPos[1], adPos[2]);
    const Vec3 d = p - sphere.centre;
    if (d.norm() > 0.0) {
        p += d.normalized() * (dDotLift * sphere.dRadius);
    }
    aDots.insert(aDots.end(),
                 {static_cast<float>(p.x()), static_cast<float>(p.y()), static_cast<float>(p.z())});
}

} // namespace

CSmoothFieldMap::CSmoothFieldMap() : m_pPriv(new SPrivate) {}

CSmoothFieldMap::~CSmoothFieldMap() {
    // The texture goes with its context when that is not current now.
    m_pPriv->releaseTexture(true);
    delete m_pPriv;
    m_pPriv = nullptr;
}

int CSmoothFieldMap::setColorMode(int nMode) {
    if (nMode != colorThresholds && nMode != colorContinuous) {
        return 0;
    }
    if (nMode != m_pPriv->nColorMode) {
        m_pPriv->nColorMode = nMode;
        m_pPriv->colorVertices();
    }
    return 1;
}

int CSmoothFieldMap::getColorMode() const {
    return m_pPriv->nColorMode;
}

int CSmoothFieldMap::setIsolineCount(int nCount) {
    if (nCount < 0 || nCount > nMaxIsolines) {
        return 0;
    }
    if (nCount != m_pPriv->nIsolines) {
        m_pPriv->nIsolines = nCount;
        m_pPriv->traceIsolines();
    }
    return 1;
}

int CSmoothFieldMap::getIsolineCount() const {
    return m_pPriv->nIsolines;
}

const char* CSmoothFieldMap::getMessage() const {
    return m_pPriv->strMessage.c_str();
}

int CSmoothFieldMap::SPrivate::fail(const std::string& strWhy) {
    strMessage = pszPrefix + strWhy + ".";
    return 0;
}

bool CSmoothFieldMap::SPrivate::wavesNonNegative(CMDChannelqv** ppChannels) {
    std::vector<std::pair<const double*, std::int64_t>> aWaves;
    for (int nSlot : aSlots) {
        aWaves.emplace_back(ppChannels[nSlot]->getDataWave(), ppChannels[nSlot]->getSampleCount());
    }
    if (aWaves == aScannedWaves) {
        return bWavesNonNegative; // a recording's samples do not change once loaded
    }
    aScannedWaves = aWaves;
    bWavesNonNegative = true;
    for (const auto& wave : aWaves) {
        // NaN (a gap) has no sign; a host serving its own array (count 0) cannot be scanned
        // and its selected value alone decides.
        for (std::int64_t k = 0; wave.first && k < wave.second && bWavesNonNegative; ++k) {
            bWavesNonNegative = !(wave.first[k] < 0.0);
        }
    }
    return bWavesNonNegative;
}

int CSmoothFieldMap::update(const CShow3DCntMapqv& map, int nKind) {
    SPrivate& p = *m_pPriv;
    p.strMessage.clear();
    p.aSlots.clear();
    p.aValues.clear();
    p.aSensorPositions.clear();
    p.aSensorDots.clear();
    p.aExcludedDots.clear();
    p.nMarkedDot = -1;
    p.bReady = false;
    if (nKind != kindTime && nKind != kindFrequency && nKind != kindSpectral) {
        return p.fail("unknown map kind " + std::to_string(nKind));
    }
    p.nKind = nKind;
    // Rounded to single precision first, as the renderer does with the positions it draws.
    const double adCentre[3] = {map.m_dCenterX, map.m_dCenterY, map.m_dCenterZ};
    for (int k = 0; k < 3; ++k) {
        p.adShift[k] =
            map.m_bAutofitPlace ? static_cast<double>(static_cast<float>(adCentre[k])) : 0.0;
    }
    p.bShowSensors = map.m_bSensors != 0;
    p.bShowFiducials = nKind == kindTime && map.m_bShowFiducialPts;
    p.dColorMin = map.m_dColorMin;
    p.dColorMax = map.m_dColorMax;
    p.dStepMin = map.m_dColorStepMin;
    p.dStepMax = map.m_dColorStepMax;
    p.tables = map.m_Index2Color;

    // The renderer's own input and value read; a value that is not finite has no place in the
    // spline.
    const SMapInput in = map.getMapInput(static_cast<EMapKind>(nKind));
    if (!in) {
        return p.fail(in.pszMissing);
    }
    CMDChannelqv** ppChannels = in.ppChannels;
    const int nSlots = in.nSlots;
    p.nMarkedSlot = -1;
    if (nKind == kindTime && map.m_pMarkSelection && *map.m_pMarkSelection) {
        p.nMarkedSlot = map.m_pTrial->getCurntChnlIndx();
    }

    // The sensors taking part: good measuring channels with a placed first coil and a value.
    std::vector<SPrivate::SSensor> aLayout;
    std::vector<SPrivate::SSensor> aExcluded;
    std::vector<double> aValues;
    for (int i = 0; i < nSlots; ++i) {
        CMDChannelqv* pChannel = ppChannels[i];
        if (!pChannel || !pChannel->isMEGMeasureChannel()) {
            continue;
        }
        CBscMagSnsqv* pCoil = pChannel->getMEGCoilqv(0);
        if (!pCoil) {
            continue;
        }
        SPrivate::SSensor sensor{i, {0.0, 0.0, 0.0}};
        pCoil->getCoilPositionD(sensor.adPos[0], sensor.adPos[1], sensor.adPos[2]);
        if (!std::isfinite(sensor.adPos[0]) || !std::isfinite(sensor.adPos[1]) ||
            !std::isfinite(sensor.adPos[2])) {
            continue;
        }
        const bool bGood = !map.m_pMEGData || map.m_pMEGData->isGoodChnl4Alltrials(i);
        double dValue = 0.0;
        if (bGood && in.src.value(pChannel, dValue) && std::isfinite(dValue)) {
            aLayout.push_back(sensor);
            aValues.push_back(dValue);
        } else {
            aExcluded.push_back(sensor);
        }
    }

    if (!p.bLayoutValid || aLayout != p.aLayout) {
        p.aLayout = aLayout;
        p.bLayoutValid = true;
        p.aSolvedValues.clear();
        p.bHasSurface = p.buildLayout();
    }
    // Sensors the fit had to leave out (no direction from the centre) are not in aSlots.
    std::vector<char> aTaking(p.aLayout.size(), 0);
    for (std::size_t i = 0; i < p.aLayout.size(); ++i) {
        const Vec3 d = Vec3(p.aLayout[i].adPos[0], p.aLayout[i].adPos[1], p.aLayout[i].adPos[2]) -
                       p.sphere.centre;
        aTaking[i] = !p.bHasSurface || _hasDirection(d);
    }
    for (std::size_t i = 0; i < p.aLayout.size(); ++i) {
        if (aTaking[i]) {
            p.aSlots.push_back(p.aLayout[i].nSlot);
            p.aValues.push_back(aValues[i]);
            p.aSensorPositions.insert(p.aSensorPositions.end(), p.aLayout[i].adPos,
                                      p.aLayout[i].adPos + 3);
            if (p.aLayout[i].nSlot == p.nMarkedSlot) {
                p.nMarkedDot = static_cast<int>(p.aSensorDots.size() / 3);
                p.bMarkedExcluded = false;
            }
            _pushDot(p.aSensorDots, p.aLayout[i].adPos, p.sphere);
        } else {
            aExcluded.push_back(p.aLayout[i]);
        }
    }
    for (const SPrivate::SSensor& sensor : aExcluded) {
        if (sensor.nSlot == p.nMarkedSlot) {
            p.nMarkedDot = static_cast<int>(p.aExcludedDots.size() / 3);
            p.bMarkedExcluded = true;
        }
        _pushDot(p.aExcludedDots, sensor.adPos, p.sphere);
    }
    p.dLimit = 0.0;
    p.bSequential = !p.aValues.empty();
    for (double d : p.aValues) {
        p.dLimit = std::max(p.dLimit, std::fabs(d));
        p.bSequential = p.bSequential && d >= 0.0;
    }
    if (p.bSequential && nKind == kindTime) {
        p.bSequential = p.wavesNonNegative(ppChannels);
    }
    if (!p.bHasSurface) {
        p.aVertexValues.clear();
        p.aIsolines.clear();
        p.aZeroLine.clear();
        p.strMessage = p.strLayoutMessage;
        return 0;
    }
    p.interpolate();
    p.colorVertices();
    p.traceIsolines();
    p.bReady = true;
    return 1;
}

bool CSmoothFieldMap::SPrivate::buildLayout() {
    aDirections.clear();
    aVertices.clear();
    aNormals.clear();
    aTriangles.clear();
    kernel.resize(0, 0);
    sphere = fieldmap::SSphere();
    const int nSensors = static_cast<int>(aLayout.size());
    if (nSensors < 3) {
        fail(std::to_string(nSensors) + (nSensors == 1 ? " usable sensor" : " usable sensors") +
             ", at least 3 are needed (good measuring channels with a first coil and a finite "
             "value at the selection)");
        strLayoutMessage = strMessage;
        return false;
    }
    std::vector<Vec3> aPositions;
    for (const SSensor& s : aLayout) {
        aPositions.emplace_back(s.adPos[0], s.adPos[1], s.adPos[2]);
    }
    std::string strWhy;
    if (!fieldmap::fitSensorSphere(aPositions, sphere, strWhy)) {
        fail(strWhy + "; the surface needs sensors spread over the head");
        strLayoutMessage = strMessage;
        return false;
    }
    std::vector<Vec3> aSensorDirections;
    std::vector<double> aRadii;
    for (const Vec3& pos : aPositions) {
        const Vec3 d = pos - sphere.centre;
        if (_hasDirection(d)) {
            aSensorDirections.push_back(d.normalized());
            aRadii.push_back(d.norm());
        }
    }
    std::vector<Vec3> aDistinct;
    for (int i : fieldmap::distinctDirections(aSensorDirections)) {
        aDistinct.push_back(aSensorDirections[i]);
    }
    const double dSpacing = fieldmap::angularSpacing(aDistinct);
    if (aSensorDirections.size() < 3 || !(dSpacing > 0.0)) {
        fail("the usable sensors lie in fewer than two directions from the fitted sphere's "
             "centre");
        strLayoutMessage = strMessage;
        return false;
    }
    const int nColumns = static_cast<int>(aSensorDirections.size());
    fieldmap::SCapMesh mesh = fieldmap::buildCapMesh(aDistinct, dSpacing, nColumns);
    spline.fit(aSensorDirections);
    kernel = spline.kernelMatrix(mesh.aDirections);
    aDirections = std::move(mesh.aDirections);

    // Each vertex at the radius the spline gives between the sensors around it.
    const Eigen::Map<const Eigen::VectorXd> radii(aRadii.data(), nColumns);
    const Eigen::VectorXd c = spline.coefficients(radii);
    const Eigen::VectorXd vertexRadii =
        kernel * c.head(nColumns) + Eigen::VectorXd::Constant(kernel.rows(), c(nColumns));
    const double dLow = (1.0 - dRadiusSlack) * radii.minCoeff();
    const double dHigh = (1.0 + dRadiusSlack) * radii.maxCoeff();
    const int nVertices = static_cast<int>(aDirections.size());
    auto radiusAt = [&](int v) {
        const double r = vertexRadii(v);
        return std::isfinite(r) ? std::clamp(r, dLow, dHigh) : sphere.dRadius;
    };
    aVertices.resize(3 * static_cast<std::size_t>(nVertices));
    for (int v = 0; v < nVertices; ++v) {
        const Vec3 pos = sphere.centre + radiusAt(v) * aDirections[v];
        for (int k = 0; k < 3; ++k) {
            aVertices[3 * v + k] = static_cast<float>(pos(k));
        }
    }
    aTriangles.reserve(3 * mesh.aTriangles.size());
    std::vector<Vec3> aVertexNormals(nVertices, Vec3::Zero());
    for (const auto& tri : mesh.aTriangles) {
        Vec3 corner[3];
        for (int k = 0; k < 3; ++k) {
            aTriangles.push_back(static_cast<unsigned>(tri[k]));
            corner[k] = sphere.centre + radiusAt(tri[k]) * aDirections[tri[k]];
        }
        // Weighted by area, as the cross product's length is.
        const Vec3 n = (corner[1] - corner[0]).cross(corner[2] - corner[0]);
        for (int k = 0; k < 3; ++k) {
            aVertexNormals[tri[k]] += n;
        }
    }
    aNormals.resize(3 * static_cast<std::size_t>(nVertices));
    for (int v = 0; v < nVertices; ++v) {
        const Vec3 n =
            aVertexNormals[v].norm() > 0.0 ? aVertexNormals[v].normalized() : aDirections[v];
        for (int k = 0; k < 3; ++k) {
            aNormals[3 * v + k] = static_cast<float>(n(k));
        }
    }
    strLayoutMessage.clear();
    return true;
}

void CSmoothFieldMap::SPrivate::interpolate() {
    if (aValues == aSolvedValues && aVertexValues.size() == aDirections.size()) {
        return; // same values on the same layout: only the colours may change
    }
    aSolvedValues = aValues;
    const int n = static_cast<int>(aValues.size());
    // Solved for values scaled into [-1, 1], so that no value range can overflow the solve.
    Eigen::VectorXd scaled(n);
    for (int i = 0; i < n; ++i) {
        scaled(i) = dLimit > 0.0 ? aValues[i] / dLimit : 0.0;
    }
    coefficients = spline.coefficients(scaled);
    const Eigen::VectorXd f = kernel * coefficients.head(n);
    aVertexValues.resize(static_cast<std::size_t>(f.size()));
    for (Eigen::Index v = 0; v < f.size(); ++v) {
        aVertexValues[v] = (f(v) + coefficients(n)) * dLimit;
    }
}

int CSmoothFieldMap::getSensorCount() const {
    return static_cast<int>(m_pPriv->aSlots.size());
}

const std::vector<int>& CSmoothFieldMap::getSensorSlots() const {
    return m_pPriv->aSlots;
}

const std::vector<double>& CSmoothFieldMap::getSensorValues() const {
    return m_pPriv->aValues;
}

int CSmoothFieldMap::getSphere(double adCentre[3], double& dRadius) const {
    if (!m_pPriv->bReady) {
        return 0;
    }
    for (int k = 0; k < 3; ++k) {
        adCentre[k] = m_pPriv->sphere.centre(k);
    }
    dRadius = m_pPriv->sphere.dRadius;
    return 1;
}

const std::vector<float>& CSmoothFieldMap::getVertices() const {
    return m_pPriv->aVertices;
}

const std::vector<unsigned>& CSmoothFieldMap::getTriangles() const {
    return m_pPriv->aTriangles;
}

const std::vector<double>& CSmoothFieldMap::getVertexValues() const {
    return m_pPriv->aVertexValues;
}

int CSmoothFieldMap::getValueAt(const double adPoint[3], double& dValue) const {
    const SPrivate& p = *m_pPriv;
    if (!p.bReady || !adPoint) {
        return 0;
    }
    const Vec3 d = Vec3(adPoint[0], adPoint[1], adPoint[2]) - p.sphere.centre;
    if (!(d.norm() > 0.0) || !d.allFinite()) {
        return 0;
    }
    dValue = p.spline.evaluate(p.coefficients, d.normalized()) * p.dLimit;
    return 1;
}

int CSmoothFieldMap::getContinuousRange(double& dMin, double& dMax) const {
    if (m_pPriv->aValues.empty()) {
        return 0;
    }
    dMin = m_pPriv->bSequential ? 0.0 : -m_pPriv->dLimit;
    dMax = m_pPriv->dLimit;
    return 1;
}
