#pragma once

#include <string>

// Writes an 8-bit RGBA image (top row first, rows packed) as PNG at zlib compression level
// nLevel (0 to 9, -1 for zlib's default); false with a one-line reason on failure.
bool writeRgbaPng(const std::string& strPath, const unsigned char* pRGBA, int nWidth, int nHeight,
                  int nLevel, std::string& strError);
