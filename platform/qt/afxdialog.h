#pragma once

// Modeless dialogs from templates. The window is created from the template found through the
// resource chain: a frame with the title and the template's menu bar, and below the menu bar the
// client area (the dialog's own window) holding the controls in template order.

#include "afxwnd.h"

class CM3D_API CDialog : public CWnd {
    DECLARE_DYNAMIC(CDialog)
    DECLARE_MESSAGE_MAP()
public:
    CDialog();
    explicit CDialog(UINT nIDTemplate, CWnd* pParentWnd = nullptr);
    ~CDialog() override;

    // Creates the window hidden (unless the template says visible). With no parent the owner is
    // the application's main window. FALSE without a QApplication or template, or when the
    // window exists already.
    BOOL Create(UINT nIDTemplate, CWnd* pParentWnd = nullptr);
    BOOL CreateIndirect(const CDlgTemplateqv* pTemplate, CWnd* pParentWnd = nullptr);

    // Runs the data exchange (loading); TRUE lets the first tab stop take the focus.
    virtual BOOL OnInitDialog();
    // Saves the controls and, only when that succeeds, ends the dialog.
    virtual void OnOK();
    // Ends the dialog without saving.
    virtual void OnCancel();
    // A modeless dialog ends by hiding its window.
    void EndDialog(int nResult);
    int GetResult() const { return m_nResult; }

    // The dialog's own table, then (for commands) its owner, then the application.
    BOOL OnCmdMsg(UINT nID, int nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo) override;
    // Standard dialog keys (IsDialogMessage on this dialog).
    BOOL PreTranslateMessage(MSG* pMsg) override;

    // Dialog units of the template font to pixels.
    void MapDialogRect(LPRECT lpRect) const;

    UINT m_nIDTemplate;
    CWnd* m_pParentWnd;

private:
    int m_nResult = 0;
};

// Dialog units to pixels with the template font's base units (6 x 13 pixels).
CM3D_API int AfxDialogUnitsToPixelsX(int nDlu);
CM3D_API int AfxDialogUnitsToPixelsY(int nDlu);
