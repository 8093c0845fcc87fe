// Any bytes given to the recording loader give either one clear error or a recording that the
// renderer can index without bounds checks; a recording that loads also saves and loads back
// unchanged.

#include "bscmagsns.h"
#include "mdchannel.h"
#include "mdtrial.h"
#include "megdata.h"
#include "recordingjson.h"
#include "spctmchnl.h"
#include "spctmtrial.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

namespace {

int g_nInputFd = -1;
std::string g_strInputPath;
// Saving writes a temporary file beside its destination and renames it, so it needs a real
// directory, unlike loading.
std::string g_strSaveDir;
std::string g_strSavePath;

// Messages may quote the input's bytes; control characters are shown escaped so the report
// stays on one line.
[[noreturn]] void finding(const std::string& strWhat) {
    std::string strShown;
    for (const char c : strWhat) {
        if (static_cast<unsigned char>(c) < 0x20) {
            char sz[8];
            std::snprintf(sz, sizeof sz, "\\x%02X", static_cast<unsigned>(c));
            strShown += sz;
        } else {
            strShown.push_back(c);
        }
    }
    std::fprintf(stderr, "fuzz_recording_json: %s\n", strShown.c_str());
    std::fflush(stderr);
    std::abort();
}

void expect(bool bHolds, const std::string& strWhat) {
    if (!bHolds)
        finding(strWhat);
}

// Reads the loader's arrays at the indices the renderer uses, so ASan sees any that is short.
volatile double g_dSink;

void removeSaveDir() {
    unlink(g_strSavePath.c_str());
    unlink((g_strSavePath + ".tmp").c_str());
    rmdir(g_strSaveDir.c_str());
}

void writeInput(const std::uint8_t* pData, std::size_t nSize) {
    expect(ftruncate(g_nInputFd, 0) == 0, "cannot truncate the input file");
    std::size_t nDone = 0;
    while (nDone < nSize) {
        const ssize_t n = pwrite(g_nInputFd, pData + nDone, nSize - nDone, nDone);
        expect(n > 0, "cannot write the input file");
        nDone += static_cast<std::size_t>(n);
    }
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

void checkError(const std::string& path, const std::string& error) {
    expect(!error.empty(), "refused without an error message");
    expect(error.rfind(path + ": ", 0) == 0, "error does not start with the path: " + error);
    expect(error.size() > path.size() + 2, "error names no problem: " + error);
    expect(error.find_first_of("\n\r\v\f") == std::string::npos,
           "error is more than one line: " + error);
}

void checkRecording(CMEGDataqv& data) {
    expect(data.getTrialCount() == 1, "a file holds one trial");
    CMDTrialqv* pTrial = data.getTrialqv(-1);
    expect(pTrial != nullptr, "no current trial");
    const int nSlots = pTrial->getTotalChannel();
    expect(nSlots >= 0 && nSlots <= CMDTrial::nMaxSlots, "slot count out of range");
    CMDChannelqv** ppChannels = pTrial->getAllChannelPt();
    expect(ppChannels != nullptr, "no channel array");

    const std::int64_t nSamples = pTrial->getSampleCount();
    bool bSampled = false;
    bool bSpectra = false;
    std::int64_t nRows = 0;
    std::int64_t nColumns = 0;
    for (int i = 0; i < nSlots; ++i) {
        CMDChannelqv* pChannel = ppChannels[i];
        if (!pChannel)
            continue;
        const std::string where = "channel " + std::to_string(i) + ": ";
        if (pChannel->getDataWave()) {
            bSampled = true;
            expect(pChannel->getSampleCount() == nSamples,
                   where + std::to_string(pChannel->getSampleCount()) + " samples, the trial " +
                       std::to_string(nSamples));
        }
        for (int k = 0; k < pChannel->getCoilCount(); ++k) {
            double x = 0.0;
            double y = 0.0;
            double z = 0.0;
            CBscMagSnsqv* pCoil = pChannel->getMEGCoilqv(k);
            expect(pCoil != nullptr, where + "a counted coil is missing");
            pCoil->getCoilPositionD(x, y, z);
            expect(std::isfinite(x) && std::isfinite(y) && std::isfinite(z),
                   where + "a coil cannot be placed");
        }
        CSpctmChnlqv* pSpectral = pChannel->getSpctmChnl(false, 0);
        std::int64_t nChannelRows = 0;
        std::int64_t nChannelColumns = 0;
        const double* pValues =
            pSpectral ? pSpectral->getSpctmDataPtr(0, &nChannelRows, &nChannelColumns) : nullptr;
        if (!pValues)
            continue;
        expect(nChannelRows >= 1 && nChannelColumns >= 1, where + "empty spectrum shape");
        if (!bSpectra) {
            bSpectra = true;
            nRows = nChannelRows;
            nColumns = nChannelColumns;
        }
        expect(nChannelRows == nRows && nChannelColumns == nColumns,
               where + "spectrum shape differs from the first one");
        g_dSink = pValues[nRows * nColumns - 1];
    }
    expect(bSampled || nSamples == 0, "a sample count without samples");

    std::int64_t nSample = -1;
    std::int64_t nSampleEnd = -1;
    data.getSelect(nSample, nSampleEnd);
    expect(nSample == nSampleEnd, "a range is selected");
    expect(nSamples > 0 ? nSample >= 0 && nSample < nSamples : nSample == 0,
           "selected sample " + std::to_string(nSample) + " outside the samples");
    const int nCurrent = pTrial->getCurntChnlIndx();
    expect(nCurrent >= -1 && nCurrent < nSlots, "current channel is not a slot");

    CSpctmTrialqv* pSelection = pTrial->getSpctmTrial(false, 0);
    if (bSpectra) {
        expect(pSelection != nullptr, "spectra without a spectral selection");
        const std::int64_t nBin = pSelection->m_nSelectFreqBin;
        const std::int64_t nRow = pSelection->m_nSelectRow;
        const std::int64_t nColumn = pSelection->m_nSelectColumn;
        const std::int64_t nTime = pSelection->m_nSelectTime;
        expect(nBin >= 0 && nBin < nRows * nColumns, "selected bin outside the spectra");
        expect(nRow >= 0 && nRow < nRows, "selected row outside the spectra");
        expect(nColumn >= 0 && nColumn < nColumns, "selected column outside the spectra");
        expect(nSamples > 0 ? nTime >= 0 && nTime < nSamples : nTime == 0,
               "selected time outside the samples");
    } else if (pSelection) {
        expect(pSelection->m_nSelectFreqBin == 0 && pSelection->m_nSelectRow == 0 &&
                   pSelection->m_nSelectColumn == 0,
               "a spectral selection without spectra");
    }
    // The indexing the maps do.
    for (int i = 0; i < nSlots; ++i) {
        CMDChannelqv* pChannel = ppChannels[i];
        if (!pChannel)
            continue;
        if (const double* pWave = pChannel->getDataWave())
            g_dSink = pWave[nSample];
        CSpctmChnlqv* pSpectral = pChannel->getSpctmChnl(false, 0);
        if (const double* pValues =
                pSpectral ? pSpectral->getSpctmDataPtr(0, nullptr, nullptr) : nullptr) {
            g_dSink = pValues[pSelection->m_nSelectFreqBin];
            g_dSink = pValues[pSelection->m_nSelectRow * nColumns + pSelection->m_nSelectColumn];
        }
    }

    const auto nFreqs = static_cast<std::int64_t>(data.getSpctmFreqsHz().size());
    const auto nRowTimes = static_cast<std::int64_t>(data.getSpctmRowTimesSec().size());
    expect(nFreqs == 0 || nFreqs == nColumns, "frequencies do not match the columns");
    expect(nRowTimes == 0 || nRowTimes == nRows, "row times do not match the rows");
    for (double dHz : data.getSpctmFreqsHz())
        expect(std::isfinite(dHz), "a frequency is not finite");
    for (double dSeconds : data.getSpctmRowTimesSec())
        expect(!std::isinf(dSeconds), "a row time is infinite");

    if (CFiducialqv* pFiducials = data.getFidWorkMeg())
        for (const CFiduciaryPtqv& point : pFiducials->m_FiduciaryPt)
            expect(!point.m_bSet || (std::isfinite(point.m_dX) && std::isfinite(point.m_dY) &&
                                     std::isfinite(point.m_dZ)),
                   "a fiducial cannot be placed");
    expect(!data.getUnit().empty() && data.getUnit().size() <= CMEGData::nMaxUnitLength,
           "unit length out of range");
    expect(std::isfinite(data.getSamplingRate()) && data.getSamplingRate() >= 0.0,
           "sampling rate out of range");
    expect(std::isfinite(data.getFirstSampleTime()), "first sample time is not finite");
}

// Whatever loads must save, load back and save to the same text: saving loses nothing a second
// pass could notice.
void checkRoundTrip(CMEGDataqv& data) {
    std::string error;
    expect(saveRecordingJson(data, g_strSavePath, error) == 1,
           "a loaded recording does not save: " + error);
    const std::string strFirst = readFile(g_strSavePath);
    std::unique_ptr<CMEGDataqv> pAgain = loadRecordingJson(g_strSavePath, error);
    expect(pAgain != nullptr, "a saved recording does not load: " + error);
    checkRecording(*pAgain);
    expect(saveRecordingJson(*pAgain, g_strSavePath, error) == 1,
           "a reloaded recording does not save: " + error);
    expect(readFile(g_strSavePath) == strFirst, "saving a reloaded recording changes the file");
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    g_nInputFd = memfd_create("recording.json", 0);
    expect(g_nInputFd >= 0, "memfd_create failed");
    g_strInputPath = "/proc/self/fd/" + std::to_string(g_nInputFd);
    const char* pszTmp = std::getenv("TMPDIR");
    std::string strTemplate =
        std::string(pszTmp && *pszTmp ? pszTmp : "/tmp") + "/cm3d-fuzz-XXXXXX";
    expect(mkdtemp(strTemplate.data()) != nullptr, "cannot make a directory in " + strTemplate);
    g_strSaveDir = strTemplate;
    g_strSavePath = g_strSaveDir + "/saved.json";
    std::atexit(removeSaveDir);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* pData, std::size_t nSize) {
    writeInput(pData, nSize);
    std::string error = "stale";
    std::unique_ptr<CMEGDataqv> pRecording = loadRecordingJson(g_strInputPath, error);
    if (!pRecording) {
        checkError(g_strInputPath, error);
        return 0;
    }
    expect(error.empty(), "a recording together with an error: " + error);
    checkRecording(*pRecording);
    checkRoundTrip(*pRecording);
    return 0;
}
