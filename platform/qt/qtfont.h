#pragma once

// Inside the layer only: the Qt fonts behind CFont and the dialog font.

#include "afxfont.h"

#include <QFont>

namespace afxqt {

// A face of the original platform as a font of the given character height in pixels.
QFont _afxResolveFont(const char* lpszFaceName, int nPixelHeight);
// The dialog templates' font ("MS Sans Serif" 8 pt) as drawn here.
QFont _afxDialogFont();
// The font of a created CFont; the dialog font otherwise.
QFont _afxFontOf(const CFont* pFont);

} // namespace afxqt

struct SFontAccess {
    static const SFontData* data(const CFont* p) { return p->m_pData; }
};
