#include "dlg3dcontourmapfrq.h"

#include "mapdialogcore.h"
#include "resource.h"

BEGIN_MESSAGE_MAP(CDlg3DContourMapFrq, CDialog)
ON_BN_CLICKED(IDC_AUTOFIT_COLOR, &CDlg3DContourMapFrq::OnApply)
ON_BN_CLICKED(IDC_AUTOFIT_PLACE, &CDlg3DContourMapFrq::OnApply)
ON_BN_CLICKED(IDC_SENSORS, &CDlg3DContourMapFrq::OnApply)
ON_BN_CLICKED(IDC_SENSOR_ACT, &CDlg3DContourMapFrq::OnApply)
ON_BN_CLICKED(IDC_CONTOURMAP, &CDlg3DContourMapFrq::OnApply)
ON_BN_CLICKED(IDC_CONTOUR_ACT, &CDlg3DContourMapFrq::OnApply)
ON_BN_CLICKED(IDC_UPDATE, &CDlg3DContourMapFrq::OnApply)
ON_BN_CLICKED(IDOK, &CDlg3DContourMapFrq::OnOK)
ON_EN_CHANGE(IDC_EDIT_MAX, &CDlg3DContourMapFrq::OnApply)
ON_EN_CHANGE(IDC_EDIT_MIN, &CDlg3DContourMapFrq::OnApply)
END_MESSAGE_MAP()

CDlg3DContourMapFrq::CDlg3DContourMapFrq()
    : CDialog(IDD_CONTMAP3D_FREQUENCY), m_fMin(0.0f), m_fMax(0.0f), m_bAutofitColor(0),
      m_bAutofitPlace(0), m_bContourAct(0), m_bSensorAct(0), m_bContourMap(0), m_bSensors(0) {}

CDlg3DContourMapFrq::~CDlg3DContourMapFrq() {
    if (GetSafeHwnd() != nullptr)
        DestroyWindow();
}

void CDlg3DContourMapFrq::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Text(pDX, IDC_EDIT_MIN, m_fMin);
    DDX_Text(pDX, IDC_EDIT_MAX, m_fMax);
    DDX_Check(pDX, IDC_AUTOFIT_COLOR, m_bAutofitColor);
    DDX_Check(pDX, IDC_AUTOFIT_PLACE, m_bAutofitPlace);
    DDX_Check(pDX, IDC_CONTOUR_ACT, m_bContourAct);
    DDX_Check(pDX, IDC_SENSOR_ACT, m_bSensorAct);
    DDX_Check(pDX, IDC_CONTOURMAP, m_bContourMap);
    DDX_Check(pDX, IDC_SENSORS, m_bSensors);
    DDX_Control(pDX, IDC_MAP_SPECTRUM, m_staticContMap);
}

int CDlg3DContourMapFrq::updateControlsFromRenderer() {
    mapdialog::membersFromRenderer(*this, m_staticContMap.m_Show3DCntMap);
    UpdateData(FALSE);
    return 1;
}

int CDlg3DContourMapFrq::updateRendererFromControls() {
    UpdateData(TRUE);
    mapdialog::rendererFromMembers(*this, m_staticContMap.m_Show3DCntMap);
    m_staticContMap.m_Show3DCntMap._checkSensorPosVlmFrqc();
    return 1;
}

void CDlg3DContourMapFrq::OnApply() {
    updateRendererFromControls();
    m_staticContMap.InvalidateRect(nullptr, TRUE);
}

BOOL CDlg3DContourMapFrq::OnCmdMsg(UINT nID, int nCode, void* pExtra,
                                   AFX_CMDHANDLERINFO* pHandlerInfo) {
    if (m_staticContMap.OnCmdMsg(nID, nCode, pExtra, pHandlerInfo))
        return TRUE;
    return CDialog::OnCmdMsg(nID, nCode, pExtra, pHandlerInfo);
}

void CDlg3DContourMapFrq::OnSize(UINT nType, int cx, int cy) {
    CDialog::OnSize(nType, cx, cy);
    mapdialog::fitViewToClient(m_staticContMap, m_staticContMap.m_pGL4d, cx, cy);
}

void CDlg3DContourMapFrq::OnLButtonDown(UINT nFlags, CPoint point) {
    mapdialog::buttonDown(*this, m_staticContMap, point, m_staticContMap.m_ptLast);
    CDialog::OnLButtonDown(nFlags, point);
}

// This map has no picking: the release only ends the drag.
void CDlg3DContourMapFrq::OnLButtonUp(UINT nFlags, CPoint point) {
    mapdialog::releaseCapture(*this);
    CDialog::OnLButtonUp(nFlags, point);
}

void CDlg3DContourMapFrq::OnMouseMove(UINT /*nFlags*/, CPoint point) {
    mapdialog::mouseMove(*this, m_staticContMap, point);
}
