#include "dlg3dcontourmapspctm.h"

#include "mapdialogcore.h"
#include "resource.h"

BEGIN_MESSAGE_MAP(CDlg3DContourmapSpctm, CDialog)
ON_BN_CLICKED(IDC_UPDATE, &CDlg3DContourmapSpctm::OnApply)
ON_EN_CHANGE(IDC_EDIT_MIN, &CDlg3DContourmapSpctm::OnApply)
ON_EN_CHANGE(IDC_EDIT_MAX, &CDlg3DContourmapSpctm::OnApply)
ON_BN_CLICKED(IDC_AUTOFIT_COLOR, &CDlg3DContourmapSpctm::OnApply)
ON_BN_CLICKED(IDC_AUTOFIT_PLACE, &CDlg3DContourmapSpctm::OnApply)
ON_BN_CLICKED(IDC_SENSORS, &CDlg3DContourmapSpctm::OnApply)
ON_BN_CLICKED(IDC_SENSOR_ACT, &CDlg3DContourmapSpctm::OnApply)
ON_BN_CLICKED(IDC_CONTOURMAP, &CDlg3DContourmapSpctm::OnApply)
ON_BN_CLICKED(IDC_CONTOUR_ACT, &CDlg3DContourmapSpctm::OnApply)
END_MESSAGE_MAP()

CDlg3DContourmapSpctm::CDlg3DContourmapSpctm()
    : CDialog(IDD_CONTMAP3D_SPECTRAL), m_fMin(0.0f), m_fMax(0.0f), m_bAutofitColor(0),
      m_bAutofitPlace(0), m_bSensors(0), m_bSensorAct(0), m_bContourMap(0), m_bContourAct(0) {}

CDlg3DContourmapSpctm::~CDlg3DContourmapSpctm() {
    if (GetSafeHwnd() != nullptr)
        DestroyWindow();
}

void CDlg3DContourmapSpctm::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Text(pDX, IDC_EDIT_MIN, m_fMin);
    DDX_Text(pDX, IDC_EDIT_MAX, m_fMax);
    DDX_Check(pDX, IDC_AUTOFIT_COLOR, m_bAutofitColor);
    DDX_Check(pDX, IDC_AUTOFIT_PLACE, m_bAutofitPlace);
    DDX_Check(pDX, IDC_SENSORS, m_bSensors);
    DDX_Check(pDX, IDC_SENSOR_ACT, m_bSensorAct);
    DDX_Check(pDX, IDC_CONTOURMAP, m_bContourMap);
    DDX_Check(pDX, IDC_CONTOUR_ACT, m_bContourAct);
    DDX_Control(pDX, IDC_MAP_SPECTRUM, m_staticContMap);
}

int CDlg3DContourmapSpctm::updateControlsFromRenderer() {
    mapdialog::membersFromRenderer(*this, m_staticContMap.m_Show3DCntMap);
    UpdateData(FALSE);
    return 1;
}

int CDlg3DContourmapSpctm::updateRendererFromControls() {
    UpdateData(TRUE);
    mapdialog::rendererFromMembers(*this, m_staticContMap.m_Show3DCntMap);
    m_staticContMap.m_Show3DCntMap._checkSensorPosVlmSpctm();
    return 1;
}

void CDlg3DContourmapSpctm::OnApply() {
    updateRendererFromControls();
    m_staticContMap.InvalidateRect(nullptr, TRUE);
}

BOOL CDlg3DContourmapSpctm::OnCmdMsg(UINT nID, int nCode, void* pExtra,
                                     AFX_CMDHANDLERINFO* pHandlerInfo) {
    if (m_staticContMap.OnCmdMsg(nID, nCode, pExtra, pHandlerInfo))
        return TRUE;
    return CDialog::OnCmdMsg(nID, nCode, pExtra, pHandlerInfo);
}

void CDlg3DContourmapSpctm::OnSize(UINT nType, int cx, int cy) {
    CDialog::OnSize(nType, cx, cy);
    mapdialog::fitViewToClient(m_staticContMap, m_staticContMap.m_pGL4d, cx, cy);
}

void CDlg3DContourmapSpctm::OnMouseMove(UINT /*nFlags*/, CPoint point) {
    mapdialog::mouseMove(*this, m_staticContMap, point);
}

void CDlg3DContourmapSpctm::OnLButtonDown(UINT nFlags, CPoint point) {
    mapdialog::buttonDown(*this, m_staticContMap, point, m_staticContMap.m_ptLast);
    CDialog::OnLButtonDown(nFlags, point);
}

// This map has no picking: the release only ends the drag.
void CDlg3DContourmapSpctm::OnLButtonUp(UINT nFlags, CPoint point) {
    mapdialog::releaseCapture(*this);
    CDialog::OnLButtonUp(nFlags, point);
}
