// contourmap-render: draws one map of a recording the way the map views do (load, matching
// range check, show sequence) into an offscreen OpenGL context and writes it as PNG.

#include "renderoptions.h"

#include "gl4dqv.h"
#include "glimagetarget.h"
#include "glofflinecontext.h"
#include "mdchannel.h"
#include "mdtrial.h"
#include "megdata.h"
#include "recordingjson.h"
#include "show3dcntmap.h"
#include "spctmchnl.h"
#include "spctmtrial.h"
#include "syntheticrecording.h"

#include <cstdio>
#include <memory>
#include <string>

namespace {

const int nExitFailure = 2;

int _fail(const std::string& message) {
    std::fprintf(stderr, "contourmap-render: error: %s\n", message.c_str());
    return nExitFailure;
}

// Size of the spectral arrays (rows x row length) of the first channel that has one.
bool _spectralShape(CMDTrialqv& trial, long long& nRows, long long& nRowLength) {
    CMDChannelqv** ppChannels = trial.getAllChannelPt();
    for (int i = 0; i < trial.getTotalChannel(); ++i) {
        CSpctmChnlqv* pSpctm = ppChannels[i] ? ppChannels[i]->getSpctmChnl(false, 0) : nullptr;
        std::int64_t nR = 0, nL = 0;
        if (pSpctm && pSpctm->getSpctmDataPtr(0, &nR, &nL)) {
            nRows = nR;
            nRowLength = nL;
            return true;
        }
    }
    return false;
}

// Applies --sample, --bin, --cell and --channel to the recording; false with a message when a
// selection lies outside the data.
bool _applySelection(const CRenderOptions& o, CMEGDataqv& recording, std::string& error) {
    CMDTrialqv* pTrial = recording.getTrialqv(-1);
    if (!pTrial) {
        error = "the recording has no current trial";
        return false;
    }
    if (o.nSample >= 0 && !recording.setSelect(o.nSample)) {
        error = "--sample " + std::to_string(o.nSample) + " is outside the recording's " +
                std::to_string(pTrial->getSampleCount()) + " samples";
        return false;
    }
    if (o.nChannel >= -1 && !pTrial->setCurrentChannel(o.nChannel)) {
        error = "--channel " + std::to_string(o.nChannel) + " is not one of the " +
                std::to_string(pTrial->getTotalChannel()) + " channel slots";
        return false;
    }
    if (o.nBin < 0 && o.nRow < 0) {
        return true;
    }
    long long nRows = 0, nRowLength = 0;
    CSpctmTrialqv* pSpctm = pTrial->getSpctmTrial(false, 0);
    if (!pSpctm || !_spectralShape(*pTrial, nRows, nRowLength)) {
        error = "the recording has no spectral data for --bin or --cell";
        return false;
    }
    if (o.nBin >= 0) {
        if (o.nBin >= nRows * nRowLength) {
            error = "--bin " + std::to_string(o.nBin) + " is outside the spectral arrays of " +
                    std::to_string(nRows * nRowLength) + " values";
            return false;
        }
        pSpctm->m_nSelectFreqBin = static_cast<int>(o.nBin);
    }
    if (o.nRow >= 0) {
        if (o.nRow >= nRows || o.nColumn >= nRowLength) {
            error = "--cell " + std::to_string(o.nRow) + "," + std::to_string(o.nColumn) +
                    " is outside the " + std::to_string(nRows) + " x " +
                    std::to_string(nRowLength) + " time-frequency array";
            return false;
        }
        pSpctm->m_nSelectRow = static_cast<int>(o.nRow);
        pSpctm->m_nSelectColumn = static_cast<int>(o.nColumn);
    }
    return true;
}

// The matching range check of each map.
int _checkRange(CShow3DCntMapqv& map, CRenderOptions::EMap nMap) {
    switch (nMap) {
    case CRenderOptions::mapFrequency:
        return map._checkSensorPosVlmFrqc();
    case CRenderOptions::mapSpectral:
        return map._checkSensorPosVlmSpctm();
    default:
        return map._checkSensorPosVlm();
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
        pRecording = loadRecordingJson(o.strRecording, error);
        if (!pRecording) {
            return _fail(error);
        }
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
    if (o.nMap == CRenderOptions::mapFrequency) {
        map.setMegDataFrqc(pRecording.get());
    } else {
        map.setMegData(pRecording.get());
    }
    map.m_bSensors = o.bSensors;
    map.m_bSensorAct = o.bSensorColor;
    map.m_bContourMap = o.bSurface;
    map.m_bContourAct = o.bSurfaceColor;
    map.m_bAutofitPlace = o.bAutofitPlace;
    map.setShowFiducialPts(o.bFiducials);
    // A typed range works as in the dialogs: the fit sets the steps per colour entry, then the
    // thresholds are replaced and colour autofit is switched off.
    if (!_checkRange(map, o.nMap)) {
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
        _checkRange(map, o.nMap);
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
    const int bDrawn = context.renderFrame([&]() {
        switch (o.nMap) {
        case CRenderOptions::mapFrequency:
            map.show3DCntMapFrqc();
            break;
        case CRenderOptions::mapSpectral:
            map.show3DCntMapSpctm();
            break;
        default:
            map.show3DCntMap();
        }
    });
    if (!bDrawn) {
        return _fail("rendering failed: " + std::string(pViewport->getLastError()));
    }
    if (!context.target()->writePng(o.strOut, error)) {
        return _fail(error);
    }
    std::printf("%s\n", o.strOut.c_str());
    std::fprintf(stderr, "contourmap-render: %s map, %dx%d, colour range %.4g .. %.4g -> %s\n",
                 _mapName(o.nMap), o.nWidth, o.nHeight, map.m_dColorMin, map.m_dColorMax,
                 o.strOut.c_str());
    return 0;
}
