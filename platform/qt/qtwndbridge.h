#pragma once

// Inside the layer only: the Qt widgets behind window handles and the bridge that turns their
// events into the handlers of the attached CWnd.

#include "afxwnd.h"

#include <QEvent>
#include <QFrame>
#include <QImage>
#include <QPainter>
#include <QWidget>

#include <memory>
#include <type_traits>
#include <vector>

class CDC;

// What every widget behind a handle carries.
class CWndBridge {
public:
    virtual ~CWndBridge();

    CWnd* m_pWnd = nullptr; // attached window object
    int m_nId = 0;
    DWORD m_dwStyle = 0;
    DWORD m_dwExStyle = 0;
    QString m_strClass;                  // "BUTTON", "EDIT", "STATIC" or empty
    bool m_bFrameClient = false;         // the client area of a dialog frame (menu bar above it)
    bool m_bErasePending = true;         // the next paint erases the background first
    QImage m_keptFrame;                  // a frame presented outside a paint
    QSize m_sizeNotified{-1, -1};        // the client size OnSize last told of
    QPainter* m_pPaintPainter = nullptr; // the painter of the paint being handled

    virtual QWidget* widget() = 0;
    virtual bool baseEvent(QEvent* e) = 0;
    // The client area in widget coordinates (inside a static's edge).
    virtual QRect clientRect() = 0;
    virtual void drawNonClient() {}
};

template <class W> class TWndWidget : public W, public CWndBridge {
public:
    using W::W;
    ~TWndWidget() override;

    QWidget* widget() override { return this; }
    bool baseEvent(QEvent* e) override { return W::event(e); }
    QRect clientRect() override {
        if constexpr (std::is_base_of_v<QFrame, W>)
            return this->contentsRect();
        else
            return this->rect();
    }
    void drawNonClient() override {
        if constexpr (std::is_base_of_v<QFrame, W>) {
            if (this->frameShape() != QFrame::NoFrame) {
                QPainter painter(this);
                this->drawFrame(&painter);
            }
        }
    }

protected:
    bool event(QEvent* e) override;
};

// Dispatch records: Default() finds the message being handled here.
struct SDispatch {
    CWnd* pWnd;
    CWndBridge* pBridge;
    QEvent* pEvent; // null for messages with no Qt event
    UINT message;
    CWnd* pCursorWnd; // WM_SETCURSOR: the window under the pointer
    UINT nHitTest;
    UINT nMouseMessage;
    bool bDefaultDone = false;
};
class CDispatchScope {
public:
    explicit CDispatchScope(const SDispatch& d);
    ~CDispatchScope();
    SDispatch& record() { return m_d; }
    CDispatchScope(const CDispatchScope&) = delete;
    CDispatchScope& operator=(const CDispatchScope&) = delete;

private:
    SDispatch m_d;
};

// Private state of a window object.
struct SWndPrivate {
    std::vector<CDC*> dcs;                       // from GetDC, until ReleaseDC
    std::vector<std::unique_ptr<CWnd>> wrappers; // window objects of plain dialog controls
    CWnd* pOwner = nullptr;
    int nExchange = 0;
};

struct SWndAccess {
    static SWndPrivate* priv(const CWnd* p) { return p->m_pPriv; }
};

// The layer's own helpers; nothing outside platform/qt (but its tests) calls them.
namespace afxqt {

QWidget* _afxWidget(HWND hWnd);
HWND _afxHandle(QWidget* pWidget);
CWndBridge* _afxBridge(QWidget* pWidget);
CWndBridge* _afxBridgeOf(const CWnd* pWnd);
// The window object of a widget or of its nearest ancestor that has one.
CWnd* _afxWndOfWidget(QWidget* pWidget);
// The top-level widget that shows a window (a dialog's frame for its client area).
QWidget* _afxTopWidget(const CWnd* pWnd);
// True when a QApplication runs; windows cannot exist otherwise.
bool _afxHaveApp();
// Installs the input filter and the message-box handler once a QApplication exists.
void _afxEnsureIntegration();
// Shows the layer's message boxes as Qt message boxes, unless a handler is installed already.
void _afxInstallMessageBox();

// Event dispatch shared by every bridge widget; false leaves the event to the widget.
bool _afxDispatchEvent(CWndBridge* pBridge, QEvent* e, bool& bResult);
// Called from a bridge widget's destructor: detaches its window object.
void _afxBridgeDestroyed(CWndBridge* pBridge);
// Attaches a window object to a bridge widget (and the widget to the handle map).
void _afxAttach(CWnd* pWnd, CWndBridge* pBridge);
// Detaches the window objects of a widget and its descendants, parent first, each told
// OnDestroy.
void _afxDetachTree(QWidget* pWidget);

SDispatch* _afxCurrentDispatch(const CWnd* pWnd);
bool _afxInDispatch(QWidget* pTree);

// Sends WM_SETCURSOR for the window under the pointer; the default asks parents first.
BOOL _afxSendSetCursor(CWnd* pWnd, UINT nMouseMessage);
// OnSize with the bridge's client size, unless that size was told already: the platform tells
// a window of size changes only.
void _afxSendSize(CWndBridge* pBridge);
// Mouse handlers of a window, with the point in its client coordinates.
void _afxSendMouse(CWnd* pWnd, UINT message, UINT nFlags, CPoint point, QEvent* pEvent);
UINT _afxMouseFlags(Qt::MouseButtons buttons, Qt::KeyboardModifiers mods);

// The widget of a control: a push button, check box, edit or static of the given styles.
QWidget* _afxCreateControlWidget(const char* lpszClass, DWORD dwStyle, DWORD dwExStyle,
                                 const char* lpszText, int nId, QWidget* pParent);

} // namespace afxqt

template <class W> TWndWidget<W>::~TWndWidget() {
    afxqt::_afxBridgeDestroyed(this);
}

template <class W> bool TWndWidget<W>::event(QEvent* e) {
    bool bResult = false;
    if (m_pWnd != nullptr && afxqt::_afxDispatchEvent(this, e, bResult))
        return bResult;
    return W::event(e);
}
