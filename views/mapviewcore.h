#pragma once

// What the three map views share: the viewport's life on a window, the frame of a paint, the
// overlay text and one drag step. Each view keeps its own members and calls these, so the three
// stay separate classes with the same behaviour.

#include "afxwin.h"

#include <string>

class CGL4dqv;
class CMEGDataqv;
class CMDTrialqv;
class CShow3DCntMapqv;

namespace mapview {

// View modes, as the View Mode menu sets them.
enum : int { modeNormal = 0, modeRotate = 1, modeZoom = 2, modePick = 3 };

// Creates the viewport object on first need (kept even when the context cannot be made) and
// its context on the window's device context; 1 when the context was made.
int createViewGL(CWnd& view, CGL4dqv*& pGL4d);
// Fits the viewport to the window's client area; 1 also for an empty area (nothing to fit).
int resizeViewGL(CWnd& view, CGL4dqv* pGL4d);
// Destroys the context and the viewport object; always 1.
int releaseViewGL(CGL4dqv*& pGL4d);
// Makes the context current on view's device context and reshapes it to w x h, then leaves no
// context current. 0 when the device context could not be had.
int reshapeOn(CWnd& view, CGL4dqv& gl4d, int nWidth, int nHeight);

// The recording's current trial, with the data-error message when it is not usable; stores
// data and the trial it got (null included). A null recording clears both without a message.
void takeCurrentTrial(CMEGDataqv* pData, CMEGDataqv*& pMEGData, CMDTrialqv*& pTrial);

// One frame: context current, GL state, the scene (when pfnShow and pMap are given), present,
// no context current.
typedef int (CShow3DCntMapqv::*PFNSHOWMAP)();
void paintFrame(CWnd& view, CGL4dqv& gl4d, CDC& dc, CShow3DCntMapqv* pMap, PFNSHOWMAP pfnShow);

// The overlay: white text on black boxes in the view's font, one line per line height (the
// height of "A"); the device context's colours and font come back when it goes.
class COverlayText {
public:
    COverlayText(CDC& dc, CFont& font);
    ~COverlayText();
    COverlayText(const COverlayText&) = delete;
    COverlayText& operator=(const COverlayText&) = delete;

    void line(int nLine, const std::wstring& str);
    // The rotation line and the distance line of the camera.
    void camera(CGL4dqv& gl4d);
    int lineHeight() const { return m_nLineHeight; }

private:
    CDC& m_dc;
    COLORREF m_crOldBk;
    COLORREF m_crOldText;
    CFont* m_pOldFont;
    int m_nLineHeight;
};

// An ASCII text (numbers, fixed words) as a wide string.
std::wstring widen(const std::string& str);

// One drag step in the rotate or zoom mode, inside the busy cursor; other modes and a view
// without a viewport do nothing. Always 1.
int dragTo(CWnd& view, CGL4dqv* pGL4d, int nViewMode, CPoint& ptLast, CPoint pt);

} // namespace mapview
