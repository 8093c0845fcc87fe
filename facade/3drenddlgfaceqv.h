#pragma once

#include "3drenddlgface.h"

class CWnd;
class CDlgContMap3DTimedomain;
class CDlg3DContourMapFrq;
class CDlg3DContourmapSpctm;
class CDlgContmap3DModeling;

// The host's channel-selection callback: called with (channel slot index, -1) after a pick.
typedef int (*PFNSELECTCHANNELqv)(int nChannel, int nReserved);

// The facade's dialog road: opens the four modeless map dialogs and redraws the open maps when
// the host's selection changed. A QApplication must run on the calling thread.
class CM3D_API C3DRendDlgFaceqv : public C3DRendDlgFace {
public:
    C3DRendDlgFaceqv();
    ~C3DRendDlgFaceqv() override;

    // Each creates its dialog on first use (hidden), hands it the recording, shows it and
    // brings it to the front. The parent window is accepted and not used. Always 1.
    int show3DContMapTimeDomain(CMEGDataqv* pData, PFNSELECTCHANNELqv pfnSelectChannel,
                                CWnd* pParent);
    int show3DContMapFrqc(CMEGDataqv* pData, CWnd* pParent);
    int show3DContMapSpctm(CMEGDataqv* pData, CWnd* pParent);
    int show3DContMapModeling();

    // After the host changed its selection in the recording: recheck the range and repaint
    // the map. 0 when the dialog was never shown or is hidden.
    int updateContourMap();
    // Only the current channel changed: redraws only while "Mark Selection" is on; 1 whenever
    // the dialog is visible.
    int updateContourMapSelectChannel();
    int updateContourMapFrqc();
    int updateContourMapSpctm(CWnd* pParent);

    // The dialogs, null until first shown; the facade owns them. A host may read them (for
    // instance to place the windows) but must not delete them.
    CDlgContMap3DTimedomain* m_pDlgTimeDomain;
    CDlg3DContourMapFrq* m_pDlgFrqc;
    CDlg3DContourmapSpctm* m_pDlgSpctm;
    CDlgContmap3DModeling* m_pDlgModeling;
};
