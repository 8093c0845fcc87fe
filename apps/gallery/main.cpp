// Writes dialog-ID.png into OUTDIR for each of the four dialogs, ID being its template's resource
// id: each dialog opened through the facade on the synthetic recording, with its map drawn, so
// the dialogs can be looked at as a user sees them.

#include "3drenddlgfaceqv.h"
#include "afxwin.h"
#include "dlg3dcontourmapfrq.h"
#include "dlg3dcontourmapspctm.h"
#include "dlgcontmap3dmodeling.h"
#include "dlgcontmap3dtimedomain.h"
#include "gl4dqv.h"
#include "syntheticrecording.h"

#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

namespace {

// Paints once so the viewport exists, then turns the camera the way the README's pictures look.
template <class TView> void turn(TView& view, double x, double y) {
    AfxPumpMessages();
    if (view.m_pGL4d != nullptr)
        view.m_pGL4d->setRotateValue(x, y, 0.0);
    view.Invalidate(FALSE);
    AfxPumpMessages();
}

bool save(CDialog* pDlg, const std::string& strDir) {
    const std::string strPath = strDir + "/dialog-" + std::to_string(pDlg->m_nIDTemplate) + ".png";
    AfxPumpMessages();
    if (!AfxSaveWindowImage(pDlg, strPath.c_str())) {
        std::fprintf(stderr, "contourmap-gallery: cannot write %s\n", strPath.c_str());
        return false;
    }
    std::printf("%s\n", strPath.c_str());
    return true;
}

int _noHost(int, int) {
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: contourmap-gallery OUTDIR\n");
        return 2;
    }
    const std::string strOutDir = argv[1];
    std::error_code error;
    std::filesystem::create_directories(strOutDir, error);
    if (error) {
        std::fprintf(stderr, "contourmap-gallery: cannot create %s: %s\n", strOutDir.c_str(),
                     error.message().c_str());
        return 2;
    }
    if (!AfxWinInit(argc, argv)) {
        std::fprintf(stderr, "contourmap-gallery: no window system\n");
        return 1;
    }
    int nFailed = 0;
    {
        std::unique_ptr<CMEGDataqv> pData = makeSyntheticRecording();
        C3DRendDlgFaceqv face;
        face.show3DContMapTimeDomain(pData.get(), _noHost, nullptr);
        turn(face.m_pDlgTimeDomain->m_staticContMap, -20.0, 55.0);
        nFailed += save(face.m_pDlgTimeDomain, strOutDir) ? 0 : 1;

        face.show3DContMapFrqc(pData.get(), nullptr);
        turn(face.m_pDlgFrqc->m_staticContMap, -60.0, 0.0);
        nFailed += save(face.m_pDlgFrqc, strOutDir) ? 0 : 1;

        face.show3DContMapSpctm(pData.get(), nullptr);
        turn(face.m_pDlgSpctm->m_staticContMap, -60.0, 0.0);
        nFailed += save(face.m_pDlgSpctm, strOutDir) ? 0 : 1;

        face.show3DContMapModeling();
        nFailed += save(face.m_pDlgModeling, strOutDir) ? 0 : 1;
    }
    AfxWinTerm();
    return nFailed == 0 ? 0 : 1;
}
