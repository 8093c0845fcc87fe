#include "afxdc.h"

#include "afxobserver.h"
#include "qtfont.h"
#include "qtwndbridge.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPointer>

#include <cstring>
#include <memory>

using namespace afxqt;

namespace {

QColor _qcolor(COLORREF c) {
    return QColor(static_cast<int>(GetRValue(c)), static_cast<int>(GetGValue(c)),
                  static_cast<int>(GetBValue(c)));
}

QString _qstring(const wchar_t* psz, int n) {
    if (psz == nullptr || n <= 0)
        return QString();
    return QString::fromWCharArray(psz, n);
}

} // namespace

class CWndDrawTarget : public CGLDrawTargetqv {
public:
    CWndDrawTarget(QWidget* pWidget, bool bPaint) : m_widget(pWidget) {
        CWndBridge* b = _afxBridge(pWidget);
        if (b != nullptr && bPaint) {
            m_pPainter = std::make_unique<QPainter>(pWidget);
            const QRect rc = b->clientRect();
            m_pPainter->translate(rc.topLeft());
            m_pPainter->setClipRect(QRect(QPoint(0, 0), rc.size()));
        }
    }

    int getTargetWidth() override {
        CWndBridge* b = bridge();
        return b ? b->clientRect().width() : 0;
    }
    int getTargetHeight() override {
        CWndBridge* b = bridge();
        return b ? b->clientRect().height() : 0;
    }
    int presentFrame(const unsigned char* pRGBA, int nWidth, int nHeight) override {
        CWndBridge* b = bridge();
        if (b == nullptr || pRGBA == nullptr || nWidth < 1 || nHeight < 1)
            return 0;
        // The frame only lives for this call: inside a paint it is drawn straight from the
        // viewport's buffer; outside, it is copied into the kept frame, reusing its storage.
        const QImage frame(pRGBA, nWidth, nHeight, nWidth * 4, QImage::Format_RGBA8888);
        if (m_pPainter) {
            m_pPainter->drawImage(QPoint(0, 0), frame);
        } else {
            QImage& kept = b->m_keptFrame;
            if (kept.size() == frame.size() && kept.format() == frame.format() &&
                kept.bytesPerLine() == frame.bytesPerLine()) {
                std::memcpy(kept.bits(), pRGBA, static_cast<size_t>(frame.sizeInBytes()));
            } else {
                kept = frame.copy();
            }
            b->widget()->update();
        }
        return 1;
    }

    CWndBridge* bridge() const { return _afxBridge(m_widget.data()); }

    // The painter to draw with: the paint's own, or one on the kept frame outside a paint.
    template <typename F> bool paint(F&& f) {
        if (m_pPainter) {
            f(*m_pPainter);
            return true;
        }
        CWndBridge* b = bridge();
        if (b == nullptr)
            return false;
        const QSize size = b->clientRect().size();
        if (b->m_keptFrame.size() != size) {
            QImage image(size, QImage::Format_RGBA8888);
            image.fill(b->widget()->palette().color(QPalette::Window));
            b->m_keptFrame = image;
        }
        {
            QPainter painter(&b->m_keptFrame);
            f(painter);
        }
        b->widget()->update();
        return true;
    }

    QPointer<QWidget> m_widget;
    std::unique_ptr<QPainter> m_pPainter;
    COLORREF m_crText = RGB(0, 0, 0);
    COLORREF m_crBk = RGB(255, 255, 255);
    int m_nBkMode = OPAQUE;
    CFont* m_pFont = nullptr;
    QFont m_font = _afxDialogFont();
};

CDC::CDC(CWnd* pWnd, bool bPaint) : m_pTarget(nullptr) {
    QWidget* w = pWnd ? _afxWidget(pWnd->m_hWnd) : nullptr;
    if (w == nullptr)
        return;
    m_pTarget = new CWndDrawTarget(w, bPaint);
    m_hDC = m_pTarget;
}

CDC::~CDC() {
    delete m_pTarget;
}

COLORREF CDC::SetTextColor(COLORREF crColor) {
    if (m_pTarget == nullptr)
        return 0;
    const COLORREF old = m_pTarget->m_crText;
    m_pTarget->m_crText = crColor;
    return old;
}

COLORREF CDC::SetBkColor(COLORREF crColor) {
    if (m_pTarget == nullptr)
        return 0;
    const COLORREF old = m_pTarget->m_crBk;
    m_pTarget->m_crBk = crColor;
    return old;
}

int CDC::SetBkMode(int nBkMode) {
    if (m_pTarget == nullptr || (nBkMode != OPAQUE && nBkMode != TRANSPARENT))
        return 0;
    const int old = m_pTarget->m_nBkMode;
    m_pTarget->m_nBkMode = nBkMode;
    return old;
}

CFont* CDC::SelectObject(CFont* pFont) {
    if (m_pTarget == nullptr)
        return nullptr;
    CFont* old = m_pTarget->m_pFont;
    m_pTarget->m_pFont = pFont;
    m_pTarget->m_font = _afxFontOf(pFont);
    return old;
}

COLORREF CDC::GetTextColor() const {
    return m_pTarget ? m_pTarget->m_crText : 0;
}

COLORREF CDC::GetBkColor() const {
    return m_pTarget ? m_pTarget->m_crBk : 0;
}

int CDC::GetBkMode() const {
    return m_pTarget ? m_pTarget->m_nBkMode : 0;
}

BOOL CDC::TextOutW(int x, int y, const wchar_t* lpszString, int nCount) {
    if (g_pWndObserver != nullptr && g_pWndObserver->pfnTextOut != nullptr)
        g_pWndObserver->pfnTextOut(x, y, lpszString, nCount);
    if (m_pTarget == nullptr || lpszString == nullptr || nCount < 0)
        return FALSE;
    const QString text = _qstring(lpszString, nCount);
    CWndDrawTarget* t = m_pTarget;
    return t->paint([&](QPainter& painter) {
        const QFontMetrics fm(t->m_font);
        if (t->m_nBkMode == OPAQUE)
            painter.fillRect(QRect(x, y, fm.horizontalAdvance(text), fm.height()),
                             _qcolor(t->m_crBk));
        painter.setFont(t->m_font);
        painter.setPen(_qcolor(t->m_crText));
        painter.drawText(QPoint(x, y + fm.ascent()), text);
    })
               ? TRUE
               : FALSE;
}

BOOL CDC::TextOut(int x, int y, const char* lpszUtf8) {
    if (lpszUtf8 == nullptr)
        return FALSE;
    const std::wstring w = QString::fromUtf8(lpszUtf8).toStdWString();
    return TextOutW(x, y, w.c_str(), static_cast<int>(w.size()));
}

CSize CDC::GetTextExtent(const wchar_t* lpszString, int nCount) const {
    SIZE size{0, 0};
    GetTextExtentPoint32W(m_hDC, lpszString, nCount, &size);
    return CSize(size);
}

void CDC::FillSolidRect(LPCRECT lpRect, COLORREF crColor) {
    if (m_pTarget == nullptr || lpRect == nullptr)
        return;
    const QRect rc(lpRect->left, lpRect->top, lpRect->right - lpRect->left,
                   lpRect->bottom - lpRect->top);
    m_pTarget->paint([&](QPainter& painter) { painter.fillRect(rc, _qcolor(crColor)); });
}

CPaintDC::CPaintDC(CWnd* pWnd)
    : CDC(pWnd,
          [pWnd] {
              const SDispatch* d = pWnd ? _afxCurrentDispatch(pWnd) : nullptr;
              return d != nullptr && (d->message == WM_PAINT || d->message == WM_ERASEBKGND);
          }()),
      m_pWnd(pWnd) {}

CPaintDC::~CPaintDC() = default;

CClientDC::CClientDC(CWnd* pWnd) : CDC(pWnd, false) {}

BOOL GetTextExtentPoint32W(HDC hdc, const wchar_t* lpString, int c, SIZE* psizl) {
    auto* t = dynamic_cast<CWndDrawTarget*>(hdc);
    if (t == nullptr || psizl == nullptr || lpString == nullptr || c < 0)
        return FALSE;
    const QFontMetrics fm(t->m_font);
    psizl->cx = fm.horizontalAdvance(_qstring(lpString, c));
    psizl->cy = fm.height();
    return TRUE;
}
