#pragma once

#include "numberparse.h"

#include <cstdint>
#include <optional>
#include <string>
#include <utility>

class CMEGDataqv;

namespace cxxopts {
class Options;
class ParseResult;
} // namespace cxxopts

// What the user asks the maps to show first, as the command lines of contourmap-render and
// contourmap-demo give it: by index (--sample, --bin, --cell) or, where the recording has axes,
// by time and frequency (--time, --freq, --cell-at). A frequency bin is a column of the spectra,
// that is an element of row 0, the whole trial's spectrum.
struct SSelectionRequest {
    std::optional<std::int64_t> nSample;
    std::optional<std::int64_t> nBin;
    std::optional<std::pair<std::int64_t, std::int64_t>> cell; // row, column
    std::optional<double> dTime;                               // seconds
    std::optional<double> dFreq;                               // Hz
    std::optional<std::pair<double, double>> cellAt;           // seconds, Hz

    bool choosesSample() const { return nSample.has_value() || dTime.has_value(); }
};

// The help group the options are listed under.
inline const char* const pszSelectionGroup = "Selection";
// The six options, with the same help text in both programs.
void addSelectionOptions(cxxopts::Options& options);
// Reads them; false with a one-line error for malformed values or two options that choose the
// same selection.
bool readSelectionOptions(const cxxopts::ParseResult& result, SSelectionRequest& request,
                          std::string& error);

// Resolves every selection asked for against the recording and sets them all, or none: false
// with a one-line error, the recording unchanged.
bool applySelectionRequest(const SSelectionRequest& request, CMEGDataqv& recording,
                           std::string& error);

// The selections one at a time, checked by the same rule: false (with the line the command line
// would give, when pError is set) and the recording unchanged when the selection lies outside
// the data. Selecting a cell also sets the spectral selection's time in samples from the row's
// time where the recording says when the row lies.
bool setSampleSelection(CMEGDataqv& recording, std::int64_t nSample, std::string* pError = nullptr);
// The samples --sample indexes: the whole recording's when it is paged, else the current trial's.
std::int64_t recordingSampleCount(CMEGDataqv& recording);
bool setFreqBinSelection(CMEGDataqv& recording, std::int64_t nBin, std::string* pError = nullptr);
bool setCellSelection(CMEGDataqv& recording, std::int64_t nRow, std::int64_t nColumn,
                      std::string* pError = nullptr);

// The axis look-ups behind --time, --freq and --cell-at: the nearest sample, column and
// (row, column); false with the line to show when the recording has no such axis or the value
// lies outside it.
bool sampleAtTime(CMEGDataqv& recording, double dSeconds, std::int64_t& nSample,
                  std::string* pError = nullptr);
bool binAtFrequency(CMEGDataqv& recording, double dHz, std::int64_t& nBin,
                    std::string* pError = nullptr);
bool cellAtTimeFrequency(CMEGDataqv& recording, double dSeconds, double dHz, std::int64_t& nRow,
                         std::int64_t& nColumn, std::string* pError = nullptr);
