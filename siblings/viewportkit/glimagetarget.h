#pragma once

#include "gldrawtarget.h"
#include "siblings_export.h"

#include <string>
#include <vector>

// Offscreen device context: gives the viewport a size and keeps a copy of each presented frame
// (headless rendering, tests).
class VIEWPORTKIT_API CGLImageTargetqv : public CGLDrawTargetqv {
public:
    // Negative sizes are taken as 0; the viewport then renders at 1x1.
    CGLImageTargetqv(int nWidth, int nHeight);

    int setTargetSize(int nWidth, int nHeight);
    int getTargetWidth() override;
    int getTargetHeight() override;
    // Keeps a copy of the frame; 0 for a null frame or a size below 1x1.
    int presentFrame(const unsigned char* pRGBA, int nWidth, int nHeight) override;

    // Last presented frame: RGBA, top row first; empty before the first frame.
    const std::vector<unsigned char>& getImage() const { return m_image; }
    int getImageWidth() const { return m_nImageWidth; }
    int getImageHeight() const { return m_nImageHeight; }
    int hasFrame() const { return m_image.empty() ? 0 : 1; }
    // RGBA of the frame's pixel (x, y), origin top-left; 0 when outside the frame or no frame.
    int getPixel(int x, int y, unsigned char* pRGBA) const;
    int clearFrame();

    // Writes the last frame as an 8-bit RGBA PNG; 0 with a reason in strError on failure.
    int writePng(const std::string& strPath, std::string& strError) const;

private:
    friend class CGL4d;
    // Storage for a frame of nWidth x nHeight (both at least 1) that the viewport reads straight
    // into, leaving the target as presentFrame would; throws std::bad_alloc when out of memory.
    unsigned char* _frameStorage(int nWidth, int nHeight);

    int m_nWidth;
    int m_nHeight;
    std::vector<unsigned char> m_image;
    int m_nImageWidth = 0;
    int m_nImageHeight = 0;
};
