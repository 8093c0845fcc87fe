#pragma once

#include <QColor>
#include <QString>

#include <cstdint>
#include <vector>

class CPagedRecording;

// The events and annotations of a long recording as one list in time order, for the plot, the
// overview, the list beside them and the keys that jump from one to the next.
struct SRecordingMark {
    enum EKind { kindEvent, kindAnnotation, kindBad };
    std::int64_t nSample = 0;  // recording sample where it starts
    std::int64_t nSamples = 0; // 0 for an event
    EKind nKind = kindEvent;
    QString strText; // "event 3", or the annotation's description

    // Spans marked bad (MNE's "BAD_" prefix) are excluded by most analyses, so they stand out.
    static QColor fillColor(EKind nKind);
    static QColor lineColor(EKind nKind);
};

std::vector<SRecordingMark> collectMarks(const CPagedRecording& recording);

// The first mark starting after nSample (nDirection > 0) or the last one starting before it;
// null when there is none.
const SRecordingMark* neighbourMark(const std::vector<SRecordingMark>& aMarks, std::int64_t nSample,
                                    int nDirection);
