#include "frameencoder.h"

#include "glpngwrite.h"

CFrameEncoder::CFrameEncoder(std::size_t nCapacity, int nCompressionLevel)
    : m_nCapacity(nCapacity < 1 ? 1 : nCapacity), m_nLevel(nCompressionLevel),
      m_thread(&CFrameEncoder::_run, this) {}

CFrameEncoder::~CFrameEncoder() {
    std::string ignored;
    finish(ignored);
}

bool CFrameEncoder::push(std::string strPath, std::vector<unsigned char> rgba, int nWidth,
                         int nHeight) {
    std::unique_lock<std::mutex> lock(m_mutex);
    m_cvChanged.wait(
        lock, [this] { return m_aJobs.size() < m_nCapacity || !m_strError.empty() || m_bClosing; });
    if (!m_strError.empty() || m_bClosing) {
        return false;
    }
    m_aJobs.push_back({std::move(strPath), std::move(rgba), nWidth, nHeight});
    m_cvChanged.notify_all();
    return true;
}

bool CFrameEncoder::finish(std::string& strError) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_bClosing = true;
    }
    m_cvChanged.notify_all();
    if (m_thread.joinable()) {
        m_thread.join();
    }
    strError = m_strError;
    return m_strError.empty();
}

void CFrameEncoder::_run() {
    for (;;) {
        SJob job;
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_cvChanged.wait(lock, [this] { return !m_aJobs.empty() || m_bClosing; });
            if (m_aJobs.empty()) {
                return; // closing, and everything is written
            }
            job = std::move(m_aJobs.front());
            m_aJobs.pop_front();
        }
        // The producer may go on as soon as there is room.
        m_cvChanged.notify_all();
        std::string strError;
        const bool bWritten = writeRgbaPng(job.strPath, job.rgba.data(), job.nWidth, job.nHeight,
                                           m_nLevel, strError, EPngMode::fast);
        if (!bWritten) {
            {
                std::lock_guard<std::mutex> lock(m_mutex);
                m_strError = strError;
                m_aJobs.clear();
            }
            m_cvChanged.notify_all();
            return;
        }
    }
}
