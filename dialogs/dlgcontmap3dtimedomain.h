#pragma once

#include "afxwin.h"
#include "staticcontmap.h"

// The time-domain contour-map dialog (template IDD_CONTMAP3D_TIMEDOMAIN): the map view, the colour
// range (Min, Max), six display switches, Mark Selection, Update and OK. Every change of a control
// is applied to the renderer at once; mouse input over the map and the View Mode menu go to the
// view. OK, Esc and the close box only hide it.
class CM3D_API CDlgContMap3DTimedomain : public CDialog {
    DECLARE_MESSAGE_MAP()
public:
    CDlgContMap3DTimedomain();
    ~CDlgContMap3DTimedomain() override;

    CStaticContMap m_staticContMap;
    int m_bAutofitColor;
    int m_bAutofitPlace;
    float m_fMax;
    float m_fMin;
    int m_bContourAct;
    int m_bSensorAct;
    int m_bContourMap;
    int m_bSensors;
    int m_bMarkSelection;

    // Controls from the renderer's switches and range; always 1.
    int updateControlsFromRenderer();
    // Renderer from the controls, then the range check; always 1.
    int updateRendererFromControls();

    BOOL OnCmdMsg(UINT nID, int nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo) override;
    BOOL OnCommand(WPARAM wParam, LPARAM lParam) override;
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL PreTranslateMessage(MSG* pMsg) override;

    void OnSize(UINT nType, int cx, int cy) override;
    void OnMouseMove(UINT nFlags, CPoint point) override;
    void OnLButtonDown(UINT nFlags, CPoint point) override;
    void OnLButtonUp(UINT nFlags, CPoint point) override;
    BOOL OnSetCursor(CWnd* pWnd, UINT nHitTest, UINT message) override;

    void OnApply();
    void OnButtonOK();
    void OnMarkSelection();
};
