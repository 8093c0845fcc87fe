#include "afxcursor.h"

#include "afxreschain.h"
#include "qtcursor.h"
#include "qtwndbridge.h"

#include <QBitmap>
#include <QGuiApplication>
#include <QLineEdit>
#include <QPointer>

#include <map>
#include <memory>

using namespace afxqt;

namespace {

HCURSOR s_hCurrent = nullptr;
QPointer<QWidget> s_cursorWidget;
int s_nWaitDepth = 0;

std::map<const void*, std::unique_ptr<HCURSOR__>>& _cursorCache() {
    static std::map<const void*, std::unique_ptr<HCURSOR__>> s_cache;
    return s_cache;
}

HCURSOR _systemCursor(int nId) {
    static const struct {
        int nId;
        Qt::CursorShape shape;
    } kSystem[] = {{IDC_ARROW, Qt::ArrowCursor},
                   {IDC_IBEAM, Qt::IBeamCursor},
                   {IDC_WAIT, Qt::WaitCursor},
                   {IDC_CROSS, Qt::CrossCursor}};
    for (const auto& s : kSystem) {
        if (s.nId != nId)
            continue;
        auto& slot = _cursorCache()[&s];
        if (!slot) {
            slot = std::make_unique<HCURSOR__>();
            slot->nId = nId;
            slot->shape = s.shape;
        }
        return slot.get();
    }
    return nullptr;
}

QImage _cursorImage(const CCursorTemplateqv& t) {
    QImage image(32, 32, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    for (int y = 0; y < 32; ++y) {
        const char* row = t.apszRows[y];
        for (int x = 0; row != nullptr && x < 32 && row[x] != '\0'; ++x) {
            if (row[x] == 'W')
                image.setPixelColor(x, y, Qt::white);
            else if (row[x] == 'B')
                image.setPixelColor(x, y, Qt::black);
        }
    }
    return image;
}

} // namespace

HCURSOR LoadCursorW(HINSTANCE hInstance, int nId) {
    if (hInstance == nullptr)
        return _systemCursor(nId);
    const CCursorTemplateqv* t = AfxFindCursorTemplate(hInstance, nId);
    if (t == nullptr)
        return nullptr;
    auto& slot = _cursorCache()[t];
    if (!slot) {
        slot = std::make_unique<HCURSOR__>();
        slot->nId = nId;
        slot->hotSpot = QPoint(t->nHotSpotX, t->nHotSpotY);
        slot->image = _cursorImage(*t);
    }
    return slot.get();
}

QCursor afxqt::_afxQCursor(HCURSOR h) {
    if (h == nullptr || h->image.isNull())
        return QCursor(h ? h->shape : Qt::ArrowCursor);
    // Monochrome: the mask marks drawn pixels, the bitmap marks the black ones among them.
    QImage bits(32, 32, QImage::Format_Mono);
    QImage mask(32, 32, QImage::Format_Mono);
    for (QImage* p : {&bits, &mask}) {
        p->setColorCount(2);
        p->setColor(0, qRgb(255, 255, 255));
        p->setColor(1, qRgb(0, 0, 0));
        p->fill(0);
    }
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) {
            const QColor c = h->image.pixelColor(x, y);
            if (c.alpha() == 0)
                continue;
            mask.setPixel(x, y, 1);
            if (c == Qt::black)
                bits.setPixel(x, y, 1);
        }
    }
    return QCursor(QBitmap::fromImage(bits), QBitmap::fromImage(mask), h->hotSpot.x(),
                   h->hotSpot.y());
}

void afxqt::_afxSetCursorWidget(QWidget* pWidget) {
    s_cursorWidget = pWidget;
}

HCURSOR SetCursor(HCURSOR hCursor) {
    const HCURSOR hOld = s_hCurrent;
    s_hCurrent = hCursor;
    if (s_cursorWidget && QGuiApplication::instance() != nullptr) {
        if (hCursor != nullptr)
            s_cursorWidget->setCursor(_afxQCursor(hCursor));
        else
            s_cursorWidget->setCursor(Qt::BlankCursor);
    }
    return hOld;
}

HCURSOR GetCursor() {
    return s_hCurrent;
}

BOOL AfxGetCursorInfo(HCURSOR hCursor, int* pnId, POINT* pHotSpot) {
    if (hCursor == nullptr)
        return FALSE;
    if (pnId != nullptr)
        *pnId = hCursor->nId;
    if (pHotSpot != nullptr)
        *pHotSpot = POINT{hCursor->hotSpot.x(), hCursor->hotSpot.y()};
    return TRUE;
}

void CCmdTarget::BeginWaitCursor() {
    if (QGuiApplication::instance() == nullptr)
        return;
    ++s_nWaitDepth;
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
}

void CCmdTarget::EndWaitCursor() {
    if (s_nWaitDepth == 0 || QGuiApplication::instance() == nullptr)
        return;
    --s_nWaitDepth;
    QGuiApplication::restoreOverrideCursor();
}

BOOL CWnd::OnSetCursor(CWnd* pWnd, UINT nHitTest, UINT message) {
    SDispatch* d = _afxCurrentDispatch(this);
    if (d == nullptr || d->message != WM_SETCURSOR)
        return FALSE;
    d->bDefaultDone = true;
    // The parent decides first; the class cursor only when no parent set one.
    if (CWnd* pParent = GetParent()) {
        CDispatchScope scope(
            {pParent, _afxBridgeOf(pParent), nullptr, WM_SETCURSOR, pWnd, nHitTest, message});
        if (pParent->OnSetCursor(pWnd, nHitTest, message))
            return TRUE;
    }
    if (pWnd == this) {
        const bool bEdit = qobject_cast<QLineEdit*>(_afxWidget(m_hWnd)) != nullptr;
        SetCursor(LoadCursorW(nullptr, bEdit ? IDC_IBEAM : IDC_ARROW));
    }
    return FALSE;
}
