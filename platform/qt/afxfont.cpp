#include "afxfont.h"

#include "qtfont.h"

#include <QFontDatabase>
#include <QGuiApplication>

#include <string>
#include <strings.h>

using namespace afxqt;

struct SFontData {
    bool bCreated = false;
    int nPixelHeight = 0;
    std::string strFace;
};

namespace {

const char* const kMetricFace = "Liberation Sans";

// fontconfig normally knows the face; if it does not, load it from where Debian installs it.
void _ensureMetricFace() {
    static bool s_bDone = false;
    if (s_bDone || QGuiApplication::instance() == nullptr)
        return;
    s_bDone = true;
    if (QFontDatabase::families().contains(QString::fromLatin1(kMetricFace)))
        return;
    for (const char* path : {"/usr/share/fonts/truetype/liberation2/LiberationSans-Regular.ttf",
                             "/usr/share/fonts/truetype/liberation/LiberationSans-Regular.ttf"})
        if (QFontDatabase::addApplicationFont(QString::fromLatin1(path)) >= 0)
            return;
}

bool _isMetricCompatible(const char* lpszFaceName) {
    static const char* const kFaces[] = {"Arial",  "MS Sans Serif", "Microsoft Sans Serif",
                                         "Tahoma", "Helvetica",     "MS Shell Dlg"};
    if (lpszFaceName == nullptr || *lpszFaceName == '\0')
        return true;
    for (const char* p : kFaces) {
        if (strcasecmp(p, lpszFaceName) == 0)
            return true;
    }
    return false;
}

} // namespace

QFont afxqt::_afxResolveFont(const char* lpszFaceName, int nPixelHeight) {
    _ensureMetricFace();
    QFont font;
    if (_isMetricCompatible(lpszFaceName))
        font.setFamilies({QString::fromLatin1(kMetricFace)});
    else
        font.setFamilies({QString::fromUtf8(lpszFaceName), QString::fromLatin1(kMetricFace)});
    font.setPixelSize(nPixelHeight > 0 ? nPixelHeight : 1);
    // Unhinted outlines keep advances and heights independent of local rendering settings.
    font.setHintingPreference(QFont::PreferNoHinting);
    return font;
}

// The templates were laid out for a bitmap font narrower than any metric-compatible outline
// face at 8 points; one pixel less keeps every label inside its control.
QFont afxqt::_afxDialogFont() {
    return _afxResolveFont("MS Sans Serif", MulDiv(8, 96, 72) - 1);
}

QFont afxqt::_afxFontOf(const CFont* pFont) {
    const SFontData* d = pFont ? SFontAccess::data(pFont) : nullptr;
    if (d == nullptr || !d->bCreated)
        return _afxDialogFont();
    return _afxResolveFont(d->strFace.c_str(), d->nPixelHeight);
}

CFont::CFont() : m_pData(new SFontData) {}

CFont::~CFont() {
    delete m_pData;
}

BOOL CFont::CreatePointFont(int nPointSize, const char* lpszFaceName, CDC* /*pDC*/) {
    if (m_pData->bCreated || nPointSize <= 0)
        return FALSE;
    m_pData->bCreated = true;
    m_pData->nPixelHeight = MulDiv(nPointSize, 96, 720);
    m_pData->strFace = lpszFaceName ? lpszFaceName : "";
    return TRUE;
}

BOOL CFont::DeleteObject() {
    if (!m_pData->bCreated)
        return FALSE;
    *m_pData = SFontData();
    return TRUE;
}

BOOL CFont::IsCreated() const {
    return m_pData->bCreated ? TRUE : FALSE;
}

int CFont::GetPixelHeight() const {
    return m_pData->nPixelHeight;
}

std::string CFont::GetResolvedFaceName() const {
    if (!m_pData->bCreated)
        return std::string();
    return _isMetricCompatible(m_pData->strFace.c_str()) ? kMetricFace : m_pData->strFace;
}
