#pragma once

// Fonts by point size and face name. Faces of the original platform resolve to a metric-
// compatible face (Arial and the dialog font to Liberation Sans), so text has the same size on
// every machine.

#include "afxruntime.h"

#include <string>

class CDC;
struct SFontData;

class CM3D_API CFont : public CObject {
public:
    CFont();
    ~CFont() override;
    CFont(const CFont&) = delete;
    CFont& operator=(const CFont&) = delete;

    // nPointSize in tenths of a point (90: 9 points), at 96 dots per inch.
    BOOL CreatePointFont(int nPointSize, const char* lpszFaceName, CDC* pDC = nullptr);
    BOOL DeleteObject();
    BOOL IsCreated() const;
    // Character height in pixels; 0 before creation.
    int GetPixelHeight() const;
    // The face the text is drawn with (after resolution); empty before creation.
    std::string GetResolvedFaceName() const;

private:
    friend struct SFontAccess;
    SFontData* m_pData;
};
