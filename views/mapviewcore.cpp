#include "mapviewcore.h"

#include "gl4dqv.h"
#include "mdtrial.h"
#include "megdata.h"
#include "show3dcntmap.h"

#include <cstdint>
#include <new>

namespace mapview {

namespace {

// Releases a device context got from the view, with the message the user must see when the
// window system refuses.
void releaseDC(CWnd& view, CDC* pDC) {
    if (!view.ReleaseDC(pDC))
        AfxMessageBox("Release hDC error!", MB_OK);
}

} // namespace

int createViewGL(CWnd& view, CGL4dqv*& pGL4d) {
    CDC* pDC = view.GetDC();
    if (pDC == nullptr)
        return 0;
    if (pGL4d == nullptr)
        pGL4d = new (std::nothrow) CGL4dqv();
    const HDC hDC = pDC->GetSafeHdc();
    int nResult = 0;
    if (pGL4d != nullptr && pGL4d->setWindowPixelFormat(hDC) && pGL4d->createViewGLContext(hDC)) {
        pGL4d->glqvInit();
        nResult = 1;
    }
    // The context creation left it current; the view uses it only inside a paint or a pick.
    wglMakeCurrent(nullptr, nullptr);
    view.ReleaseDC(pDC);
    return nResult;
}

int reshapeOn(CWnd& view, CGL4dqv& gl4d, int nWidth, int nHeight) {
    CDC* pDC = view.GetDC();
    if (pDC == nullptr)
        return 0;
    gl4d.setViewGLContextCurrent(pDC->GetSafeHdc());
    gl4d.reshape(nWidth, nHeight);
    wglMakeCurrent(nullptr, nullptr);
    releaseDC(view, pDC);
    return 1;
}

int resizeViewGL(CWnd& view, CGL4dqv* pGL4d) {
    if (pGL4d == nullptr)
        return 0;
    CRect rc;
    view.GetClientRect(&rc);
    if (rc.Width() < 1 || rc.Height() < 1)
        return 1;
    reshapeOn(view, *pGL4d, rc.Width(), rc.Height());
    view.InvalidateRect(nullptr, TRUE);
    return 1;
}

int releaseViewGL(CGL4dqv*& pGL4d) {
    if (pGL4d != nullptr) {
        pGL4d->killGLCurrentContext();
        delete pGL4d;
        pGL4d = nullptr;
    }
    return 1;
}

void takeCurrentTrial(CMEGDataqv* pData, CMEGDataqv*& pMEGData, CMDTrialqv*& pTrial) {
    if (pData == nullptr) {
        pTrial = nullptr;
        pMEGData = nullptr;
        return;
    }
    int nChannels = 0;
    std::int64_t nSamples = 0;
    CMDTrialqv* pGot = nullptr;
    const int nResult = pData->getCurntTrialCSD(&nChannels, &nSamples, &pGot);
    if (nSamples < 1 || nChannels < 1 || pGot == nullptr || nResult < 0) {
        AfxMessageBox(AfxFormatText("Data error: sample%lld channel:%d!",
                                    static_cast<long long>(nSamples), nChannels)
                          .c_str(),
                      MB_OK);
    }
    pTrial = pGot;
    pMEGData = pData;
}

void paintFrame(CWnd& view, CGL4dqv& gl4d, CDC& dc, CShow3DCntMapqv* pMap, PFNSHOWMAP pfnShow) {
    const HDC hDC = dc.GetSafeHdc();
    gl4d.setViewGLContextCurrent(hDC);
    gl4d.m_pWnd = &view;
    gl4d.glqvInit();
    gl4d.beginGLqv();
    if (pMap != nullptr && pfnShow != nullptr)
        (pMap->*pfnShow)();
    gl4d.endGLqv();
    gl4d.glSwapBuffers(hDC);
    wglMakeCurrent(nullptr, nullptr);
}

COverlayText::COverlayText(CDC& dc, CFont& font) : m_dc(dc), m_nLineHeight(0) {
    m_crOldText = dc.SetTextColor(RGB(255, 255, 255));
    m_crOldBk = dc.SetBkColor(RGB(0, 0, 0));
    m_pOldFont = dc.SelectObject(&font);
    SIZE size = {0, 0};
    GetTextExtentPoint32W(dc.GetSafeHdc(), L"A", 1, &size);
    m_nLineHeight = size.cy;
}

COverlayText::~COverlayText() {
    m_dc.SetBkColor(m_crOldBk);
    m_dc.SetTextColor(m_crOldText);
    m_dc.SelectObject(m_pOldFont);
}

void COverlayText::line(int nLine, const std::wstring& str) {
    m_dc.TextOutW(0, nLine * m_nLineHeight, str.c_str(), static_cast<int>(str.size()));
}

void COverlayText::camera(CGL4dqv& gl4d) {
    double rx = 0.0, ry = 0.0, rz = 0.0;
    gl4d.getRotate(rx, ry, rz);
    line(0, widen(AfxFormatText("Rotation: %.0f %.0f %.0f ", rx, ry, rz)));
    double tx = 0.0, ty = 0.0, tz = 0.0;
    gl4d.getTranslate(tx, ty, tz);
    line(1, widen(AfxFormatText("Distance: %.0f", 0.0 - tz)));
}

std::wstring widen(const std::string& str) {
    // The formatted texts are plain ASCII; labels arrive as wide strings already.
    return std::wstring(str.begin(), str.end());
}

int dragTo(CWnd& view, CGL4dqv* pGL4d, int nViewMode, CPoint& ptLast, CPoint pt) {
    if (pGL4d == nullptr || (nViewMode != modeRotate && nViewMode != modeZoom))
        return 1;
    view.BeginWaitCursor();
    if (nViewMode == modeRotate) {
        CGxyz r = pGL4d->getRotateValue();
        r.x += static_cast<double>(pt.y - ptLast.y) / 3.6;
        r.y += static_cast<double>(pt.x - ptLast.x) / 3.6;
        pGL4d->setRotateValue(r.x, r.y, 0.0);
        pGL4d->setRotateBoolean(1, 1, 1);
        pGL4d->mouseLeftButtonDown(pt.x, pt.y);
    } else {
        pGL4d->addViewDistanceZ(static_cast<float>(ptLast.y - pt.y));
    }
    ptLast = pt;
    view.InvalidateRect(nullptr, FALSE);
    view.EndWaitCursor();
    return 1;
}

} // namespace mapview
