#pragma once

#include <cstdint>

class CMEGDataqv;

// Size of the recording's spectral arrays (those of the first channel of the current trial that
// has one, spectrum and data selector 0); false with both 0 when no channel has one. The demo
// and the render command check spectral selections against it.
bool getSpectralShape(CMEGDataqv& recording, std::int64_t& nRows, std::int64_t& nColumns);
