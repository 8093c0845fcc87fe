// contourmap-render: draws one map of a recording the way the map views do (load, matching
// range check, show sequence) into an offscreen OpenGL context and writes it as PNG, or a
// numbered sequence of them through the samples; optionally with a colour bar and the sensors'
// names.

#include "frameencoder.h"
#include "glpngwrite.h"
#include "overlay.h"
#include "recordingsource.h"
#include "renderoptions.h"
#include "selectionrule.h"

#include "bscmagsns.h"
#include "colorscale.h"
#include "gl4dqv.h"
#include "glimagetarget.h"
#include "glofflinecontext.h"
#include "mdchannel.h"
#include "mdtrial.h"
#include "megdata.h"
#include "show3dcntmap.h"
#include "smoothfieldmap.h"
#include "spctmchnl.h"
#include "spctmtrial.h"
#include "syntheticrecording.h"

#include <GL/gl.h>
#include <GL/glu.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace {

const int nExitFailure = 2;

int _fail(const std::string& message) {
    std::fprintf(stderr, "contourmap-render: error: %s\n", message.c_str());
    return nExitFailure;
}

// Applies the selections asked for and --channel to the recording; false with a message when
// one lies outside the data.
bool _applySelection(const CRenderOptions& o, CMEGDataqv& recording, std::string& error) {
    if (!applySelectionRequest(o.selection, recording, error)) {
        return false;
    }
    CMDTrialqv* pTrial = recording.getTrialqv(-1);
    if (o.nChannel >= -1 && (!pTrial || !pTrial->setCurrentChannel(o.nChannel))) {
        error = "--channel " + std::to_string(o.nChannel) + " is not one of the " +
                std::to_string(pTrial ? pTrial->getTotalChannel() : 0) + " channel slots";
        return false;
    }
    return true;
}

CColorScale::EMapKind _kind(CRenderOptions::EMap nMap) {
    switch (nMap) {
    case CRenderOptions::mapFrequency:
        return CColorScale::kindFrequency;
    case CRenderOptions::mapSpectral:
        return CColorScale::kindSpectral;
    default:
        return CColorScale::kindTime;
    }
}

const char* _mapName(CRenderOptions::EMap nMap) {
    switch (nMap) {
    case CRenderOptions::mapFrequency:
        return "frequency";
    case CRenderOptions::mapSpectral:
        return "spectral";
    default:
        return "time-domain";
    }
}

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
std::vector<SSensorLabel> _sensorLabels(CShow3DCntMapqv& map, CRenderOptions::EMap nMap,
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
        if (nMap == CRenderOptions::mapSpectral) {
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

// What every picture of a run shares.
struct SRenderJob {
    const CRenderOptions& o;
    CGLOfflineContextqv& context;
    CShow3DCntMapqv& map;
    int nPanelWidth; // 0 without a colour bar
    std::string strUnit;
    CSmoothFieldMap* pSmooth; // null: the map's own surface of fans
};

// Draws one frame of the map with its labels and colour bar into rgba (nWidth x nHeight).
bool _renderImage(SRenderJob& job, std::vector<unsigned char>& rgba, int& nWidth, int& nHeight,
                  std::string& error) {
    SFrameCamera camera{};
    int bSmoothDrawn = 1;
    const int bDrawn = job.context.renderFrame([&]() {
        glGetDoublev(GL_MODELVIEW_MATRIX, camera.adModel);
        glGetDoublev(GL_PROJECTION_MATRIX, camera.adProjection);
        glGetIntegerv(GL_VIEWPORT, camera.anViewport);
        if (job.pSmooth) {
            bSmoothDrawn = job.pSmooth->draw(job.map, smoothMapKind(_kind(job.o.nMap)));
            return;
        }
        switch (job.o.nMap) {
        case CRenderOptions::mapFrequency:
            job.map.show3DCntMapFrqc();
            break;
        case CRenderOptions::mapSpectral:
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
    if (job.o.bLabels || job.nPanelWidth > 0) {
        const std::vector<SSensorLabel> aLabels = job.o.bLabels
                                                      ? _sensorLabels(job.map, job.o.nMap, camera)
                                                      : std::vector<SSensorLabel>();
        const CColorScale scale =
            job.pSmooth ? CColorScale::fromSmoothMap(*job.pSmooth, job.map, _kind(job.o.nMap))
                        : CColorScale::fromMap(job.map, _kind(job.o.nMap));
        drawOverlays(rgba.data(), nWidth, nHeight, nMapWidth, aLabels,
                     job.nPanelWidth > 0 ? &scale : nullptr, job.strUnit);
    }
    return true;
}

// Renders the frames of --frames, handing each to the encoder thread.
int _renderSequence(SRenderJob& job, CMEGDataqv& recording) {
    const CRenderOptions& o = job.o;
    const long long nFrames = (o.nFrameTo - o.nFrameFrom) / o.nFrameStep + 1;
    const bool bProgress = isatty(fileno(stderr)) != 0;
    // Fast compression: a sequence is large, and a video encoder reads it once.
    CFrameEncoder encoder(4, 1);
    std::vector<std::string> aFiles;
    std::string error;
    int nWidth = 0, nHeight = 0;
    for (long long k = 0; k < nFrames; ++k) {
        const long long nSample = o.nFrameFrom + k * o.nFrameStep;
        // As a view does on a selection change: the selection, then the range check. A long
        // recording turns its page where the frames leave one.
        if (!setSampleSelection(recording, nSample)) {
            error = "sample " + std::to_string(nSample) + " cannot be selected";
            break;
        }
        checkMapRange(job.map, _kind(o.nMap));
        std::vector<unsigned char> rgba;
        if (!_renderImage(job, rgba, nWidth, nHeight, error)) {
            break;
        }
        aFiles.push_back(frameFileName(o.strOut, k + 1));
        if (!encoder.push(aFiles.back(), std::move(rgba), nWidth, nHeight)) {
            aFiles.pop_back();
            break;
        }
        if (bProgress) {
            std::fprintf(stderr, "\rcontourmap-render: frame %lld of %lld (sample %lld)", k + 1,
                         nFrames, nSample);
            std::fflush(stderr);
        }
    }
    if (bProgress) {
        std::fputc('\n', stderr);
    }
    std::string encodeError;
    if (!encoder.finish(encodeError)) {
        return _fail(encodeError);
    }
    if (!error.empty()) {
        return _fail(error);
    }
    for (const std::string& strFile : aFiles) {
        std::printf("%s\n", strFile.c_str());
    }
    std::fprintf(stderr,
                 "contourmap-render: %s map, %lld frames of %dx%d (samples %lld to %lld, step "
                 "%lld) -> %s ... %s\n",
                 _mapName(o.nMap), nFrames, nWidth, nHeight, o.nFrameFrom, o.nFrameTo, o.nFrameStep,
                 aFiles.front().c_str(), aFiles.back().c_str());
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    CRenderOptions o;
    std::string error;
    if (!parseRenderOptions(argc, argv, o, error)) {
        return _fail(error + " (see --help)");
    }
    if (o.bHelp) {
        std::printf("%s", o.strHelp.c_str());
        return 0;
    }

    std::unique_ptr<CMEGDataqv> pRecording;
    if (o.strRecording.empty()) {
        CSyntheticOptionsqv synthetic;
        synthetic.nMegChannels = o.nSyntheticChannels;
        pRecording = makeSyntheticRecording(synthetic);
        if (!pRecording) {
            return _fail("could not make the synthetic recording");
        }
    } else {
        // A time-domain map at one time needs only the page that holds it.
        const bool bOnePage =
            o.nMap == CRenderOptions::mapTime && o.selection.dTime.has_value() && !o.bFrames;
        pRecording = openRecordingFile(o.strRecording, o.conversion, error,
                                       conversionNotesOnStderr("contourmap-render", o.strRecording),
                                       bOnePage ? &*o.selection.dTime : nullptr);
        if (!pRecording) {
            return _fail(error);
        }
    }
    if (o.bFrames) {
        // The last frame decides whether the whole range lies inside the recording.
        if (!setSampleSelection(*pRecording, o.nFrameTo)) {
            return _fail("--frames runs to sample " + std::to_string(o.nFrameTo) +
                         ", outside the recording's " +
                         std::to_string(recordingSampleCount(*pRecording)) + " samples");
        }
        o.selection.nSample = o.nFrameFrom;
    }
    if (!_applySelection(o, *pRecording, error)) {
        return _fail(error);
    }

    // Load as the map views do; the spectral view loads with the time-domain loader.
    CShow3DCntMapqv map;
    int bMarkSelection = o.bMarkSelection ? 1 : 0;
    if (o.nMap == CRenderOptions::mapTime) {
        map.m_pMarkSelection = &bMarkSelection;
    }
    loadMapLikeView(map, pRecording.get(), _kind(o.nMap));
    map.m_bSensors = o.bSensors;
    map.m_bSensorAct = o.bSensorColor;
    map.m_bContourMap = o.bSurface;
    map.m_bContourAct = o.bSurfaceColor;
    map.m_bAutofitPlace = o.bAutofitPlace;
    map.setShowFiducialPts(o.bFiducials);
    // A typed range works as in the dialogs: the fit sets the steps per colour entry, then the
    // thresholds are replaced and colour autofit is switched off.
    if (!checkMapRange(map, _kind(o.nMap))) {
        if (o.nMap == CRenderOptions::mapSpectral) {
            return _fail("the spectral map cannot fit its range: it needs spectral data and a "
                         "selected cell with row and column of at least 1");
        }
        return _fail(std::string("the recording has nothing to draw for the ") + _mapName(o.nMap) +
                     " map");
    }
    if (o.bMin || o.bMax) {
        map.m_bAutofitColor = 0;
        if (o.bMin) {
            map.m_dColorMin = o.dMin;
        }
        if (o.bMax) {
            map.m_dColorMax = o.dMax;
        }
        checkMapRange(map, _kind(o.nMap));
    }

    CGLOfflineContextqv context;
    if (!context.open(o.nWidth, o.nHeight, error)) {
        return _fail("cannot make an OpenGL context: " + error +
                     " (is Mesa's libegl-mesa0 installed?)");
    }
    CGL4dqv* pViewport = context.viewport();
    if (o.bRotate) {
        pViewport->setRotateValue(o.dRotateX, o.dRotateY, 0.0);
        pViewport->setRotateBoolean(1, 1, 1);
    }
    if (o.dDistance > 0.0) {
        double tx, ty, tz;
        pViewport->getTranslate(tx, ty, tz);
        pViewport->setTranslate(tx, ty, -o.dDistance);
    }

    std::unique_ptr<QGuiApplication> pTextDrawing;
    CSmoothFieldMap smooth;
    smooth.setIsolineCount(o.nIsolines);
    smooth.setColorMode(o.bContinuous ? CSmoothFieldMap::colorContinuous
                                      : CSmoothFieldMap::colorThresholds);
    SRenderJob job{o,
                   context,
                   map,
                   0,
                   scaleUnit(pRecording.get(), _kind(o.nMap)),
                   o.bSmooth ? &smooth : nullptr};
    if (o.bColorbar || o.bLabels) {
        pTextDrawing = startTextDrawing();
        if (o.bColorbar) {
            job.nPanelWidth = colorBarPanelWidthFor(o.nHeight, job.strUnit);
            // Video encoders for yuv420p want an even width.
            job.nPanelWidth += (o.nWidth + job.nPanelWidth) % 2;
        }
    }
    if (o.bFrames) {
        return _renderSequence(job, *pRecording);
    }
    std::vector<unsigned char> rgba;
    int nWidth = 0, nHeight = 0;
    if (!_renderImage(job, rgba, nWidth, nHeight, error)) {
        return _fail(error);
    }
    if (!writeRgbaPng(o.strOut, rgba.data(), nWidth, nHeight, -1, error)) {
        return _fail(error);
    }
    std::printf("%s\n", o.strOut.c_str());
    double dRangeMin = map.m_dColorMin, dRangeMax = map.m_dColorMax;
    if (o.bSmooth && o.bContinuous) {
        smooth.getContinuousRange(dRangeMin, dRangeMax);
    }
    std::fprintf(stderr, "contourmap-render: %s map%s, %dx%d, colour range %.4g .. %.4g -> %s\n",
                 _mapName(o.nMap), o.bSmooth ? " (smooth)" : "", nWidth, nHeight, dRangeMin,
                 dRangeMax, o.strOut.c_str());
    return 0;
}
