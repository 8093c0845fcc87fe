#pragma once

// Device contexts of a window's client area. Their handle (HDC) is a draw target the viewport
// library renders for: the target size is the client size, and a presented frame is drawn on
// the window (inside a paint, with the paint's painter, so text can go over it afterwards;
// outside a paint it is kept and a repaint is requested).

#include "afxfont.h"
#include "afxwnd.h"
#include "gldrawtarget.h"

class CWndDrawTarget;

class CM3D_API CDC : public CObject {
public:
    HDC m_hDC = nullptr;

    ~CDC() override;
    CDC(const CDC&) = delete;
    CDC& operator=(const CDC&) = delete;

    HDC GetSafeHdc() const { return m_hDC; }

    // Each returns the previous value.
    COLORREF SetTextColor(COLORREF crColor);
    COLORREF SetBkColor(COLORREF crColor);
    int SetBkMode(int nBkMode); // OPAQUE (initial) or TRANSPARENT
    CFont* SelectObject(CFont* pFont);
    COLORREF GetTextColor() const;
    COLORREF GetBkColor() const;
    int GetBkMode() const;

    // Text with its top-left corner at (x, y) in client coordinates; an opaque background mode
    // puts it on a box of the background colour.
    BOOL TextOutW(int x, int y, const wchar_t* lpszString, int nCount);
    BOOL TextOut(int x, int y, const char* lpszUtf8);
    CSize GetTextExtent(const wchar_t* lpszString, int nCount) const;
    void FillSolidRect(LPCRECT lpRect, COLORREF crColor);

protected:
    explicit CDC(CWnd* pWnd, bool bPaint);
    CWndDrawTarget* m_pTarget;
};

// The device context of a paint: only inside the window's paint handler does it draw on the
// window; elsewhere it behaves as a window device context.
class CM3D_API CPaintDC : public CDC {
public:
    explicit CPaintDC(CWnd* pWnd);
    ~CPaintDC() override;
    CWnd* m_pWnd;
};

// A window device context for the client area, outside paints.
class CM3D_API CClientDC : public CDC {
public:
    explicit CClientDC(CWnd* pWnd);
};

// Extent of nCount characters in the font selected into hdc; FALSE for a foreign or null hdc.
CM3D_API BOOL GetTextExtentPoint32W(HDC hdc, const wchar_t* lpString, int c, SIZE* psizl);
