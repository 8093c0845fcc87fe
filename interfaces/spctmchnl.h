#pragma once

#include "siblings_export.h"

#include <cstdint>
#include <vector>

// Spectral result of one channel: per data selector a row-major array of rows x row length.
class RECORDINGKIT_API CSpctmChnl {
public:
    // Selectors are small indices; the bound keeps a stray large one from allocating.
    enum { nMaxSelectors = 256 };

    CSpctmChnl();
    virtual ~CSpctmChnl();

    // Array of the data selector, or null when it holds none; pRows may be null.
    virtual double* getSpctmDataPtr(int nDataSelector, std::int64_t* pRows,
                                    std::int64_t* pRowLength);

    // Stores a copy; 0 (nothing stored) when the selector is negative or not below
    // nMaxSelectors, a size is below 1 or data does not hold rows x row length values.
    int setSpctmData(int nDataSelector, std::int64_t nRows, std::int64_t nRowLength,
                     const std::vector<double>& data);

protected:
    struct SData {
        std::int64_t nRows = 0;
        std::int64_t nRowLength = 0;
        std::vector<double> aValues;
    };
    std::vector<SData> m_aData;
};

class RECORDINGKIT_API CSpctmChnlqv : public CSpctmChnl {};
