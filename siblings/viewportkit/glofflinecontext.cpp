#include "glofflinecontext.h"

#include <new>

CGLOfflineContextqv::CGLOfflineContextqv() = default;

CGLOfflineContextqv::~CGLOfflineContextqv() {
    close();
}

int CGLOfflineContextqv::_fail(const std::string& strStep) {
    m_strError = strStep;
    if (m_pViewport != nullptr && *m_pViewport->getLastError() != '\0')
        m_strError += ": " + std::string(m_pViewport->getLastError());
    return 0;
}

void CGLOfflineContextqv::close() {
    if (m_pViewport != nullptr)
        m_pViewport->killGLCurrentContext();
    m_pViewport.reset();
    m_pTarget.reset();
    m_bOpen = false;
}

int CGLOfflineContextqv::open(int nWidth, int nHeight, std::string& strError) {
    close();
    m_strError.clear();
    if (nWidth < 1 || nHeight < 1) {
        m_strError = "offline context size must be at least 1x1, got " + std::to_string(nWidth) +
                     "x" + std::to_string(nHeight);
        strError = m_strError;
        return 0;
    }
    m_pViewport.reset(new (std::nothrow) CGL4dqv);
    m_pTarget.reset(new (std::nothrow) CGLImageTargetqv(nWidth, nHeight));
    if (m_pViewport == nullptr || m_pTarget == nullptr) {
        m_strError = "out of memory";
        strError = m_strError;
        close();
        return 0;
    }
    HDC hDC = m_pTarget.get();
    const int bDone = (m_pViewport->setWindowPixelFormat(hDC) || _fail("pixel format")) &&
                      (m_pViewport->createViewGLContext(hDC) || _fail("context")) &&
                      (m_pViewport->setViewGLContextCurrent(hDC) || _fail("make current")) &&
                      (m_pViewport->reshape(nWidth, nHeight) || _fail("reshape")) &&
                      (m_pViewport->glqvInit() || _fail("GL state"));
    if (!bDone) {
        strError = m_strError;
        const std::string strKeep = m_strError;
        close();
        m_strError = strKeep;
        return 0;
    }
    m_bOpen = true;
    strError.clear();
    return 1;
}

int CGLOfflineContextqv::makeCurrent() {
    m_strError.clear();
    if (!m_bOpen) {
        m_strError = "offline context is not open";
        return 0;
    }
    return m_pViewport->setViewGLContextCurrent(m_pTarget.get()) ? 1 : _fail("make current");
}

int CGLOfflineContextqv::renderFrame(const std::function<void()>& drawScene) {
    if (!makeCurrent())
        return 0;
    if (!m_pViewport->glqvInit() || !m_pViewport->beginGLqv())
        return _fail("begin frame");
    if (drawScene)
        drawScene();
    if (!m_pViewport->endGLqv())
        return _fail("end frame");
    if (!m_pViewport->glSwapBuffers(m_pTarget.get()))
        return _fail("read back");
    return 1;
}

int CGLOfflineContextqv::pick(int nSize, double x, double y, double w, double h,
                              const std::function<void()>& drawPickables,
                              std::vector<unsigned>& hits) {
    hits.clear();
    if (!makeCurrent())
        return -1;
    const unsigned* pBuffer = m_pViewport->glqvPickBegin(nSize, x, y, w, h);
    if (pBuffer == nullptr) {
        _fail("open selection pass");
        return -1;
    }
    if (drawPickables)
        drawPickables();
    const int nHits = m_pViewport->glqvPickEnd();
    // Records are variable length: (name count, min depth, max depth, names...).
    size_t nUsed = 0;
    for (int i = 0; i < nHits; ++i) {
        if (nUsed + 3 > static_cast<size_t>(nSize))
            break;
        const size_t nRecord = 3 + static_cast<size_t>(pBuffer[nUsed]);
        if (nUsed + nRecord > static_cast<size_t>(nSize))
            break;
        nUsed += nRecord;
    }
    hits.assign(pBuffer, pBuffer + nUsed);
    return nHits;
}
