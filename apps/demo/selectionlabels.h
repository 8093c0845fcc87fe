#pragma once

#include "spectralshape.h"

#include <QString>

#include <cstdint>

class CMEGDataqv;

// What a selection means, for labels next to the selectors: times in ms and frequencies in Hz
// from the recording's axes, plain indices when it has none (or they do not fit the data).
// A long recording's samples are recording samples, labelled in seconds (or m:ss).
QString sampleLabel(CMEGDataqv& recording, std::int64_t nSample);
QString binLabel(CMEGDataqv& recording, int nBin);
QString cellLabel(CMEGDataqv& recording, int nRow, int nColumn);

// Milliseconds of a sample, or false when the recording has no sampling rate.
bool sampleTimeMs(CMEGDataqv& recording, double dSample, double& dMs);
