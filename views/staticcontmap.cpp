#include "staticcontmap.h"

#include "bscmagsns.h"
#include "gl4dqv.h"
#include "mapviewcore.h"
#include "mdchannel.h"
#include "mdtrial.h"
#include "megdata.h"
#include "resource.h"

#include <cstdint>

BEGIN_MESSAGE_MAP(CStaticContMap, CStatic)
ON_COMMAND(ID_VIEW_NORMAL, &CStaticContMap::OnViewNormal)
ON_COMMAND(ID_VIEW_ROTATE, &CStaticContMap::OnViewRotate)
ON_COMMAND(ID_VIEW_ZOOM, &CStaticContMap::OnViewZoom)
ON_COMMAND(ID_VIEW_PICKSENSOR, &CStaticContMap::OnViewPickSensor)
END_MESSAGE_MAP()

CStaticContMap::CStaticContMap()
    : m_ptLast(0, 0), m_nViewMode(mapview::modeRotate), m_pTrial(nullptr), m_pMEGData(nullptr),
      m_pGL4d(nullptr), m_pParentDlg(nullptr), m_pfnSelectChannel(nullptr) {
    m_Font.CreatePointFont(90, "Arial");
}

CStaticContMap::~CStaticContMap() {
    if (m_pGL4d != nullptr)
        releaseViewGL();
    m_Font.DeleteObject();
}

int CStaticContMap::setViewMegData(CMEGDataqv* pData) {
    mapview::takeCurrentTrial(pData, m_pMEGData, m_pTrial);
    m_Show3DCntMap.setMegData(pData);
    return m_pTrial != nullptr ? 1 : 0;
}

int CStaticContMap::createViewGL() {
    return mapview::createViewGL(*this, m_pGL4d);
}

int CStaticContMap::resizeViewGL() {
    return mapview::resizeViewGL(*this, m_pGL4d);
}

int CStaticContMap::releaseViewGL() {
    return mapview::releaseViewGL(m_pGL4d);
}

void CStaticContMap::OnPaint() {
    CPaintDC dc(this);
    if (m_pGL4d == nullptr && (!createViewGL() || !resizeViewGL()))
        return;
    mapview::paintFrame(*this, *m_pGL4d, dc, m_pTrial ? &m_Show3DCntMap : nullptr,
                        &CShow3DCntMapqv::show3DCntMap);
    mapview::COverlayText overlay(dc, m_Font);
    overlay.camera(*m_pGL4d);
    std::wstring strSensor;
    if (_selectedSensorLine(strSensor))
        overlay.line(2, strSensor);
}

bool CStaticContMap::_selectedSensorLine(std::wstring& str) {
    if (m_Show3DCntMap.m_pMarkSelection == nullptr || *m_Show3DCntMap.m_pMarkSelection == 0)
        return false;
    if (m_pTrial == nullptr)
        return false;
    const int i = m_pTrial->getCurntChnlIndx();
    // A current channel outside the slots names no channel.
    if (i < 0 || i >= m_pTrial->getTotalChannel())
        return false;
    CMDChannelqv* pChannel = m_pTrial->getAllChannelPt()[i];
    if (pChannel == nullptr || pChannel->getDataWave() == nullptr)
        return false;
    if (m_pMEGData == nullptr || !m_pMEGData->isShowChnl4Alltrials(i))
        return false;
    if (!pChannel->isMEGMeasureChannel())
        return false;
    CBscMagSnsqv* pCoil = pChannel->getMEGCoilqv(0);
    if (pCoil == nullptr)
        return false;
    double x = 0.0, y = 0.0, z = 0.0;
    pCoil->getCoilPositionD(x, y, z);
    str = pChannel->m_strChnlName + L":" +
          mapview::widen(AfxFormatText("(%0.4f;%0.4f;%0.4f)", x, y, z));
    return true;
}

void CStaticContMap::OnDestroy() {
    releaseViewGL();
    CStatic::OnDestroy();
}

BOOL CStaticContMap::OnSetCursor(CWnd* /*pWnd*/, UINT /*nHitTest*/, UINT /*message*/) {
    return setModeCursor();
}

BOOL CStaticContMap::setModeCursor() {
    int nCursor = 0;
    switch (m_nViewMode) {
    case mapview::modeRotate:
        nCursor = IDC_CURSOR_ROTATE;
        break;
    case mapview::modeZoom:
        nCursor = IDC_CURSOR_ZOOM;
        break;
    case mapview::modePick:
        nCursor = IDC_CURSOR_PICK;
        break;
    default:
        return FALSE;
    }
    const HINSTANCE hModule = AfxFindResourceHandle(nCursor, RT_GROUP_CURSORqv);
    SetCursor(LoadCursorW(hModule, nCursor));
    return TRUE;
}

int CStaticContMap::mouseDragTo(CPoint pt) {
    return mapview::dragTo(*this, m_pGL4d, m_nViewMode, m_ptLast, pt);
}

int CStaticContMap::getPickRegion(int& nBufferSize, double& dWidth, double& dHeight) {
    nBufferSize = static_cast<int>(m_Show3DCntMap.m_dSensorSize * 400.0 * 4.0 * 4.0);
    dWidth = 4.0;
    dHeight = 4.0;
    return 1;
}

int CStaticContMap::pickSensorAt(int x, int y) {
    if (m_pGL4d == nullptr)
        return 0;
    CDC* pDC = GetDC();
    if (pDC == nullptr)
        return 0;
    m_pGL4d->setViewGLContextCurrent(pDC->GetSafeHdc());
    m_pGL4d->m_pWnd = this;
    int nBufferSize = 0;
    double dWidth = 0.0, dHeight = 0.0;
    getPickRegion(nBufferSize, dWidth, dHeight);
    unsigned int* pBuffer = m_pGL4d->glqvPickBegin(nBufferSize, static_cast<double>(x),
                                                   static_cast<double>(y), dWidth, dHeight);
    int nResult = 0;
    if (pBuffer != nullptr) {
        m_Show3DCntMap.pickSensor();
        const int nHits = m_pGL4d->glqvPickEnd();
        takePickHits(pBuffer, nHits);
        nResult = 1;
    }
    wglMakeCurrent(nullptr, nullptr);
    ReleaseDC(pDC);
    return nResult;
}

int CStaticContMap::takePickHits(const unsigned int* pBuffer, int nHits) {
    if (nHits <= 0 || pBuffer == nullptr)
        return 1;
    // Records: name count, minimum depth, maximum depth, then the names.
    const unsigned int* pRecord = pBuffer;
    const unsigned int* pChosen = pBuffer;
    for (int i = 0; i < nHits; ++i) {
        if (pRecord[1] < pChosen[1])
            pChosen = pRecord;
        pRecord += 3 + pRecord[0];
    }
    if (pChosen[0] == 0)
        return 1;
    const int nChannel = static_cast<int>(pChosen[3]);
    if (m_pfnSelectChannel == nullptr)
        return 1;
    if (m_pTrial != nullptr)
        m_pTrial->setCurrentChannel(nChannel);
    m_pfnSelectChannel(nChannel, -1);
    return 1;
}

void CStaticContMap::OnViewNormal() {
    m_nViewMode = mapview::modeNormal;
}

void CStaticContMap::OnViewRotate() {
    m_nViewMode = mapview::modeRotate;
}

void CStaticContMap::OnViewZoom() {
    m_nViewMode = mapview::modeZoom;
}

void CStaticContMap::OnViewPickSensor() {
    m_nViewMode = mapview::modePick;
    if (m_Show3DCntMap.m_pMarkSelection != nullptr)
        *m_Show3DCntMap.m_pMarkSelection = 1;
    if (m_pParentDlg != nullptr)
        m_pParentDlg->UpdateData(FALSE);
}
