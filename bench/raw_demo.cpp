// The demo window on a long raw recording, in process and offscreen, for bench/raw_recordings.py:
// an uncached file opened to the time-domain map's first pixels (conversion to the first page,
// loading, the window and the map painted), then page changes to pixels (the page read, the
// plot and the map painted). Prints "first-map S" and "page-change-ms MEDIAN MAX" lines.
//
//   bench-raw-demo FILE [PAGES]      (with XDG_CACHE_HOME pointing at an empty folder)

#include "benchsupport.h"
#include "demowindow.h"
#include "pagedrecording.h"
#include "recordingjson.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

// Everything on screen painted into pixels: the window (plot, overview) and the map.
void paintAll(CDemoWindow& window) {
    QApplication::processEvents();
    window.grab();
    if (QWidget* pMap = window.getMapWindow(CDemoWindow::mapTime))
        pMap->grab();
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench-raw-demo FILE [PAGES]\n");
        return 2;
    }
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QString strFile = QString::fromLocal8Bit(argv[1]);
    const int nPages = argc > 2 ? std::atoi(argv[2]) : 20;

    QElapsedTimer clock;
    clock.start();
    CRecordingConverter converter;
    QString strError;
    const QString strHeader = converter.convert(strFile, SConversionOptions(), strError, true);
    std::string error;
    std::unique_ptr<CMEGDataqv> pRecording =
        strHeader.isEmpty() ? nullptr : loadRecordingJson(strHeader.toStdString(), error);
    if (!pRecording) {
        std::fprintf(stderr, "bench-raw-demo: %s%s\n", strError.toLocal8Bit().constData(),
                     error.c_str());
        return 1;
    }
    CDemoWindow window;
    window.setRecording(std::move(pRecording), QFileInfo(strFile).fileName());
    window.show();
    window.openMap(CDemoWindow::mapTime);
    paintAll(window);
    std::printf("first-map %.3f\n", clock.nsecsElapsed() / 1e9);
    std::fflush(stdout);

    // The rest converts meanwhile; pages are turned once it is done, as a user would later.
    while (converter.isRunning()) {
        QApplication::processEvents();
        QThread::msleep(50);
    }
    auto* pPaged = dynamic_cast<CPagedRecording*>(window.getRecording());
    if (!pPaged || !pPaged->refresh(error)) {
        std::fprintf(stderr, "bench-raw-demo: not a long recording %s\n", error.c_str());
        return 1;
    }
    std::vector<double> aMs, aTurnMs;
    for (int k = 0; k < nPages; ++k) {
        clock.restart();
        if (!window.turnPage(1))
            break;
        aTurnMs.push_back(clock.nsecsElapsed() / 1e6);
        paintAll(window);
        aMs.push_back(clock.nsecsElapsed() / 1e6);
    }
    double dMax = 0.0;
    for (double d : aMs)
        dMax = std::max(dMax, d);
    std::printf("page-change-ms %.1f %.1f\n", benchMedian(aMs), dMax);
    // How much of it is the page's turn (reading it, handing it to the map and the plot).
    std::printf("page-turn-ms %.1f\n", benchMedian(aTurnMs));
    window.close();
    return 0;
}
