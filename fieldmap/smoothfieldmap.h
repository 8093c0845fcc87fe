#pragma once

#include "cm3d_export.h"
#include "mapkind.h"

#include <vector>

class CShow3DCntMapqv;

// A second way to draw a map: the values of the sensors a loaded renderer shows, interpolated
// with spherical splines over a helmet-shaped surface that runs through the sensors, coloured,
// with isolines, the sensors as dots and (time domain) the fiducials. It draws into whatever
// OpenGL context is current, in the renderer's frame (shifted by its centre while autofit place
// is on), so it lines up with the renderer's map. A display interpolation, not a field model.
//
// The surface and the spline's factorisation depend only on the sensors taking part (good
// measuring channels with a first coil and a finite value) and their positions; they are made
// again only when that set changes, so a selection change costs one solve and one product.
//
// A host with a current context and a loaded, range-checked renderer of the map kind:
//     CSmoothFieldMap smooth;
//     smooth.setColorMode(CSmoothFieldMap::colorContinuous);
//     smooth.draw(renderer, CSmoothFieldMap::kindTime);   // inside the frame, as show3DCntMap
//     int nSlot = smooth.pickSensorInLastFrame(x, y);    // a click, in client pixels
class CM3D_API CSmoothFieldMap : public SMapKinds {
public:
    // The map kinds (kindTime, kindFrequency, kindSpectral) are SMapKinds': the values come
    // from the selected sample, frequency bin or time-frequency cell, as the renderer's
    // time-domain, frequency and spectral drawings read them.
    // Colours: the renderer's tables and thresholds (its colour bar holds for both maps), or a
    // continuous blue-white-red scale symmetric about zero (white-red from zero when no value
    // is negative).
    enum EColorMode { colorThresholds = 0, colorContinuous = 1 };
    enum { nDefaultIsolines = 10, nMaxIsolines = 100 };

    CSmoothFieldMap();
    ~CSmoothFieldMap();
    CSmoothFieldMap(const CSmoothFieldMap&) = delete;
    CSmoothFieldMap& operator=(const CSmoothFieldMap&) = delete;

    // 0 and unchanged for a mode outside EColorMode.
    int setColorMode(int nMode);
    int getColorMode() const;
    // About this many isolines (of the round steps, the one whose count comes nearest), at whole
    // multiples of one round step (1, 2, 2.5 or 5 times a power of ten) inside the continuous
    // scale's range, the zero line always among them (drawn thicker) unless the scale starts
    // at 0; 0 for none. 0 and unchanged outside 0..nMaxIsolines.
    int setIsolineCount(int nCount);
    int getIsolineCount() const;

    // Reads the renderer's recording, selection, thresholds and centre for a map of nKind and
    // interpolates. 1 when there is a surface to draw; 0 with a message (getMessage) when
    // there is none: no recording or selection, an unknown kind, fewer than three usable
    // sensors or sensors on one line. Shows no message box: the host decides how to tell.
    int update(const CShow3DCntMapqv& map, int nKind);
    // update, then draws into the current context in one pass: surface, isolines, sensor dots
    // (while the renderer's sensors are on), the current channel's mark (time domain, while
    // its mark switch is on), the fiducials (time domain, while they are on). The OpenGL
    // state it changes is restored. The matrices it drew with are kept for picking.
    // 1 when the surface was drawn; 0 without a context or a surface.
    int draw(const CShow3DCntMapqv& map, int nKind);
    // draw without the update: what the last update took from the renderer, seen through the
    // current matrices (a turned or zoomed camera, a repaint), the fiducials still read from the
    // map. The colour texture is kept in the current context between draws until the colours
    // change, and is made again in a new context.
    int drawUpdated(const CShow3DCntMapqv& map);

    // Why the last update found nothing to draw; empty after a successful one.
    const char* getMessage() const;

    // Results of the last successful update. Sensors taking part, their slot indices and their
    // values.
    int getSensorCount() const;
    const std::vector<int>& getSensorSlots() const;
    const std::vector<double>& getSensorValues() const;
    // The sphere the surface is built on, in the recording's coordinates; 0 without a surface.
    int getSphere(double adCentre[3], double& dRadius) const;
    // The surface in the recording's coordinates (not shifted): x, y, z per vertex; three vertex
    // indices per triangle, counter-clockwise seen from outside; the interpolated value per
    // vertex.
    const std::vector<float>& getVertices() const;
    const std::vector<unsigned>& getTriangles() const;
    const std::vector<double>& getVertexValues() const;
    // The interpolated value in the direction of a point (recording coordinates) as seen from
    // the sphere's centre; 0 without a surface.
    int getValueAt(const double adPoint[3], double& dValue) const;

    // The continuous scale runs from -L to +L, L the largest absolute value of the sensors
    // taking part, or from 0 to L (white to red) for data that is never negative, as merged
    // gradiometers and spectra (time domain: no sample of those channels below 0); 0 without
    // values.
    int getContinuousRange(double& dMin, double& dMax) const;
    // The isolines' levels, ascending.
    std::vector<double> getIsolineLevels() const;
    // The colour a value takes in the current mode (RGBA, 0 to 1): the continuous scale, or
    // the renderer's tables and thresholds as of the last update (grey in the neutral band).
    int getColorOf(double dValue, float afRgba[4]) const;
    // The continuous scale's colour at dFraction of its half-range (-1 the bluest, 0 white,
    // +1 the reddest; clamped; grey for NaN), for hosts that draw its colour bar.
    static void continuousColor(double dFraction, float afRgba[4]);

    // The sensor nearest to where the line through the window point (x, y) (client pixels,
    // origin top-left) first meets the surface: the slot index of a channel taking part, or
    // -1 when the line misses the surface. With the given matrices (the scene's, without the
    // centre shift, which this adds), with the current context's, or with those of the last
    // draw (no context needed).
    int pickSensor(double x, double y, const double adModelview[16], const double adProjection[16],
                   const int anViewport[4]) const;
    int pickSensor(double x, double y) const;
    int pickSensorInLastFrame(double x, double y) const;

private:
    struct SPrivate;
    SPrivate* m_pPriv;
};
