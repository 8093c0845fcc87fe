#include "glimagetarget.h"

#include <png.h>

#include <algorithm>
#include <cerrno>
#include <csetjmp>
#include <cstdio>
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

namespace {

struct SPngWrite {
    png_structp pPng = nullptr;
    png_infop pInfo = nullptr;
    FILE* pFile = nullptr;
    ~SPngWrite() {
        if (pPng != nullptr)
            png_destroy_write_struct(&pPng, pInfo != nullptr ? &pInfo : nullptr);
        if (pFile != nullptr)
            std::fclose(pFile);
    }
};

// libpng reports errors by longjmp; keep no C++ objects with destructors between setjmp and the
// calls that may jump.
bool writeRows(SPngWrite& w, png_bytep* ppRows, int nWidth, int nHeight) {
    if (setjmp(png_jmpbuf(w.pPng)))
        return false;
    png_init_io(w.pPng, w.pFile);
    png_set_IHDR(w.pPng, w.pInfo, static_cast<png_uint_32>(nWidth),
                 static_cast<png_uint_32>(nHeight), 8, PNG_COLOR_TYPE_RGBA, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(w.pPng, w.pInfo);
    png_write_image(w.pPng, ppRows);
    png_write_end(w.pPng, nullptr);
    return true;
}

} // namespace

int CGLImageTargetqv::writePng(const std::string& strPath, std::string& strError) const {
    strError.clear();
    if (m_image.empty()) {
        strError = "no frame has been presented";
        return 0;
    }
    std::vector<png_bytep> rows(static_cast<size_t>(m_nImageHeight));
    for (int y = 0; y < m_nImageHeight; ++y)
        rows[y] =
            const_cast<png_bytep>(m_image.data() + static_cast<size_t>(y) * m_nImageWidth * 4);

    SPngWrite w;
    w.pFile = std::fopen(strPath.c_str(), "wb");
    if (w.pFile == nullptr) {
        strError = "cannot open '" + strPath + "' for writing: " + std::strerror(errno);
        return 0;
    }
    w.pPng = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (w.pPng != nullptr)
        w.pInfo = png_create_info_struct(w.pPng);
    if (w.pPng == nullptr || w.pInfo == nullptr) {
        strError = "libpng could not be initialised";
        return 0;
    }
    if (!writeRows(w, rows.data(), m_nImageWidth, m_nImageHeight)) {
        strError = "libpng failed while writing '" + strPath + "'";
        return 0;
    }
    if (std::fflush(w.pFile) != 0 || std::ferror(w.pFile)) {
        strError = "write error on '" + strPath + "': " + std::strerror(errno);
        return 0;
    }
    return 1;
}
