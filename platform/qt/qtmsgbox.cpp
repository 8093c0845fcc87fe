#include "qtwndbridge.h"

#include <QApplication>
#include <QMessageBox>

#include <cstdio>

using namespace afxqt;

namespace {

int _qtMessageBox(const char* pszText, unsigned int /*nType*/) {
    if (!_afxHaveApp()) {
        std::fprintf(stderr, "ContourMap3D: %s\n", pszText ? pszText : "");
        return IDOK;
    }
    QString title = QCoreApplication::applicationName();
    if (title.isEmpty())
        title = QStringLiteral("ContourMap3D");
    QMessageBox box(QMessageBox::Warning, title, QString::fromUtf8(pszText ? pszText : ""),
                    QMessageBox::Ok, QApplication::activeWindow());
    box.exec();
    return IDOK;
}

} // namespace

// The modal box, unless a handler (a test's recorder, say) is installed already.
void afxqt::_afxInstallMessageBox() {
    PFNMESSAGEBOXHANDLER pfnPrevious = AfxSetMessageBoxHandler(_qtMessageBox);
    if (pfnPrevious != nullptr)
        AfxSetMessageBoxHandler(pfnPrevious);
}
