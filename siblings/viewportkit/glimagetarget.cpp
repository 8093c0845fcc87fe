#include "glimagetarget.h"

#include "glpngwrite.h"

#include <algorithm>
#include <cstring>
#include <new>

CGLImageTargetqv::CGLImageTargetqv(int nWidth, int nHeight)
    : m_nWidth(std::max(nWidth, 0)), m_nHeight(std::max(nHeight, 0)) {}

int CGLImageTargetqv::setTargetSize(int nWidth, int nHeight) {
    m_nWidth = std::max(nWidth, 0);
    m_nHeight = std::max(nHeight, 0);
    return 1;
}

int CGLImageTargetqv::getTargetWidth() {
    return m_nWidth;
}

int CGLImageTargetqv::getTargetHeight() {
    return m_nHeight;
}

int CGLImageTargetqv::presentFrame(const unsigned char* pRGBA, int nWidth, int nHeight) {
    if (pRGBA == nullptr || nWidth < 1 || nHeight < 1)
        return 0;
    try {
        m_image.assign(pRGBA, pRGBA + static_cast<size_t>(nWidth) * nHeight * 4);
    } catch (const std::bad_alloc&) {
        clearFrame();
        return 0;
    }
    m_nImageWidth = nWidth;
    m_nImageHeight = nHeight;
    return 1;
}

unsigned char* CGLImageTargetqv::_frameStorage(int nWidth, int nHeight) {
    // Same size as the last frame: nothing to allocate or clear.
    m_image.resize(static_cast<size_t>(nWidth) * nHeight * 4);
    m_nImageWidth = nWidth;
    m_nImageHeight = nHeight;
    return m_image.data();
}

int CGLImageTargetqv::getPixel(int x, int y, unsigned char* pRGBA) const {
    if (pRGBA == nullptr || m_image.empty() || x < 0 || y < 0 || x >= m_nImageWidth ||
        y >= m_nImageHeight)
        return 0;
    std::memcpy(pRGBA, m_image.data() + (static_cast<size_t>(y) * m_nImageWidth + x) * 4, 4);
    return 1;
}

int CGLImageTargetqv::clearFrame() {
    m_image.clear();
    m_nImageWidth = 0;
    m_nImageHeight = 0;
    return 1;
}

int CGLImageTargetqv::writePng(const std::string& strPath, std::string& strError) const {
    strError.clear();
    if (m_image.empty()) {
        strError = "no frame has been presented";
        return 0;
    }
    return writeRgbaPng(strPath, m_image.data(), m_nImageWidth, m_nImageHeight, -1, strError) ? 1
                                                                                              : 0;
}
