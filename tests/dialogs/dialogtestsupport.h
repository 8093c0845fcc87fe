#pragma once

// The dialogs' controls as the user works them: clicks on real widgets, keystrokes into edits,
// and on-screen changes that send no notification (to see which members an exchange saves).

#include "../views/viewtestsupport.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QSignalBlocker>

#include <algorithm>

inline QCheckBox* box(const CWnd& dlg, int nId) {
    CWnd* p = dlg.GetDlgItem(nId);
    return p ? qobject_cast<QCheckBox*>(widgetOf(*p)) : nullptr;
}

inline QLineEdit* edit(const CWnd& dlg, int nId) {
    CWnd* p = dlg.GetDlgItem(nId);
    return p ? qobject_cast<QLineEdit*>(widgetOf(*p)) : nullptr;
}

// On the left edge, where every check box has its indicator.
inline void click(const CWnd& dlg, int nId) {
    QWidget* w = widgetOf(*dlg.GetDlgItem(nId));
    QTest::mouseClick(w, Qt::LeftButton, {}, QPoint(6, w->height() / 2));
}

// Empties the edit without a notification, then types the text key by key.
inline void retype(const CWnd& dlg, int nId, const char* pszText) {
    QLineEdit* e = edit(dlg, nId);
    {
        QSignalBlocker blocker(e);
        e->clear();
    }
    QTest::keyClicks(e, QString::fromUtf8(pszText));
}

inline void tickSilently(const CWnd& dlg, int nId, bool bTicked) {
    QSignalBlocker blocker(box(dlg, nId));
    box(dlg, nId)->setChecked(bTicked);
}

inline void setTextSilently(const CWnd& dlg, int nId, const char* pszText) {
    QSignalBlocker blocker(edit(dlg, nId));
    edit(dlg, nId)->setText(QString::fromUtf8(pszText));
}

// Every paint of a map view writes one rotation line.
inline int paints() {
    const auto& texts = windowCalls().texts;
    return std::count_if(texts.begin(), texts.end(),
                         [](const auto& t) { return t.str.rfind(L"Rotation:", 0) == 0; });
}

inline const char* kNumberPrompt = "Please enter a number.";
