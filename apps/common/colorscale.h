#pragma once

#include "index2color.h"
#include "mapkind.h"
#include "smoothfieldmap.h"

#include <string>
#include <vector>

class CMEGDataqv;
class CShow3DCntMapqv;

// The colour scale of one map, for colour bars: the two-sided scale the renderer applies (the
// thresholds, the steps per colour entry), or the smooth field map's continuous one (blue
// through white to red, from -L to +L); the data extremes and the colour of any value. No window
// system and no OpenGL context is needed.
class CColorScale : public SMapKinds {
public:
    // The same numbers the renderer's colour call returns for the three cases.
    enum EBand { bandNeutral = 0, bandLower = 1, bandUpper = 2 };
    // A continuous scale has its ends (-L, +L, or 0 and L for non-negative data) as thresholds
    // and a tick at zero.
    enum ETick { tickMin, tickLowerThreshold, tickUpperThreshold, tickMax, tickZero };

    struct SRgb {
        unsigned char r, g, b;
        bool operator==(const SRgb& o) const { return r == o.r && g == o.g && b == o.b; }
        bool operator!=(const SRgb& o) const { return !(*this == o); }
    };
    struct STick {
        ETick nKind;
        double dValue;
    };

    // The band between the thresholds; the sensors there keep their grey material.
    static const SRgb rgbNeutral;

    CColorScale() = default;
    CColorScale(double dColorMin, double dColorMax, double dStepMin, double dStepMax,
                double dDataMin, double dDataMax, bool bHasExtremes);

    // The scale a renderer uses after its range check, with the data extremes that check of
    // nKind finds (with typed thresholds too); without shown values they stay unknown.
    static CColorScale fromMap(const CShow3DCntMapqv& map, EMapKind nKind);
    // The smooth field map's continuous scale from -dLimit to +dLimit (dLimit > 0).
    static CColorScale continuous(double dLimit, double dDataMin, double dDataMax,
                                  bool bHasExtremes);
    // The scale a smooth field map drew with, after its update from the map: the map's own in
    // the thresholds mode, the continuous one with the sensors' extremes otherwise (from 0 when
    // the map's is).
    static CColorScale fromSmoothMap(const CSmoothFieldMap& smooth, const CShow3DCntMapqv& map,
                                     EMapKind nKind);

    bool isContinuous() const { return m_bContinuous; }
    double colorMin() const { return m_dColorMin; }
    double colorMax() const { return m_dColorMax; }
    double stepMin() const { return m_dStepMin; }
    double stepMax() const { return m_dStepMax; }
    bool hasExtremes() const { return m_bHasExtremes; }
    double dataMin() const { return m_dDataMin; }
    double dataMax() const { return m_dDataMax; }

    // Which table a value takes and at which entry (0 in the neutral band); two-sided scales.
    EBand band(double dValue, int* pIndex = nullptr) const;
    // The RGBA table entry of a value, null in the neutral band; two-sided scales.
    const float* colorAt(double dValue) const;
    SRgb rgbAt(double dValue) const;

    // The values a bar spans, top greater than bottom: the data extremes, widened to take in
    // the thresholds, and made non-empty.
    double barTop() const;
    double barBottom() const;
    // Value of row nRow of nRows (row 0 is the top, the last row the bottom).
    double valueAtRow(int nRow, int nRows) const;
    // Row whose value is nearest to dValue, clamped to the bar.
    double rowOf(double dValue, int nRows) const;

    // Thresholds and (when known) extremes, finite ones only, from the top down.
    std::vector<STick> ticks() const;
    // The smooth map's isoline levels on its continuous scale, marked on the bar without labels.
    const std::vector<double>& levels() const { return m_aLevels; }

private:
    void _barSpan(double& dTop, double& dBottom) const;

    double m_dColorMin = 0.0;
    double m_dColorMax = 0.0;
    double m_dStepMin = 0.0;
    double m_dStepMax = 0.0;
    double m_dDataMin = 0.0;
    double m_dDataMax = 0.0;
    bool m_bHasExtremes = false;
    bool m_bContinuous = false;
    std::vector<double> m_aLevels;
    CIndex2ColorOpenGLqv m_tables;
};

// Load and range check of a map as its view does them (the spectral view loads with the
// time-domain loader); the renderer's results.
int loadMapLikeView(CShow3DCntMapqv& map, CMEGDataqv* pRecording, CColorScale::EMapKind nKind);
int checkMapRange(CShow3DCntMapqv& map, CColorScale::EMapKind nKind);

// Short text of a tick value ("812.3", "-0.0125", "1.5e-14").
std::string formatScaleValue(double dValue);
// The tick's label: the value with its unit, the extremes named ("max 812.3 fT").
std::string tickLabel(const CColorScale::STick& tick, const std::string& strUnit);
// What the values of a map of the recording are in: the recording's unit, marked as spectral
// for the frequency and spectral maps, whose arrays hold whatever the recording's spectra hold.
std::string scaleUnit(CMEGDataqv* pRecording, CColorScale::EMapKind nKind);

// Where the labels of a bar's ticks go: the centre of each label (NaN: left out), given the row
// of each tick (the ticks from the top down, as ticks() gives them), so that no two labels come
// closer than dGap and all lie inside [dTop, dBottom].
// The extremes are labelled first, as near their ticks as the room allows; a threshold keeps its
// label only when it fits within dGap of its tick on the same side of the others' labels as its
// tick, so that a threshold close to an extreme never crowds the extreme's label.
std::vector<double> placeTickLabels(const std::vector<CColorScale::STick>& aTicks,
                                    const std::vector<double>& aRows, double dGap, double dTop,
                                    double dBottom);
