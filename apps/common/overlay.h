#pragma once

#include "colorscale.h"

#include <QGuiApplication>

#include <memory>
#include <string>
#include <vector>

// A sensor's channel name and where its sphere appears in the picture.
struct SSensorLabel {
    double x, y;    // centre in pixels, origin top-left
    double dRadius; // in pixels
    std::wstring strName;
};

// Qt's GUI layer for fonts and painting, always on the offscreen platform: this command opens
// no window, and a platform that needs a display would abort without one.
std::unique_ptr<QGuiApplication> startTextDrawing();

// Width of the colour-bar panel beside a map of nHeight pixels.
int colorBarPanelWidthFor(int nHeight, const std::string& strUnit);

// Draws on an RGBA image of nImageWidth x nHeight (rows packed, top first) whose first
// nMapWidth columns hold the map: the labels over the map and, with pScale, the colour-bar
// panel in the columns right of it.
void drawOverlays(unsigned char* pRGBA, int nImageWidth, int nHeight, int nMapWidth,
                  const std::vector<SSensorLabel>& aLabels, const CColorScale* pScale,
                  const std::string& strUnit);
