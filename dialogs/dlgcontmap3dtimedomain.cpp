#include "dlgcontmap3dtimedomain.h"

#include "mapdialogcore.h"

BEGIN_MESSAGE_MAP(CDlgContMap3DTimedomain, CDialog)
ON_BN_CLICKED(2003, &CDlgContMap3DTimedomain::OnApply)
ON_EN_CHANGE(2004, &CDlgContMap3DTimedomain::OnApply)
ON_EN_CHANGE(2005, &CDlgContMap3DTimedomain::OnApply)
ON_BN_CLICKED(2006, &CDlgContMap3DTimedomain::OnApply)
ON_BN_CLICKED(2008, &CDlgContMap3DTimedomain::OnApply)
ON_BN_CLICKED(2010, &CDlgContMap3DTimedomain::OnApply)
ON_BN_CLICKED(2011, &CDlgContMap3DTimedomain::OnApply)
ON_BN_CLICKED(2012, &CDlgContMap3DTimedomain::OnApply)
ON_BN_CLICKED(2013, &CDlgContMap3DTimedomain::OnApply)
ON_BN_CLICKED(1, &CDlgContMap3DTimedomain::OnButtonOK)
ON_BN_CLICKED(2014, &CDlgContMap3DTimedomain::OnMarkSelection)
END_MESSAGE_MAP()

CDlgContMap3DTimedomain::CDlgContMap3DTimedomain()
    : CDialog(2017), m_bAutofitColor(0), m_bAutofitPlace(0), m_fMax(0.0f), m_fMin(0.0f),
      m_bContourAct(0), m_bSensorAct(0), m_bContourMap(0), m_bSensors(0), m_bMarkSelection(0) {}

// The window goes first, while the view is still whole: its destroy handler releases the
// viewport.
CDlgContMap3DTimedomain::~CDlgContMap3DTimedomain() {
    if (GetSafeHwnd() != nullptr)
        DestroyWindow();
}

void CDlgContMap3DTimedomain::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, 2001, m_staticContMap);
    DDX_Check(pDX, 2003, m_bAutofitColor);
    DDX_Check(pDX, 2008, m_bAutofitPlace);
    DDX_Text(pDX, 2005, m_fMax);
    DDX_Text(pDX, 2004, m_fMin);
    DDX_Check(pDX, 2013, m_bContourAct);
    DDX_Check(pDX, 2011, m_bSensorAct);
    DDX_Check(pDX, 2012, m_bContourMap);
    DDX_Check(pDX, 2010, m_bSensors);
    DDX_Check(pDX, 2014, m_bMarkSelection);
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
        if (m_staticContMap.m_nViewMode == 3)
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
