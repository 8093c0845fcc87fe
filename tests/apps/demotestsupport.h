#pragma once

// What the in-process tests of the demo window share: the message boxes the library would show,
// a window that keeps its error reports, and a paint counter.

#include "demowindow.h"

#include "afxmsgbox.h"

#include <QEvent>
#include <QString>

#include <string>
#include <vector>

// The texts of the message boxes shown since the last clear(); installed as the library's
// handler by the test program's main().
inline std::vector<std::string>& recordedMessages() {
    static std::vector<std::string> s_messages;
    return s_messages;
}

inline int recordMessage(const char* pszText, unsigned int /*nType*/) {
    recordedMessages().push_back(pszText);
    return IDOK;
}

// Keeps what the window would show in a message box.
class CRecordingWindow : public CDemoWindow {
public:
    std::vector<QString> m_aErrors;

protected:
    void reportError(const QString& strText) override { m_aErrors.push_back(strText); }
};

// Counts the paints of the widgets it watches.
class CPaintCounter : public QObject {
public:
    int m_nPaints = 0;

protected:
    bool eventFilter(QObject* pWatched, QEvent* pEvent) override {
        m_nPaints += pEvent->type() == QEvent::Paint ? 1 : 0;
        return QObject::eventFilter(pWatched, pEvent);
    }
};
