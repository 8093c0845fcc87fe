#include "mapdialogcore.h"

#include "gl4dqv.h"
#include "mapviewcore.h"

namespace mapdialog {

void fitViewToClient(CWnd& view, CGL4dqv* pGL4d, int cx, int cy) {
    if (view.GetSafeHwnd() == nullptr)
        return;
    WINDOWPLACEMENT wp = {};
    wp.length = sizeof(WINDOWPLACEMENT);
    view.GetWindowPlacement(&wp);
    wp.rcNormalPosition.right = cx - 10;
    wp.rcNormalPosition.bottom = cy - 10;
    view.SetWindowPlacement(&wp);
    view.InvalidateRect(nullptr, FALSE);

    if (pGL4d == nullptr || cx < 1 || cy < 1)
        return;
    CRect rc;
    view.GetClientRect(&rc);
    // A view squeezed to nothing has no viewport size to take; its next paint fits it.
    if (rc.Width() < 1 || rc.Height() < 1)
        return;
    mapview::reshapeOn(view, *pGL4d, rc.Width(), rc.Height());
    view.InvalidateRect(nullptr, TRUE);
}

bool pointOverView(CWnd& dlg, CWnd& view, CPoint& pt) {
    if (dlg.ChildWindowFromPoint(pt) != &view)
        return false;
    dlg.MapWindowPoints(&view, &pt, 1);
    return true;
}

void buttonDown(CWnd& dlg, CWnd& view, CPoint pt, CPoint& ptLast) {
    if (pointOverView(dlg, view, pt))
        ptLast = pt;
    dlg.SetCapture();
}

void releaseCapture(CWnd& dlg) {
    if (CWnd::GetCapture() == &dlg)
        ReleaseCapture();
}

} // namespace mapdialog
