#pragma once

#include "fiducial.h"
#include "siblings_export.h"

#include <cstdint>
#include <memory>
#include <vector>

class CMDTrialqv;

// The recording: its trials, the current one and the selected sample.
class RECORDINGKIT_API CMEGData {
public:
    CMEGData();
    virtual ~CMEGData();
    CMEGData(const CMEGData&) = delete;
    CMEGData& operator=(const CMEGData&) = delete;

    // Channel (slot) count, sample count and current trial; negative when there is no current trial.
    virtual int getCurntTrialCSD(int* pChannels, std::int64_t* pSamples, CMDTrialqv** ppTrial);
    // Selected sample and the end of the selected range (equal for a single sample).
    virtual int getSelect(std::int64_t& nSample, std::int64_t& nSampleEnd);
    // Trial nTrial, or the current one for -1; null when there is none.
    virtual CMDTrialqv* getTrialqv(int nTrial);

    CMDTrialqv* addTrial();
    int getTrialCount() const;
    int setCurrentTrial(int nTrial);
    // Only a sample inside the current trial is taken (0 otherwise), so readers can index
    // every channel's samples with it.
    int setSelect(std::int64_t nSample);

protected:
    std::vector<std::unique_ptr<CMDTrialqv>> m_aTrials;
    int m_nCurntTrial;
    std::int64_t m_nSelectSample;
};

// Head localisation: the working fiducial set.
class RECORDINGKIT_API CMEGData1Localization01Meg : public CMEGData {
public:
    CMEGData1Localization01Meg();
    ~CMEGData1Localization01Meg() override;

    // The working set, or null while the recording has none.
    virtual CFiducialqv* getFidWorkMeg();
    // Makes the working set exist (all points unset) and returns it.
    CFiducialqv* createFidWorkMeg();

protected:
    std::unique_ptr<CFiducialqv> m_pFidWork;
};

// Channel flags that hold for all trials.
class RECORDINGKIT_API CMEGData2Process : public CMEGData1Localization01Meg {
public:
    CMEGData2Process();
    ~CMEGData2Process() override;

    // Non-zero when slot nChannel is good (shown) for all trials; slots never flagged are both.
    virtual int isGoodChnl4Alltrials(int nChannel);
    virtual int isShowChnl4Alltrials(int nChannel);

    int setGoodChnl4Alltrials(int nChannel, int bGood);
    int setShowChnl4Alltrials(int nChannel, int bShow);

protected:
    std::vector<int> m_aGoodChnl;
    std::vector<int> m_aShowChnl;
};

class RECORDINGKIT_API CMEGDataqv : public CMEGData2Process {};
