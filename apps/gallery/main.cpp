// Writes dialog-2017.png, dialog-2018.png, dialog-2020.png and dialog-2021.png into OUTDIR: each
// dialog template created empty and shown, so its layout can be looked at.

#include "afxwin.h"

#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

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
    for (int nId : {2017, 2018, 2020, 2021}) {
        CDialog dlg;
        const std::string strPath = strOutDir + "/dialog-" + std::to_string(nId) + ".png";
        if (!dlg.Create(static_cast<UINT>(nId))) {
            std::fprintf(stderr, "contourmap-gallery: no dialog template %d\n", nId);
            ++nFailed;
            continue;
        }
        dlg.ShowWindow(SW_SHOW);
        AfxPumpMessages();
        if (!AfxSaveWindowImage(&dlg, strPath.c_str())) {
            std::fprintf(stderr, "contourmap-gallery: cannot write %s\n", strPath.c_str());
            ++nFailed;
            continue;
        }
        std::printf("%s\n", strPath.c_str());
    }
    AfxWinTerm();
    return nFailed == 0 ? 0 : 1;
}
