#pragma once

#include "siblings_export.h"

#include <cstdint>
#include <memory>
#include <vector>

class CMDChannelqv;
class CSpctmTrialqv;

// One trial: an array of channel slots (slots may be empty) and the current channel.
class RECORDINGKIT_API CMDTrial {
public:
    // Far above any sensor array; keeps a stray slot count from allocating without bound.
    enum { nMaxSlots = 65536 };

    CMDTrial();
    virtual ~CMDTrial();
    CMDTrial(const CMDTrial&) = delete;
    CMDTrial& operator=(const CMDTrial&) = delete;

    virtual int getTotalChannel();
    // getTotalChannel() pointers, empty slots null; never null itself.
    virtual CMDChannelqv** getAllChannelPt();
    virtual int getCurntChnlIndx();
    // 1 and stored when nChannel is a slot index (or -1 for none), else 0 and unchanged.
    virtual int setCurrentChannel(int nChannel);

    // Filling: resize the slot array (new slots empty, 0 to nMaxSlots slots; a current channel
    // that no longer exists becomes -1), create or clear the channel of a slot. createChannel
    // replaces a channel already in the slot and gives null for a slot index out of range.
    int setTotalChannel(int nSlots);
    CMDChannelqv* createChannel(int nSlot);
    int clearChannel(int nSlot);
    // The trial's sample count as reported to readers; the filler keeps it equal to the
    // channels' sample counts. Negative counts are refused.
    std::int64_t getSampleCount() const { return m_nSampleCount; }
    int setSampleCount(std::int64_t nSamples);

protected:
    std::vector<std::unique_ptr<CMDChannelqv>> m_aChannels;
    std::vector<CMDChannelqv*> m_aChannelPt;
    CMDChannelqv* m_pNoChannel = nullptr;
    int m_nCurntChnl;
    std::int64_t m_nSampleCount;
};

// Spectral results of the trial, one per spectrum selector.
class RECORDINGKIT_API CMDTrial4Spctm : public CMDTrial {
public:
    CMDTrial4Spctm();
    ~CMDTrial4Spctm() override;

    // With bCreate an empty spectral result is made when missing. Null for a selector outside
    // 0 to CSpctmChnl::nMaxSelectors - 1.
    virtual CSpctmTrialqv* getSpctmTrial(bool bCreate, int nSpctmSelector);

protected:
    std::vector<std::unique_ptr<CSpctmTrialqv>> m_aSpctmTrial;
};

class RECORDINGKIT_API CMDTrialqv : public CMDTrial4Spctm {};
