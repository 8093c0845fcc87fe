#pragma once

#include "recordingmarks.h"

#include <QTreeWidget>

#include <cstdint>

class CPagedRecording;

// The events and annotations of a long recording, one row each in time order: when, what and
// for how long. Clicking a row (or Enter on it) asks to go to its first sample.
class CMarkList : public QTreeWidget {
    Q_OBJECT
public:
    explicit CMarkList(QWidget* pParent = nullptr);

    // Null empties the list.
    void setRecording(CPagedRecording* pRecording);
    // Marks the row of the mark that starts at nSample, if there is one, and shows it.
    void showMarkAt(std::int64_t nSample);

signals:
    void jumpRequested(qint64 nSample);
};
