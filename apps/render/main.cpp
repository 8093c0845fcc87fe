// contourmap-render: draws one map of a recording the way the map views do (load, matching
// range check, show sequence) into an offscreen OpenGL context and writes it as PNG, or a
// numbered sequence of them through the samples; optionally with a colour bar and the sensors'
// names.

#include "frameencoder.h"
#include "glpngwrite.h"
#include "mapframe.h"
#include "overlay.h"
#include "recordingsource.h"
#include "renderoptions.h"
#include "selectionrule.h"

#include "colorscale.h"
#include "gl4dqv.h"
#include "glofflinecontext.h"
#include "mdtrial.h"
#include "megdata.h"
#include "show3dcntmap.h"
#include "smoothfieldmap.h"
#include "spctmtrial.h"
#include "syntheticrecording.h"

#include <unistd.h>

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
// What every picture of a run shares.
struct SRenderJob {
    const CRenderOptions& o;
    SMapFrameJob frame;
};

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

const char* _mapName(SMapKinds::EMapKind nKind) {
    switch (nKind) {
    case SMapKinds::kindFrequency:
        return "frequency";
    case SMapKinds::kindSpectral:
        return "spectral";
    default:
        return "time-domain";
    }
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
        checkMapRange(job.frame.map, o.nKind);
        std::vector<unsigned char> rgba;
        if (!renderMapFrame(job.frame, rgba, nWidth, nHeight, error)) {
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
                 _mapName(o.nKind), nFrames, nWidth, nHeight, o.nFrameFrom, o.nFrameTo,
                 o.nFrameStep, aFiles.front().c_str(), aFiles.back().c_str());
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
            o.nKind == SMapKinds::kindTime && o.selection.dTime.has_value() && !o.bFrames;
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
    if (o.nKind == SMapKinds::kindTime) {
        map.m_pMarkSelection = &bMarkSelection;
    }
    loadMapLikeView(map, pRecording.get(), o.nKind);
    map.m_bSensors = o.bSensors;
    map.m_bSensorAct = o.bSensorColor;
    map.m_bContourMap = o.bSurface;
    map.m_bContourAct = o.bSurfaceColor;
    map.m_bAutofitPlace = o.bAutofitPlace;
    map.setShowFiducialPts(o.bFiducials);
    // A typed range works as in the dialogs: the fit sets the steps per colour entry, then the
    // thresholds are replaced and colour autofit is switched off.
    if (!checkMapRange(map, o.nKind)) {
        if (o.nKind == SMapKinds::kindSpectral) {
            return _fail("the spectral map cannot fit its range: it needs spectral data and a "
                         "selected cell with row and column of at least 1");
        }
        return _fail(std::string("the recording has nothing to draw for the ") + _mapName(o.nKind) +
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
        checkMapRange(map, o.nKind);
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
                   {o.nKind, context, map, o.bLabels, 0, scaleUnit(pRecording.get(), o.nKind),
                    o.bSmooth ? &smooth : nullptr}};
    if (o.bColorbar || o.bLabels) {
        pTextDrawing = startTextDrawing();
        if (o.bColorbar) {
            job.frame.nPanelWidth = colorBarPanelWidthFor(o.nHeight, job.frame.strUnit);
            // Video encoders for yuv420p want an even width.
            job.frame.nPanelWidth += (o.nWidth + job.frame.nPanelWidth) % 2;
        }
    }
    if (o.bFrames) {
        return _renderSequence(job, *pRecording);
    }
    std::vector<unsigned char> rgba;
    int nWidth = 0, nHeight = 0;
    if (!renderMapFrame(job.frame, rgba, nWidth, nHeight, error)) {
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
                 _mapName(o.nKind), o.bSmooth ? " (smooth)" : "", nWidth, nHeight, dRangeMin,
                 dRangeMax, o.strOut.c_str());
    return 0;
}
