#pragma once

#include "siblings_export.h"

// A magnetometer coil of the coil library; positions are in millimetres.
class RECORDINGKIT_API CBscMagSns {
public:
    CBscMagSns();
    CBscMagSns(double x, double y, double z);
    virtual ~CBscMagSns();

    virtual int getCoilPositionD(double& x, double& y, double& z);
    int setCoilPositionD(double x, double y, double z);

protected:
    double m_dPosX;
    double m_dPosY;
    double m_dPosZ;
};

class RECORDINGKIT_API CBscMagSnsqv : public CBscMagSns {
public:
    using CBscMagSns::CBscMagSns;
};
