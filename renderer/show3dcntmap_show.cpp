#include "show3dcntmap.h"

CShow3DCntMap06Show::CShow3DCntMap06Show() = default;
CShow3DCntMap06Show::~CShow3DCntMap06Show() = default;

int CShow3DCntMap06Show::show3DCntMap() {
    if (m_bSensors) {
        drawSensors();
    }
    if (m_bContourMap) {
        drawSensorMapTriFan();
    }
    if (m_bShowFiducialPts) {
        drawFiducial();
    }
    return 1;
}

int CShow3DCntMap06Show::show3DCntMapFrqc() {
    if (m_bSensors) {
        drawSensorsFrqc();
    }
    if (m_bContourMap) {
        drawSensorMapTriFanFrqc();
    }
    return 1;
}

int CShow3DCntMap06Show::show3DCntMapSpctm() {
    if (m_bSensors) {
        drawSensorsSpctm();
    }
    if (m_bContourMap) {
        drawSensorMapTriFanSpctm();
    }
    return 1;
}
