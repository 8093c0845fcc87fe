// Writes the synthetic recording with a few channels, cut down to a small window of samples and
// a corner of the spectral arrays, as a seed for fuzz_recording_json: every part of the format in
// a file small enough for the fuzzer to mutate quickly.
//
//   fuzz_make_recording_seed OUT.json

#include "mdchannel.h"
#include "mdtrial.h"
#include "megdata.h"
#include "recordingjson.h"
#include "spctmchnl.h"
#include "spctmtrial.h"
#include "syntheticrecording.h"

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

const std::int64_t nKeepSamples = 16;
const std::int64_t nKeepRows = 4;
const std::int64_t nKeepColumns = 16;

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUT.json\n", argv[0]);
        return 2;
    }
    CSyntheticOptionsqv options;
    options.nMegChannels = 10;
    std::unique_ptr<CMEGDataqv> pData = makeSyntheticRecording(options);
    CMDTrialqv* pTrial = pData ? pData->getTrialqv(-1) : nullptr;
    if (!pTrial) {
        std::fprintf(stderr, "no synthetic recording\n");
        return 1;
    }

    // Samples: a window centred on the selected one.
    std::int64_t nSelect = 0;
    std::int64_t nSelectEnd = 0;
    pData->getSelect(nSelect, nSelectEnd);
    const std::int64_t nFirst = std::clamp<std::int64_t>(
        nSelect - nKeepSamples / 2, 0,
        std::max<std::int64_t>(pTrial->getSampleCount() - nKeepSamples, 0));
    const std::int64_t nSamples = std::min(nKeepSamples, pTrial->getSampleCount() - nFirst);
    CSpctmTrialqv* pSelection = pTrial->getSpctmTrial(false, 0);
    CMDChannelqv** ppChannels = pTrial->getAllChannelPt();
    for (int i = 0; i < pTrial->getTotalChannel(); ++i) {
        CMDChannelqv* pChannel = ppChannels[i];
        if (!pChannel)
            continue;
        if (const double* pWave = pChannel->getDataWave())
            pChannel->setDataWave(std::vector<double>(pWave + nFirst, pWave + nFirst + nSamples));
        CSpctmChnlqv* pSpectral = pChannel->getSpctmChnl(false, 0);
        std::int64_t nRows = 0;
        std::int64_t nColumns = 0;
        const double* pValues =
            pSpectral ? pSpectral->getSpctmDataPtr(0, &nRows, &nColumns) : nullptr;
        if (!pValues)
            continue;
        const std::int64_t nNewRows = std::min(nRows, nKeepRows);
        const std::int64_t nNewColumns = std::min(nColumns, nKeepColumns);
        std::vector<double> values;
        for (std::int64_t r = 0; r < nNewRows; ++r)
            values.insert(values.end(), pValues + r * nColumns,
                          pValues + r * nColumns + nNewColumns);
        pSpectral->setSpctmData(0, nNewRows, nNewColumns, values);
    }
    pTrial->setSampleCount(nSamples);
    pData->setSelect(nSelect - nFirst);
    pData->setFirstSampleTime(pData->getFirstSampleTime() +
                              static_cast<double>(nFirst) / pData->getSamplingRate());
    if (pSelection) {
        pSelection->m_nSelectTime = static_cast<int>(nSelect - nFirst);
        pSelection->m_nSelectFreqBin = static_cast<int>(
            std::min<std::int64_t>(pSelection->m_nSelectFreqBin, nKeepColumns - 1));
        pSelection->m_nSelectRow =
            static_cast<int>(std::min<std::int64_t>(pSelection->m_nSelectRow, nKeepRows - 1));
        pSelection->m_nSelectColumn =
            static_cast<int>(std::min<std::int64_t>(pSelection->m_nSelectColumn, nKeepColumns - 1));
    }
    std::vector<double> freqs = pData->getSpctmFreqsHz();
    std::vector<double> rowTimes = pData->getSpctmRowTimesSec();
    freqs.resize(std::min<std::size_t>(freqs.size(), nKeepColumns));
    rowTimes.resize(std::min<std::size_t>(rowTimes.size(), nKeepRows));
    pData->setSpctmAxes(freqs, rowTimes);

    std::string error;
    if (!saveRecordingJson(*pData, argv[1], error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    return 0;
}
