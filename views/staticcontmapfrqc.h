#pragma once

#include "afxwin.h"
#include "show3dcntmap.h"

class CGL4dqv;
class CMDTrialqv;
class CMEGDataqv;

// The frequency map view: the map of every sensor's value at the selected frequency bin, with
// the rotation and distance lines. It rotates and zooms but never picks, and keeps its viewport
// (and so the camera) while its dialog is hidden.
class CM3D_API CStaticContMapFrqc : public CStatic {
    DECLARE_DYNAMIC(CStaticContMapFrqc)
    DECLARE_MESSAGE_MAP()
public:
    CStaticContMapFrqc();
    ~CStaticContMapFrqc() override;

    CShow3DCntMapqv m_Show3DCntMap;
    CFont m_Font;
    CPoint m_ptLast;
    int m_nViewMode;
    CMDTrialqv* m_pTrial;
    CMEGDataqv* m_pMEGData;
    CGL4dqv* m_pGL4d;

    // Takes the recording's current trial (no message when there is none); 1 when one is held.
    int setViewMegData(CMEGDataqv* pData);
    int createViewGL();
    int resizeViewGL();
    int releaseViewGL();
    int mouseDragTo(CPoint pt);

    void OnPaint() override;
    void OnDestroy() override;

    void OnViewRotate();
    void OnViewZoom();
};
