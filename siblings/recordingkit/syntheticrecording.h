#pragma once

#include "megdata.h"
#include "siblings_export.h"

#include <memory>

// What the synthetic recording is made of. Everything not listed here is fixed: 1000 samples at
// 1000 Hz from -200 ms to 799 ms, an evoked response peaking near 100 ms from a source in the
// left temporal lobe, an occipital 10 Hz rhythm and sensor noise.
struct RECORDINGKIT_API CSyntheticOptionsqv {
    enum { nMaxMegChannels = 10000 };

    // MEG measuring channels on the helmet, 1 to nMaxMegChannels.
    int nMegChannels = 275;
    // Seeds the noise and the rhythm's phase; the same options always give the same numbers.
    unsigned nSeed = 1;
    // Standard deviation of the white sensor noise in femtotesla, 0 or more.
    double dNoiseFt = 10.0;
};

// A complete recording in head coordinates (millimetres; x right, y towards the nose, z up,
// origin between the ears): the MEG helmet, 3 EEG, 2 EOG, 1 stimulus and 1 misc channel, one
// empty slot, one flat MEG channel flagged not good, six fiducials, per MEG channel a spectral
// array (row 0 the whole trial, rows 1 to 9 Hann windows of 200 ms every 100 ms; columns
// 0 to 100 Hz), the time and spectral axes (first sample at -0.2 s, one frequency per column,
// window centres as row times) and selections on the evoked peak and the 10 Hz rhythm.
// Null when an option is outside its range.
RECORDINGKIT_API std::unique_ptr<CMEGDataqv>
makeSyntheticRecording(const CSyntheticOptionsqv& options = CSyntheticOptionsqv());
