#include "recordingmarks.h"

#include "pagedrecording.h"

#include <algorithm>

QColor SRecordingMark::fillColor(EKind nKind) {
    switch (nKind) {
    case kindBad:
        return QColor(220, 60, 60, 55);
    case kindAnnotation:
        return QColor(40, 150, 90, 55);
    default:
        return QColor(120, 60, 170, 60);
    }
}

QColor SRecordingMark::lineColor(EKind nKind) {
    switch (nKind) {
    case kindBad:
        return QColor(190, 30, 30);
    case kindAnnotation:
        return QColor(20, 120, 60);
    default:
        return QColor(120, 60, 170);
    }
}

std::vector<SRecordingMark> collectMarks(const CPagedRecording& recording) {
    std::vector<SRecordingMark> aMarks;
    for (const SRecordingEvent& event : recording.getEvents())
        aMarks.push_back(
            {event.nSample, 0, SRecordingMark::kindEvent, QString("event %1").arg(event.nCode)});
    for (const SRecordingAnnotation& a : recording.getAnnotations()) {
        const QString strText = QString::fromStdString(a.strDescription);
        const bool bBad = strText.startsWith("BAD", Qt::CaseInsensitive);
        aMarks.push_back({a.nSample, std::max<std::int64_t>(0, a.nSamples),
                          bBad ? SRecordingMark::kindBad : SRecordingMark::kindAnnotation,
                          strText});
    }
    std::stable_sort(
        aMarks.begin(), aMarks.end(),
        [](const SRecordingMark& a, const SRecordingMark& b) { return a.nSample < b.nSample; });
    return aMarks;
}

const SRecordingMark* neighbourMark(const std::vector<SRecordingMark>& aMarks, std::int64_t nSample,
                                    int nDirection) {
    if (nDirection > 0) {
        const auto it = std::upper_bound(
            aMarks.begin(), aMarks.end(), nSample,
            [](std::int64_t n, const SRecordingMark& mark) { return n < mark.nSample; });
        return it != aMarks.end() ? &*it : nullptr;
    }
    const auto it = std::lower_bound(
        aMarks.begin(), aMarks.end(), nSample,
        [](const SRecordingMark& mark, std::int64_t n) { return mark.nSample < n; });
    return it != aMarks.begin() ? &*std::prev(it) : nullptr;
}
