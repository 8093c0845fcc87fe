#include "spctmchnl.h"

CSpctmChnl::CSpctmChnl() = default;

CSpctmChnl::~CSpctmChnl() = default;

double* CSpctmChnl::getSpctmDataPtr(int nDataSelector, std::int64_t* pRows,
                                    std::int64_t* pRowLength) {
    SData* pData = nullptr;
    if (nDataSelector >= 0 && static_cast<std::size_t>(nDataSelector) < m_aData.size() &&
        !m_aData[nDataSelector].aValues.empty())
        pData = &m_aData[nDataSelector];
    if (pRows)
        *pRows = pData ? pData->nRows : 0;
    if (pRowLength)
        *pRowLength = pData ? pData->nRowLength : 0;
    return pData ? pData->aValues.data() : nullptr;
}

int CSpctmChnl::setSpctmData(int nDataSelector, std::int64_t nRows, std::int64_t nRowLength,
                             const std::vector<double>& data) {
    if (nDataSelector < 0 || nDataSelector >= nMaxSelectors || nRows < 1 || nRowLength < 1)
        return 0;
    // Division instead of rows x row length, which could overflow for absurd sizes.
    if (data.size() % static_cast<std::uint64_t>(nRowLength) != 0 ||
        data.size() / static_cast<std::uint64_t>(nRowLength) != static_cast<std::uint64_t>(nRows))
        return 0;
    if (static_cast<std::size_t>(nDataSelector) >= m_aData.size())
        m_aData.resize(nDataSelector + 1);
    SData& target = m_aData[nDataSelector];
    target.nRows = nRows;
    target.nRowLength = nRowLength;
    target.aValues = data;
    return 1;
}
