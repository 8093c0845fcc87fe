#include "show3dcntmap.h"

#include "mdchannel.h"
#include "mdtrial.h"
#include "show3dcntmap_p.h"

#include <GL/gl.h>

// Draws every pickable sphere once more under its slot index, in the same place and size as the
// sensor pass, so a hit names the channel under the pointer. Only spheres can be hit.
int CShow3DCntMap::pickSensor() {
    if (!m_pTrial) {
        return 1;
    }
    const int nSlots = m_pTrial->getTotalChannel();
    CMDChannelqv** ppChannels = m_pTrial->getAllChannelPt();
    cm3dSetGreyFrontMaterial();
    if (nSlots < 1 || !ppChannels) {
        return 1;
    }
    for (int i = 0; i < nSlots; ++i) {
        CMDChannelqv* pChannel = ppChannels[i];
        if (!pChannel || !pChannel->getDataWave() || !pChannel->isMEGMeasureChannel() ||
            !pChannel->getMEGCoilqv(0)) {
            continue;
        }
        double x, y, z;
        _sensorPosition(pChannel, x, y, z);
        glPushName(static_cast<GLuint>(i));
        _drawSphere(x, y, z, m_dSensorSize);
        glPopName();
    }
    return 1;
}

int CShow3DCntMap::_pickCube(double, double, double, double) {
    return 1;
}
