#include "selectionrule.h"

#include "spectralshape.h"

#include "mdtrial.h"
#include "megdata.h"
#include "pagedrecording.h"
#include "spctmtrial.h"

#include <cxxopts.hpp>

#include <algorithm>
#include <cctype>
#include <climits>
#include <cmath>
#include <cstdio>
#include <vector>

namespace {

std::string _number(double d) {
    char szText[32];
    std::snprintf(szText, sizeof szText, "%g", d == 0.0 ? 0.0 : d);
    return szText;
}

bool _fail(std::string* pError, const std::string& strLine) {
    if (pError) {
        *pError = strLine;
    }
    return false;
}

bool _isCount(double d) {
    return d >= 0.0 && d <= static_cast<double>(INT_MAX) && d == std::floor(d);
}

// The entry of a finite axis nearest to dValue, when dValue lies on the axis (within half the
// mean spacing of its ends; an axis of one entry takes any value). Non-finite entries are never
// chosen; nFirst skips leading entries.
bool _nearestOnAxis(const std::vector<double>& axis, std::size_t nFirst, double dValue,
                    std::int64_t& nIndex, double& dLow, double& dHigh) {
    std::vector<std::size_t> aUsable;
    for (std::size_t k = nFirst; k < axis.size(); ++k) {
        if (std::isfinite(axis[k])) {
            aUsable.push_back(k);
        }
    }
    if (aUsable.empty()) {
        return false;
    }
    dLow = INFINITY;
    dHigh = -INFINITY;
    for (std::size_t k : aUsable) {
        dLow = std::min(dLow, axis[k]);
        dHigh = std::max(dHigh, axis[k]);
    }
    const double dHalf =
        aUsable.size() > 1 ? (dHigh - dLow) / (aUsable.size() - 1) / 2.0 : INFINITY;
    if (!(dValue >= dLow - dHalf && dValue <= dHigh + dHalf)) {
        return false;
    }
    nIndex = static_cast<std::int64_t>(aUsable.front());
    for (std::size_t k : aUsable) {
        if (std::fabs(axis[k] - dValue) < std::fabs(axis[nIndex] - dValue)) {
            nIndex = static_cast<std::int64_t>(k);
        }
    }
    return true;
}

std::string _span(const std::vector<double>& axis, std::size_t nFirst, const char* pszUnit) {
    double dLow = INFINITY, dHigh = -INFINITY;
    for (std::size_t k = nFirst; k < axis.size(); ++k) {
        if (std::isfinite(axis[k])) {
            dLow = std::min(dLow, axis[k]);
            dHigh = std::max(dHigh, axis[k]);
        }
    }
    return _number(dLow) + " to " + _number(dHigh) + " " + pszUnit;
}

CSpctmTrialqv* _spectralSelection(CMEGDataqv& recording, const char* pszOption, std::int64_t& nRows,
                                  std::int64_t& nColumns, std::string* pError) {
    CMDTrialqv* pTrial = recording.getTrialqv(-1);
    if (!pTrial) {
        _fail(pError, "the recording has no current trial");
        return nullptr;
    }
    if (!getSpectralShape(recording, nRows, nColumns)) {
        _fail(pError, std::string("the recording has no spectral data for ") + pszOption);
        return nullptr;
    }
    return pTrial->getSpctmTrial(true, 0);
}

// Everything a request may change, so that a failing one can be undone.
// The samples --sample and --time index: the whole recording of a paged one, where selecting
// a sample turns to its page, else the current trial's.
struct SSampleAxis {
    CPagedRecording* pPaged;
    std::int64_t nSamples;
    double dFirst;

    explicit SSampleAxis(CMEGDataqv& recording)
        : pPaged(dynamic_cast<CPagedRecording*>(&recording)) {
        CMDTrialqv* pTrial = recording.getTrialqv(-1);
        nSamples = pPaged ? pPaged->getTotalSamples() : pTrial ? pTrial->getSampleCount() : 0;
        dFirst = pPaged ? pPaged->getRecordingFirstTime() : recording.getFirstSampleTime();
    }
};

struct SSelectionState {
    std::int64_t nSample = 0;
    std::int64_t nPageFirst = 0;
    std::int64_t nPageSize = 0;
    CSpctmTrialqv* pSpctm = nullptr;
    CSpctmTrialqv spctm;

    explicit SSelectionState(CMEGDataqv& recording) {
        std::int64_t nEnd = 0;
        recording.getSelect(nSample, nEnd);
        if (auto* pPaged = dynamic_cast<CPagedRecording*>(&recording)) {
            nPageFirst = pPaged->getPageFirst();
            nPageSize = pPaged->getPageSize();
        }
        CMDTrialqv* pTrial = recording.getTrialqv(-1);
        pSpctm = pTrial ? pTrial->getSpctmTrial(false, 0) : nullptr;
        if (pSpctm) {
            spctm = *pSpctm;
        }
    }
    void restore(CMEGDataqv& recording) const {
        auto* pPaged = dynamic_cast<CPagedRecording*>(&recording);
        std::string strIgnored;
        if (pPaged && nPageSize > 0 &&
            (pPaged->getPageFirst() != nPageFirst || pPaged->getPageSize() != nPageSize)) {
            pPaged->setPage(nPageFirst, nPageSize, strIgnored); // it was read before
        }
        recording.setSelect(nSample);
        if (pSpctm) {
            *pSpctm = spctm;
        }
    }
};

} // namespace

void addSelectionOptions(cxxopts::Options& options) {
    options.add_options(pszSelectionGroup)("sample", "selected sample (time-domain map)",
                                           cxxopts::value<std::string>())(
        "time", "selected time in seconds: the nearest sample (needs the sampling rate)",
        cxxopts::value<double>())("bin",
                                  "selected frequency bin, a column of the spectra "
                                  "(frequency map)",
                                  cxxopts::value<std::string>())(
        "freq", "selected frequency in Hz: the nearest bin (needs the recording's frequencies)",
        cxxopts::value<double>())("cell", "selected time-frequency cell ROW,COLUMN (spectral map)",
                                  cxxopts::value<std::string>())(
        "cell-at",
        "selected cell SECONDS,HZ: the window nearest the time and the bin nearest the frequency",
        cxxopts::value<std::string>());
}

bool readSelectionOptions(const cxxopts::ParseResult& r, SSelectionRequest& request,
                          std::string& error) {
    request = SSelectionRequest();
    // A named array: GCC 14 takes pairs made in the loop's header for dangling references.
    const std::pair<const char*, decltype(&request.nSample)> indices[] = {
        {"sample", &request.nSample}, {"bin", &request.nBin}};
    for (const auto& [pszName, pIndex] : indices) {
        long long n = 0;
        bool bGiven = false;
        if (!readWholeNumberOption(r, pszName, n, bGiven, error)) {
            return false;
        }
        if (bGiven && n < 0) {
            error = std::string("--") + pszName + " must not be negative";
            return false;
        }
        if (bGiven) {
            *pIndex = n;
        }
    }
    if (r.count("cell")) {
        double dRow = 0.0, dColumn = 0.0;
        if (!parseNumberPair(r["cell"].as<std::string>(), ',', dRow, dColumn) || !_isCount(dRow) ||
            !_isCount(dColumn)) {
            error = "--cell must be ROW,COLUMN with two whole numbers of 0 or more";
            return false;
        }
        request.cell =
            std::make_pair(static_cast<std::int64_t>(dRow), static_cast<std::int64_t>(dColumn));
    }
    for (const char* pszName : {"time", "freq"}) {
        if (r.count(pszName) && !std::isfinite(r[pszName].as<double>())) {
            error = std::string("--") + pszName + " must be a finite number";
            return false;
        }
    }
    if (r.count("time")) {
        request.dTime = r["time"].as<double>();
    }
    if (r.count("freq")) {
        request.dFreq = r["freq"].as<double>();
    }
    if (r.count("cell-at")) {
        double dSeconds = 0.0, dHz = 0.0;
        if (!parseNumberPair(r["cell-at"].as<std::string>(), ',', dSeconds, dHz)) {
            error = "--cell-at must be SECONDS,HZ with two numbers, e.g. 0.15,10";
            return false;
        }
        request.cellAt = std::make_pair(dSeconds, dHz);
    }
    const struct {
        bool bBoth;
        const char* pszLine;
    } aClashes[] = {
        {request.nSample && request.dTime, "--sample and --time both choose the sample; give one"},
        {request.nBin && request.dFreq, "--bin and --freq both choose the frequency bin; give one"},
        {request.cell && request.cellAt, "--cell and --cell-at both choose the cell; give one"},
    };
    for (const auto& clash : aClashes) {
        if (clash.bBoth) {
            error = clash.pszLine;
            return false;
        }
    }
    return true;
}

bool sampleAtTime(CMEGDataqv& recording, double dSeconds, std::int64_t& nSample,
                  std::string* pError) {
    const SSampleAxis axis(recording);
    const std::int64_t nSamples = axis.nSamples;
    const double dRate = recording.getSamplingRate();
    if (!(dRate > 0.0)) {
        return _fail(pError, "--time needs the recording's sampling rate, which it does not give");
    }
    if (nSamples < 1) {
        return _fail(pError, "the recording has no samples for --time");
    }
    const double dFirst = axis.dFirst;
    const double dLast = dFirst + static_cast<double>(nSamples - 1) / dRate;
    const double dHalf = 0.5 / dRate;
    if (!(dSeconds >= dFirst - dHalf && dSeconds <= dLast + dHalf)) {
        return _fail(pError, "--time " + _number(dSeconds) + " is outside the recording (" +
                                 _number(dFirst) + " to " + _number(dLast) + " s)");
    }
    const double dSample = std::round((dSeconds - dFirst) * dRate);
    nSample = std::clamp<std::int64_t>(static_cast<std::int64_t>(dSample), 0, nSamples - 1);
    return true;
}

namespace {

bool _columnAt(CMEGDataqv& recording, const std::string& strWhat, double dHz, std::int64_t& nColumn,
               std::string* pError) {
    std::int64_t nRows = 0, nColumns = 0;
    const std::string strOption = strWhat.substr(0, strWhat.find(' '));
    if (!_spectralSelection(recording, strOption.c_str(), nRows, nColumns, pError)) {
        return false;
    }
    const std::vector<double>& freqs = recording.getSpctmFreqsHz();
    double dLow = 0.0, dHigh = 0.0;
    if (static_cast<std::int64_t>(freqs.size()) != nColumns) {
        return _fail(pError,
                     strOption + " needs the recording's frequencies, which it does not give");
    }
    if (!_nearestOnAxis(freqs, 0, dHz, nColumn, dLow, dHigh)) {
        return _fail(pError, strWhat + " " + _number(dHz) +
                                 " is outside the recording's frequencies (" +
                                 _span(freqs, 0, "Hz") + ")");
    }
    return true;
}

} // namespace

bool binAtFrequency(CMEGDataqv& recording, double dHz, std::int64_t& nBin, std::string* pError) {
    return _columnAt(recording, "--freq", dHz, nBin, pError);
}

bool cellAtTimeFrequency(CMEGDataqv& recording, double dSeconds, double dHz, std::int64_t& nRow,
                         std::int64_t& nColumn, std::string* pError) {
    std::int64_t nRows = 0, nColumns = 0;
    if (!_spectralSelection(recording, "--cell-at", nRows, nColumns, pError)) {
        return false;
    }
    const std::vector<double>& rowTimes = recording.getSpctmRowTimesSec();
    const bool bHasTimes =
        static_cast<std::int64_t>(rowTimes.size()) == nRows &&
        std::any_of(rowTimes.begin(), rowTimes.end(), [](double d) { return std::isfinite(d); });
    if (!bHasTimes) {
        return _fail(pError, "--cell-at needs the recording's row times, which it does not give");
    }
    double dLow = 0.0, dHigh = 0.0;
    if (!_nearestOnAxis(rowTimes, 0, dSeconds, nRow, dLow, dHigh)) {
        return _fail(pError, "--cell-at time " + _number(dSeconds) +
                                 " is outside the time-frequency windows (" +
                                 _span(rowTimes, 0, "s") + ")");
    }
    return _columnAt(recording, "--cell-at frequency", dHz, nColumn, pError);
}

std::int64_t recordingSampleCount(CMEGDataqv& recording) {
    return SSampleAxis(recording).nSamples;
}

bool setSampleSelection(CMEGDataqv& recording, std::int64_t nSample, std::string* pError) {
    if (!recording.getTrialqv(-1)) {
        return _fail(pError, "the recording has no current trial");
    }
    const SSampleAxis axis(recording);
    if (nSample < 0 || nSample >= axis.nSamples) {
        return _fail(pError, "--sample " + std::to_string(nSample) +
                                 " is outside the recording's " + std::to_string(axis.nSamples) +
                                 " samples");
    }
    if (axis.pPaged) {
        std::string strError;
        return axis.pPaged->selectSample(nSample, strError) ? true : _fail(pError, "--" + strError);
    }
    if (!recording.setSelect(nSample)) {
        return _fail(pError,
                     "--sample " + std::to_string(nSample) + " is past the samples of a channel");
    }
    return true;
}

bool setFreqBinSelection(CMEGDataqv& recording, std::int64_t nBin, std::string* pError) {
    std::int64_t nRows = 0, nColumns = 0;
    CSpctmTrialqv* pSpctm = _spectralSelection(recording, "--bin", nRows, nColumns, pError);
    if (!pSpctm) {
        return false;
    }
    if (nBin < 0 || nBin >= nColumns) {
        return _fail(pError, "--bin " + std::to_string(nBin) + " is outside the " +
                                 std::to_string(nColumns) + " frequency bins");
    }
    pSpctm->m_nSelectFreqBin = static_cast<int>(nBin);
    return true;
}

bool setCellSelection(CMEGDataqv& recording, std::int64_t nRow, std::int64_t nColumn,
                      std::string* pError) {
    std::int64_t nRows = 0, nColumns = 0;
    CSpctmTrialqv* pSpctm = _spectralSelection(recording, "--cell", nRows, nColumns, pError);
    if (!pSpctm) {
        return false;
    }
    if (nRow < 0 || nColumn < 0 || nRow >= nRows || nColumn >= nColumns) {
        return _fail(pError, "--cell " + std::to_string(nRow) + "," + std::to_string(nColumn) +
                                 " is outside the " + std::to_string(nRows) + " x " +
                                 std::to_string(nColumns) + " time-frequency array");
    }
    pSpctm->m_nSelectRow = static_cast<int>(nRow);
    pSpctm->m_nSelectColumn = static_cast<int>(nColumn);
    // The selection's time in samples follows the row where the recording says when it lies.
    const std::vector<double>& rowTimes = recording.getSpctmRowTimesSec();
    const double dRate = recording.getSamplingRate();
    const SSampleAxis axis(recording);
    const std::int64_t nSamples = axis.nSamples;
    if (static_cast<std::int64_t>(rowTimes.size()) == nRows && std::isfinite(rowTimes[nRow]) &&
        dRate > 0.0 && nSamples > 0) {
        const double dSample = (rowTimes[nRow] - axis.dFirst) * dRate;
        const double dLast = static_cast<double>(std::min<std::int64_t>(nSamples - 1, INT_MAX));
        pSpctm->m_nSelectTime = static_cast<int>(std::clamp(std::round(dSample), 0.0, dLast));
    }
    return true;
}

bool applySelectionRequest(const SSelectionRequest& request, CMEGDataqv& recording,
                           std::string& error) {
    const SSelectionState before(recording);
    std::int64_t nSample = request.nSample.value_or(-1);
    std::int64_t nBin = request.nBin.value_or(-1);
    std::int64_t nRow = request.cell ? request.cell->first : -1;
    std::int64_t nColumn = request.cell ? request.cell->second : -1;
    // Axes first: a value outside an axis is reported as the user wrote it.
    const bool bResolved =
        (!request.dTime || sampleAtTime(recording, *request.dTime, nSample, &error)) &&
        (!request.dFreq || binAtFrequency(recording, *request.dFreq, nBin, &error)) &&
        (!request.cellAt || cellAtTimeFrequency(recording, request.cellAt->first,
                                                request.cellAt->second, nRow, nColumn, &error));
    const bool bSet = bResolved &&
                      (nSample < 0 || setSampleSelection(recording, nSample, &error)) &&
                      (nBin < 0 || setFreqBinSelection(recording, nBin, &error)) &&
                      (nRow < 0 || setCellSelection(recording, nRow, nColumn, &error));
    if (!bSet) {
        before.restore(recording);
    }
    return bSet;
}
