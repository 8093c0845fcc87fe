#include "glpngwrite.h"

#include <png.h>

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

struct SPngWrite {
    png_structp pPng = nullptr;
    png_infop pInfo = nullptr;
    FILE* pFile = nullptr;
    ~SPngWrite() {
        if (pPng != nullptr) {
            png_destroy_write_struct(&pPng, pInfo != nullptr ? &pInfo : nullptr);
        }
        if (pFile != nullptr) {
            std::fclose(pFile);
        }
    }
};

// libpng reports errors by longjmp: no C++ object with a destructor may live between setjmp and
// the calls that can jump.
bool _writeRows(SPngWrite& w, png_bytep* ppRows, int nWidth, int nHeight, int nLevel,
                bool bUpFilter, bool bDropAlpha) {
    if (setjmp(png_jmpbuf(w.pPng))) {
        return false;
    }
    png_init_io(w.pPng, w.pFile);
    png_set_compression_level(w.pPng, nLevel);
    if (bUpFilter) {
        png_set_filter(w.pPng, PNG_FILTER_TYPE_BASE, PNG_FILTER_UP);
    }
    png_set_IHDR(w.pPng, w.pInfo, static_cast<png_uint_32>(nWidth),
                 static_cast<png_uint_32>(nHeight), 8,
                 bDropAlpha ? PNG_COLOR_TYPE_RGB : PNG_COLOR_TYPE_RGBA, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(w.pPng, w.pInfo);
    if (bDropAlpha) {
        // The rows keep their fourth byte; libpng skips it.
        png_set_filler(w.pPng, 0, PNG_FILLER_AFTER);
    }
    png_write_image(w.pPng, ppRows);
    png_write_end(w.pPng, nullptr);
    return true;
}

bool _allOpaque(const unsigned char* pRGBA, std::size_t nPixels) {
    unsigned char nAll = 0xFF;
    for (std::size_t i = 0; i < nPixels; ++i) {
        nAll &= pRGBA[i * 4 + 3];
    }
    return nAll == 0xFF;
}

} // namespace

bool writeRgbaPng(const std::string& strPath, const unsigned char* pRGBA, int nWidth, int nHeight,
                  int nLevel, std::string& strError, EPngMode nMode) {
    strError.clear();
    if (pRGBA == nullptr || nWidth < 1 || nHeight < 1) {
        strError = "no image to write to '" + strPath + "'";
        return false;
    }
    std::vector<png_bytep> rows(static_cast<std::size_t>(nHeight));
    for (int y = 0; y < nHeight; ++y) {
        rows[y] = const_cast<png_bytep>(pRGBA + static_cast<std::size_t>(y) * nWidth * 4);
    }
    SPngWrite w;
    w.pFile = std::fopen(strPath.c_str(), "wb");
    if (w.pFile == nullptr) {
        strError = "cannot open '" + strPath + "' for writing: " + std::strerror(errno);
        return false;
    }
    w.pPng = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (w.pPng != nullptr) {
        w.pInfo = png_create_info_struct(w.pPng);
    }
    if (w.pPng == nullptr || w.pInfo == nullptr) {
        strError = "libpng could not be initialised";
        return false;
    }
    const bool bFast = nMode == EPngMode::fast;
    const bool bDropAlpha = bFast && _allOpaque(pRGBA, static_cast<std::size_t>(nWidth) *
                                                           static_cast<std::size_t>(nHeight));
    if (!_writeRows(w, rows.data(), nWidth, nHeight, nLevel < 0 ? -1 : nLevel, bFast, bDropAlpha)) {
        strError = "libpng failed while writing '" + strPath + "'";
        return false;
    }
    if (std::fflush(w.pFile) != 0 || std::ferror(w.pFile)) {
        strError = "write error on '" + strPath + "': " + std::strerror(errno);
        return false;
    }
    return true;
}
