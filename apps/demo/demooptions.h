#pragma once

#include <cstdint>
#include <string>

class CMEGDataqv;

// What the user asked contourmap-demo for on the command line.
struct CDemoOptions {
    std::string strRecording; // empty: the built-in synthetic recording
    bool bOpenTime = false;
    bool bOpenFrequency = false;
    bool bOpenSpectral = false;
    bool bOpenModeling = false;
    std::int64_t nSample = -1; // -1: keep the recording's selection
    std::int64_t nBin = -1;
    std::int64_t nRow = -1;
    std::int64_t nColumn = -1;
    std::string strScreenshot; // empty: run interactively
    bool bHelp = false;
    std::string strHelp;
};

// Parses the command line; false with a one-line error for bad options.
bool parseDemoOptions(int argc, char** argv, CDemoOptions& options, std::string& error);

// Sets the selections asked for with --sample, --bin and --cell in the recording; false with a
// one-line error (and the recording unchanged) when one lies outside the data. Bins are
// frequency columns of the spectral arrays.
bool applyDemoSelection(const CDemoOptions& options, CMEGDataqv& recording, std::string& error);
