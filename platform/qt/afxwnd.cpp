#include "afxwnd.h"

#include "afxdc.h"
#include "afxdde.h"
#include "afxobserver.h"
#include "qtwndbridge.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>

#include <algorithm>

using namespace afxqt;

const SWndObserver* afxqt::g_pWndObserver = nullptr;

const SWndObserver* AfxSetWndObserver(const SWndObserver* pObserver) {
    const SWndObserver* pPrevious = g_pWndObserver;
    g_pWndObserver = pObserver;
    return pPrevious;
}

IMPLEMENT_DYNAMIC(CWnd, CCmdTarget)

BEGIN_MESSAGE_MAP(CWnd, CCmdTarget)
END_MESSAGE_MAP()

CWnd::CWnd() : m_pPriv(new SWndPrivate) {}

CWnd::~CWnd() {
    if (m_hWnd != nullptr)
        DestroyWindow();
    for (CDC* pDC : m_pPriv->dcs)
        delete pDC;
    delete m_pPriv;
}

CWnd* CWnd::FromHandle(HWND hWnd) {
    CWndBridge* b = _afxBridge(_afxWidget(hWnd));
    return b ? b->m_pWnd : nullptr;
}

BOOL CWnd::Create(const char* lpszClassName, const char* lpszWindowName, DWORD dwStyle,
                  const RECT& rect, CWnd* pParentWnd, UINT nID) {
    if (m_hWnd != nullptr || !_afxHaveApp())
        return FALSE;
    _afxEnsureIntegration();
    const bool bChild = (dwStyle & WS_CHILD) != 0;
    QWidget* pParentWidget = pParentWnd ? _afxWidget(pParentWnd->m_hWnd) : nullptr;
    if (bChild && pParentWidget == nullptr)
        return FALSE;
    QWidget* w = nullptr;
    if (bChild) {
        w = _afxCreateControlWidget(lpszClassName, dwStyle, 0, lpszWindowName,
                                    static_cast<int>(nID), pParentWidget);
    } else {
        auto* top =
            new TWndWidget<QWidget>(pParentWnd ? _afxTopWidget(pParentWnd) : nullptr, Qt::Window);
        top->setWindowTitle(QString::fromUtf8(lpszWindowName ? lpszWindowName : ""));
        top->m_dwStyle = dwStyle;
        _afxAttach(nullptr, top);
        w = top;
        m_pPriv->pOwner = pParentWnd;
    }
    if (w == nullptr)
        return FALSE;
    w->setGeometry(rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
    _afxAttach(this, _afxBridge(w));
    if (dwStyle & WS_VISIBLE)
        w->show();
    return TRUE;
}

BOOL CWnd::DestroyWindow() {
    QWidget* top = _afxTopWidget(this);
    if (top == nullptr)
        return FALSE;
    _afxDetachTree(top);
    // A window that is handling one of its own messages is deleted once that message is done.
    if (_afxInDispatch(top)) {
        top->hide();
        top->deleteLater();
    } else {
        delete top;
    }
    return TRUE;
}

BOOL CWnd::SubclassWindow(HWND hWnd) {
    CWndBridge* b = _afxBridge(_afxWidget(hWnd));
    if (m_hWnd != nullptr || b == nullptr)
        return FALSE;
    if (b->m_pWnd != nullptr)
        b->m_pWnd->m_hWnd = nullptr;
    _afxAttach(this, b);
    return TRUE;
}

BOOL CWnd::SubclassDlgItem(UINT nID, CWnd* pParent) {
    CWnd* pItem = pParent ? pParent->GetDlgItem(static_cast<int>(nID)) : nullptr;
    return pItem ? SubclassWindow(pItem->m_hWnd) : FALSE;
}

HWND CWnd::UnsubclassWindow() {
    CWndBridge* b = _afxBridgeOf(this);
    if (b == nullptr)
        return nullptr;
    HWND h = m_hWnd;
    b->m_pWnd = nullptr;
    m_hWnd = nullptr;
    // Hand the window back to its parent's plain wrapper, if the parent keeps wrappers.
    if (CWnd* pParent = _afxWndOfWidget(b->widget()->parentWidget())) {
        for (auto& p : SWndAccess::priv(pParent)->wrappers) {
            if (p->m_hWnd == nullptr) {
                _afxAttach(p.get(), b);
                break;
            }
        }
    }
    return h;
}

CWnd* CWnd::GetDlgItem(int nID) const {
    QWidget* w = _afxWidget(m_hWnd);
    if (w == nullptr)
        return nullptr;
    for (QObject* o : w->children()) {
        CWndBridge* b = o->isWidgetType() ? _afxBridge(static_cast<QWidget*>(o)) : nullptr;
        if (b != nullptr && b->m_nId == nID)
            return b->m_pWnd;
    }
    return nullptr;
}

int CWnd::GetDlgCtrlID() const {
    CWndBridge* b = _afxBridgeOf(this);
    return b ? b->m_nId : 0;
}

CWnd* CWnd::GetParent() const {
    QWidget* w = _afxWidget(m_hWnd);
    if (w == nullptr || w->isWindow() || _afxBridgeOf(this)->m_bFrameClient)
        return nullptr;
    return _afxWndOfWidget(w->parentWidget());
}

CWnd* CWnd::GetOwner() const {
    return m_pPriv->pOwner ? m_pPriv->pOwner : GetParent();
}

void CWnd::SetOwner(CWnd* pOwnerWnd) {
    m_pPriv->pOwner = pOwnerWnd;
}

DWORD CWnd::GetStyle() const {
    CWndBridge* b = _afxBridgeOf(this);
    if (b == nullptr)
        return 0;
    DWORD dw = b->m_dwStyle & ~static_cast<DWORD>(WS_VISIBLE);
    return IsWindowVisible() ? dw | WS_VISIBLE : dw;
}

DWORD CWnd::GetExStyle() const {
    CWndBridge* b = _afxBridgeOf(this);
    return b ? b->m_dwExStyle : 0;
}

BOOL CWnd::ShowWindow(int nCmdShow) {
    QWidget* top = _afxTopWidget(this);
    if (top == nullptr)
        return FALSE;
    const BOOL bWasVisible = top->isVisible() ? TRUE : FALSE;
    if (nCmdShow == SW_HIDE) {
        top->hide();
    } else {
        top->show();
        if (top->isWindow() && nCmdShow == SW_SHOW) {
            top->raise();
            top->activateWindow();
        }
    }
    return bWasVisible;
}

BOOL CWnd::IsWindowVisible() const {
    QWidget* w = _afxWidget(m_hWnd);
    return w && w->isVisible() ? TRUE : FALSE;
}

BOOL CWnd::SetForegroundWindow() {
    QWidget* top = _afxTopWidget(this);
    if (top == nullptr)
        return FALSE;
    top->window()->raise();
    top->window()->activateWindow();
    return TRUE;
}

BOOL CWnd::EnableWindow(BOOL bEnable) {
    QWidget* w = _afxWidget(m_hWnd);
    if (w == nullptr)
        return FALSE;
    const BOOL bWasDisabled = w->isEnabled() ? FALSE : TRUE;
    w->setEnabled(bEnable != FALSE);
    return bWasDisabled;
}

BOOL CWnd::IsWindowEnabled() const {
    QWidget* w = _afxWidget(m_hWnd);
    return w && w->isEnabled() ? TRUE : FALSE;
}

// A control's text is its caption or contents; a window's is its title (a dialog's frame title).
void CWnd::SetWindowText(const char* lpszString) {
    CWndBridge* b = _afxBridgeOf(this);
    if (b == nullptr)
        return;
    const QString str = QString::fromUtf8(lpszString ? lpszString : "");
    QWidget* w = b->widget();
    if (auto* button = qobject_cast<QAbstractButton*>(w))
        button->setText(str);
    else if (auto* edit = qobject_cast<QLineEdit*>(w))
        edit->setText(str);
    else if (auto* label = qobject_cast<QLabel*>(w))
        label->setText(str);
    else
        _afxTopWidget(this)->setWindowTitle(str);
}

std::string CWnd::GetWindowText() const {
    CWndBridge* b = _afxBridgeOf(this);
    if (b == nullptr)
        return std::string();
    QWidget* w = b->widget();
    if (auto* button = qobject_cast<QAbstractButton*>(w))
        return button->text().toStdString();
    if (auto* edit = qobject_cast<QLineEdit*>(w))
        return edit->text().toStdString();
    if (auto* label = qobject_cast<QLabel*>(w))
        return label->text().toStdString();
    return _afxTopWidget(this)->windowTitle().toStdString();
}

CWnd* CWnd::SetFocus() {
    QWidget* w = _afxWidget(m_hWnd);
    if (w == nullptr)
        return nullptr;
    CWnd* pOld = GetFocus();
    w->setFocus(Qt::OtherFocusReason);
    return pOld;
}

CWnd* CWnd::GetFocus() {
    if (!_afxHaveApp())
        return nullptr;
    QWidget* w = QApplication::focusWidget();
    CWndBridge* b = _afxBridge(w);
    return b ? b->m_pWnd : nullptr;
}

int CWnd::GetCheck() const {
    auto* box = qobject_cast<QCheckBox*>(_afxWidget(m_hWnd));
    return box && box->isChecked() ? BST_CHECKED : BST_UNCHECKED;
}

void CWnd::SetCheck(int nCheck) {
    if (auto* box = qobject_cast<QCheckBox*>(_afxWidget(m_hWnd)))
        box->setChecked(nCheck == BST_CHECKED);
}

void CWnd::GetClientRect(LPRECT lpRect) const {
    if (lpRect == nullptr)
        return;
    CWndBridge* b = _afxBridgeOf(this);
    const QRect rc = b ? b->clientRect() : QRect();
    *lpRect = RECT{0, 0, rc.width(), rc.height()};
}

void CWnd::GetWindowRect(LPRECT lpRect) const {
    if (lpRect == nullptr)
        return;
    QWidget* w = _afxTopWidget(this);
    if (w == nullptr) {
        *lpRect = RECT{0, 0, 0, 0};
        return;
    }
    const QPoint tl = w->mapToGlobal(QPoint(0, 0));
    *lpRect = RECT{tl.x(), tl.y(), tl.x() + w->width(), tl.y() + w->height()};
}

void CWnd::ClientToScreen(LPPOINT lpPoint) const {
    MapWindowPoints(nullptr, lpPoint, 1);
}

void CWnd::ScreenToClient(LPPOINT lpPoint) const {
    CWndBridge* b = _afxBridgeOf(this);
    if (lpPoint == nullptr || b == nullptr)
        return;
    const QPoint p =
        b->widget()->mapFromGlobal(QPoint(lpPoint->x, lpPoint->y)) - b->clientRect().topLeft();
    *lpPoint = POINT{p.x(), p.y()};
}

void CWnd::MoveWindow(int x, int y, int nWidth, int nHeight, BOOL /*bRepaint*/) {
    if (QWidget* w = _afxTopWidget(this))
        w->setGeometry(x, y, nWidth, nHeight);
}

void CWnd::MoveWindow(LPCRECT lpRect, BOOL bRepaint) {
    if (lpRect != nullptr)
        MoveWindow(lpRect->left, lpRect->top, lpRect->right - lpRect->left,
                   lpRect->bottom - lpRect->top, bRepaint);
}

BOOL CWnd::GetWindowPlacement(WINDOWPLACEMENT* lpwndpl) const {
    QWidget* w = _afxTopWidget(this);
    if (w == nullptr || lpwndpl == nullptr)
        return FALSE;
    const QRect rc = w->isWindow() ? w->frameGeometry() : w->geometry();
    lpwndpl->length = sizeof(WINDOWPLACEMENT);
    lpwndpl->flags = 0;
    // A child's own state, not whether its dialog is shown yet: placing the controls of a hidden
    // dialog must not hide them.
    lpwndpl->showCmd = w->isHidden() ? SW_HIDE : SW_SHOWNORMAL;
    lpwndpl->ptMinPosition = POINT{-1, -1};
    lpwndpl->ptMaxPosition = POINT{-1, -1};
    lpwndpl->rcNormalPosition =
        RECT{rc.left(), rc.top(), rc.left() + rc.width(), rc.top() + rc.height()};
    return TRUE;
}

BOOL CWnd::SetWindowPlacement(const WINDOWPLACEMENT* lpwndpl) {
    QWidget* w = _afxTopWidget(this);
    if (w == nullptr || lpwndpl == nullptr)
        return FALSE;
    const RECT& rc = lpwndpl->rcNormalPosition;
    if (w->isWindow()) {
        // The placement includes the window frame; Qt sizes the inside.
        const QRect outer = w->frameGeometry();
        const QRect inner = w->geometry();
        w->move(rc.left, rc.top);
        w->resize(std::max(0, rc.right - rc.left - (outer.width() - inner.width())),
                  std::max(0, rc.bottom - rc.top - (outer.height() - inner.height())));
    } else {
        w->setGeometry(rc.left, rc.top, std::max(0, rc.right - rc.left),
                       std::max(0, rc.bottom - rc.top));
    }
    if (lpwndpl->showCmd == SW_HIDE)
        w->hide();
    return TRUE;
}

int CWnd::MapWindowPoints(CWnd* pwndTo, LPPOINT lpPoint, UINT nCount) const {
    CWndBridge* from = _afxBridgeOf(this);
    CWndBridge* to = pwndTo ? _afxBridgeOf(pwndTo) : nullptr;
    if (from == nullptr || (pwndTo != nullptr && to == nullptr) || lpPoint == nullptr)
        return 0;
    const QPoint origin = from->widget()->mapToGlobal(from->clientRect().topLeft());
    const QPoint target = to ? to->widget()->mapToGlobal(to->clientRect().topLeft()) : QPoint();
    const QPoint d = origin - target;
    for (UINT i = 0; i < nCount; ++i) {
        lpPoint[i].x += d.x();
        lpPoint[i].y += d.y();
    }
    return AfxMakeLong(d.x(), d.y());
}

void CWnd::MapWindowPoints(CWnd* pwndTo, LPRECT lpRect) const {
    if (lpRect != nullptr)
        MapWindowPoints(pwndTo, reinterpret_cast<LPPOINT>(lpRect), 2);
}

CWnd* CWnd::ChildWindowFromPoint(POINT point) const {
    CWndBridge* b = _afxBridgeOf(this);
    if (b == nullptr)
        return nullptr;
    const QRect client = b->clientRect();
    const QPoint p = QPoint(point.x, point.y) + client.topLeft();
    if (!client.contains(p))
        return nullptr;
    for (QObject* o : b->widget()->children()) {
        CWndBridge* c = o->isWidgetType() ? _afxBridge(static_cast<QWidget*>(o)) : nullptr;
        if (c != nullptr && c->m_pWnd != nullptr && c->widget()->geometry().contains(p))
            return c->m_pWnd;
    }
    return const_cast<CWnd*>(this);
}

void CWnd::Invalidate(BOOL bErase) {
    InvalidateRect(nullptr, bErase);
}

void CWnd::InvalidateRect(LPCRECT lpRect, BOOL bErase) {
    CWndBridge* b = _afxBridgeOf(this);
    if (b == nullptr)
        return;
    if (bErase)
        b->m_bErasePending = true;
    if (lpRect == nullptr) {
        b->widget()->update();
    } else {
        const QPoint o = b->clientRect().topLeft();
        b->widget()->update(QRect(lpRect->left + o.x(), lpRect->top + o.y(),
                                  lpRect->right - lpRect->left, lpRect->bottom - lpRect->top));
    }
}

void CWnd::UpdateWindow() {
    if (QWidget* w = _afxWidget(m_hWnd); w != nullptr && w->isVisible())
        w->repaint();
}

CDC* CWnd::GetDC() {
    if (_afxBridgeOf(this) == nullptr)
        return nullptr;
    CDC* pDC = new CClientDC(this);
    m_pPriv->dcs.push_back(pDC);
    return pDC;
}

int CWnd::ReleaseDC(CDC* pDC) {
    auto& dcs = m_pPriv->dcs;
    auto it = std::find(dcs.begin(), dcs.end(), pDC);
    int nResult = 0;
    if (pDC != nullptr && it != dcs.end()) {
        dcs.erase(it);
        delete pDC;
        nResult = 1;
    }
    if (g_pWndObserver != nullptr && g_pWndObserver->pfnReleasedDC != nullptr)
        return g_pWndObserver->pfnReleasedDC(nResult);
    return nResult;
}

LRESULT CWnd::SendMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND:
        return OnCommand(wParam, lParam);
    case WM_CLOSE:
        return DestroyWindow();
    default:
        return 0;
    }
}

BOOL CWnd::PreTranslateMessage(MSG* /*pMsg*/) {
    return FALSE;
}

BOOL CWnd::PreTranslateInput(LPMSG lpMsg) {
    if (lpMsg == nullptr)
        return FALSE;
    const UINT m = lpMsg->message;
    if ((m >= WM_KEYFIRST && m <= WM_KEYLAST) || (m >= WM_MOUSEFIRST && m <= WM_MOUSELAST))
        return IsDialogMessage(lpMsg);
    return FALSE;
}

BOOL CWnd::OnCommand(WPARAM wParam, LPARAM /*lParam*/) {
    return OnCmdMsg(LOWORD(wParam), static_cast<int>(HIWORD(wParam)), nullptr, nullptr);
}

BOOL CWnd::UpdateData(BOOL bSaveAndValidate) {
    if (_afxWidget(m_hWnd) == nullptr)
        return FALSE;
    CDataExchange dx(this, bSaveAndValidate);
    ++m_pPriv->nExchange;
    DoDataExchange(&dx);
    --m_pPriv->nExchange;
    return dx.m_bFailed ? FALSE : TRUE;
}

BOOL CWnd::IsInDataExchange() const {
    return m_pPriv->nExchange > 0 ? TRUE : FALSE;
}

void CWnd::DoDataExchange(CDataExchange* /*pDX*/) {}

LRESULT CWnd::Default() {
    SDispatch* d = _afxCurrentDispatch(this);
    if (d == nullptr)
        return 0;
    d->bDefaultDone = true;
    if (d->message == WM_SETCURSOR)
        return 0;
    if (d->pEvent != nullptr && d->pBridge != nullptr) {
        const LRESULT r = d->pBridge->baseEvent(d->pEvent) ? 1 : 0;
        if (d->message == WM_PAINT && !d->pBridge->m_keptFrame.isNull()) {
            QPainter painter(d->pBridge->widget());
            painter.drawImage(d->pBridge->clientRect().topLeft(), d->pBridge->m_keptFrame);
        }
        return r;
    }
    return 0;
}

void CWnd::OnPaint() {
    Default();
}

BOOL CWnd::OnEraseBkgnd(CDC* pDC) {
    CWndBridge* b = _afxBridgeOf(this);
    if (pDC == nullptr || b == nullptr)
        return FALSE;
    const QColor c = b->widget()->palette().color(QPalette::Window);
    CRect rc;
    GetClientRect(&rc);
    pDC->FillSolidRect(&rc, RGB(c.red(), c.green(), c.blue()));
    return TRUE;
}

void CWnd::OnSize(UINT /*nType*/, int /*cx*/, int /*cy*/) {
    Default();
}

void CWnd::OnDestroy() {
    Default();
}

void CWnd::OnMouseMove(UINT /*nFlags*/, CPoint /*point*/) {
    Default();
}

void CWnd::OnLButtonDown(UINT /*nFlags*/, CPoint /*point*/) {
    Default();
}

void CWnd::OnLButtonUp(UINT /*nFlags*/, CPoint /*point*/) {
    Default();
}
