#pragma once

#include "gl4dqv.h"
#include "glimagetarget.h"
#include "siblings_export.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

// A viewport rendering into an offscreen target of a fixed size: a real OpenGL context for
// headless rendering and tests, without any window.
class VIEWPORTKIT_API CGLOfflineContextqv {
public:
    CGLOfflineContextqv();
    ~CGLOfflineContextqv();
    CGLOfflineContextqv(const CGLOfflineContextqv&) = delete;
    CGLOfflineContextqv& operator=(const CGLOfflineContextqv&) = delete;

    // Pixel format, context, framebuffer, projection and scene GL state for nWidth x nHeight;
    // the context is left current. 0 with a reason in strError on failure. Opening again
    // replaces the previous context.
    int open(int nWidth, int nHeight, std::string& strError);
    int isOpen() const { return m_bOpen ? 1 : 0; }
    // Destroys context and target; the camera is lost with them.
    void close();

    // Null until open succeeded.
    CGL4dqv* viewport() { return m_bOpen ? m_pViewport.get() : nullptr; }
    CGLImageTargetqv* target() { return m_bOpen ? m_pTarget.get() : nullptr; }

    // Makes the context current (the calls below do this themselves).
    int makeCurrent();
    // One frame the way a view paints it: scene state, clear and camera transform, drawScene,
    // finish, read back into target(). drawScene may be empty.
    int renderFrame(const std::function<void()>& drawScene);
    // One selection pass of nSize entries around client point (x, y) with a w x h box;
    // drawPickables draws under selection names. Returns the hit count (negative on overflow,
    // -1 as well when the pass could not be opened); hits receives the raw hit records, empty
    // unless the count is positive.
    int pick(int nSize, double x, double y, double w, double h,
             const std::function<void()>& drawPickables, std::vector<unsigned>& hits);

    // Last failure in words.
    const std::string& getLastError() const { return m_strError; }

private:
    std::unique_ptr<CGL4dqv> m_pViewport;
    std::unique_ptr<CGLImageTargetqv> m_pTarget;
    bool m_bOpen = false;
    std::string m_strError;

    int _fail(const std::string& strStep);
};
