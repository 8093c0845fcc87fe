#pragma once

#include <QString>

#include <cstdint>

class CMEGDataqv;

// Size of the recording's spectral arrays (those of the first channel that has one in the
// current trial); false with both 0 when no channel has one.
bool getSpectralShape(CMEGDataqv& recording, std::int64_t& nRows, std::int64_t& nColumns);

// What a selection means, for labels next to the selectors: times in ms and frequencies in Hz
// from the recording's axes, plain indices when it has none (or they do not fit the data).
QString sampleLabel(CMEGDataqv& recording, std::int64_t nSample);
QString binLabel(CMEGDataqv& recording, int nBin);
QString cellLabel(CMEGDataqv& recording, int nRow, int nColumn);

// Milliseconds of a sample, or false when the recording has no sampling rate.
bool sampleTimeMs(CMEGDataqv& recording, double dSample, double& dMs);
