#pragma once

#include "megdata.h"
#include "siblings_export.h"

#include <cstdint>
#include <string>
#include <vector>

// A trigger found on the recording's stimulus channel: the sample where the code steps up.
struct SRecordingEvent {
    std::int64_t nSample = 0;
    int nCode = 0;
};

// A span of the recording someone marked (a spike, a bad segment), as the file gives it.
struct SRecordingAnnotation {
    std::int64_t nSample = 0;
    std::int64_t nSamples = 0;
    std::string strDescription;
};

// A recording too long to hold: its samples stay in a store on disk (docs/recording-format.md)
// and the current trial holds one page of them, a span of consecutive samples. The maps read
// the page as they read any trial; sample indices of the whole recording are "recording
// samples" here, the trial's own indices page-relative. The store may still be growing (a
// conversion writing it): refresh() finds how far it is written, and pages stay inside that.
class RECORDINGKIT_API CPagedRecording : public CMEGDataqv {
public:
    static constexpr double dDefaultPageSeconds = 10.0;
    // Pages longer than this are refused: a page is held in memory as doubles per channel.
    static constexpr std::int64_t nMaxPageSamples = 4'000'000;

    CPagedRecording();
    ~CPagedRecording() override;

    // Length of the whole recording, and the span of it the store holds: usually all of it, a
    // single page when only that was converted. getStoredEnd() is how far the store is written.
    std::int64_t getTotalSamples() const { return m_nTotalSamples; }
    std::int64_t getStoredFirst() const { return m_nStoredFirst; }
    std::int64_t getStoredEnd() const { return m_nStoredFirst + m_nWrittenRows; }
    bool isComplete() const { return m_nWrittenRows == m_nStoreRows; }
    // Finds how much of a growing store is written now. 0 with a one-line error when the store
    // cannot be read any more or disagrees with its header.
    int refresh(std::string& error);

    std::int64_t getPageFirst() const { return m_nPageFirst; }
    // Samples the current page holds: its size, or less at the end of what is written.
    std::int64_t getPageLength() const { return m_nPageLength; }
    // The length pages are asked for, which aligns them.
    std::int64_t getPageSize() const { return m_nPageSize; }
    // Samples of the default page (10 s, or 10000 samples when the rate is unknown).
    std::int64_t defaultPageSamples() const;
    // Fills the current trial with nLength recording samples from nFirst, clipped to what is
    // written; the selection keeps its recording sample when it stays inside the page, else
    // moves to the page's first sample. 0 with a one-line error when nothing of the span is
    // written, the length is not positive or too long, or the store cannot be read.
    int setPage(std::int64_t nFirst, std::int64_t nLength, std::string& error);
    // Selects a recording sample, turning to the page that holds it (pages of the current
    // length, aligned to whole multiples of it) when it is outside the current page.
    int selectSample(std::int64_t nSample, std::string& error);
    std::int64_t getSelectedSample();

    // Time of recording sample 0 in seconds (getFirstSampleTime() is the page's).
    double getRecordingFirstTime() const { return m_dRecordingFirstTime; }
    const std::vector<SRecordingEvent>& getEvents() const { return m_aEvents; }
    const std::vector<SRecordingAnnotation>& getAnnotations() const { return m_aAnnotations; }
    // Global field power of the whole recording at getOverviewRate() values per second (each
    // the largest of its span), for steering; empty until the conversion has finished.
    const std::vector<float>& getOverview() const { return m_aOverview; }
    double getOverviewRate() const { return m_dOverviewRate; }
    const std::string& getStorePath() const { return m_strStorePath; }

    // Filling, for the loader: the store, its columns' slots and the recording's extent.
    int openStore(const std::string& strPath, const std::vector<int>& aColumnSlots,
                  std::int64_t nStoredFirst, std::int64_t nTotalSamples, std::string& error);
    void setRecordingFirstTime(double dSeconds) { m_dRecordingFirstTime = dSeconds; }
    void setEvents(std::vector<SRecordingEvent> aEvents) { m_aEvents = std::move(aEvents); }
    void setAnnotations(std::vector<SRecordingAnnotation> a) { m_aAnnotations = std::move(a); }
    void setOverview(std::vector<float> aGfp, double dRate);

private:
    int _readRows(std::int64_t nFirstRow, std::int64_t nRows, std::vector<float>& buffer,
                  std::string& error);
    void _closeStore();

    int m_fd = -1;
    std::string m_strStorePath;
    std::vector<int> m_aColumnSlots;
    std::int64_t m_nDataOffset = 0;
    std::int64_t m_nStoreRows = 0;
    std::int64_t m_nWrittenRows = 0;
    std::int64_t m_nStoredFirst = 0;
    std::int64_t m_nTotalSamples = 0;
    std::int64_t m_nPageFirst = 0;
    std::int64_t m_nPageLength = 0;
    std::int64_t m_nPageSize = 0;
    double m_dRecordingFirstTime = 0.0;
    std::vector<SRecordingEvent> m_aEvents;
    std::vector<SRecordingAnnotation> m_aAnnotations;
    std::vector<float> m_aOverview;
    double m_dOverviewRate = 0.0;
};
