// contourmap-soak [ROUNDS] [--no-picks]: the demo host's road over and over — selection changes
// that repaint the open maps, rotate and zoom drags, picks that reach the host — and the resident
// memory at the start and the end. Run by the tests at a small count; by hand at a large one:
//   QT_QPA_PLATFORM=offscreen build/tests/soak/contourmap-soak 20000
// --no-picks leaves the picks out: Mesa 22.3's selection mode keeps memory for every vertex
// drawn in it (docs/reliability.md), which hides any growth of our own.

#include "demowindow.h"
#include "dlg3dcontourmapfrq.h"
#include "dlgcontmap3dtimedomain.h"
#include "resident.h"
#include "windowtest.h"

#include "mdtrial.h"
#include "megdata.h"
#include "syntheticrecording.h"

#include <QWidget>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
    long nRounds = 200;
    bool bPicks = true;
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]) == "--no-picks")
            bPicks = false;
        else
            nRounds = std::strtol(argv[i], nullptr, 10);
    }
    if (nRounds < 1) {
        std::fprintf(stderr, "usage: contourmap-soak [ROUNDS >= 1] [--no-picks]\n");
        return 2;
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    // The host prints a line per pick; thousands of them say nothing here.
    if (std::freopen("/dev/null", "w", stdout) == nullptr)
        return 1;

    CDemoWindow window;
    CSyntheticOptionsqv options;
    options.nMegChannels = 102;
    window.setRecording(makeSyntheticRecording(options), "synthetic recording");
    window.show();
    window.openMap(CDemoWindow::mapTime);
    window.openMap(CDemoWindow::mapFrequency);
    window.openMap(CDemoWindow::mapSpectral);
    pump();
    C3DRendDlgFaceqv& face = window.getFace();
    CDlgContMap3DTimedomain& time = *face.m_pDlgTimeDomain;
    CStaticContMap& view = time.m_staticContMap;
    CStaticContMapFrqc& frqc = face.m_pDlgFrqc->m_staticContMap;
    CRect rc;
    view.GetClientRect(&rc);
    const int cx = rc.Width() / 2, cy = rc.Height() / 2;
    const std::int64_t nSamples = window.getRecording()->getTrialqv(-1)->getSampleCount();

    long nStartKiB = 0;
    for (long n = 0; n < nRounds; ++n) {
        if (n == std::min(nRounds - 1, 20L))
            nStartKiB = residentKiB(); // after the caches of the first rounds have filled
        window.selectSample((n * 7) % nSamples);
        window.selectFreqBin(static_cast<int>(n % 40));
        window.selectCell(1 + static_cast<int>(n % 8), 1 + static_cast<int>(n % 30));
        menuItem(time, "Rotate")->trigger();
        drag(view, CPoint(cx, cy), CPoint(cx + 7, cy + 3));
        menuItem(time, "Zoom")->trigger();
        drag(view, CPoint(cx, cy), CPoint(cx, cy + (n % 2 ? 5 : -5)));
        drag(frqc, CPoint(cx, cy), CPoint(cx - 4, cy + 2));
        if (bPicks) {
            menuItem(time, "Pick Sensor")->trigger();
            drag(view, CPoint(cx, cy), CPoint(cx, cy));
        }
        if (n % 50 == 49) {
            // Now and then the host hides and shows the time-domain map, which renews its viewport.
            QTest::mouseClick(widgetOf(*time.GetDlgItem(IDOK)), Qt::LeftButton);
            window.openMap(CDemoWindow::mapTime);
        }
        pump();
    }
    const long nEndKiB = residentKiB();
    std::fprintf(stderr,
                 "contourmap-soak: %ld rounds (each: 3 selection changes, 3 drags%s); "
                 "resident memory %ld KiB after round %ld, %ld KiB at the end (%+ld KiB)\n",
                 nRounds, bPicks ? ", 1 pick" : "", nStartKiB, std::min(nRounds - 1, 20L) + 1,
                 nEndKiB, nEndKiB - nStartKiB);
    return 0;
}
