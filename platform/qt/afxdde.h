#pragma once

// Dialog data exchange: DoDataExchange lists the bindings; UpdateData(FALSE) loads the controls
// from the members, UpdateData(TRUE) saves them back. A value that fails to save shows the
// number-entry prompt, puts the focus back into its control and stops the exchange: the bindings
// after it do nothing, so their members keep their values.

#include "afxwnd.h"

class CM3D_API CDataExchange {
public:
    CDataExchange(CWnd* pDlgWnd, BOOL bSaveAndValidate);

    BOOL m_bSaveAndValidate;
    CWnd* m_pDlgWnd;
    BOOL m_bFailed = FALSE;

    // The control with that id, or null (which fails a saving exchange).
    CWnd* PrepareCtrl(int nIDC);
    // Marks the exchange failed and puts the focus into the given control.
    void Fail(CWnd* pCtrl = nullptr);
};

// Subclasses control nIDC with rControl (once; later exchanges leave it attached).
CM3D_API void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl);
// Check box state as 1 (ticked) or 0.
CM3D_API void DDX_Check(CDataExchange* pDX, int nIDC, int& value);
// A float shown in general notation with 6 significant digits.
CM3D_API void DDX_Text(CDataExchange* pDX, int nIDC, float& value);
CM3D_API void DDX_Text(CDataExchange* pDX, int nIDC, double& value);

// The number rule of the edits: optional blanks, a decimal floating-point number in the C
// library's notation, optional blanks; a zero value only when the first non-blank character is
// the digit 0. TRUE with the value on success.
CM3D_API BOOL AfxParseNumberText(const char* pszText, double& dValue);
// General notation with nDigits significant digits ("%.*g"), independent of the locale.
CM3D_API std::string AfxFormatNumberText(double dValue, int nDigits);
// printf-style formatting in the C locale, whatever locale the host has set, so numbers in
// window texts always use a decimal point.
CM3D_API std::string AfxFormatText(const char* pszFormat, ...)
    __attribute__((format(printf, 1, 2)));
