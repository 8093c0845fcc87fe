#include "3drenddlgfaceqv.h"

#include "dlg3dcontourmapfrq.h"
#include "dlg3dcontourmapspctm.h"
#include "dlgcontmap3dmodeling.h"
#include "dlgcontmap3dtimedomain.h"

extern const int g_nCm3dStartupHook;

namespace {

template <class TDialog> bool isShown(TDialog* pDlg) {
    return pDlg != nullptr && pDlg->IsWindowVisible();
}

// The start-up hook's object file must come along in a static link (see libmain.cpp).
__attribute__((used)) const int* const s_pStartupHook = &g_nCm3dStartupHook;

// The parentless window is owned by the application's main window.
template <class TDialog> TDialog* createDialog(TDialog*& pDlg) {
    if (pDlg == nullptr) {
        pDlg = new TDialog();
        pDlg->Create(pDlg->m_nIDTemplate, nullptr);
    }
    return pDlg;
}

} // namespace

C3DRendDlgFaceqv::C3DRendDlgFaceqv()
    : m_pDlgTimeDomain(nullptr), m_pDlgFrqc(nullptr), m_pDlgSpctm(nullptr),
      m_pDlgModeling(nullptr) {}

C3DRendDlgFaceqv::~C3DRendDlgFaceqv() {
    delete m_pDlgTimeDomain;
    m_pDlgTimeDomain = nullptr;
    delete m_pDlgFrqc;
    m_pDlgFrqc = nullptr;
    delete m_pDlgSpctm;
    m_pDlgSpctm = nullptr;
    delete m_pDlgModeling;
    m_pDlgModeling = nullptr;
}

int C3DRendDlgFaceqv::show3DContMapTimeDomain(CMEGDataqv* pData,
                                              PFNSELECTCHANNELqv pfnSelectChannel,
                                              CWnd* /*pParent*/) {
    CDlgContMap3DTimedomain* pDlg = createDialog(m_pDlgTimeDomain);
    CStaticContMap& view = pDlg->m_staticContMap;
    view.m_Show3DCntMap.m_pMarkSelection = &pDlg->m_bMarkSelection;
    view.setViewMegData(pData);
    view.m_pfnSelectChannel = pfnSelectChannel;
    view.m_Show3DCntMap._checkSensorPosVlm();
    view.m_pParentDlg = pDlg;
    pDlg->ShowWindow(SW_SHOW);
    pDlg->updateControlsFromRenderer();
    pDlg->SetForegroundWindow();
    return 1;
}

int C3DRendDlgFaceqv::show3DContMapFrqc(CMEGDataqv* pData, CWnd* /*pParent*/) {
    CDlg3DContourMapFrq* pDlg = createDialog(m_pDlgFrqc);
    pDlg->m_staticContMap.setViewMegData(pData);
    pDlg->m_staticContMap.m_Show3DCntMap._checkSensorPosVlmFrqc();
    pDlg->ShowWindow(SW_SHOW);
    pDlg->updateControlsFromRenderer();
    pDlg->SetForegroundWindow();
    return 1;
}

int C3DRendDlgFaceqv::show3DContMapSpctm(CMEGDataqv* pData, CWnd* /*pParent*/) {
    CDlg3DContourmapSpctm* pDlg = createDialog(m_pDlgSpctm);
    pDlg->m_staticContMap.setViewMegData(pData);
    pDlg->m_staticContMap.m_Show3DCntMap._checkSensorPosVlmSpctm();
    pDlg->ShowWindow(SW_SHOW);
    pDlg->updateControlsFromRenderer();
    pDlg->SetForegroundWindow();
    return 1;
}

int C3DRendDlgFaceqv::show3DContMapModeling() {
    CDlgContmap3DModeling* pDlg = createDialog(m_pDlgModeling);
    pDlg->ShowWindow(SW_SHOW);
    pDlg->SetForegroundWindow();
    return 1;
}

int C3DRendDlgFaceqv::updateContourMap() {
    if (!isShown(m_pDlgTimeDomain))
        return 0;
    CStaticContMap& view = m_pDlgTimeDomain->m_staticContMap;
    view.m_Show3DCntMap._checkSensorPosVlm();
    view.InvalidateRect(nullptr, FALSE);
    return 1;
}

// Only the selection mark depends on the current channel, so without it there is nothing to
// redraw.
int C3DRendDlgFaceqv::updateContourMapSelectChannel() {
    if (!isShown(m_pDlgTimeDomain))
        return 0;
    if (m_pDlgTimeDomain->m_bMarkSelection == 0)
        return 1;
    CStaticContMap& view = m_pDlgTimeDomain->m_staticContMap;
    view.m_Show3DCntMap._checkSensorPosVlm();
    view.InvalidateRect(nullptr, FALSE);
    return 1;
}

int C3DRendDlgFaceqv::updateContourMapFrqc() {
    if (!isShown(m_pDlgFrqc))
        return 0;
    CStaticContMapFrqc& view = m_pDlgFrqc->m_staticContMap;
    view.m_Show3DCntMap._checkSensorPosVlmFrqc();
    view.InvalidateRect(nullptr, FALSE);
    return 1;
}

int C3DRendDlgFaceqv::updateContourMapSpctm(CWnd* /*pParent*/) {
    if (!isShown(m_pDlgSpctm))
        return 0;
    CStaticContMapSpctm& view = m_pDlgSpctm->m_staticContMap;
    view.m_Show3DCntMap._checkSensorPosVlmSpctm();
    view.InvalidateRect(nullptr, FALSE);
    return 1;
}
