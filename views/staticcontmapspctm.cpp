#include "staticcontmapspctm.h"

#include "gl4dqv.h"
#include "mapviewcore.h"
#include "resource.h"

IMPLEMENT_DYNAMIC(CStaticContMapSpctm, CStatic)

BEGIN_MESSAGE_MAP(CStaticContMapSpctm, CStatic)
ON_COMMAND(ID_VIEW_ROTATE, &CStaticContMapSpctm::OnViewRotate)
ON_COMMAND(ID_VIEW_ZOOM, &CStaticContMapSpctm::OnViewZoom)
END_MESSAGE_MAP()

CStaticContMapSpctm::CStaticContMapSpctm()
    : m_ptLast(0, 0), m_nViewMode(mapview::modeRotate), m_pTrial(nullptr), m_pMEGData(nullptr),
      m_pGL4d(nullptr) {
    m_Font.CreatePointFont(90, "Arial");
}

// The window is gone by now; the context does not need it.
CStaticContMapSpctm::~CStaticContMapSpctm() {
    if (m_pGL4d != nullptr)
        releaseViewGL();
    m_Font.DeleteObject();
}

int CStaticContMapSpctm::setViewMegData(CMEGDataqv* pData) {
    mapview::takeCurrentTrial(pData, m_pMEGData, m_pTrial);
    m_Show3DCntMap.setMegData(pData);
    return m_pTrial != nullptr ? 1 : 0;
}

int CStaticContMapSpctm::createViewGL() {
    return mapview::createViewGL(*this, m_pGL4d);
}

int CStaticContMapSpctm::resizeViewGL() {
    return mapview::resizeViewGL(*this, m_pGL4d);
}

int CStaticContMapSpctm::releaseViewGL() {
    return mapview::releaseViewGL(m_pGL4d);
}

int CStaticContMapSpctm::mouseDragTo(CPoint pt) {
    return mapview::dragTo(*this, m_pGL4d, m_nViewMode, m_ptLast, pt);
}

void CStaticContMapSpctm::OnPaint() {
    CPaintDC dc(this);
    if (m_pGL4d == nullptr && (!createViewGL() || !resizeViewGL()))
        return;
    mapview::paintFrame(*this, *m_pGL4d, dc, m_pTrial ? &m_Show3DCntMap : nullptr,
                        &CShow3DCntMapqv::show3DCntMapSpctm);
    mapview::COverlayText overlay(dc, m_Font);
    overlay.camera(*m_pGL4d);
}

void CStaticContMapSpctm::OnViewRotate() {
    m_nViewMode = mapview::modeRotate;
}

void CStaticContMapSpctm::OnViewZoom() {
    m_nViewMode = mapview::modeZoom;
}
