#include "mdchannel.h"

#include "bscmagsns.h"
#include "spctmchnl.h"

#include <cmath>

CMDChannel::CMDChannel() = default;

CMDChannel::~CMDChannel() = default;

double* CMDChannel::getDataWave() {
    return m_aDataWave.empty() ? nullptr : m_aDataWave.data();
}

std::int64_t CMDChannel::getSampleCount() const {
    return static_cast<std::int64_t>(m_aDataWave.size());
}

int CMDChannel::setDataWave(const std::vector<double>& samples) {
    m_aDataWave = samples;
    return 1;
}

CMDChannel0SensorInfo::CMDChannel0SensorInfo() : m_nChnlKind(kindMEG) {}

CMDChannel0SensorInfo::~CMDChannel0SensorInfo() = default;

int CMDChannel0SensorInfo::isMEGMeasureChannel() {
    return m_nChnlKind == kindMEG ? 1 : 0;
}

CBscMagSnsqv* CMDChannel0SensorInfo::getMEGCoilqv(int nCoil) {
    if (nCoil < 0 || static_cast<std::size_t>(nCoil) >= m_aCoils.size())
        return nullptr;
    return m_aCoils[nCoil].get();
}

int CMDChannel0SensorInfo::setChnlKind(int nKind) {
    if (nKind < kindMEG || nKind > kindMisc)
        return 0;
    m_nChnlKind = nKind;
    return 1;
}

int CMDChannel0SensorInfo::addCoil(double x, double y, double z) {
    if (!std::isfinite(x) || !std::isfinite(y) || !std::isfinite(z))
        return 0;
    m_aCoils.push_back(std::make_unique<CBscMagSnsqv>(x, y, z));
    return 1;
}

int CMDChannel0SensorInfo::getCoilCount() const {
    return static_cast<int>(m_aCoils.size());
}

CMDChannel1Spctm::CMDChannel1Spctm() = default;

CMDChannel1Spctm::~CMDChannel1Spctm() = default;

CSpctmChnlqv* CMDChannel1Spctm::getSpctmChnl(bool bCreate, int nSpctmSelector) {
    if (nSpctmSelector < 0 || nSpctmSelector >= CSpctmChnl::nMaxSelectors)
        return nullptr;
    const auto nIndex = static_cast<std::size_t>(nSpctmSelector);
    if (nIndex >= m_aSpctmChnl.size()) {
        if (!bCreate)
            return nullptr;
        m_aSpctmChnl.resize(nIndex + 1);
    }
    if (!m_aSpctmChnl[nIndex] && bCreate)
        m_aSpctmChnl[nIndex] = std::make_unique<CSpctmChnlqv>();
    return m_aSpctmChnl[nIndex].get();
}
