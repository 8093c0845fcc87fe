// Recordings a host could fill (within the model's contract), loaded, range checked, drawn and
// picked on all three maps and through the dialog-free facade, and drawn and picked as smooth
// field maps. Besides the sanitizers, every pass must leave the GL matrix and name stacks as it
// found them without a GL error, every pick hit must name a slot whose sensor the pick pass
// draws, and a smooth map's pick a sensor taking part in it.

#include "3drenddlgface.h"
#include "afxmsgbox.h"
#include "fiducial.h"
#include "glofflinecontext.h"
#include "mdchannel.h"
#include "mdtrial.h"
#include "megdata.h"
#include "show3dcntmap.h"
#include "smoothfieldmap.h"
#include "spctmchnl.h"
#include "spctmtrial.h"

#include <GL/gl.h>
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <limits>
#include <string>
#include <vector>

namespace {

// Small enough that one input draws in milliseconds, large enough for every branch.
const int nMaxSlots = 64;
const int nMaxSamples = 16;
const int nMaxRows = 6;
const int nMaxColumns = 8;
const int nMaxTrials = 3;
const int nViewSize = 64;

CGLOfflineContextqv* g_pContext = nullptr;

[[noreturn]] void finding(const std::string& strWhat) {
    std::fprintf(stderr, "fuzz_renderer: %s\n", strWhat.c_str());
    std::fflush(stderr);
    std::abort();
}

void expect(bool bHolds, const std::string& strWhat) {
    if (!bHolds)
        finding(strWhat);
}

// Loading a trial without channels tells the user; here that is expected, not a finding.
int quietMessageBox(const char*, unsigned int) {
    return IDOK;
}

// Values the maps must colour: ordinary, signed zeros, non-finite, extreme and subnormal.
double consumeValue(FuzzedDataProvider& fdp) {
    switch (fdp.ConsumeIntegralInRange(0, 9)) {
    case 0:
        return fdp.ConsumeIntegralInRange(-300, 300);
    case 1:
        return -0.0;
    case 2:
        return std::numeric_limits<double>::quiet_NaN();
    case 3:
        return fdp.ConsumeBool() ? std::numeric_limits<double>::infinity()
                                 : -std::numeric_limits<double>::infinity();
    case 4:
        return fdp.ConsumeBool() ? std::numeric_limits<double>::max()
                                 : -std::numeric_limits<double>::max();
    case 5:
        return fdp.ConsumeBool() ? std::numeric_limits<double>::denorm_min() : 1e-300;
    case 6:
        return fdp.ConsumeBool() ? 1e39 : -1e39; // beyond single precision
    default:
        return fdp.ConsumeFloatingPoint<double>();
    }
}

// Coordinates on a coarse grid make duplicate positions and neighbours within 60 mm likely.
double consumeCoordinate(FuzzedDataProvider& fdp) {
    if (fdp.ConsumeIntegralInRange(0, 3) != 0)
        return 20.0 * fdp.ConsumeIntegralInRange(-6, 6);
    return consumeValue(fdp);
}

double consumeSize(FuzzedDataProvider& fdp) {
    switch (fdp.ConsumeIntegralInRange(0, 3)) {
    case 0:
        return 9.0;
    case 1:
        return 0.0;
    case 2:
        return fdp.ConsumeBool() ? 1e-6 : std::numeric_limits<double>::denorm_min();
    default:
        return consumeValue(fdp);
    }
}

std::vector<double> consumeValues(FuzzedDataProvider& fdp, std::size_t nCount) {
    std::vector<double> values(nCount);
    for (double& d : values)
        d = consumeValue(fdp);
    return values;
}

// One trial as a host fills it: the channels that have samples all have the trial's sample
// count, all spectra one shape, and the spectral selection lies inside that shape.
void fillTrial(FuzzedDataProvider& fdp, CMEGDataqv& data, CMDTrialqv& trial) {
    const int nSlots = fdp.ConsumeIntegralInRange(0, nMaxSlots);
    const int nSamples = fdp.ConsumeIntegralInRange(0, nMaxSamples);
    const int nRows = fdp.ConsumeIntegralInRange(1, nMaxRows);
    const int nColumns = fdp.ConsumeIntegralInRange(1, nMaxColumns);
    trial.setTotalChannel(nSlots);
    trial.setSampleCount(nSamples);
    bool bSpectra = false;
    for (int i = 0; i < nSlots && fdp.remaining_bytes() > 0; ++i) {
        if (fdp.ConsumeIntegralInRange(0, 7) == 0) {
            data.setGoodChnl4Alltrials(i, fdp.ConsumeBool());
            data.setShowChnl4Alltrials(i, fdp.ConsumeBool());
        }
        if (fdp.ConsumeIntegralInRange(0, 5) == 0)
            continue; // empty slot
        CMDChannelqv* pChannel = trial.createChannel(i);
        pChannel->m_strChnlName = L"MEG" + std::to_wstring(i);
        if (fdp.ConsumeIntegralInRange(0, 3) == 0)
            pChannel->setChnlKind(fdp.ConsumeIntegralInRange(-1, 5));
        const int nCoils = fdp.ConsumeIntegralInRange(0, 3);
        for (int k = 0; k < nCoils; ++k) {
            const double x = consumeCoordinate(fdp);
            const double y = consumeCoordinate(fdp);
            const double z = consumeCoordinate(fdp);
            pChannel->addCoil(x, y, z);
        }
        if (fdp.ConsumeIntegralInRange(0, 4) != 0)
            pChannel->setDataWave(consumeValues(fdp, static_cast<std::size_t>(nSamples)));
        switch (fdp.ConsumeIntegralInRange(0, 3)) {
        case 0:
            break;
        case 1:
            pChannel->getSpctmChnl(true, 0); // a spectral channel without an array
            break;
        default:
            pChannel->getSpctmChnl(true, 0)->setSpctmData(
                0, nRows, nColumns, consumeValues(fdp, static_cast<std::size_t>(nRows * nColumns)));
            bSpectra = true;
        }
    }
    if (fdp.ConsumeIntegralInRange(0, 5) != 0) {
        CSpctmTrialqv* pSelection = trial.getSpctmTrial(true, 0);
        pSelection->m_nSelectTime = fdp.ConsumeIntegral<int>();
        if (bSpectra) {
            pSelection->m_nSelectFreqBin = fdp.ConsumeIntegralInRange(0, nRows * nColumns - 1);
            pSelection->m_nSelectRow = fdp.ConsumeIntegralInRange(0, nRows - 1);
            pSelection->m_nSelectColumn = fdp.ConsumeIntegralInRange(0, nColumns - 1);
        } else {
            // Nothing is indexed without spectra, so any selection must be harmless.
            pSelection->m_nSelectFreqBin = fdp.ConsumeIntegral<int>();
            pSelection->m_nSelectRow = fdp.ConsumeIntegral<int>();
            pSelection->m_nSelectColumn = fdp.ConsumeIntegral<int>();
        }
    }
    trial.setCurrentChannel(fdp.ConsumeIntegralInRange(-2, nSlots));
}

std::unique_ptr<CMEGDataqv> makeRecording(FuzzedDataProvider& fdp) {
    auto pData = std::make_unique<CMEGDataqv>();
    const int nTrials = fdp.ConsumeIntegralInRange(1, nMaxTrials);
    for (int t = 0; t < nTrials; ++t)
        fillTrial(fdp, *pData, *pData->addTrial());
    const int nCurrent = fdp.ConsumeIntegralInRange(0, nTrials);
    pData->setCurrentTrial(nCurrent == nTrials ? -1 : nCurrent);
    if (fdp.ConsumeBool()) {
        CFiducialqv* pFiducials = pData->createFidWorkMeg();
        for (CFiduciaryPtqv& point : pFiducials->m_FiduciaryPt) {
            if (!fdp.ConsumeBool())
                continue;
            const double x = consumeCoordinate(fdp);
            const double y = consumeCoordinate(fdp);
            const double z = consumeCoordinate(fdp);
            point.setPoint(x, y, z);
        }
    }
    CMDTrialqv* pTrial = pData->getTrialqv(-1);
    const std::int64_t nSamples = pTrial ? pTrial->getSampleCount() : 0;
    pData->setSelect(fdp.ConsumeIntegralInRange<std::int64_t>(-1, nSamples));
    return pData;
}

// The host fills a channel shorter after selecting a sample; the recording then reports
// sample 0 to readers.
void shortenOneChannel(FuzzedDataProvider& fdp, CMEGDataqv& data) {
    CMDTrialqv* pTrial = data.getTrialqv(-1);
    if (!pTrial || pTrial->getTotalChannel() < 1)
        return;
    CMDChannelqv* pChannel =
        pTrial->getAllChannelPt()[fdp.ConsumeIntegralInRange(0, pTrial->getTotalChannel() - 1)];
    if (!pChannel || pChannel->getSampleCount() < 1)
        return;
    const auto nKeep = fdp.ConsumeIntegralInRange<std::int64_t>(0, pChannel->getSampleCount() - 1);
    pChannel->setDataWave(
        std::vector<double>(pChannel->getDataWave(), pChannel->getDataWave() + nKeep));
}

void configure(FuzzedDataProvider& fdp, CShow3DCntMapqv& map, int* pMarkSelection) {
    map.m_bSensors = fdp.ConsumeBool();
    map.m_bSensorAct = fdp.ConsumeBool();
    map.m_bContourMap = fdp.ConsumeBool();
    map.m_bContourAct = fdp.ConsumeBool();
    map.m_bAutofitPlace = fdp.ConsumeBool();
    map.m_bAutofitColor = fdp.ConsumeBool();
    // Thresholds and steps in any order and of any value; autofit replaces them.
    map.m_dColorMin = consumeValue(fdp);
    map.m_dColorMax = consumeValue(fdp);
    map.m_dColorStepMin = consumeValue(fdp);
    map.m_dColorStepMax = consumeValue(fdp);
    map.setSensorSize(consumeSize(fdp));
    map.setShowFiducialPts(fdp.ConsumeBool());
    map.setShowFiducialPtsSize(consumeSize(fdp));
    *pMarkSelection = fdp.ConsumeBool();
    map.m_pMarkSelection = fdp.ConsumeBool() ? pMarkSelection : nullptr;
    if (fdp.ConsumeIntegralInRange(0, 7) == 0) {
        // Selectors without data: every pass must find nothing to draw.
        map.m_nSpctmSelector = fdp.PickValueInArray({-1, 1, 255, 256});
        map.m_nDataSelector = fdp.PickValueInArray({-1, 1, 255, 256});
    }
}

GLint glInteger(GLenum nName) {
    GLint n = -1;
    glGetIntegerv(nName, &n);
    return n;
}

// Runs one drawing call and checks that it leaves no GL error and balanced stacks behind.
void checkedPass(const char* pszWhat, const std::function<void()>& pass) {
    while (glGetError() != GL_NO_ERROR) {
    }
    const GLint nMode = glInteger(GL_MATRIX_MODE);
    const GLint nDepth = glInteger(GL_MODELVIEW_STACK_DEPTH);
    const GLint nNames = glInteger(GL_NAME_STACK_DEPTH);
    pass();
    const GLenum nError = glGetError();
    expect(nError == GL_NO_ERROR,
           std::string(pszWhat) + " leaves GL error 0x" + std::to_string(nError));
    expect(glInteger(GL_MATRIX_MODE) == nMode, std::string(pszWhat) + " changes the matrix mode");
    expect(glInteger(GL_MODELVIEW_STACK_DEPTH) == nDepth,
           std::string(pszWhat) + " leaves the modelview stack unbalanced");
    expect(glInteger(GL_NAME_STACK_DEPTH) == nNames,
           std::string(pszWhat) + " leaves the name stack unbalanced");
}

void drawFrame(const char* pszWhat, const std::function<void()>& show) {
    expect(g_pContext->renderFrame([&]() { checkedPass(pszWhat, show); }) == 1,
           std::string(pszWhat) + ": frame failed: " + g_pContext->getLastError());
}

bool isPickable(CMDChannelqv* pChannel) {
    return pChannel && pChannel->getDataWave() && pChannel->isMEGMeasureChannel() &&
           pChannel->getMEGCoilqv(0);
}

void pickAndCheck(FuzzedDataProvider& fdp, CShow3DCntMapqv& map) {
    const int nSize = fdp.ConsumeIntegralInRange(0, 512);
    const double x = fdp.ConsumeFloatingPointInRange(-8.0, nViewSize + 8.0);
    const double y = fdp.ConsumeFloatingPointInRange(-8.0, nViewSize + 8.0);
    const double w = fdp.ConsumeFloatingPointInRange(0.5, 2.0 * nViewSize);
    const double h = fdp.ConsumeFloatingPointInRange(0.5, 2.0 * nViewSize);
    std::vector<unsigned> records;
    const int nHits = g_pContext->pick(
        nSize, x, y, w, h, [&]() { checkedPass("pickSensor", [&]() { map.pickSensor(); }); },
        records);
    if (nHits <= 0)
        return; // none, or the buffer overflowed
    const int nSlots = map.m_pTrial ? map.m_pTrial->getTotalChannel() : 0;
    std::size_t k = 0;
    for (int nHit = 0; nHit < nHits; ++nHit) {
        expect(k + 3 <= records.size(), "hit records shorter than the hit count");
        const unsigned nNames = records[k];
        expect(nNames == 1, "a hit carries " + std::to_string(nNames) + " names");
        expect(k + 4 <= records.size(), "hit record cut short");
        const unsigned nSlot = records[k + 3];
        expect(nSlot < static_cast<unsigned>(nSlots), "hit names slot " + std::to_string(nSlot));
        expect(isPickable(map.m_pTrial->getAllChannelPt()[nSlot]),
               "hit names slot " + std::to_string(nSlot) + ", which has no pickable sensor");
        k += 3 + nNames;
    }
}

// The smooth map of the renderer's recording and selection, drawn twice (the second reuses the
// surface) with fuzzed colours and isolines, then picked at a fuzzed point: -1 or a sensor it
// drew.
void smoothAndCheck(FuzzedDataProvider& fdp, CSmoothFieldMap& smooth, CShow3DCntMapqv& map,
                    int nKind) {
    smooth.setColorMode(fdp.ConsumeIntegralInRange(-1, 2));
    smooth.setIsolineCount(fdp.ConsumeIntegralInRange(-1, CSmoothFieldMap::nMaxIsolines + 1));
    const char* pszWhat = nKind == CSmoothFieldMap::kindTime        ? "smooth time-domain map"
                          : nKind == CSmoothFieldMap::kindFrequency ? "smooth frequency map"
                                                                    : "smooth spectral map";
    int nDrawn = 0;
    for (int nPass = 0; nPass < 2; ++nPass) {
        drawFrame(pszWhat, [&]() { nDrawn = smooth.draw(map, nKind); });
    }
    expect(nDrawn == 1 || *smooth.getMessage() != '\0',
           std::string(pszWhat) + ": nothing drawn and no message");
    for (double d : smooth.getVertexValues())
        expect(!std::isnan(d), std::string(pszWhat) + ": a vertex value is not a number");
    const double x = fdp.ConsumeFloatingPointInRange(-8.0, nViewSize + 8.0);
    const double y = fdp.ConsumeFloatingPointInRange(-8.0, nViewSize + 8.0);
    const int nPicked = smooth.pickSensorInLastFrame(x, y);
    const std::vector<int>& aSlots = smooth.getSensorSlots();
    expect(nPicked == -1 || std::find(aSlots.begin(), aSlots.end(), nPicked) != aSlots.end(),
           std::string(pszWhat) + ": pick names slot " + std::to_string(nPicked) +
               ", which takes no part");
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    // One rasteriser thread: cheaper per small frame and reproducible.
    setenv("LP_NUM_THREADS", "0", 0);
    AfxSetMessageBoxHandler(quietMessageBox);
    g_pContext = new CGLOfflineContextqv;
    std::string error;
    if (!g_pContext->open(nViewSize, nViewSize, error))
        finding("no offscreen OpenGL context: " + error);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t nSize) {
    FuzzedDataProvider fdp(pData, nSize);
    std::unique_ptr<CMEGDataqv> pRecording = makeRecording(fdp);
    const bool bShortenBeforeLoading = fdp.ConsumeBool();
    if (bShortenBeforeLoading)
        shortenOneChannel(fdp, *pRecording);

    CShow3DCntMapqv map;
    int nMarkSelection = 0;
    configure(fdp, map, &nMarkSelection);

    map.setMegData(pRecording.get());
    map._checkSensorPosVlm();
    if (!bShortenBeforeLoading)
        shortenOneChannel(fdp, *pRecording);
    drawFrame("show3DCntMap", [&]() { map.show3DCntMap(); });
    pickAndCheck(fdp, map);
    CSmoothFieldMap smooth;
    smoothAndCheck(fdp, smooth, map, CSmoothFieldMap::kindTime);

    map.setMegDataFrqc(pRecording.get());
    map._checkSensorPosVlmFrqc();
    drawFrame("show3DCntMapFrqc", [&]() { map.show3DCntMapFrqc(); });
    smoothAndCheck(fdp, smooth, map, CSmoothFieldMap::kindFrequency);

    map.setMegDataSpctm(pRecording.get());
    map._checkSensorPosVlmSpctm();
    drawFrame("show3DCntMapSpctm", [&]() { map.show3DCntMapSpctm(); });
    smoothAndCheck(fdp, smooth, map, CSmoothFieldMap::kindSpectral);
    // An unknown kind is refused with a message.
    expect(smooth.update(map, fdp.ConsumeIntegralInRange(3, 9)) == 0 && *smooth.getMessage(),
           "an unknown map kind is not refused");

    C3DRendDlgFace face;
    drawFrame("showMSLSensor before a recording", [&]() { face.showMSLSensor(); });
    face.setMslMEGData(pRecording.get());
    drawFrame("showMSLSensor", [&]() { face.showMSLSensor(); });
    return 0;
}
