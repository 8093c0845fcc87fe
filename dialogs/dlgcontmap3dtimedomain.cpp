#include "dlgcontmap3dtimedomain.h"

#include "mapdialogcore.h"
#include "mapviewcore.h"
#include "resource.h"

BEGIN_MESSAGE_MAP(CDlgContMap3DTimedomain, CDialog)
ON_BN_CLICKED(IDC_AUTOFIT_COLOR, &CDlgContMap3DTimedomain::OnApply)
ON_EN_CHANGE(IDC_EDIT_MIN, &CDlgContMap3DTimedomain::OnApply)
ON_EN_CHANGE(IDC_EDIT_MAX, &CDlgContMap3DTimedomain::OnApply)
ON_BN_CLICKED(IDC_UPDATE, &CDlgContMap3DTimedomain::OnApply)
ON_BN_CLICKED(IDC_AUTOFIT_PLACE, &CDlgContMap3DTimedomain::OnApply)
ON_BN_CLICKED(IDC_SENSORS, &CDlgContMap3DTimedomain::OnApply)
ON_BN_CLICKED(IDC_SENSOR_ACT, &CDlgContMap3DTimedomain::OnApply)
ON_BN_CLICKED(IDC_CONTOURMAP, &CDlgContMap3DTimedomain::OnApply)
ON_BN_CLICKED(IDC_CONTOUR_ACT, &CDlgContMap3DTimedomain::OnApply)
ON_BN_CLICKED(IDOK, &CDlgContMap3DTimedomain::OnButtonOK)
ON_BN_CLICKED(IDC_MARK_SELECTION, &CDlgContMap3DTimedomain::OnMarkSelection)
END_MESSAGE_MAP()

CDlgContMap3DTimedomain::CDlgContMap3DTimedomain()
    : CDialog(IDD_CONTMAP3D_TIMEDOMAIN), m_bAutofitColor(0), m_bAutofitPlace(0), m_fMax(0.0f),
      m_fMin(0.0f), m_bContourAct(0), m_bSensorAct(0), m_bContourMap(0), m_bSensors(0),
      m_bMarkSelection(0) {}

// The window goes first, while the view is still whole: its destroy handler releases the
// viewport.
CDlgContMap3DTimedomain::~CDlgContMap3DTimedomain() {
    if (GetSafeHwnd() != nullptr)
        DestroyWindow();
}

void CDlgContMap3DTimedomain::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_MAP_TIMEDOMAIN, m_staticContMap);
    DDX_Check(pDX, IDC_AUTOFIT_COLOR, m_bAutofitColor);
    DDX_Check(pDX, IDC_AUTOFIT_PLACE, m_bAutofitPlace);
    DDX_Text(pDX, IDC_EDIT_MAX, m_fMax);
    DDX_Text(pDX, IDC_EDIT_MIN, m_fMin);
    DDX_Check(pDX, IDC_CONTOUR_ACT, m_bContourAct);
    DDX_Check(pDX, IDC_SENSOR_ACT, m_bSensorAct);
    DDX_Check(pDX, IDC_CONTOURMAP, m_bContourMap);
    DDX_Check(pDX, IDC_SENSORS, m_bSensors);
    DDX_Check(pDX, IDC_MARK_SELECTION, m_bMarkSelection);
}

int CDlgContMap3DTimedomain::updateControlsFromRenderer() {
    mapdialog::membersFromRenderer(*this, m_staticContMap.m_Show3DCntMap);
    UpdateData(FALSE);
    return 1;
}

int CDlgContMap3DTimedomain::updateRendererFromControls() {
    // After a parse failure the members after the failing edit keep their values; they are
    // applied as they are.
    UpdateData(TRUE);
    CShow3DCntMapqv& map = m_staticContMap.m_Show3DCntMap;
    mapdialog::rendererFromMembers(*this, map);
    map._checkSensorPosVlm();
    return 1;
}

void CDlgContMap3DTimedomain::OnApply() {
    updateRendererFromControls();
    m_staticContMap.InvalidateRect(nullptr, TRUE);
}

// The mark is read by the renderer through its pointer; nothing else is applied.
void CDlgContMap3DTimedomain::OnMarkSelection() {
    UpdateData(TRUE);
    m_staticContMap.m_Show3DCntMap.m_pMarkSelection = &m_bMarkSelection;
    m_staticContMap.InvalidateRect(nullptr, TRUE);
}

// The viewport goes with OK, so the map comes back with the initial camera next time.
void CDlgContMap3DTimedomain::OnButtonOK() {
    m_staticContMap.releaseViewGL();
    CDialog::OnOK();
}

BOOL CDlgContMap3DTimedomain::OnCmdMsg(UINT nID, int nCode, void* pExtra,
                                       AFX_CMDHANDLERINFO* pHandlerInfo) {
    if (m_staticContMap.OnCmdMsg(nID, nCode, pExtra, pHandlerInfo))
        return TRUE;
    return CDialog::OnCmdMsg(nID, nCode, pExtra, pHandlerInfo);
}

BOOL CDlgContMap3DTimedomain::OnCommand(WPARAM wParam, LPARAM lParam) {
    return CDialog::OnCommand(wParam, lParam);
}

BOOL CDlgContMap3DTimedomain::PreTranslateMessage(MSG* pMsg) {
    if (m_staticContMap.PreTranslateInput(pMsg))
        return TRUE;
    return CDialog::PreTranslateMessage(pMsg);
}

void CDlgContMap3DTimedomain::OnSize(UINT nType, int cx, int cy) {
    CDialog::OnSize(nType, cx, cy);
    mapdialog::fitViewToClient(m_staticContMap, m_staticContMap.m_pGL4d, cx, cy);
}

void CDlgContMap3DTimedomain::OnMouseMove(UINT /*nFlags*/, CPoint point) {
    mapdialog::mouseMove(*this, m_staticContMap, point);
}

void CDlgContMap3DTimedomain::OnLButtonDown(UINT nFlags, CPoint point) {
    mapdialog::buttonDown(*this, m_staticContMap, point, m_staticContMap.m_ptLast);
    CDialog::OnLButtonDown(nFlags, point);
}

// A pick happens on release, at the release point, and only over the map.
void CDlgContMap3DTimedomain::OnLButtonUp(UINT nFlags, CPoint point) {
    CPoint pt = point;
    if (mapdialog::pointOverView(*this, m_staticContMap, pt)) {
        m_staticContMap.m_ptLast = pt;
        if (m_staticContMap.m_nViewMode == mapview::modePick)
            m_staticContMap.pickSensorAt(pt.x, pt.y);
    }
    mapdialog::releaseCapture(*this);
    CDialog::OnLButtonUp(nFlags, point);
}

BOOL CDlgContMap3DTimedomain::OnSetCursor(CWnd* pWnd, UINT nHitTest, UINT message) {
    if (m_staticContMap.setModeCursor())
        return TRUE;
    return CDialog::OnSetCursor(pWnd, nHitTest, message);
}
