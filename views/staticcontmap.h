#pragma once

#include "afxwin.h"
#include "show3dcntmap.h"

class CGL4dqv;
class CMDTrialqv;
class CMEGDataqv;

// The time-domain map view: the static control of the time-domain dialog, painted with the map
// of every sensor's value at the selected sample and three overlay lines (rotation, distance,
// selected sensor). It owns its viewport from the first paint until released. Being a static
// without notify style it gets no mouse input itself: the dialog forwards drags and picks.
class CM3D_API CStaticContMap : public CStatic {
    DECLARE_MESSAGE_MAP()
public:
    CStaticContMap();
    ~CStaticContMap() override;

    CShow3DCntMapqv m_Show3DCntMap;
    CFont m_Font;
    CPoint m_ptLast;
    int m_nViewMode;
    CMDTrialqv* m_pTrial;
    CMEGDataqv* m_pMEGData;
    CGL4dqv* m_pGL4d;
    CWnd* m_pParentDlg;
    int (*m_pfnSelectChannel)(int, int);

    // Takes the recording and its current trial and loads the renderer; 1 when a trial is held.
    int setViewMegData(CMEGDataqv* pData);
    int createViewGL();
    int resizeViewGL();
    int releaseViewGL();

    // Mouse input forwarded by the dialog, in this view's client coordinates.
    int mouseDragTo(CPoint pt);
    int pickSensorAt(int x, int y);
    // The cursor of the view mode; FALSE in Normal mode (nothing set).
    BOOL setModeCursor();

    void OnPaint() override;
    void OnDestroy() override;
    BOOL OnSetCursor(CWnd* pWnd, UINT nHitTest, UINT message) override;

    void OnViewNormal();
    void OnViewRotate();
    void OnViewZoom();
    void OnViewPickSensor();

private:
    int getPickRegion(int& nBufferSize, double& dWidth, double& dHeight);
    int takePickHits(const unsigned int* pBuffer, int nHits);
    // The third overlay line, when the selection mark is on and the current channel is a shown
    // measuring sensor with a coil.
    bool _selectedSensorLine(std::wstring& str);
};
