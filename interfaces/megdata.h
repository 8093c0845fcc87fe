#pragma once

#include "fiducial.h"
#include "siblings_export.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class CMDTrialqv;

// The recording: its trials, the current one and the selected sample.
class RECORDINGKIT_API CMEGData {
public:
    CMEGData();
    virtual ~CMEGData();
    CMEGData(const CMEGData&) = delete;
    CMEGData& operator=(const CMEGData&) = delete;

    // Channel (slot) count, sample count and current trial; negative when there is no current
    // trial.
    virtual int getCurntTrialCSD(int* pChannels, std::int64_t* pSamples, CMDTrialqv** ppTrial);
    // Selected sample and the end of the selected range (equal for a single sample).
    virtual int getSelect(std::int64_t& nSample, std::int64_t& nSampleEnd);
    // Trial nTrial, or the current one for -1; null when there is none.
    virtual CMDTrialqv* getTrialqv(int nTrial);

    // The first trial added becomes the current one.
    CMDTrialqv* addTrial();
    int getTrialCount() const;
    // A trial index or -1 for none; the selected sample falls back to 0 when it is not inside
    // the new current trial.
    int setCurrentTrial(int nTrial);
    // Only a sample inside the current trial is taken (0 otherwise), so readers can index
    // every channel's samples with it: below the trial's sample count and below the sample
    // count of every channel that has samples.
    int setSelect(std::int64_t nSample);

    // Informational, in Hz; 0 when unknown. A negative or non-finite rate is refused.
    double getSamplingRate() const { return m_dSamplingRate; }
    int setSamplingRate(double dHz);

    // Axes a host labels its selections with; informational, the maps never read them.
    // Time of sample 0 in seconds, 0 by default; a non-finite time is refused.
    double getFirstSampleTime() const { return m_dFirstSampleTime; }
    int setFirstSampleTime(double dSeconds);
    // The spectral arrays' axes: one frequency in Hz per column and one time in seconds per row
    // (the centre of its window; NaN for a row without one, such as row 0, the whole trial).
    // Empty when unknown. 0 and unchanged for a non-finite frequency or an infinite row time.
    // The lengths are the filler's to keep equal to the spectra's columns and rows.
    int setSpctmAxes(const std::vector<double>& aFreqsHz, const std::vector<double>& aRowTimesSec);
    const std::vector<double>& getSpctmFreqsHz() const { return m_aSpctmFreqsHz; }
    const std::vector<double>& getSpctmRowTimesSec() const { return m_aSpctmRowTimesSec; }

    // Unit of the MEG samples and spectra, for labels: "fT" by default, "fT/cm" for planar
    // gradiometers. Informational. 0 and unchanged for an empty unit or one longer than
    // nMaxUnitLength bytes, which no label has room for.
    static constexpr std::size_t nMaxUnitLength = 32;
    const std::string& getUnit() const { return m_strUnit; }
    int setUnit(const std::string& strUnit);

protected:
    bool _isSampleInside(CMDTrialqv* pTrial, std::int64_t nSample);

    std::vector<std::unique_ptr<CMDTrialqv>> m_aTrials;
    int m_nCurntTrial;
    std::int64_t m_nSelectSample;
    double m_dSamplingRate;
    double m_dFirstSampleTime;
    std::vector<double> m_aSpctmFreqsHz;
    std::vector<double> m_aSpctmRowTimesSec;
    std::string m_strUnit;
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
    // 0 when nChannel is not a slot of the current trial.
    virtual int isGoodChnl4Alltrials(int nChannel);
    virtual int isShowChnl4Alltrials(int nChannel);

    // Any slot index below CMDTrial::nMaxSlots may be flagged, before or after its channel exists.
    int setGoodChnl4Alltrials(int nChannel, int bGood);
    int setShowChnl4Alltrials(int nChannel, int bShow);

protected:
    std::vector<int> m_aGoodChnl;
    std::vector<int> m_aShowChnl;
};

class RECORDINGKIT_API CMEGDataqv : public CMEGData2Process {};
