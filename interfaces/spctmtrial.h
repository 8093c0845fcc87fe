#pragma once

#include "siblings_export.h"

#include <cstdint>

// Spectral result of a trial: what is selected in every channel's spectral array.
class RECORDINGKIT_API CSpctmTrial {
public:
    CSpctmTrial();
    virtual ~CSpctmTrial();

    // Selected time (not used by the maps) and selected frequency bin.
    virtual int getTrialSpctmSelectTimeFreqBB(std::int64_t& nTime, std::int64_t& nFreqBin);

    int m_nSelectTime;    // time of the spectral selection, in samples
    int m_nSelectFreqBin; // frequency map: element of each channel's spectral array
    int m_nSelectRow;     // spectral map: row of the time-frequency cell
    int m_nSelectColumn;  // spectral map: column of the time-frequency cell
};

class RECORDINGKIT_API CSpctmTrialqv : public CSpctmTrial {};
