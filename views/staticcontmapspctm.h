#pragma once

#include "afxwin.h"
#include "show3dcntmap.h"

class CGL4dqv;
class CMDTrialqv;
class CMEGDataqv;

// The spectral map view: the map of every sensor's value in the selected time-frequency cell,
// with the rotation and distance lines. It rotates and zooms but never picks; its viewport
// lives as long as the view object.
class CM3D_API CStaticContMapSpctm : public CStatic {
    DECLARE_DYNAMIC(CStaticContMapSpctm)
    DECLARE_MESSAGE_MAP()
public:
    CStaticContMapSpctm();
    ~CStaticContMapSpctm() override;

    CShow3DCntMapqv m_Show3DCntMap;
    CFont m_Font;
    CPoint m_ptLast;
    int m_nViewMode;
    CMDTrialqv* m_pTrial;
    CMEGDataqv* m_pMEGData;
    CGL4dqv* m_pGL4d;

    // As the time-domain view: the current trial, with the data-error message when unusable.
    int setViewMegData(CMEGDataqv* pData);
    int createViewGL();
    int resizeViewGL();
    int releaseViewGL();
    int mouseDragTo(CPoint pt);

    void OnPaint() override;

    void OnViewRotate();
    void OnViewZoom();
};
