#include "mapframe.h"

#include "overlay.h"

#include "bscmagsns.h"
#include "glimagetarget.h"
#include "glofflinecontext.h"
#include "mdchannel.h"
#include "mdtrial.h"
#include "show3dcntmap.h"
#include "smoothfieldmap.h"
#include "spctmchnl.h"

#include <GL/gl.h>
#include <GL/glu.h>

#include <algorithm>
#include <cmath>

namespace {

// The camera of a frame, read inside it.
struct SFrameCamera {
    GLdouble adModel[16];
    GLdouble adProjection[16];
    GLint anViewport[4];
};

bool _project(const SFrameCamera& camera, double x, double y, double z, double& wx, double& wy,
              double& wz) {
    return gluProject(x, y, z, camera.adModel, camera.adProjection, camera.anViewport, &wx, &wy,
                      &wz) == GL_TRUE;
}

// The names of the sensors the map draws, where their spheres appear; a sensor farther from
// the camera than the head's centre is hidden behind the head and gets none.
std::vector<SSensorLabel> _sensorLabels(CShow3DCntMapqv& map, CColorScale::EMapKind nKind,
                                        const SFrameCamera& camera) {
    std::vector<SSensorLabel> aLabels;
    CMDTrialqv* pTrial = map.m_pTrial;
    CMDChannelqv** ppChannels = pTrial ? pTrial->getAllChannelPt() : nullptr;
    if (!ppChannels) {
        return aLabels;
    }
    // Positions are drawn in single precision around the centre while autofit place is on.
    const double dCenterX = static_cast<float>(map.m_dCenterX);
    const double dCenterY = static_cast<float>(map.m_dCenterY);
    const double dCenterZ = static_cast<float>(map.m_dCenterZ);
    double cx = 0.0, cy = 0.0, czDepth = 0.0;
    if (map.m_bAutofitPlace) {
        _project(camera, 0.0, 0.0, 0.0, cx, cy, czDepth);
    } else {
        _project(camera, dCenterX, dCenterY, dCenterZ, cx, cy, czDepth);
    }
    // The camera's x axis in scene coordinates: a sphere's radius along it shows in full.
    double ax = camera.adModel[0], ay = camera.adModel[4], az = camera.adModel[8];
    const double dLength = std::sqrt(ax * ax + ay * ay + az * az);
    if (dLength > 0.0) {
        ax /= dLength;
        ay /= dLength;
        az /= dLength;
    }
    const double dHeight = camera.anViewport[1] + camera.anViewport[3];
    for (int i = 0; i < pTrial->getTotalChannel(); ++i) {
        CMDChannelqv* pChannel = ppChannels[i];
        CBscMagSnsqv* pCoil =
            pChannel && pChannel->isMEGMeasureChannel() ? pChannel->getMEGCoilqv(0) : nullptr;
        if (!pCoil) {
            continue;
        }
        if (nKind == CColorScale::kindSpectral) {
            // The spectral map leaves out sensors without spectral data.
            CSpctmChnlqv* pSpctm = pChannel->getSpctmChnl(false, map.m_nSpctmSelector);
            if (!pSpctm || !pSpctm->getSpctmDataPtr(map.m_nDataSelector, nullptr, nullptr)) {
                continue;
            }
        }
        double x = 0.0, y = 0.0, z = 0.0;
        pCoil->getCoilPositionD(x, y, z);
        if (map.m_bAutofitPlace) {
            x -= dCenterX;
            y -= dCenterY;
            z -= dCenterZ;
        }
        double wx = 0.0, wy = 0.0, wz = 0.0, ex = 0.0, ey = 0.0, ez = 0.0;
        if (!_project(camera, x, y, z, wx, wy, wz) || !(wz <= czDepth) || wz < 0.0) {
            continue;
        }
        const double r = map.m_dSensorSize;
        _project(camera, x + r * ax, y + r * ay, z + r * az, ex, ey, ez);
        aLabels.push_back(
            {wx, dHeight - wy, std::hypot(ex - wx, ey - wy), pChannel->m_strChnlName});
    }
    return aLabels;
}

} // namespace

bool renderMapFrame(SMapFrameJob& job, std::vector<unsigned char>& rgba, int& nWidth, int& nHeight,
                    std::string& error) {
    SFrameCamera camera{};
    int bSmoothDrawn = 1;
    const int bDrawn = job.context.renderFrame([&]() {
        glGetDoublev(GL_MODELVIEW_MATRIX, camera.adModel);
        glGetDoublev(GL_PROJECTION_MATRIX, camera.adProjection);
        glGetIntegerv(GL_VIEWPORT, camera.anViewport);
        if (job.pSmooth) {
            bSmoothDrawn = job.pSmooth->draw(job.map, job.nKind);
            return;
        }
        switch (job.nKind) {
        case CColorScale::kindFrequency:
            job.map.show3DCntMapFrqc();
            break;
        case CColorScale::kindSpectral:
            job.map.show3DCntMapSpctm();
            break;
        default:
            job.map.show3DCntMap();
        }
    });
    if (!bSmoothDrawn) {
        error = std::string("the smooth map cannot be drawn: ") + job.pSmooth->getMessage();
        return false;
    }
    CGLImageTargetqv* pTarget = job.context.target();
    if (!bDrawn || !pTarget || !pTarget->hasFrame()) {
        error = "rendering failed: " + job.context.getLastError();
        return false;
    }
    const int nMapWidth = pTarget->getImageWidth();
    nHeight = pTarget->getImageHeight();
    nWidth = nMapWidth + job.nPanelWidth;
    const std::vector<unsigned char>& frame = pTarget->getImage();
    rgba.assign(static_cast<std::size_t>(nWidth) * nHeight * 4, 0);
    for (int y = 0; y < nHeight; ++y) {
        unsigned char* pRow = rgba.data() + static_cast<std::size_t>(y) * nWidth * 4;
        std::copy_n(frame.data() + static_cast<std::size_t>(y) * nMapWidth * 4, nMapWidth * 4,
                    pRow);
        for (int x = nMapWidth; x < nWidth; ++x) {
            pRow[x * 4 + 3] = 255;
        }
    }
    if (job.bLabels || job.nPanelWidth > 0) {
        const std::vector<SSensorLabel> aLabels =
            job.bLabels ? _sensorLabels(job.map, job.nKind, camera) : std::vector<SSensorLabel>();
        const CColorScale scale = job.pSmooth
                                      ? CColorScale::fromSmoothMap(*job.pSmooth, job.map, job.nKind)
                                      : CColorScale::fromMap(job.map, job.nKind);
        drawOverlays(rgba.data(), nWidth, nHeight, nMapWidth, aLabels,
                     job.nPanelWidth > 0 ? &scale : nullptr, job.strUnit);
    }
    return true;
}

int pickMapSensor(SMapFrameJob& job, double x, double y) {
    if (job.pSmooth) {
        return job.pSmooth->pickSensorInLastFrame(x, y);
    }
    // A small box around the pointer, as a click in a map view; the nearest sphere wins.
    std::vector<unsigned> records;
    const int nHits = job.context.pick(
        1 << 18, x, y, 4.0, 4.0, [&]() { job.map.pickSensor(); }, records);
    int nSlot = -1;
    unsigned nNearest = ~0u;
    std::size_t k = 0;
    // Records: name count, minimum depth, maximum depth, then the names.
    for (int h = 0; h < nHits && k + 2 < records.size(); ++h) {
        const unsigned nNames = records[k];
        if (nNames > 0 && k + 3 < records.size() && records[k + 1] <= nNearest) {
            nNearest = records[k + 1];
            nSlot = static_cast<int>(records[k + 3]);
        }
        k += 3 + nNames;
    }
    return nSlot;
}
