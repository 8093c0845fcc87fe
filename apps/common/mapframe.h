#pragma once

#include "colorscale.h"

#include <string>
#include <vector>

class CGLOfflineContextqv;
class CShow3DCntMapqv;
class CSmoothFieldMap;

// What every picture of one map shares: the context it is drawn in, the loaded map, the
// colour-bar panel and the surface. The render command and the Python module draw through it.
struct SMapFrameJob {
    CColorScale::EMapKind nKind;
    CGLOfflineContextqv& context;
    CShow3DCntMapqv& map;
    bool bLabels;
    int nPanelWidth; // 0 without a colour bar
    std::string strUnit;
    CSmoothFieldMap* pSmooth; // null: the map's own surface of fans
};

// Draws one frame of the map with its labels and colour bar into rgba (nWidth x nHeight, rows
// packed, top first). Labels and colour bar need a QGuiApplication (startTextDrawing).
bool renderMapFrame(SMapFrameJob& job, std::vector<unsigned char>& rgba, int& nWidth, int& nHeight,
                    std::string& error);

// The slot of the sensor at pixel (x, y) of the last frame (origin top-left), -1 for none:
// the nearest sphere under the pointer on the map of fans, the sensor nearest to where the
// line meets the surface on the smooth map.
int pickMapSensor(SMapFrameJob& job, double x, double y);
