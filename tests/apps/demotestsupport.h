#pragma once

// What the in-process tests of the demo window share: the message boxes the library would show,
// a window that keeps its error reports, a fixture that shows one, and a paint counter.

#include "demowindow.h"

#include "afxmsgbox.h"
#include "megdata.h"
#include "syntheticrecording.h"

#include <QCoreApplication>
#include <QEvent>
#include <QString>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

// Lets what the event loop has queued (paints, deferred calls) run.
inline void pump() {
    for (int i = 0; i < 4; ++i)
        QCoreApplication::processEvents();
}

inline std::unique_ptr<CMEGDataqv> syntheticRecording(int nChannels) {
    CSyntheticOptionsqv options;
    options.nMegChannels = nChannels;
    return makeSyntheticRecording(options);
}

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

// A demo window shown with a synthetic recording; no message box may come up while it is open.
class ShownDemoWindow : public testing::Test {
protected:
    explicit ShownDemoWindow(int nChannels) : m_nChannels(nChannels) {}
    void SetUp() override {
        recordedMessages().clear();
        m_window.setRecording(syntheticRecording(m_nChannels), "synthetic recording");
        m_window.show();
        pump();
    }
    void TearDown() override {
        m_window.close();
        pump();
        EXPECT_TRUE(recordedMessages().empty()) << recordedMessages().front();
    }

    const int m_nChannels;
    CRecordingWindow m_window;
};
