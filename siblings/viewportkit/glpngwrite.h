#pragma once

#include "siblings_export.h"

#include <string>

// How a PNG is made. smallest: libpng's adaptive row filters, which try all five filters on
// every row and keep the best. fast: the Up filter alone, and no alpha channel when every pixel
// is opaque (the pixels read back the same); at level 1 this takes under half the time on a map
// and still gives smaller files, since the adaptive choice costs as much as the compression.
enum class EPngMode { smallest, fast };

// Writes an 8-bit RGBA image (top row first, rows packed) as PNG at zlib compression level
// nLevel (0 to 9, -1 for zlib's default); false with a one-line reason on failure.
VIEWPORTKIT_API bool writeRgbaPng(const std::string& strPath, const unsigned char* pRGBA,
                                  int nWidth, int nHeight, int nLevel, std::string& strError,
                                  EPngMode nMode = EPngMode::smallest);
