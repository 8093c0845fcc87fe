#include "colorscale.h"

#include "colorentry.h"
#include "megdata.h"
#include "show3dcntmap.h"
#include "smoothfieldmap.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace {

unsigned char _byte(float f) {
    if (!(f > 0.0f)) {
        return 0;
    }
    return f >= 1.0f ? 255 : static_cast<unsigned char>(std::lround(f * 255.0f));
}

} // namespace

const CColorScale::SRgb CColorScale::rgbNeutral = {128, 128, 128};

CColorScale::CColorScale(double dColorMin, double dColorMax, double dStepMin, double dStepMax,
                         double dDataMin, double dDataMax, bool bHasExtremes)
    : m_dColorMin(dColorMin), m_dColorMax(dColorMax), m_dStepMin(dStepMin), m_dStepMax(dStepMax),
      m_dDataMin(dDataMin), m_dDataMax(dDataMax), m_bHasExtremes(bHasExtremes) {}

int loadMapLikeView(CShow3DCntMapqv& map, CMEGDataqv* pRecording, CColorScale::EMapKind nKind) {
    // The spectral view loads with the time-domain loader.
    return nKind == CColorScale::kindFrequency ? map.setMegDataFrqc(pRecording)
                                               : map.setMegData(pRecording);
}

int checkMapRange(CShow3DCntMapqv& map, CColorScale::EMapKind nKind) {
    switch (nKind) {
    case CColorScale::kindFrequency:
        return map._checkSensorPosVlmFrqc();
    case CColorScale::kindSpectral:
        return map._checkSensorPosVlmSpctm();
    default:
        return map._checkSensorPosVlm();
    }
}

CColorScale CColorScale::fromMap(const CShow3DCntMapqv& map, EMapKind nKind) {
    CColorScale scale(map.m_dColorMin, map.m_dColorMax, map.m_dColorStepMin, map.m_dColorStepMax,
                      0.0, 0.0, false);
    scale.m_bHasExtremes = map.getDataExtremes(nKind, scale.m_dDataMin, scale.m_dDataMax) != 0;
    return scale;
}

CColorScale CColorScale::continuous(double dLimit, double dDataMin, double dDataMax,
                                    bool bHasExtremes) {
    CColorScale scale(-dLimit, dLimit, 0.0, 0.0, dDataMin, dDataMax, bHasExtremes);
    scale.m_bContinuous = true;
    return scale;
}

CColorScale CColorScale::fromSmoothMap(const CSmoothFieldMap& smooth, const CShow3DCntMapqv& map,
                                       EMapKind nKind) {
    double dMin = 0.0, dMax = 0.0;
    const std::vector<double>& aValues = smooth.getSensorValues();
    if (smooth.getColorMode() != CSmoothFieldMap::colorContinuous || aValues.empty() ||
        !smooth.getContinuousRange(dMin, dMax)) {
        return fromMap(map, nKind);
    }
    const auto extremes = std::minmax_element(aValues.begin(), aValues.end());
    CColorScale scale = continuous(dMax, *extremes.first, *extremes.second, true);
    scale.m_dColorMin = dMin; // 0 on the sequential scale of non-negative values
    scale.m_aLevels = smooth.getIsolineLevels();
    return scale;
}

CColorScale::EBand CColorScale::band(double dValue, int* pIndex) const {
    const SColorEntry entry =
        cm3dColorEntry(dValue, m_dColorMin, m_dColorMax, m_dStepMin, m_dStepMax);
    if (pIndex) {
        *pIndex = entry.nIndex;
    }
    switch (entry.nTable) {
    case SColorEntry::tableMax:
        return bandUpper;
    case SColorEntry::tableMin:
        return bandLower;
    default:
        return bandNeutral;
    }
}

const float* CColorScale::colorAt(double dValue) const {
    return cm3dColorEntry(dValue, m_dColorMin, m_dColorMax, m_dStepMin, m_dStepMax).color(m_tables);
}

CColorScale::SRgb CColorScale::rgbAt(double dValue) const {
    if (m_bContinuous) {
        float afRgba[4];
        CSmoothFieldMap::continuousColor(m_dColorMax > 0.0 ? dValue / m_dColorMax : 0.0, afRgba);
        return {_byte(afRgba[0]), _byte(afRgba[1]), _byte(afRgba[2])};
    }
    const float* pColor = colorAt(dValue);
    if (!pColor) {
        return rgbNeutral;
    }
    return {_byte(pColor[0]), _byte(pColor[1]), _byte(pColor[2])};
}

void CColorScale::_barSpan(double& dTop, double& dBottom) const {
    dTop = -INFINITY;
    dBottom = INFINITY;
    const double adValues[4] = {m_dColorMin, m_dColorMax, m_bHasExtremes ? m_dDataMin : NAN,
                                m_bHasExtremes ? m_dDataMax : NAN};
    for (double d : adValues) {
        if (std::isfinite(d)) {
            dTop = std::max(dTop, d);
            dBottom = std::min(dBottom, d);
        }
    }
    if (!std::isfinite(dTop)) {
        dTop = 1.0;
        dBottom = -1.0;
    } else if (dTop == dBottom) {
        const double dPad = dTop != 0.0 ? std::fabs(dTop) * 0.05 : 1.0;
        dTop += dPad;
        dBottom -= dPad;
    }
}

double CColorScale::barTop() const {
    double dTop, dBottom;
    _barSpan(dTop, dBottom);
    return dTop;
}

double CColorScale::barBottom() const {
    double dTop, dBottom;
    _barSpan(dTop, dBottom);
    return dBottom;
}

double CColorScale::valueAtRow(int nRow, int nRows) const {
    if (nRows < 2 || nRow <= 0) {
        return barTop();
    }
    if (nRow >= nRows - 1) {
        return barBottom();
    }
    // Weighted, not differenced, so that extremes near the ends of the double range stay finite.
    const double t = static_cast<double>(nRow) / (nRows - 1);
    return barTop() * (1.0 - t) + barBottom() * t;
}

double CColorScale::rowOf(double dValue, int nRows) const {
    if (nRows < 2 || std::isnan(dValue)) {
        return 0.0;
    }
    const double dTop = barTop() * 0.5, dBottom = barBottom() * 0.5;
    const double t = (dTop - dValue * 0.5) / (dTop - dBottom);
    return std::clamp(t, 0.0, 1.0) * (nRows - 1);
}

std::vector<CColorScale::STick> CColorScale::ticks() const {
    std::vector<STick> aTicks;
    const auto add = [&aTicks](ETick nKind, double dValue) {
        if (std::isfinite(dValue)) {
            aTicks.push_back({nKind, dValue});
        }
    };
    if (m_bHasExtremes) {
        add(tickMax, m_dDataMax);
    }
    // A continuous scale ends at the larger extreme, which its own tick names already.
    const auto named = [this](double dValue) {
        return m_bContinuous && m_bHasExtremes && (dValue == m_dDataMax || dValue == m_dDataMin);
    };
    if (!named(m_dColorMax)) {
        add(tickUpperThreshold, m_dColorMax);
    }
    if (m_bContinuous) {
        add(tickZero, 0.0);
    }
    // A sequential scale starts at the zero tick.
    if (!named(m_dColorMin) && !(m_bContinuous && m_dColorMin == 0.0)) {
        add(tickLowerThreshold, m_dColorMin);
    }
    if (m_bHasExtremes) {
        add(tickMin, m_dDataMin);
    }
    // A typed range may put the lower threshold above the upper one.
    std::stable_sort(aTicks.begin(), aTicks.end(),
                     [](const STick& a, const STick& b) { return a.dValue > b.dValue; });
    return aTicks;
}

std::string formatScaleValue(double dValue) {
    if (dValue == 0.0) {
        return "0"; // also for -0
    }
    char szText[32];
    std::snprintf(szText, sizeof szText, "%.4g", dValue);
    return szText;
}

std::string tickLabel(const CColorScale::STick& tick, const std::string& strUnit) {
    std::string strLabel = formatScaleValue(tick.dValue);
    if (!strUnit.empty()) {
        strLabel += " " + strUnit;
    }
    switch (tick.nKind) {
    case CColorScale::tickMax:
        return "max " + strLabel;
    case CColorScale::tickMin:
        return "min " + strLabel;
    default:
        return strLabel;
    }
}

std::string scaleUnit(CMEGDataqv* pRecording, CColorScale::EMapKind nKind) {
    const std::string strUnit = pRecording ? pRecording->getUnit() : std::string("fT");
    return nKind == CColorScale::kindTime ? strUnit : strUnit + " (spectrum)";
}

std::vector<double> placeTickLabels(const std::vector<CColorScale::STick>& aTicks,
                                    const std::vector<double>& aRows, double dGap, double dTop,
                                    double dBottom) {
    const std::size_t n = std::min(aTicks.size(), aRows.size());
    std::vector<double> aCentres(aTicks.size(), NAN);
    std::size_t nMax = n, nMin = n;
    std::vector<std::size_t> aThresholds;
    for (std::size_t k = 0; k < n; ++k) {
        if (!std::isfinite(aRows[k])) {
            continue;
        }
        if (aTicks[k].nKind == CColorScale::tickMax) {
            nMax = k;
        } else if (aTicks[k].nKind == CColorScale::tickMin) {
            nMin = k;
        } else {
            aThresholds.push_back(k);
        }
    }
    // The extremes first, as near their ticks as room for both allows; the maximum is the top
    // one, and without room for two only it is labelled.
    if (nMax < n) {
        const double dLowest = nMin < n ? std::max(dTop, dBottom - dGap) : dBottom;
        aCentres[nMax] = std::clamp(aRows[nMax], dTop, std::max(dTop, dLowest));
    }
    if (nMin < n) {
        const double dHighest = nMax < n ? aCentres[nMax] + dGap : dTop;
        if (dHighest <= dBottom) {
            aCentres[nMin] = std::clamp(aRows[nMin], dHighest, dBottom);
        }
    }
    for (std::size_t k : aThresholds) {
        // At its tick, or just clear of a label already placed, within a line of the tick.
        std::vector<double> aCandidates = {std::clamp(aRows[k], dTop, std::max(dTop, dBottom))};
        for (double dPlaced : aCentres) {
            if (!std::isnan(dPlaced)) {
                aCandidates.push_back(dPlaced - dGap);
                aCandidates.push_back(dPlaced + dGap);
            }
        }
        const auto fits = [&](double dCentre) {
            if (dCentre < dTop || dCentre > dBottom || std::fabs(dCentre - aRows[k]) > dGap) {
                return false;
            }
            for (std::size_t j = 0; j < aCentres.size(); ++j) {
                const double dPlaced = aCentres[j];
                // Ticks come from the top down, which decides between ticks on one row.
                const bool bBelow = aRows[k] > aRows[j] || (aRows[k] == aRows[j] && k > j);
                // Compared with rounding slack, since the candidates are sums of the gap.
                if (!std::isnan(dPlaced) && (std::fabs(dCentre - dPlaced) < dGap * (1.0 - 1e-9) ||
                                             bBelow != (dCentre > dPlaced))) {
                    return false;
                }
            }
            return true;
        };
        for (double dCandidate : aCandidates) {
            if (fits(dCandidate) &&
                (std::isnan(aCentres[k]) ||
                 std::fabs(dCandidate - aRows[k]) < std::fabs(aCentres[k] - aRows[k]))) {
                aCentres[k] = dCandidate;
            }
        }
    }
    return aCentres;
}
