#include "spctmtrial.h"

CSpctmTrial::CSpctmTrial()
    : m_nSelectTime(0), m_nSelectFreqBin(0), m_nSelectRow(0), m_nSelectColumn(0) {}

CSpctmTrial::~CSpctmTrial() = default;

int CSpctmTrial::getTrialSpctmSelectTimeFreqBB(std::int64_t& nTime, std::int64_t& nFreqBin) {
    nTime = m_nSelectTime;
    nFreqBin = m_nSelectFreqBin;
    return 1;
}
