#pragma once

// The static control. A view subclasses a template's static control (DDX_Control or
// SubclassDlgItem) and from then on paints it and receives its messages. Without SS_NOTIFY a
// static is transparent to the mouse: mouse messages over it go to its parent.

#include "afxwnd.h"

class CM3D_API CStatic : public CWnd {
    DECLARE_DYNAMIC(CStatic)
public:
    CStatic() = default;
    ~CStatic() override;

    BOOL Create(const char* lpszText, DWORD dwStyle, const RECT& rect, CWnd* pParentWnd,
                UINT nID = 0xFFFF);
};
