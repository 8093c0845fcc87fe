#pragma once

#include "cm3d_export.h"
#include "glmaterial.h"
#include "glpoint.h"
#include "index2color.h"
#include "mapkind.h"

class CMEGDataqv;
class CMDTrialqv;
class CMDChannelqv;
class CFiduciaryPtqv;
struct SMapInput;

// The contour-map renderer, built in layers: data, range and colour, surface, sensor markers and
// picking here; fiducials in CShow3DCntMap03Sensor; show sequences in CShow3DCntMap06Show;
// loading in CShow3DCntMapqv. It draws into whatever OpenGL context is current and keeps no
// geometry between calls: everything is asked of the recording again on every pass.
class CM3D_API CShow3DCntMap {
public:
    CShow3DCntMap();
    CShow3DCntMap(const CShow3DCntMap&) = default;
    CShow3DCntMap& operator=(const CShow3DCntMap&) = default;
    virtual ~CShow3DCntMap();

    double m_dCenterX;
    double m_dCenterY;
    double m_dCenterZ;
    double m_dColorStepMin;
    double m_dColorStepMax;
    double m_dColorMax;
    double m_dColorMin;
    double m_dSensorSize;
    int m_bSensors;
    int m_bSensorAct;
    int m_bContourMap;
    int m_bContourAct;
    int m_bAutofitPlace;
    int m_bAutofitColor;
    int* m_pMarkSelection;
    int m_nSpctmSelector;
    int m_nDataSelector;
    CIndex2ColorOpenGLqv m_Index2Color;
    CGLPointqv m_GLPoint;
    CGLmaterialqv1Face m_Material;
    CMEGDataqv* m_pMEGData;
    CMDTrialqv* m_pTrial;

    // Range checks: the sensors' bounding-box centre and, with colour autofit, the thresholds
    // and steps. 0 when there is nothing to check.
    int _checkSensorPosVlm();
    int _checkSensorPosVlmFrqc();
    int _checkSensorPosVlmSpctm();

    // Draws every pickable sensor's sphere under its slot index; call inside a selection pass.
    int pickSensor();

    // For drawings that follow this renderer's rules (the smooth field map, colour bars). What a
    // drawing of nKind reads: the trial's channel slots and where each value comes from (read
    // them with SMapInput::src.value); empty, with the reason, when there is nothing to read.
    SMapInput getMapInput(SMapKinds::EMapKind nKind) const;
    // The extremes of the values the range check of nKind finds, in single precision as it
    // keeps them, whether or not it fits the colours to them; 0 when it has nothing to check or
    // no channel has a value.
    int getDataExtremes(SMapKinds::EMapKind nKind, double& dMin, double& dMax) const;

protected:
    // Material and colour for one value: 2 upper table, 1 lower table, 0 neutral band.
    int _setColor(float fValue);

    int drawSensorMapTriFan();
    int drawSensorMapTriFanFrqc();
    int drawSensorMapTriFanSpctm();

    int drawSensors();
    int drawSensorsFrqc();
    int drawSensorsSpctm();
    int _drawSphere(double x, double y, double z, double dRadius);

    // Sensor position of a channel's first coil, shifted by the centre while autofit place is on.
    void _sensorPosition(CMDChannelqv* pChannel, double& x, double& y, double& z);

    // The walks the three kinds of map share. They differ in where a value comes from and in
    // these choices: how the selected time-frequency cell is counted; whether a fan takes every
    // neighbour or only those good in all trials; in which precision the neighbour radius is
    // tested; whether a sensor without a value is drawn; whether the current channel is marked.
    enum ECellCount { cellFromZero, cellFromOne };
    enum ERimChannels { anyRim, goodRimOnly };
    enum EDistancePrecision { singleDistance, doubleDistance };
    enum EValueless { drawValueless, skipValueless };
    enum ESelectionMark { withoutMark, withMark };

    // What a walk reads, for nKind one of SMapKinds' kinds; false when there is nothing to read
    // from.
    SMapInput _mapInput(int nKind, ECellCount eCell = cellFromZero);
    SMapInput _readInput(int nKind, ECellCount eCell) const;
    int _fitToChannels(const SMapInput& in);
    int _drawTriFans(const SMapInput& in, ERimChannels eRim, EDistancePrecision eDistance);
    int _drawSensorPass(const SMapInput& in, EValueless eValueless, ESelectionMark eMark);
    void _emitVertex(CMDChannelqv* pChannel, bool bHasValue, double dValue);

private:
    int _drawSelectMark(double x, double y, double z, double dHalf);
    int _pickCube(double x, double y, double z, double dHalf);
};

class CM3D_API CShow3DCntMap03Sensor : public CShow3DCntMap {
public:
    CShow3DCntMap03Sensor();
    CShow3DCntMap03Sensor(const CShow3DCntMap03Sensor&) = default;
    CShow3DCntMap03Sensor& operator=(const CShow3DCntMap03Sensor&) = default;
    ~CShow3DCntMap03Sensor() override;

    double m_dFiducialPtsSize;
    bool m_bShowFiducialPts;

    bool getShowFiducialPts();
    int setShowFiducialPts(bool bShow);
    double getShowFiducialPtsSize();
    int setShowFiducialPtsSize(double dSize);

    // The fiducials as the time-domain map draws them (lit spheres in the landmark set's own
    // place, never shifted by the sensors' centre), whatever the switch that shows them says;
    // 0 without a landmark set. For drawings of their own that show them alike.
    int drawFiducialPass() const;

protected:
    int drawFiducial();
    int drawFiduciaryPt3D(CFiduciaryPtqv* pPoint, unsigned long nColorRef, double dSize);
};

class CM3D_API CShow3DCntMap06Show : public CShow3DCntMap03Sensor {
public:
    CShow3DCntMap06Show();
    CShow3DCntMap06Show(const CShow3DCntMap06Show&) = default;
    CShow3DCntMap06Show& operator=(const CShow3DCntMap06Show&) = default;
    ~CShow3DCntMap06Show() override;

    // Markers (with the selection mark), then the surface, then (time domain only) fiducials.
    int show3DCntMap();
    int show3DCntMapFrqc();
    int show3DCntMapSpctm();
};

class CM3D_API CShow3DCntMapqv : public CShow3DCntMap06Show {
public:
    CShow3DCntMapqv();
    CShow3DCntMapqv(const CShow3DCntMapqv&) = default;
    CShow3DCntMapqv& operator=(const CShow3DCntMapqv&) = default;
    ~CShow3DCntMapqv() override;

    // Attach a recording for the time-domain, frequency or spectral map; with colour autofit
    // the thresholds take the raw extremes of the shown values.
    int setMegData(CMEGDataqv* pData);
    int setMegDataFrqc(CMEGDataqv* pData);
    int setMegDataSpctm(CMEGDataqv* pData);

    double getSensorSize();
    int setSensorSize(double dSize);
};
