#pragma once

// CWnd: a window of the layer. It owns nothing of Qt in its interface; its handle names a Qt
// widget inside the layer. Message handlers are virtual functions that the Qt event bridge calls;
// a handler that wants the platform's own behaviour calls Default().

#include "afxcmdtarget.h"

#include <string>

class CDC;
class CDataExchange;
struct SWndPrivate;

class CM3D_API CWnd : public CCmdTarget {
    DECLARE_DYNAMIC(CWnd)
    DECLARE_MESSAGE_MAP()
public:
    HWND m_hWnd = nullptr;

    CWnd();
    ~CWnd() override;
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    HWND GetSafeHwnd() const { return m_hWnd; }
    // The window object attached to a handle; null for a null or unknown handle.
    static CWnd* FromHandle(HWND hWnd);

    // Creates a window: a child control when dwStyle has WS_CHILD and a parent is given
    // (lpszClassName "BUTTON", "EDIT", "STATIC", or null for a plain child), otherwise a
    // top-level window. rect is in the parent's client pixels (screen for top-level windows).
    BOOL Create(const char* lpszClassName, const char* lpszWindowName, DWORD dwStyle,
                const RECT& rect, CWnd* pParentWnd, UINT nID);
    // Sends the destroy notifications (parent first) and deletes the window and its children.
    virtual BOOL DestroyWindow();
    // Attaches this object to an existing window (a control of a dialog, for instance), which
    // from then on sends its messages to this object's handlers.
    BOOL SubclassWindow(HWND hWnd);
    BOOL SubclassDlgItem(UINT nID, CWnd* pParent);
    HWND UnsubclassWindow();

    CWnd* GetDlgItem(int nID) const;
    int GetDlgCtrlID() const;
    CWnd* GetParent() const;
    CWnd* GetOwner() const;
    void SetOwner(CWnd* pOwnerWnd);
    DWORD GetStyle() const;
    DWORD GetExStyle() const;

    BOOL ShowWindow(int nCmdShow);
    BOOL IsWindowVisible() const;
    BOOL SetForegroundWindow();
    BOOL EnableWindow(BOOL bEnable = TRUE);
    BOOL IsWindowEnabled() const;
    void SetWindowText(const char* lpszString); // UTF-8
    std::string GetWindowText() const;
    CWnd* SetFocus();
    static CWnd* GetFocus();
    // Check state of a check box; BST_UNCHECKED for anything else.
    int GetCheck() const;
    void SetCheck(int nCheck);

    void GetClientRect(LPRECT lpRect) const;
    void GetWindowRect(LPRECT lpRect) const; // screen coordinates
    void ClientToScreen(LPPOINT lpPoint) const;
    void ScreenToClient(LPPOINT lpPoint) const;
    void MoveWindow(int x, int y, int nWidth, int nHeight, BOOL bRepaint = TRUE);
    void MoveWindow(LPCRECT lpRect, BOOL bRepaint = TRUE);
    BOOL GetWindowPlacement(WINDOWPLACEMENT* lpwndpl) const;
    BOOL SetWindowPlacement(const WINDOWPLACEMENT* lpwndpl);
    // Converts points from this window's client coordinates to pwndTo's (screen when null).
    int MapWindowPoints(CWnd* pwndTo, LPPOINT lpPoint, UINT nCount) const;
    void MapWindowPoints(CWnd* pwndTo, LPRECT lpRect) const;
    // The child whose rectangle holds the point (client coordinates), by geometry alone, so
    // hidden, disabled and mouse-transparent children count; this window when no child holds it;
    // null when the point lies outside the client area.
    CWnd* ChildWindowFromPoint(POINT point) const;

    void Invalidate(BOOL bErase = TRUE);
    void InvalidateRect(LPCRECT lpRect, BOOL bErase = TRUE);
    // Paints pending invalid areas now.
    void UpdateWindow();
    // A device context for the client area, valid until ReleaseDC; null without a window.
    CDC* GetDC();
    // 1 when pDC came from this window's GetDC and is now released, else 0.
    int ReleaseDC(CDC* pDC);

    // While a window holds the capture it alone gets the mouse messages, in its client
    // coordinates, wherever the pointer is. Returns the previous capture window.
    CWnd* SetCapture();
    static CWnd* GetCapture();

    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0);

    // Input messages pass here (the target window first, then its parents) before delivery;
    // TRUE consumes the message.
    virtual BOOL PreTranslateMessage(MSG* pMsg);
    // Keyboard and mouse messages go through IsDialogMessage with this window as the dialog.
    BOOL PreTranslateInput(LPMSG lpMsg);
    // Standard dialog keys for messages addressed to this window or its children: Tab and
    // Shift+Tab between tab stops, arrows between controls (not inside edits), Enter for the
    // focused push button or the default button, Esc for cancel. TRUE when it consumed the key.
    BOOL IsDialogMessage(LPMSG lpMsg);
    virtual BOOL OnCommand(WPARAM wParam, LPARAM lParam);

    // Moves values between controls and members through DoDataExchange; FALSE when a value
    // failed to save (the exchange stops at that control).
    BOOL UpdateData(BOOL bSaveAndValidate = TRUE);
    BOOL IsInDataExchange() const;
    virtual void DoDataExchange(CDataExchange* pDX);

    // Handlers, called by the event bridge.
    virtual void OnPaint();
    virtual BOOL OnEraseBkgnd(CDC* pDC);
    virtual void OnSize(UINT nType, int cx, int cy);
    virtual void OnDestroy();
    virtual void OnMouseMove(UINT nFlags, CPoint point);
    virtual void OnLButtonDown(UINT nFlags, CPoint point);
    virtual void OnLButtonUp(UINT nFlags, CPoint point);
    // TRUE when a cursor was set; the default asks the parent first, then sets the class cursor.
    virtual BOOL OnSetCursor(CWnd* pWnd, UINT nHitTest, UINT message);

protected:
    // The platform's own handling of the message being handled.
    LRESULT Default();

private:
    friend struct SWndAccess;
    SWndPrivate* m_pPriv;
};

// Global capture release; FALSE when no window held the capture.
CM3D_API BOOL ReleaseCapture();
// Shift and control state of the input message being processed: the high bit set when down.
CM3D_API SHORT GetKeyState(int nVirtKey);
