#pragma once

// The time-domain, frequency and spectral views as the user meets them: in their dialogs,
// opened through the facade on a small recording.

#include "3drenddlgfaceqv.h"
#include "dlg3dcontourmapfrq.h"
#include "dlg3dcontourmapspctm.h"
#include "dlgcontmap3dtimedomain.h"
#include "gl4dqv.h"
#include "rendertestsupport.h"
#include "resource.h"
#include "windowtest.h"

#include <QAction>
#include <gtest/gtest.h>

#include <memory>
#include <utility>
#include <vector>

// The calls the host callback received.
inline std::vector<std::pair<int, int>>& hostCalls() {
    static std::vector<std::pair<int, int>> s_calls;
    return s_calls;
}

inline int recordHostCall(int nChannel, int nOther) {
    hostCalls().emplace_back(nChannel, nOther);
    return 0;
}

inline void choose(const CWnd& dlg, const char* pszItem) {
    QAction* item = menuItem(dlg, pszItem);
    ASSERT_NE(item, nullptr) << pszItem;
    item->trigger();
}

inline CGxyz rotationOf(CGL4dqv& gl4d) {
    CGxyz r;
    gl4d.getRotate(r.x, r.y, r.z);
    return r;
}

inline double distanceOf(CGL4dqv& gl4d) {
    double x = 0.0, y = 0.0, z = 0.0;
    gl4d.getTranslate(x, y, z);
    return -z;
}

// The overlay's lines and where each was written, from the last repaint.
inline std::vector<std::wstring> overlayLines() {
    std::vector<std::wstring> v;
    for (const auto& t : windowCalls().texts)
        v.push_back(t.str);
    return v;
}

inline std::vector<std::pair<int, int>> overlayPlaces() {
    std::vector<std::pair<int, int>> v;
    for (const auto& t : windowCalls().texts)
        v.emplace_back(t.x, t.y);
    return v;
}

class MapViewTest : public testing::Test {
protected:
    void SetUp() override {
        recordedMessages().clear();
        windowCalls().clear();
        hostCalls().clear();
    }

    // Opens the time-domain map of the channels and lets it paint.
    CStaticContMap& openTimeDomain(const std::vector<STestChannel>& channels,
                                   PFNSELECTCHANNELqv pfn = recordHostCall) {
        m_pData = makeTestRecording(channels);
        m_face.show3DContMapTimeDomain(m_pData.get(), pfn, nullptr);
        pump();
        return m_face.m_pDlgTimeDomain->m_staticContMap;
    }

    CPoint clientCentre(const CWnd& view) {
        CRect rc;
        view.GetClientRect(&rc);
        return CPoint(rc.Width() / 2, rc.Height() / 2);
    }

    // A point of the view as a point of its dialog's client area.
    CPoint inDialog(CWnd& view, CPoint pt) {
        view.MapWindowPoints(view.GetParent(), &pt, 1);
        return pt;
    }

    void repaint(CWnd& view) {
        windowCalls().clear();
        view.Invalidate(FALSE);
        pump();
    }

    std::unique_ptr<CMEGDataqv> m_pData;
    C3DRendDlgFaceqv m_face;
};
