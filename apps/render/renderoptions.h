#pragma once

#include "mapkind.h"
#include "recordingsource.h"
#include "selectionrule.h"

#include <string>

// What the user asked contourmap-render for.
struct CRenderOptions {
    std::string strRecording; // empty: the built-in synthetic recording
    SConversionOptions conversion;
    int nSyntheticChannels = 275;
    SMapKinds::EMapKind nKind = SMapKinds::kindTime;
    SSelectionRequest selection; // what is not asked for keeps the recording's selection
    int nChannel = -2;           // -2: keep the recording's current channel
    int nWidth = 800;
    int nHeight = 800;
    bool bRotate = false;
    double dRotateX = 0.0;
    double dRotateY = 0.0;
    double dDistance = -1.0; // < 0: the viewport's default
    bool bMin = false;
    bool bMax = false;
    double dMin = 0.0;
    double dMax = 0.0;
    bool bSensors = true;
    bool bSensorColor = true;
    bool bSurface = true;
    bool bSurfaceColor = true;
    bool bAutofitPlace = true;
    bool bFiducials = true;
    bool bMarkSelection = false;
    bool bColorbar = false;
    bool bLabels = false;
    bool bSmooth = false;     // --surface smooth: the smooth field map instead of the fans
    int nIsolines = 10;       // smooth map only
    bool bContinuous = false; // smooth map only: the continuous colour scale
    bool bFrames = false;     // a numbered sequence through the samples instead of one picture
    long long nFrameFrom = 0;
    long long nFrameTo = 0;
    long long nFrameStep = 1;
    std::string strOut = "contourmap.png";
    bool bHelp = false;
    std::string strHelp;
};

// The file of frame nNumber (from 1) of a sequence: "out.png" gives "out-0001.png".
std::string frameFileName(const std::string& strOut, long long nNumber);

// Parses the command line; false with a one-line error for bad options.
bool parseRenderOptions(int argc, char** argv, CRenderOptions& options, std::string& error);
