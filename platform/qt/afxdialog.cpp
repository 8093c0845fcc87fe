#include "afxdialog.h"

#include "afxapp.h"
#include "afxreschain.h"
#include "qtfont.h"
#include "qtwndbridge.h"

#include <QCloseEvent>
#include <QMenuBar>
#include <QPointer>
#include <QVBoxLayout>

using namespace afxqt;

namespace {

// The frame around a dialog's client area; its close box is the dialog's cancel.
class CDialogFrame : public QWidget {
public:
    CDialogFrame(QWidget* pOwner, Qt::WindowFlags flags) : QWidget(pOwner, flags) {}
    QPointer<QWidget> m_client;

protected:
    void closeEvent(QCloseEvent* e) override {
        e->ignore();
        if (CWnd* pWnd = _afxWndOfWidget(m_client.data()))
            pWnd->SendMessage(WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    }
};

Qt::WindowFlags _frameFlags(DWORD dwStyle) {
    Qt::WindowFlags flags = Qt::Window | Qt::CustomizeWindowHint;
    if (dwStyle & WS_CAPTION)
        flags |= Qt::WindowTitleHint;
    if (dwStyle & WS_SYSMENU)
        flags |= Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
    if (dwStyle & WS_MINIMIZEBOX)
        flags |= Qt::WindowMinimizeButtonHint;
    if (dwStyle & WS_MAXIMIZEBOX)
        flags |= Qt::WindowMaximizeButtonHint;
    return flags;
}

QMenuBar* _createMenuBar(const CMenuTemplateqv& menu, QWidget* pFrame, QWidget* pClient) {
    auto* bar = new QMenuBar(pFrame);
    bar->setNativeMenuBar(false);
    QMenu* popup = bar->addMenu(QString::fromUtf8(menu.pszPopupText ? menu.pszPopupText : ""));
    for (int i = 0; i < menu.nItems && menu.pItems != nullptr; ++i) {
        const CMenuItemqv& item = menu.pItems[i];
        QAction* action = popup->addAction(QString::fromUtf8(item.pszText ? item.pszText : ""));
        action->setData(item.nId);
        const unsigned nId = static_cast<unsigned>(item.nId);
        QPointer<QWidget> client(pClient);
        // A menu command carries notification code 0.
        QObject::connect(action, &QAction::triggered, pClient, [client, nId] {
            if (CWnd* pWnd = CWnd::FromHandle(_afxHandle(client.data())))
                pWnd->SendMessage(WM_COMMAND, MAKEWPARAM(nId, CN_COMMAND), 0);
        });
    }
    return bar;
}

int s_nRouteDepth = 0;

} // namespace

int AfxDialogUnitsToPixelsX(int nDlu) {
    return MulDiv(nDlu, 6, 4);
}

int AfxDialogUnitsToPixelsY(int nDlu) {
    return MulDiv(nDlu, 13, 8);
}

IMPLEMENT_DYNAMIC(CDialog, CWnd)

BEGIN_MESSAGE_MAP(CDialog, CWnd)
ON_COMMAND(IDOK, &CDialog::OnOK)
ON_COMMAND(IDCANCEL, &CDialog::OnCancel)
END_MESSAGE_MAP()

CDialog::CDialog() : m_nIDTemplate(0), m_pParentWnd(nullptr) {}

CDialog::CDialog(UINT nIDTemplate, CWnd* pParentWnd)
    : m_nIDTemplate(nIDTemplate), m_pParentWnd(pParentWnd) {}

CDialog::~CDialog() {
    if (m_hWnd != nullptr)
        DestroyWindow();
}

BOOL CDialog::Create(UINT nIDTemplate, CWnd* pParentWnd) {
    const CDlgTemplateqv* t = AfxFindDialogTemplate(nullptr, static_cast<int>(nIDTemplate));
    if (t == nullptr)
        return FALSE;
    m_nIDTemplate = nIDTemplate;
    return CreateIndirect(t, pParentWnd);
}

BOOL CDialog::CreateIndirect(const CDlgTemplateqv* t, CWnd* pParentWnd) {
    if (t == nullptr || m_hWnd != nullptr || !_afxHaveApp())
        return FALSE;
    _afxEnsureIntegration();
    CWnd* pOwner = pParentWnd ? pParentWnd : AfxGetMainWnd();
    if (pOwner == this)
        pOwner = nullptr;
    QWidget* ownerTop = pOwner ? _afxTopWidget(pOwner) : nullptr;
    m_pParentWnd = pParentWnd;

    auto* frame =
        new CDialogFrame(ownerTop ? ownerTop->window() : nullptr, _frameFlags(t->dwStyle));
    frame->setFont(_afxDialogFont());
    frame->setWindowTitle(QString::fromUtf8(t->pszTitle ? t->pszTitle : ""));
    auto* layout = new QVBoxLayout(frame);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    auto* client = new TWndWidget<QWidget>(frame);
    client->m_bFrameClient = true;
    client->m_dwStyle = t->dwStyle;
    client->setAutoFillBackground(true);
    frame->m_client = client;
    layout->addWidget(client);

    int nMenuHeight = 0;
    if (t->nMenuId != 0) {
        if (const CMenuTemplateqv* menu = AfxFindMenuTemplate(nullptr, t->nMenuId)) {
            QMenuBar* bar = _createMenuBar(*menu, frame, client);
            layout->setMenuBar(bar);
            bar->ensurePolished();
            nMenuHeight = bar->heightForWidth(AfxDialogUnitsToPixelsX(t->cx));
            if (nMenuHeight <= 0)
                nMenuHeight = bar->sizeHint().height();
        }
    }
    const int cx = AfxDialogUnitsToPixelsX(t->cx);
    const int cy = AfxDialogUnitsToPixelsY(t->cy);
    client->resize(cx, cy);
    frame->resize(cx, cy + nMenuHeight);
    if ((t->dwStyle & WS_THICKFRAME) == 0)
        frame->setFixedSize(cx, cy + nMenuHeight);
    layout->activate();
    _afxAttach(this, client);
    SWndAccess::priv(this)->pOwner = pOwner;
    // The dialog learns its size while it is created, before its controls exist; showing it
    // later brings no size change of its own.
    _afxSendSize(client);

    QWidget* pPrevTab = nullptr;
    for (int i = 0; i < t->nItems && t->pItems != nullptr; ++i) {
        const CDlgItemTemplateqv& item = t->pItems[i];
        QWidget* w = _afxCreateControlWidget(item.pszClass, item.dwStyle, item.dwExStyle,
                                             item.pszText, item.nId, client);
        if (w == nullptr)
            continue;
        w->setGeometry(AfxDialogUnitsToPixelsX(item.x), AfxDialogUnitsToPixelsY(item.y),
                       AfxDialogUnitsToPixelsX(item.cx), AfxDialogUnitsToPixelsY(item.cy));
        auto wrapper = std::make_unique<CWnd>();
        _afxAttach(wrapper.get(), _afxBridge(w));
        SWndAccess::priv(this)->wrappers.push_back(std::move(wrapper));
        if (item.dwStyle & WS_TABSTOP) {
            if (pPrevTab != nullptr)
                QWidget::setTabOrder(pPrevTab, w);
            pPrevTab = w;
        }
    }

    if (OnInitDialog()) {
        for (QObject* o : client->children()) {
            CWndBridge* b = o->isWidgetType() ? _afxBridge(static_cast<QWidget*>(o)) : nullptr;
            if (b != nullptr && (b->m_dwStyle & WS_TABSTOP) && b->widget()->isEnabled()) {
                b->widget()->setFocus(Qt::TabFocusReason);
                break;
            }
        }
    }
    if (m_hWnd != nullptr && (t->dwStyle & WS_VISIBLE))
        ShowWindow(SW_SHOW);
    return m_hWnd != nullptr ? TRUE : FALSE;
}

BOOL CDialog::OnInitDialog() {
    UpdateData(FALSE);
    return TRUE;
}

void CDialog::OnOK() {
    if (!UpdateData(TRUE))
        return;
    EndDialog(IDOK);
}

void CDialog::OnCancel() {
    EndDialog(IDCANCEL);
}

void CDialog::EndDialog(int nResult) {
    m_nResult = nResult;
    ShowWindow(SW_HIDE);
}

BOOL CDialog::OnCmdMsg(UINT nID, int nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo) {
    if (CWnd::OnCmdMsg(nID, nCode, pExtra, pHandlerInfo))
        return TRUE;
    // Notifications stay with the dialog; commands go on to the owner and the application.
    if (nCode != CN_COMMAND || s_nRouteDepth > 8)
        return FALSE;
    ++s_nRouteDepth;
    BOOL bHandled = FALSE;
    CWnd* pOwner = GetOwner();
    if (pOwner != nullptr && pOwner != this)
        bHandled = pOwner->OnCmdMsg(nID, nCode, pExtra, pHandlerInfo);
    if (!bHandled) {
        CWinApp* pApp = AfxGetApp();
        bHandled = pApp ? pApp->OnCmdMsg(nID, nCode, pExtra, pHandlerInfo) : FALSE;
    }
    --s_nRouteDepth;
    return bHandled;
}

BOOL CDialog::PreTranslateMessage(MSG* pMsg) {
    return PreTranslateInput(pMsg);
}

void CDialog::MapDialogRect(LPRECT lpRect) const {
    if (lpRect == nullptr)
        return;
    lpRect->left = AfxDialogUnitsToPixelsX(lpRect->left);
    lpRect->right = AfxDialogUnitsToPixelsX(lpRect->right);
    lpRect->top = AfxDialogUnitsToPixelsY(lpRect->top);
    lpRect->bottom = AfxDialogUnitsToPixelsY(lpRect->bottom);
}
