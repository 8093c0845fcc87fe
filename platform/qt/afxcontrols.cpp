#include "qtfont.h"
#include "qtwndbridge.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>

#include <cstring>

using namespace afxqt;

namespace {

// WM_COMMAND to the control's parent window. Change notifications that the parent's own data
// exchange causes are dropped, so loading the controls never triggers the parent's handlers.
void _notifyParent(QWidget* pControl, UINT nCode) {
    CWndBridge* b = _afxBridge(pControl);
    CWnd* pParent = _afxWndOfWidget(pControl->parentWidget());
    if (b == nullptr || pParent == nullptr)
        return;
    if (nCode == EN_CHANGE && pParent->IsInDataExchange())
        return;
    pParent->SendMessage(WM_COMMAND, MAKEWPARAM(static_cast<unsigned>(b->m_nId), nCode),
                         reinterpret_cast<LPARAM>(_afxHandle(pControl)));
}

template <class W>
W* _make(QWidget* pParent, const char* lpszClass, DWORD dwStyle, DWORD dwExStyle, int nId) {
    auto* w = new TWndWidget<W>(pParent);
    w->m_strClass = QString::fromLatin1(lpszClass);
    w->m_dwStyle = dwStyle;
    w->m_dwExStyle = dwExStyle;
    w->m_nId = nId;
    w->setFont(_afxDialogFont());
    _afxAttach(nullptr, w);
    return w;
}

bool _is(const char* a, const char* b) {
    return a != nullptr && strcasecmp(a, b) == 0;
}

} // namespace

QWidget* afxqt::_afxCreateControlWidget(const char* lpszClass, DWORD dwStyle, DWORD dwExStyle,
                                        const char* lpszText, int nId, QWidget* pParent) {
    const QString text = QString::fromUtf8(lpszText ? lpszText : "");
    const Qt::FocusPolicy tabFocus = (dwStyle & WS_TABSTOP) ? Qt::StrongFocus : Qt::ClickFocus;
    QWidget* w = nullptr;
    if (_is(lpszClass, "BUTTON")) {
        QAbstractButton* button = nullptr;
        if ((dwStyle & 0xFu) == BS_AUTOCHECKBOX) {
            button = _make<QCheckBox>(pParent, "BUTTON", dwStyle, dwExStyle, nId);
        } else {
            auto* push = _make<QPushButton>(pParent, "BUTTON", dwStyle, dwExStyle, nId);
            push->setAutoDefault(false);
            push->setDefault((dwStyle & 0xFu) == BS_DEFPUSHBUTTON);
            button = push;
        }
        button->setText(text);
        button->setFocusPolicy(tabFocus);
        QObject::connect(button, &QAbstractButton::clicked, button,
                         [button] { _notifyParent(button, BN_CLICKED); });
        w = button;
    } else if (_is(lpszClass, "EDIT")) {
        auto* edit = _make<QLineEdit>(pParent, "EDIT", dwStyle, dwExStyle, nId);
        edit->setText(text);
        edit->setFrame((dwStyle & WS_BORDER) != 0 || (dwExStyle & WS_EX_CLIENTEDGE) != 0);
        edit->setFocusPolicy(tabFocus);
        QObject::connect(edit, &QLineEdit::textChanged, edit,
                         [edit] { _notifyParent(edit, EN_CHANGE); });
        w = edit;
    } else if (_is(lpszClass, "STATIC")) {
        auto* label = _make<QLabel>(pParent, "STATIC", dwStyle, dwExStyle, nId);
        label->setText(text);
        label->setTextFormat(Qt::PlainText);
        label->setWordWrap(true);
        label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        label->setFocusPolicy(Qt::NoFocus);
        // The client edge lies outside the client area. A sunken static's own line is part of
        // what the static paints, so a view that paints the control covers it.
        const int nEdge = (dwExStyle & WS_EX_CLIENTEDGE) ? 2 : ((dwStyle & SS_SUNKEN) ? 1 : 0);
        if (nEdge > 0) {
            label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
            label->setLineWidth(nEdge);
        }
        // Without the notify style a static is transparent to hit-testing: its parent gets the
        // mouse.
        if ((dwStyle & SS_NOTIFY) == 0)
            label->setAttribute(Qt::WA_TransparentForMouseEvents);
        w = label;
    } else if (lpszClass == nullptr || *lpszClass == '\0') {
        auto* plain = _make<QWidget>(pParent, "", dwStyle, dwExStyle, nId);
        plain->setFocusPolicy(tabFocus);
        w = plain;
    }
    if (w != nullptr && (dwStyle & WS_VISIBLE) == 0)
        w->hide();
    return w;
}
