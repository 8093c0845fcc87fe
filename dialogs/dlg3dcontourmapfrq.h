#pragma once

#include "afxwin.h"
#include "staticcontmapfrqc.h"

// The frequency contour-map dialog (template IDD_CONTMAP3D_FREQUENCY): the map at the selected
// frequency bin with the colour range, six display switches, Update and OK. It works like the
// time-domain dialog but never picks, shows the default cursor, and keeps its viewport (and so the
// camera) when OK hides it.
class CM3D_API CDlg3DContourMapFrq : public CDialog {
    DECLARE_MESSAGE_MAP()
public:
    CDlg3DContourMapFrq();
    ~CDlg3DContourMapFrq() override;

    float m_fMin;
    float m_fMax;
    int m_bAutofitColor;
    int m_bAutofitPlace;
    int m_bContourAct;
    int m_bSensorAct;
    int m_bContourMap;
    int m_bSensors;
    CStaticContMapFrqc m_staticContMap;

    int updateControlsFromRenderer();
    int updateRendererFromControls();

    BOOL OnCmdMsg(UINT nID, int nCode, void* pExtra, AFX_CMDHANDLERINFO* pHandlerInfo) override;
    void DoDataExchange(CDataExchange* pDX) override;

    void OnSize(UINT nType, int cx, int cy) override;
    void OnMouseMove(UINT nFlags, CPoint point) override;
    void OnLButtonDown(UINT nFlags, CPoint point) override;
    void OnLButtonUp(UINT nFlags, CPoint point) override;

    void OnApply();
};
