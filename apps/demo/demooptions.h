#pragma once

#include "recordingsource.h"
#include "selectionrule.h"

#include <string>

// What the user asked contourmap-demo for on the command line.
struct CDemoOptions {
    std::string strRecording; // empty: the built-in synthetic recording
    SConversionOptions conversion;
    bool bOpenTime = false;
    bool bOpenFrequency = false;
    bool bOpenSpectral = false;
    bool bOpenModeling = false;
    bool bOpenSmooth = false;
    SSelectionRequest selection; // what is not asked for keeps the recording's selection
    std::string strScreenshot;   // empty: run interactively
    bool bHelp = false;
    std::string strHelp;
};

// Parses the command line; false with a one-line error for bad options.
bool parseDemoOptions(int argc, char** argv, CDemoOptions& options, std::string& error);
