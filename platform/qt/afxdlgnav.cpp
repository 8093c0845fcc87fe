#include "qtwndbridge.h"

#include <QApplication>

using namespace afxqt;

namespace {

bool _isPushButton(CWndBridge* b) {
    const DWORD dwType = b->m_dwStyle & 0xFu;
    return b->m_strClass == QLatin1String("BUTTON") &&
           (dwType == BS_PUSHBUTTON || dwType == BS_DEFPUSHBUTTON);
}

// The controls of a dialog in template order.
std::vector<CWndBridge*> _controls(QWidget* pDialog) {
    std::vector<CWndBridge*> v;
    for (QObject* o : pDialog->children()) {
        if (CWndBridge* b = o->isWidgetType() ? _afxBridge(static_cast<QWidget*>(o)) : nullptr)
            v.push_back(b);
    }
    return v;
}

int _indexOfFocus(const std::vector<CWndBridge*>& controls) {
    QWidget* focus = QApplication::focusWidget();
    for (size_t i = 0; i < controls.size(); ++i) {
        QWidget* w = controls[i]->widget();
        if (focus != nullptr && (w == focus || w->isAncestorOf(focus)))
            return static_cast<int>(i);
    }
    return -1;
}

// The next control in the direction that passes the test, wrapping round; -1 when none does.
template <typename F>
int _step(const std::vector<CWndBridge*>& controls, int nFrom, int nDir, QWidget* pDialog,
          F&& test) {
    const int n = static_cast<int>(controls.size());
    for (int k = 1; k <= n; ++k) {
        const int i = ((nFrom < 0 ? (nDir > 0 ? -1 : 0) : nFrom) + nDir * k + n * 2) % n;
        QWidget* w = controls[i]->widget();
        if (w->isEnabled() && w->isVisibleTo(pDialog) && w->focusPolicy() != Qt::NoFocus &&
            test(controls[i]))
            return i;
    }
    return -1;
}

} // namespace

BOOL CWnd::IsDialogMessage(LPMSG lpMsg) {
    QWidget* self = _afxWidget(m_hWnd);
    QWidget* target = lpMsg ? _afxWidget(lpMsg->hwnd) : nullptr;
    if (self == nullptr || target == nullptr || (target != self && !self->isAncestorOf(target)))
        return FALSE;
    if (lpMsg->message != WM_KEYDOWN)
        return FALSE;
    const std::vector<CWndBridge*> controls = _controls(self);
    const int nFocus = _indexOfFocus(controls);
    CWndBridge* pFocus = nFocus >= 0 ? controls[nFocus] : nullptr;
    switch (static_cast<int>(lpMsg->wParam)) {
    case VK_TAB: {
        const bool bBack = GetKeyState(VK_SHIFT) < 0;
        const int i = _step(controls, nFocus, bBack ? -1 : 1, self,
                            [](CWndBridge* b) { return (b->m_dwStyle & WS_TABSTOP) != 0; });
        if (i >= 0)
            controls[i]->widget()->setFocus(bBack ? Qt::BacktabFocusReason : Qt::TabFocusReason);
        return TRUE;
    }
    case VK_LEFT:
    case VK_UP:
    case VK_RIGHT:
    case VK_DOWN: {
        // Edits use the arrows themselves.
        if (pFocus != nullptr && pFocus->m_strClass == QLatin1String("EDIT"))
            return FALSE;
        const int nDir = (lpMsg->wParam == VK_LEFT || lpMsg->wParam == VK_UP) ? -1 : 1;
        const int i = _step(controls, nFocus, nDir, self, [](CWndBridge*) { return true; });
        if (i >= 0)
            controls[i]->widget()->setFocus(Qt::OtherFocusReason);
        return TRUE;
    }
    case VK_RETURN: {
        int nId = IDOK;
        if (pFocus != nullptr && _isPushButton(pFocus)) {
            nId = pFocus->m_nId;
        } else {
            for (CWndBridge* b : controls) {
                if (_isPushButton(b) && (b->m_dwStyle & 0xFu) == BS_DEFPUSHBUTTON) {
                    nId = b->m_nId;
                    break;
                }
            }
        }
        CWnd* pButton = GetDlgItem(nId);
        if (pButton != nullptr && !pButton->IsWindowEnabled())
            return TRUE;
        SendMessage(WM_COMMAND, MAKEWPARAM(static_cast<unsigned>(nId), BN_CLICKED),
                    reinterpret_cast<LPARAM>(pButton ? pButton->m_hWnd : nullptr));
        return TRUE;
    }
    case VK_ESCAPE: {
        CWnd* pCancel = GetDlgItem(IDCANCEL);
        SendMessage(WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                    reinterpret_cast<LPARAM>(pCancel ? pCancel->m_hWnd : nullptr));
        return TRUE;
    }
    default:
        return FALSE;
    }
}
