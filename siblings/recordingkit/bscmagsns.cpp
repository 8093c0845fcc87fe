#include "bscmagsns.h"

CBscMagSns::CBscMagSns() : m_dPosX(0.0), m_dPosY(0.0), m_dPosZ(0.0) {}

CBscMagSns::CBscMagSns(double x, double y, double z) : m_dPosX(x), m_dPosY(y), m_dPosZ(z) {}

CBscMagSns::~CBscMagSns() = default;

int CBscMagSns::getCoilPositionD(double& x, double& y, double& z) {
    x = m_dPosX;
    y = m_dPosY;
    z = m_dPosZ;
    return 1;
}

int CBscMagSns::setCoilPositionD(double x, double y, double z) {
    m_dPosX = x;
    m_dPosY = y;
    m_dPosZ = z;
    return 1;
}
