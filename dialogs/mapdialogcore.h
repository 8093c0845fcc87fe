#pragma once

// What the three map dialogs share: moving the range and the six display switches between the
// dialog's members and the renderer, keeping the view inside the client area, and forwarding
// the mouse to the view. The dialogs name their members alike, so the copies are templates.

#include "afxwin.h"
#include "show3dcntmap.h"

class CGL4dqv;

namespace mapdialog {

// Members from the renderer, range rounded to single precision.
template <class TDialog> void membersFromRenderer(TDialog& dlg, const CShow3DCntMapqv& map) {
    dlg.m_bAutofitColor = map.m_bAutofitColor;
    dlg.m_bAutofitPlace = map.m_bAutofitPlace;
    dlg.m_bSensors = map.m_bSensors;
    dlg.m_bSensorAct = map.m_bSensorAct;
    dlg.m_bContourMap = map.m_bContourMap;
    dlg.m_bContourAct = map.m_bContourAct;
    dlg.m_fMax = static_cast<float>(map.m_dColorMax);
    dlg.m_fMin = static_cast<float>(map.m_dColorMin);
}

// The renderer from the members, range widened to double.
template <class TDialog> void rendererFromMembers(const TDialog& dlg, CShow3DCntMapqv& map) {
    map.m_bSensorAct = dlg.m_bSensorAct;
    map.m_bAutofitColor = dlg.m_bAutofitColor;
    map.m_bContourMap = dlg.m_bContourMap;
    map.m_bAutofitPlace = dlg.m_bAutofitPlace;
    map.m_bContourAct = dlg.m_bContourAct;
    map.m_bSensors = dlg.m_bSensors;
    map.m_dColorMax = static_cast<double>(dlg.m_fMax);
    map.m_dColorMin = static_cast<double>(dlg.m_fMin);
}

// After the dialog's default size handling: the view's right and bottom edges 10 pixels inside
// the new client area (cx x cy), and its viewport, if any, reshaped to the view's client size.
void fitViewToClient(CWnd& view, CGL4dqv* pGL4d, int cx, int cy);

// True when the child under the dialog point is the view; the point is then converted to the
// view's client coordinates.
bool pointOverView(CWnd& dlg, CWnd& view, CPoint& pt);

// Button down: remembers the point over the view as the start of a drag, and captures the mouse
// wherever the click was.
void buttonDown(CWnd& dlg, CWnd& view, CPoint pt, CPoint& ptLast);
// Mouse move while captured and over the view: the view's drag step.
template <class TView> void mouseMove(CWnd& dlg, TView& view, CPoint pt) {
    if (CWnd::GetCapture() == &dlg && pointOverView(dlg, view, pt))
        view.mouseDragTo(pt);
}
// Releases the capture if the dialog holds it.
void releaseCapture(CWnd& dlg);

} // namespace mapdialog
