// The Qt side of window handles: which widgets are alive behind them, the records of the
// messages being dispatched, and the bridge that turns a widget's events into its window
// object's handlers.

#include "qtwndbridge.h"

#include "afxdc.h"
#include "qtcursor.h"

#include <QApplication>
#include <QMouseEvent>

#include <algorithm>
#include <unordered_set>

namespace afxqt {

namespace {

// Live bridge widgets: a handle is only turned back into a widget when it is still alive.
std::unordered_set<QWidget*>& _liveWidgets() {
    static std::unordered_set<QWidget*> s_live;
    return s_live;
}

std::vector<SDispatch*>& _dispatchStack() {
    static std::vector<SDispatch*> s_stack;
    return s_stack;
}

void _detachWnd(CWndBridge* b) {
    CWnd* pWnd = b->m_pWnd;
    if (pWnd == nullptr)
        return;
    {
        CDispatchScope scope({pWnd, b, nullptr, WM_DESTROY, nullptr, 0, 0});
        pWnd->OnDestroy();
    }
    if (CWnd::GetCapture() == pWnd)
        ReleaseCapture();
    b->m_pWnd = nullptr;
    pWnd->m_hWnd = nullptr;
}

} // namespace

QWidget* _afxWidget(HWND hWnd) {
    QWidget* p = reinterpret_cast<QWidget*>(hWnd);
    if (p == nullptr || _liveWidgets().count(p) == 0)
        return nullptr;
    return p;
}

HWND _afxHandle(QWidget* pWidget) {
    return reinterpret_cast<HWND>(pWidget);
}

CWndBridge* _afxBridge(QWidget* pWidget) {
    if (pWidget == nullptr || _liveWidgets().count(pWidget) == 0)
        return nullptr;
    return dynamic_cast<CWndBridge*>(pWidget);
}

CWndBridge* _afxBridgeOf(const CWnd* pWnd) {
    return pWnd ? _afxBridge(_afxWidget(pWnd->m_hWnd)) : nullptr;
}

CWnd* _afxWndOfWidget(QWidget* pWidget) {
    for (QWidget* w = pWidget; w != nullptr; w = w->parentWidget()) {
        if (CWndBridge* b = _afxBridge(w); b != nullptr && b->m_pWnd != nullptr)
            return b->m_pWnd;
    }
    return nullptr;
}

QWidget* _afxTopWidget(const CWnd* pWnd) {
    CWndBridge* b = _afxBridgeOf(pWnd);
    if (b == nullptr)
        return nullptr;
    QWidget* w = b->widget();
    return w->isWindow() || b->m_bFrameClient ? w->window() : w;
}

bool _afxHaveApp() {
    return qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr;
}

SDispatch* _afxCurrentDispatch(const CWnd* pWnd) {
    auto& stack = _dispatchStack();
    for (auto it = stack.rbegin(); it != stack.rend(); ++it) {
        if ((*it)->pWnd == pWnd)
            return *it;
    }
    return nullptr;
}

bool _afxInDispatch(QWidget* pTree) {
    for (SDispatch* d : _dispatchStack()) {
        QWidget* w = d->pBridge ? d->pBridge->widget() : nullptr;
        if (w != nullptr && (w == pTree || pTree->isAncestorOf(w)))
            return true;
    }
    return false;
}

void _afxAttach(CWnd* pWnd, CWndBridge* pBridge) {
    QWidget* w = pBridge->widget();
    _liveWidgets().insert(w);
    pBridge->m_pWnd = pWnd;
    if (pWnd != nullptr)
        pWnd->m_hWnd = _afxHandle(w);
    w->setMouseTracking(true);
}

// Destroy notifications parent first, then the children, as the original platform sends them.
void _afxDetachTree(QWidget* w) {
    if (CWndBridge* b = _afxBridge(w))
        _detachWnd(b);
    for (QObject* o : w->children()) {
        if (o->isWidgetType())
            _afxDetachTree(static_cast<QWidget*>(o));
    }
}

void _afxBridgeDestroyed(CWndBridge* pBridge) {
    _detachWnd(pBridge);
    _liveWidgets().erase(pBridge->widget());
}

UINT _afxMouseFlags(Qt::MouseButtons buttons, Qt::KeyboardModifiers mods) {
    UINT n = 0;
    if (buttons & Qt::LeftButton)
        n |= MK_LBUTTON;
    if (buttons & Qt::RightButton)
        n |= MK_RBUTTON;
    if (buttons & Qt::MiddleButton)
        n |= MK_MBUTTON;
    if (mods & Qt::ShiftModifier)
        n |= MK_SHIFT;
    if (mods & Qt::ControlModifier)
        n |= MK_CONTROL;
    return n;
}

void _afxSendSize(CWndBridge* pBridge) {
    CWnd* pWnd = pBridge ? pBridge->m_pWnd : nullptr;
    if (pWnd == nullptr)
        return;
    const QRect rc = pBridge->clientRect();
    if (rc.size() == pBridge->m_sizeNotified)
        return;
    pBridge->m_sizeNotified = rc.size();
    CDispatchScope scope({pWnd, pBridge, nullptr, WM_SIZE, nullptr, 0, 0});
    pWnd->OnSize(SIZE_RESTORED, rc.width(), rc.height());
}

void _afxSendMouse(CWnd* pWnd, UINT message, UINT nFlags, CPoint point, QEvent* pEvent) {
    CDispatchScope scope({pWnd, _afxBridgeOf(pWnd), pEvent, message, nullptr, 0, 0});
    switch (message) {
    case WM_MOUSEMOVE:
        pWnd->OnMouseMove(nFlags, point);
        break;
    case WM_LBUTTONDOWN:
        pWnd->OnLButtonDown(nFlags, point);
        break;
    case WM_LBUTTONUP:
        pWnd->OnLButtonUp(nFlags, point);
        break;
    default:
        break;
    }
}

BOOL _afxSendSetCursor(CWnd* pWnd, UINT nMouseMessage) {
    if (pWnd == nullptr)
        return FALSE;
    if (CWndBridge* b = _afxBridgeOf(pWnd))
        _afxSetCursorWidget(b->widget());
    CDispatchScope scope(
        {pWnd, _afxBridgeOf(pWnd), nullptr, WM_SETCURSOR, pWnd, HTCLIENT, nMouseMessage});
    return pWnd->OnSetCursor(pWnd, HTCLIENT, nMouseMessage);
}

bool _afxDispatchEvent(CWndBridge* b, QEvent* e, bool& bResult) {
    CWnd* pWnd = b->m_pWnd;
    switch (e->type()) {
    case QEvent::Paint: {
        CDispatchScope scope({pWnd, b, e, WM_PAINT, nullptr, 0, 0});
        if (b->m_bErasePending) {
            b->m_bErasePending = false;
            CDispatchScope eraseScope({pWnd, b, nullptr, WM_ERASEBKGND, nullptr, 0, 0});
            CPaintDC dc(pWnd);
            pWnd->OnEraseBkgnd(&dc);
        }
        pWnd->OnPaint();
        if (!scope.record().bDefaultDone && b->m_pWnd != nullptr)
            b->drawNonClient();
        bResult = true;
        return true;
    }
    case QEvent::Resize: {
        bResult = b->baseEvent(e);
        _afxSendSize(b);
        return true;
    }
    case QEvent::Show:
        b->m_bErasePending = true;
        return false;
    case QEvent::MouseMove:
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick: {
        auto* me = static_cast<QMouseEvent*>(e);
        UINT message = 0;
        if (e->type() == QEvent::MouseMove)
            message = WM_MOUSEMOVE;
        else if (me->button() == Qt::LeftButton)
            message = e->type() == QEvent::MouseButtonRelease ? WM_LBUTTONUP : WM_LBUTTONDOWN;
        if (message == 0)
            return false;
        const QPoint pt = me->position().toPoint() - b->clientRect().topLeft();
        _afxSendMouse(pWnd, message, _afxMouseFlags(me->buttons(), me->modifiers()),
                      CPoint(pt.x(), pt.y()), e);
        // Mouse messages never travel on to the parent window.
        e->accept();
        bResult = true;
        return true;
    }
    default:
        return false;
    }
}

} // namespace afxqt

CWndBridge::~CWndBridge() = default;

CDispatchScope::CDispatchScope(const SDispatch& d) : m_d(d) {
    afxqt::_dispatchStack().push_back(&m_d);
}

CDispatchScope::~CDispatchScope() {
    auto& stack = afxqt::_dispatchStack();
    stack.erase(std::remove(stack.begin(), stack.end(), &m_d), stack.end());
}
