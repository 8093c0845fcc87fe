#include "staticcontmapfrqc.h"

#include "gl4dqv.h"
#include "mapviewcore.h"
#include "megdata.h"
#include "resource.h"

IMPLEMENT_DYNAMIC(CStaticContMapFrqc, CStatic)

BEGIN_MESSAGE_MAP(CStaticContMapFrqc, CStatic)
ON_COMMAND(ID_VIEW_ROTATE, &CStaticContMapFrqc::OnViewRotate)
ON_COMMAND(ID_VIEW_ZOOM, &CStaticContMapFrqc::OnViewZoom)
END_MESSAGE_MAP()

CStaticContMapFrqc::CStaticContMapFrqc()
    : m_ptLast(0, 0), m_nViewMode(mapview::modeRotate), m_pTrial(nullptr), m_pMEGData(nullptr),
      m_pGL4d(nullptr) {
    m_Font.CreatePointFont(90, "Arial");
}

CStaticContMapFrqc::~CStaticContMapFrqc() {
    if (m_pGL4d != nullptr)
        releaseViewGL();
    m_Font.DeleteObject();
}

int CStaticContMapFrqc::setViewMegData(CMEGDataqv* pData) {
    m_pMEGData = pData;
    m_pTrial = pData != nullptr ? pData->getTrialqv(-1) : nullptr;
    m_Show3DCntMap.setMegDataFrqc(pData);
    return m_pTrial != nullptr ? 1 : 0;
}

int CStaticContMapFrqc::createViewGL() {
    return mapview::createViewGL(*this, m_pGL4d);
}

int CStaticContMapFrqc::resizeViewGL() {
    return mapview::resizeViewGL(*this, m_pGL4d);
}

int CStaticContMapFrqc::releaseViewGL() {
    return mapview::releaseViewGL(m_pGL4d);
}

int CStaticContMapFrqc::mouseDragTo(CPoint pt) {
    return mapview::dragTo(*this, m_pGL4d, m_nViewMode, m_ptLast, pt);
}

void CStaticContMapFrqc::OnPaint() {
    CPaintDC dc(this);
    if (m_pGL4d == nullptr && (!createViewGL() || !resizeViewGL()))
        return;
    mapview::paintFrame(*this, *m_pGL4d, dc, m_pTrial ? &m_Show3DCntMap : nullptr,
                        &CShow3DCntMapqv::show3DCntMapFrqc);
    mapview::COverlayText overlay(dc, m_Font);
    overlay.camera(*m_pGL4d);
}

void CStaticContMapFrqc::OnDestroy() {
    if (m_pGL4d != nullptr)
        releaseViewGL();
    CStatic::OnDestroy();
}

void CStaticContMapFrqc::OnViewRotate() {
    m_nViewMode = mapview::modeRotate;
}

void CStaticContMapFrqc::OnViewZoom() {
    m_nViewMode = mapview::modeZoom;
}
