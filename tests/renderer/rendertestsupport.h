#pragma once

// Small recordings with exactly the channels a test needs, a renderer that opens its protected
// drawing passes to tests, and a recorder for message boxes.

#include "megdata.h"
#include "show3dcntmap.h"

#include <memory>
#include <string>
#include <vector>

struct STestChannel {
    double x = 0.0, y = 0.0, z = 0.0;
    double dValue = 0.0; // value at the selected sample; spectral arrays derive from it
    bool bEmpty = false; // an empty slot
    bool bMeg = true;    // MEG measuring channel
    bool bCoil = true;
    bool bWave = true; // has samples
    bool bGood = true; // good for all trials
    bool bShown = true;
    bool bSpectral = true; // has a spectral array
};

STestChannel at(double x, double y, double z, double dValue = 0.0);
// The channel with one flag cleared: without(&STestChannel::bMeg, at(5, 0, 0)) is an EEG channel.
STestChannel without(bool STestChannel::*pFlag, STestChannel channel = STestChannel());
STestChannel emptySlot();

// Sample 1 is selected; every wave is {-999, value, -999}. Spectral arrays are 3 x 4 with
// element k = value + k; the selected bin is 2, the selected cell row 1, column 2 (so the
// spectral drawing reads value + 6 and the spectral range check value + 1). Without any spectral
// array there is no spectral result.
std::unique_ptr<CMEGDataqv> makeTestRecording(const std::vector<STestChannel>& channels);
// The same into a recording of a host's own kind.
void fillTestRecording(CMEGDataqv& data, const std::vector<STestChannel>& channels);

enum : int { nTestSelectedBin = 2, nTestSelectedRow = 1, nTestSelectedColumn = 2 };

// Opens the protected passes of the renderer.
class CTestMap : public CShow3DCntMapqv {
public:
    using CShow3DCntMap::_setColor;
    using CShow3DCntMap::drawSensorMapTriFan;
    using CShow3DCntMap::drawSensorMapTriFanFrqc;
    using CShow3DCntMap::drawSensorMapTriFanSpctm;
    using CShow3DCntMap::drawSensors;
    using CShow3DCntMap::drawSensorsFrqc;
    using CShow3DCntMap::drawSensorsSpctm;
    using CShow3DCntMap03Sensor::drawFiducial;
};

// Records message-box texts instead of showing them, while alive.
class CMessageRecorder {
public:
    CMessageRecorder();
    ~CMessageRecorder();
    const std::vector<std::string>& texts() const;
};
