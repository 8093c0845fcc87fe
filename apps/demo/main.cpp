// contourmap-demo: a host window around the map dialogs, for trying the maps by hand and for
// scripted screenshots.

#include "demooptions.h"
#include "demowindow.h"
#include "windowshot.h"

#include "megdata.h"
#include "recordingsource.h"
#include "syntheticrecording.h"

#include <QApplication>
#include <QFileInfo>
#include <QTimer>

#include <cstdio>
#include <memory>
#include <string>

namespace {

const int nExitFailure = 2;
// Time the maps get to lay out and paint once before a screenshot is taken.
const int nSettleMs = 400;

int _fail(const std::string& message) {
    std::fprintf(stderr, "contourmap-demo: error: %s\n", message.c_str());
    return nExitFailure;
}

} // namespace

int main(int argc, char** argv) {
    CDemoOptions o;
    std::string error;
    if (!parseDemoOptions(argc, argv, o, error))
        return _fail(error + " (see --help)");
    if (o.bHelp) {
        std::printf("%s", o.strHelp.c_str());
        return 0;
    }

    // A MEG file converted for the first time opens in the window, which converts it in the
    // background and shows a long recording's first page as soon as it is stored. Asked for a
    // picture or a first selection, the program converts before the window instead, so that
    // they apply to the whole recording and a failure ends it with its line.
    const QString strFile = QString::fromLocal8Bit(o.strRecording.c_str());
    const bool bInBackground = !o.strRecording.empty() && !isJsonRecording(strFile) &&
                               QFileInfo::exists(strFile) && o.strScreenshot.empty() &&
                               !o.selection.choosesSample() && !o.selection.nBin &&
                               !o.selection.cell && !o.selection.dFreq && !o.selection.cellAt &&
                               CRecordingConverter::cachedCopy(strFile, o.conversion).isEmpty();

    // Everything that can be refused is checked before a window system is needed.
    std::unique_ptr<CMEGDataqv> pRecording;
    QString strName = "synthetic recording";
    if (bInBackground) {
        // Nothing to show until the first page or the whole recording arrives.
    } else if (o.strRecording.empty()) {
        pRecording = makeSyntheticRecording();
        if (!pRecording)
            return _fail("could not make the synthetic recording");
    } else {
        // A MEG file is converted here, before the window, so that what cannot be read ends the
        // program as a bad JSON file does.
        pRecording = openRecordingFile(o.strRecording, o.conversion, error,
                                       conversionNotesOnStderr("contourmap-demo", o.strRecording));
        if (!pRecording)
            return _fail(error);
        strName = QFileInfo(QString::fromLocal8Bit(o.strRecording.c_str())).fileName();
    }
    if (pRecording && !applySelectionRequest(o.selection, *pRecording, error))
        return _fail(error);

    QApplication app(argc, argv);
    CDemoWindow window;
    window.setConversionOptions(o.conversion);
    window.setRecording(std::move(pRecording), strName);
    window.show();
    const std::pair<bool, CDemoWindow::EMapWindow> maps[] = {
        {o.bOpenTime, CDemoWindow::mapTime},
        {o.bOpenFrequency, CDemoWindow::mapFrequency},
        {o.bOpenSpectral, CDemoWindow::mapSpectral},
        {o.bOpenModeling, CDemoWindow::mapModeling},
        {o.bOpenSmooth, CDemoWindow::mapSmooth}};
    const auto openMaps = [&window, &maps] {
        for (const auto& [bOpen, nMap] : maps)
            if (bOpen)
                window.openMap(nMap);
    };
    bool bMapsOpened = false;
    if (bInBackground) {
        // The maps asked for open with the first recording the conversion gives; the window
        // takes it in its own slots, connected before these.
        const auto openOnce = [&] {
            if (!bMapsOpened && window.getRecording()) {
                bMapsOpened = true;
                openMaps();
            }
        };
        QObject::connect(&window.getConverter(), &CRecordingConverter::firstPageReady, &window,
                         openOnce);
        QObject::connect(&window.getConverter(), &CRecordingConverter::finished, &window, openOnce);
        window.openRecording(strFile);
    } else
        openMaps();

    int nShotResult = 0;
    if (!o.strScreenshot.empty()) {
        const QString strPath = QString::fromLocal8Bit(o.strScreenshot.c_str());
        QTimer::singleShot(nSettleMs, &window, [&, strPath] {
            QApplication::processEvents();
            QString strError;
            if (!saveTopLevelWindows(&window, strPath, strError))
                nShotResult = _fail(strError.toStdString());
            else
                std::printf("%s\n", o.strScreenshot.c_str());
            window.close();
            QApplication::quit();
        });
    }
    const int nResult = app.exec();
    return nShotResult ? nShotResult : nResult;
}
