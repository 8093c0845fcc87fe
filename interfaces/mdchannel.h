#pragma once

#include "siblings_export.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class CBscMagSnsqv;
class CSpctmChnlqv;

// One channel of a trial: label and samples.
class RECORDINGKIT_API CMDChannel {
public:
    CMDChannel();
    virtual ~CMDChannel();
    CMDChannel(const CMDChannel&) = delete;
    CMDChannel& operator=(const CMDChannel&) = delete;

    // Samples in femtotesla (MEG), or null when the channel has none.
    virtual double* getDataWave();
    // Size of the array getDataWave() returns (0 when it returns null).
    std::int64_t getSampleCount() const;
    // Stores a copy; an empty vector removes the samples. The maps index every channel's samples
    // with the recording's selected sample unchecked: give the channels of a trial equal lengths.
    // A selection past a channel filled shorter later reads as sample 0 (CMEGData::getSelect).
    int setDataWave(const std::vector<double>& samples);

    std::wstring m_strChnlName;

protected:
    std::vector<double> m_aDataWave;
};

// Sensor description: kind of channel and its coils.
class RECORDINGKIT_API CMDChannel0SensorInfo : public CMDChannel {
public:
    enum EChnlKind { kindMEG = 0, kindEEG, kindEOG, kindStim, kindMisc };

    CMDChannel0SensorInfo();
    ~CMDChannel0SensorInfo() override;

    // Non-zero for an MEG measuring channel, the only kind the maps show.
    virtual int isMEGMeasureChannel();
    // Coil nCoil (0 is the first), or null.
    virtual CBscMagSnsqv* getMEGCoilqv(int nCoil);

    int getChnlKind() const { return m_nChnlKind; }
    // 0 and unchanged for a value outside EChnlKind.
    int setChnlKind(int nKind);
    // 0 and nothing added for a non-finite coordinate: every coil can be placed.
    int addCoil(double x, double y, double z);
    int getCoilCount() const;

protected:
    int m_nChnlKind;
    std::vector<std::unique_ptr<CBscMagSnsqv>> m_aCoils;
};

// Spectral results of the channel, one per spectrum selector.
class RECORDINGKIT_API CMDChannel1Spctm : public CMDChannel0SensorInfo {
public:
    CMDChannel1Spctm();
    ~CMDChannel1Spctm() override;

    // The spectral channel of the selector; with bCreate an empty one is made when missing.
    // Null for a selector outside 0 to CSpctmChnl::nMaxSelectors - 1.
    virtual CSpctmChnlqv* getSpctmChnl(bool bCreate, int nSpctmSelector);

protected:
    std::vector<std::unique_ptr<CSpctmChnlqv>> m_aSpctmChnl;
};

class RECORDINGKIT_API CMDChannelqv : public CMDChannel1Spctm {};
