// A host with its own QApplication: the synthetic recording shown in the time-domain map dialog,
// opened through the dialog facade, then the dialog saved as a PNG once Qt has painted it. With
// no display, run it on Qt's offscreen platform (QT_QPA_PLATFORM=offscreen).

#include "3drenddlgfaceqv.h"
#include "megdata.h"
#include "syntheticrecording.h"

#include <QApplication>
#include <QImage>
#include <QWidget>

#include <cstdio>
#include <memory>

namespace {

// The host hears of picks here; this host has nothing to do with them.
int onChannelPicked(int /*nChannel*/, int /*nReserved*/) {
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    const QString strOut = argc > 1 ? QString::fromLocal8Bit(argv[1]) : "dialog-host.png";

    std::unique_ptr<CMEGDataqv> pRecording = makeSyntheticRecording();
    C3DRendDlgFaceqv face;
    face.show3DContMapTimeDomain(pRecording.get(), onChannelPicked, nullptr);

    // The dialog is a top-level window of this application; the facade has shown it.
    QWidget* pDialog = nullptr;
    for (QWidget* pWidget : QApplication::topLevelWidgets()) {
        if (pWidget->isVisible())
            pDialog = pWidget;
    }
    if (pDialog == nullptr) {
        std::fprintf(stderr, "dialog-host: no map dialog was shown\n");
        return 1;
    }
    for (int i = 0; i < 4; ++i)
        QApplication::processEvents();
    const QImage image = pDialog->grab().toImage();
    if (!image.save(strOut, "PNG")) {
        std::fprintf(stderr, "dialog-host: cannot write %s\n", qPrintable(strOut));
        return 1;
    }
    std::printf("%s: %s, %dx%d\n", qPrintable(strOut), qPrintable(pDialog->windowTitle()),
                image.width(), image.height());
    return 0;
}
