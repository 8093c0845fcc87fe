#include "afxstatic.h"

IMPLEMENT_DYNAMIC(CStatic, CWnd)

CStatic::~CStatic() = default;

BOOL CStatic::Create(const char* lpszText, DWORD dwStyle, const RECT& rect, CWnd* pParentWnd,
                     UINT nID) {
    return CWnd::Create("STATIC", lpszText, dwStyle | WS_CHILD, rect, pParentWnd, nID);
}
