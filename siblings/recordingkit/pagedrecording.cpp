#include "pagedrecording.h"

#include "mdchannel.h"
#include "mdtrial.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <new>
#include <regex>

namespace {

std::string systemText() {
    return std::strerror(errno);
}

// The header of a NumPy .npy file: a little-endian float32 array of rows x columns in C order
// is the only layout the store uses. Returns the data offset, or -1 with the reason.
std::int64_t parseNpyHeader(int fd, std::int64_t& nRows, std::int64_t& nColumns,
                            std::string& reason) {
    unsigned char prefix[12];
    if (::pread(fd, prefix, sizeof prefix, 0) != static_cast<ssize_t>(sizeof prefix) ||
        std::memcmp(prefix, "\x93NUMPY", 6) != 0) {
        reason = "is not a NumPy .npy file";
        return -1;
    }
    const int nMajor = prefix[6];
    std::int64_t nHeaderLength = 0;
    std::int64_t nPrefix = 0;
    if (nMajor == 1) {
        nHeaderLength = prefix[8] | (prefix[9] << 8);
        nPrefix = 10;
    } else if (nMajor == 2 || nMajor == 3) {
        nHeaderLength = static_cast<std::int64_t>(prefix[8]) | (prefix[9] << 8) |
                        (prefix[10] << 16) | (static_cast<std::int64_t>(prefix[11]) << 24);
        nPrefix = 12;
    } else {
        reason = "is a NumPy file of an unknown version " + std::to_string(nMajor);
        return -1;
    }
    if (nHeaderLength <= 0 || nHeaderLength > 65536) {
        reason = "has a damaged NumPy header";
        return -1;
    }
    std::string header(static_cast<std::size_t>(nHeaderLength), '\0');
    if (::pread(fd, header.data(), header.size(), nPrefix) != static_cast<ssize_t>(header.size())) {
        reason = "has a damaged NumPy header";
        return -1;
    }
    static const std::regex descr(R"('descr'\s*:\s*'([^']*)')");
    static const std::regex order(R"('fortran_order'\s*:\s*(True|False))");
    static const std::regex shape(R"('shape'\s*:\s*\(\s*(\d+)\s*,\s*(\d+)\s*,?\s*\))");
    std::smatch m;
    if (!std::regex_search(header, m, descr) || m[1] != "<f4") {
        reason = "must hold 32-bit little-endian floats ('<f4')";
        return -1;
    }
    if (!std::regex_search(header, m, order) || m[1] != "False") {
        reason = "must be in C order (samples as rows)";
        return -1;
    }
    if (!std::regex_search(header, m, shape) || m[1].length() > 15 || m[2].length() > 15) {
        reason = "must be a two-dimensional array (samples x channels)";
        return -1;
    }
    nRows = std::stoll(m[1]);
    nColumns = std::stoll(m[2]);
    return nPrefix + nHeaderLength;
}

} // namespace

CPagedRecording::CPagedRecording() = default;

CPagedRecording::~CPagedRecording() {
    _closeStore();
}

void CPagedRecording::_closeStore() {
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

std::int64_t CPagedRecording::defaultPageSamples() const {
    const double dRate = getSamplingRate();
    const double dSamples = dRate > 0.0 ? std::round(dDefaultPageSeconds * dRate) : 10000.0;
    return std::clamp<std::int64_t>(static_cast<std::int64_t>(dSamples), 1, nMaxPageSamples);
}

int CPagedRecording::openStore(const std::string& strPath, const std::vector<int>& aColumnSlots,
                               std::int64_t nStoredFirst, std::int64_t nTotalSamples,
                               std::string& error) {
    _closeStore();
    m_strStorePath = strPath;
    m_fd = ::open(strPath.c_str(), O_RDONLY | O_CLOEXEC);
    if (m_fd < 0) {
        error = strPath + ": cannot open the sample store: " + systemText();
        return 0;
    }
    std::string reason;
    std::int64_t nColumns = 0;
    m_nDataOffset = parseNpyHeader(m_fd, m_nStoreRows, nColumns, reason);
    if (m_nDataOffset < 0) {
        error = strPath + ": the sample store " + reason;
        return 0;
    }
    if (nColumns != static_cast<std::int64_t>(aColumnSlots.size())) {
        error = strPath + ": the sample store has " + std::to_string(nColumns) +
                " channels but its header names " + std::to_string(aColumnSlots.size());
        return 0;
    }
    if (nStoredFirst < 0 || nTotalSamples < nStoredFirst + m_nStoreRows) {
        error = strPath + ": the sample store's " + std::to_string(m_nStoreRows) +
                " samples from sample " + std::to_string(nStoredFirst) +
                " do not fit in the recording's " + std::to_string(nTotalSamples);
        return 0;
    }
    m_aColumnSlots = aColumnSlots;
    m_nStoredFirst = nStoredFirst;
    m_nTotalSamples = nTotalSamples;
    m_nWrittenRows = 0;
    return refresh(error);
}

int CPagedRecording::refresh(std::string& error) {
    struct stat status {};
    if (m_fd < 0 || ::fstat(m_fd, &status) != 0) {
        error = m_strStorePath + ": cannot read the sample store: " + systemText();
        return 0;
    }
    const std::int64_t nRowBytes = 4 * static_cast<std::int64_t>(m_aColumnSlots.size());
    const std::int64_t nBytes = static_cast<std::int64_t>(status.st_size) - m_nDataOffset;
    if (nBytes > nRowBytes * m_nStoreRows) {
        error = m_strStorePath + ": the sample store is larger than its " +
                std::to_string(m_nStoreRows) + " samples: it is damaged; delete it and convert " +
                "the recording again";
        return 0;
    }
    m_nWrittenRows = nRowBytes > 0 ? std::max<std::int64_t>(0, nBytes) / nRowBytes : m_nStoreRows;
    return 1;
}

int CPagedRecording::_readRows(std::int64_t nFirstRow, std::int64_t nRows,
                               std::vector<float>& buffer, std::string& error) {
    const std::size_t nColumns = m_aColumnSlots.size();
    buffer.resize(static_cast<std::size_t>(nRows) * nColumns);
    auto* pBytes = reinterpret_cast<char*>(buffer.data());
    std::size_t nLeft = buffer.size() * sizeof(float);
    off_t nAt = static_cast<off_t>(m_nDataOffset + nFirstRow * 4 * static_cast<off_t>(nColumns));
    while (nLeft > 0) {
        const ssize_t nRead = ::pread(m_fd, pBytes, nLeft, nAt);
        if (nRead < 0 && errno == EINTR)
            continue;
        if (nRead <= 0) {
            error = m_strStorePath + ": cannot read the sample store: " +
                    (nRead < 0 ? systemText() : std::string("it ends early"));
            return 0;
        }
        pBytes += nRead;
        nAt += nRead;
        nLeft -= static_cast<std::size_t>(nRead);
    }
    return 1;
}

int CPagedRecording::setPage(std::int64_t nFirst, std::int64_t nLength, std::string& error) {
    if (nLength < 1 || nLength > nMaxPageSamples) {
        error = "a page must be 1 to " + std::to_string(nMaxPageSamples) + " samples long";
        return 0;
    }
    const std::int64_t nBegin = std::max(nFirst, m_nStoredFirst);
    const std::int64_t nEnd = std::min(nFirst + nLength, getStoredEnd());
    if (nEnd <= nBegin) {
        error = "samples " + std::to_string(nFirst) + " to " + std::to_string(nFirst + nLength) +
                " are not in the converted recording (samples " + std::to_string(m_nStoredFirst) +
                " to " + std::to_string(getStoredEnd()) + ")";
        return 0;
    }
    CMDTrialqv* pTrial = getTrialqv(-1);
    if (!pTrial) {
        error = "the recording has no trial to hold a page";
        return 0;
    }
    const std::int64_t nSelected = getSelectedSample();
    try {
        std::vector<float> rows;
        if (!_readRows(nBegin - m_nStoredFirst, nEnd - nBegin, rows, error))
            return 0;
        const std::size_t nColumns = m_aColumnSlots.size();
        const auto nSamples = static_cast<std::size_t>(nEnd - nBegin);
        // Each channel's array is filled in place, a block of rows at a time: the block stays
        // in the cache while every channel takes its column from it, where a column at a time
        // would fetch a cache line per sample.
        std::vector<double*> apWave(nColumns, nullptr);
        CMDChannelqv** ppChannels = pTrial->getAllChannelPt();
        for (std::size_t c = 0; c < nColumns; ++c) {
            const int nSlot = m_aColumnSlots[c];
            if (nSlot < 0 || nSlot >= pTrial->getTotalChannel() || !ppChannels[nSlot])
                continue;
            if (ppChannels[nSlot]->getSampleCount() != static_cast<std::int64_t>(nSamples))
                ppChannels[nSlot]->setDataWave(std::vector<double>(nSamples));
            apWave[c] = ppChannels[nSlot]->getDataWave();
        }
        const std::size_t nBlock = 64;
        for (std::size_t s0 = 0; s0 < nSamples; s0 += nBlock) {
            const std::size_t s1 = std::min(nSamples, s0 + nBlock);
            for (std::size_t c = 0; c < nColumns; ++c)
                if (double* pWave = apWave[c])
                    for (std::size_t s = s0; s < s1; ++s)
                        pWave[s] = rows[s * nColumns + c];
        }
        pTrial->setSampleCount(static_cast<std::int64_t>(nSamples));
    } catch (const std::bad_alloc&) {
        error = "out of memory while reading a page of the recording";
        return 0;
    }
    m_nPageFirst = nBegin;
    m_nPageLength = nEnd - nBegin;
    m_nPageSize = nLength;
    const double dRate = getSamplingRate();
    setFirstSampleTime(dRate > 0.0 ? m_dRecordingFirstTime + static_cast<double>(nBegin) / dRate
                                   : m_dRecordingFirstTime);
    const bool bInside = nSelected >= nBegin && nSelected < nEnd;
    setSelect(bInside ? nSelected - nBegin : 0);
    return 1;
}

std::int64_t CPagedRecording::getSelectedSample() {
    std::int64_t nSample = 0;
    std::int64_t nEnd = 0;
    getSelect(nSample, nEnd);
    return m_nPageFirst + nSample;
}

int CPagedRecording::selectSample(std::int64_t nSample, std::string& error) {
    if (nSample < m_nStoredFirst || nSample >= getStoredEnd()) {
        error = "sample " + std::to_string(nSample) +
                " is not in the converted recording (samples " + std::to_string(m_nStoredFirst) +
                " to " + std::to_string(getStoredEnd() - 1) + ")";
        return 0;
    }
    if (nSample < m_nPageFirst || nSample >= m_nPageFirst + m_nPageLength) {
        const std::int64_t nLength = m_nPageSize > 0 ? m_nPageSize : defaultPageSamples();
        if (!setPage(nSample - nSample % nLength, nLength, error))
            return 0;
    }
    return setSelect(nSample - m_nPageFirst);
}

void CPagedRecording::setOverview(std::vector<float> aGfp, double dRate) {
    m_aOverview = std::move(aGfp);
    m_dOverviewRate = dRate > 0.0 && std::isfinite(dRate) ? dRate : 0.0;
}
