#include "qtwndbridge.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPointer>

using namespace afxqt;

namespace {

CWnd* s_pCapture = nullptr;
Qt::KeyboardModifiers s_modifiers;

int _virtualKey(int nQtKey) {
    switch (nQtKey) {
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        return VK_TAB;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return VK_RETURN;
    case Qt::Key_Escape:
        return VK_ESCAPE;
    case Qt::Key_Space:
        return VK_SPACE;
    case Qt::Key_Left:
        return VK_LEFT;
    case Qt::Key_Up:
        return VK_UP;
    case Qt::Key_Right:
        return VK_RIGHT;
    case Qt::Key_Down:
        return VK_DOWN;
    case Qt::Key_Shift:
        return VK_SHIFT;
    case Qt::Key_Control:
        return VK_CONTROL;
    default:
        return (nQtKey >= 0x20 && nQtKey <= 0x7E) ? nQtKey : 0;
    }
}

UINT _mouseMessage(const QMouseEvent* me) {
    const bool bLeft = me->button() == Qt::LeftButton;
    const bool bRight = me->button() == Qt::RightButton;
    switch (me->type()) {
    case QEvent::MouseMove:
        return WM_MOUSEMOVE;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
        return bLeft ? WM_LBUTTONDOWN : bRight ? WM_RBUTTONDOWN : WM_MBUTTONDOWN;
    case QEvent::MouseButtonRelease:
        return bLeft ? WM_LBUTTONUP : bRight ? WM_RBUTTONUP : WM_MBUTTONUP;
    default:
        return 0;
    }
}

// Input messages go to the target window's PreTranslateMessage, then its parents'.
BOOL _walkPreTranslate(CWnd* pTarget, MSG* pMsg) {
    for (CWnd* p = pTarget; p != nullptr; p = p->GetParent()) {
        if (p->PreTranslateMessage(pMsg))
            return TRUE;
    }
    return FALSE;
}

// The application-wide input hook: mouse capture, cursor requests and message pre-translation,
// the parts of the original message loop that Qt's delivery does not have.
class CInputFilter : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* o, QEvent* e) override {
        if (!o->isWidgetType())
            return false;
        QWidget* w = static_cast<QWidget*>(o);
        switch (e->type()) {
        case QEvent::MouseMove:
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
            return mouse(w, static_cast<QMouseEvent*>(e));
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
            return key(w, static_cast<QKeyEvent*>(e));
        default:
            return false;
        }
    }

private:
    bool mouse(QWidget* w, QMouseEvent* me) {
        // Qt hands an unaccepted event on to the parent; only its first delivery counts.
        const QWidget* child = w->childAt(me->position().toPoint());
        if (child != nullptr && !child->isWindow())
            return false;
        s_modifiers = me->modifiers();
        const UINT message = _mouseMessage(me);
        CWnd* pCapture = CWnd::GetCapture();
        const QPoint global = me->globalPosition().toPoint();
        if (pCapture == nullptr) {
            if (CWnd* pUnder = _afxWndOfWidget(w))
                _afxSendSetCursor(pUnder, message);
        }
        CWnd* pTarget = pCapture ? pCapture : _afxWndOfWidget(w);
        if (pTarget == nullptr)
            return false;
        POINT pt{global.x(), global.y()};
        pTarget->ScreenToClient(&pt);
        const UINT nFlags = _afxMouseFlags(me->buttons(), me->modifiers());
        MSG msg{pTarget->m_hWnd,
                message,
                nFlags,
                MAKELPARAM(pt.x, pt.y),
                static_cast<DWORD>(me->timestamp()),
                POINT{global.x(), global.y()}};
        if (_walkPreTranslate(pTarget, &msg))
            return true;
        if (pCapture != nullptr && _afxWidget(pCapture->m_hWnd) != w) {
            // The capture window alone gets the mouse, in its own client coordinates.
            if (CWnd::GetCapture() == pCapture)
                _afxSendMouse(pCapture, message, nFlags, CPoint(pt.x, pt.y), nullptr);
            return true;
        }
        return false;
    }

    bool key(QWidget* w, QKeyEvent* ke) {
        // Qt hands an unaccepted key event on to the parents; pre-translate it once.
        if (ke == m_pLastKey && m_lastKeyWidget && w->isAncestorOf(m_lastKeyWidget) &&
            ke->timestamp() == m_nLastKeyTime)
            return false;
        m_pLastKey = ke;
        m_lastKeyWidget = w;
        m_nLastKeyTime = ke->timestamp();
        s_modifiers = ke->modifiers();
        if (ke->key() == Qt::Key_Backtab)
            s_modifiers |= Qt::ShiftModifier;
        CWnd* pTarget = _afxWndOfWidget(w);
        if (pTarget == nullptr)
            return false;
        MSG msg{pTarget->m_hWnd,
                static_cast<UINT>(ke->type() == QEvent::KeyPress ? WM_KEYDOWN : WM_KEYUP),
                static_cast<WPARAM>(_virtualKey(ke->key())),
                0,
                static_cast<DWORD>(ke->timestamp()),
                POINT{0, 0}};
        return _walkPreTranslate(pTarget, &msg) != FALSE;
    }

    const QEvent* m_pLastKey = nullptr;
    QPointer<QWidget> m_lastKeyWidget;
    quint64 m_nLastKeyTime = 0;
};

QPointer<CInputFilter> s_filter;

} // namespace

void afxqt::_afxEnsureIntegration() {
    if (!_afxHaveApp() || s_filter)
        return;
    s_filter = new CInputFilter(QCoreApplication::instance());
    QCoreApplication::instance()->installEventFilter(s_filter);
    _afxInstallMessageBox();
}

CWnd* CWnd::SetCapture() {
    if (_afxBridgeOf(this) == nullptr)
        return nullptr;
    CWnd* pOld = s_pCapture;
    s_pCapture = this;
    return pOld;
}

CWnd* CWnd::GetCapture() {
    if (s_pCapture != nullptr && _afxBridgeOf(s_pCapture) == nullptr)
        s_pCapture = nullptr;
    return s_pCapture;
}

BOOL ReleaseCapture() {
    if (s_pCapture == nullptr)
        return FALSE;
    s_pCapture = nullptr;
    return TRUE;
}

SHORT GetKeyState(int nVirtKey) {
    const SHORT nDown = static_cast<SHORT>(0x8000);
    switch (nVirtKey) {
    case VK_SHIFT:
        return (s_modifiers & Qt::ShiftModifier) ? nDown : 0;
    case VK_CONTROL:
        return (s_modifiers & Qt::ControlModifier) ? nDown : 0;
    default:
        return 0;
    }
}
