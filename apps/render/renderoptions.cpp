#include "renderoptions.h"

#include "smoothfieldmap.h"

#include <cxxopts.hpp>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>

namespace {

bool _isWhole(double d) {
    return std::isfinite(d) && d == std::floor(d);
}

bool _parseFrames(const std::string& text, long long& nFrom, long long& nTo, long long& nStep) {
    const std::size_t nFirst = text.find(':');
    const std::size_t nSecond = nFirst == std::string::npos ? nFirst : text.find(':', nFirst + 1);
    if (nSecond == std::string::npos) {
        return false;
    }
    return parseWholeNumber(text.substr(0, nFirst), nFrom) &&
           parseWholeNumber(text.substr(nFirst + 1, nSecond - nFirst - 1), nTo) &&
           parseWholeNumber(text.substr(nSecond + 1), nStep) && nFrom >= 0 && nTo >= nFrom &&
           nStep >= 1;
}

} // namespace

bool parseRenderOptions(int argc, char** argv, CRenderOptions& o, std::string& error) {
    cxxopts::Options cli("contourmap-render",
                         "Renders one contour map of an MEG recording to a PNG file, with no "
                         "display.\nWithout --recording the built-in synthetic recording is used.");
    cli.add_options()("recording",
                      "recording file: JSON (see docs/recording-format.md) or any MEG file "
                      "MNE-Python reads (FIF, CTF .ds, KIT .sqd/.con, 4D, ...), converted by "
                      "the MNE bridge",
                      cxxopts::value<std::string>())(
        "synthetic-channels", "number of MEG channels of the synthetic recording",
        cxxopts::value<std::string>()->default_value("275"))(
        "map", "time, frequency or spectral", cxxopts::value<std::string>()->default_value("time"))(
        "channel", "current channel (slot index), marked with --mark-selection",
        cxxopts::value<std::string>())("size", "image size WxH in pixels",
                                       cxxopts::value<std::string>()->default_value("800x800"))(
        "rotate", "rotation X,Y in degrees", cxxopts::value<std::string>())(
        "distance", "viewing distance (millimetres)", cxxopts::value<double>())(
        "min", "lower colour threshold (turns colour autofit off)",
        cxxopts::value<double>())("max", "upper colour threshold (turns colour autofit off)",
                                  cxxopts::value<double>())("no-sensors", "draw no sensor spheres")(
        "no-sensor-color", "do not colour the spheres by value")(
        "no-surface", "draw no contour surface")("no-surface-color",
                                                 "do not colour the surface by value")(
        "no-autofit-place",
        "draw at the measured positions, not recentred")("no-fiducials", "draw no fiducial points")(
        "mark-selection", "mark the current channel with a wire cube (time-domain map)")(
        "colorbar", "add a labelled colour bar beside the map")(
        "labels", "write each sensor's channel name beside it (sensors facing the camera)")(
        "surface",
        "fans (the contour map of triangle fans) or smooth (the field interpolated on a "
        "helmet-shaped surface, see docs/smooth-map.md)",
        cxxopts::value<std::string>()->default_value("fans"))(
        "isolines", "smooth map: number of isolines, 0 for none",
        cxxopts::value<std::string>()->default_value("10"))(
        "colors",
        "smooth map: continuous (blue-white-red, symmetric about zero; white to red from 0 "
        "for values never negative) or thresholds (the map's colour tables and thresholds)",
        cxxopts::value<std::string>()->default_value("continuous"))(
        "frames",
        "a numbered picture for every STEP-th sample from FROM to TO (time-domain map), "
        "named from --out: out.png gives out-0001.png, out-0002.png, ...",
        cxxopts::value<std::string>())(
        "out", "output PNG file",
        cxxopts::value<std::string>()->default_value("contourmap.png"))("h,help", "show this help");
    addSelectionOptions(cli);
    addConversionOptions(cli);
    o.strHelp = cli.help({"", pszSelectionGroup, pszConversionGroup});
    try {
        const cxxopts::ParseResult r = cli.parse(argc, argv);
        if (!r.unmatched().empty()) {
            error = "unexpected argument '" + r.unmatched().front() + "'";
            return false;
        }
        o.bHelp = r.count("help") > 0;
        if (r.count("recording")) {
            o.strRecording = r["recording"].as<std::string>();
        }
        long long nNumber = 0;
        bool bGiven = false;
        if (!readWholeNumberOption(r, "synthetic-channels", nNumber, bGiven, error)) {
            return false;
        }
        o.nSyntheticChannels = static_cast<int>(std::clamp(nNumber, 0LL, 1000000LL));
        if (o.nSyntheticChannels < 1 || o.nSyntheticChannels > 100000) {
            error = "--synthetic-channels must be between 1 and 100000";
            return false;
        }
        const std::string strMap = r["map"].as<std::string>();
        if (strMap == "time") {
            o.nKind = SMapKinds::kindTime;
        } else if (strMap == "frequency") {
            o.nKind = SMapKinds::kindFrequency;
        } else if (strMap == "spectral") {
            o.nKind = SMapKinds::kindSpectral;
        } else {
            error = "--map must be time, frequency or spectral, not '" + strMap + "'";
            return false;
        }
        if (!readSelectionOptions(r, o.selection, error) ||
            !readConversionOptions(r, o.conversion, error)) {
            return false;
        }
        if (!readWholeNumberOption(r, "channel", nNumber, bGiven, error)) {
            return false;
        }
        if (bGiven) {
            o.nChannel = static_cast<int>(std::clamp(nNumber, -2LL, 1LL << 30));
            if (o.nChannel < -1) {
                error = "--channel must be a slot index or -1";
                return false;
            }
        }
        double dWidth = 0.0, dHeight = 0.0;
        if (!parseNumberPair(r["size"].as<std::string>(), 'x', dWidth, dHeight) ||
            !_isWhole(dWidth) || !_isWhole(dHeight) || dWidth < 1 || dHeight < 1 || dWidth > 8192 ||
            dHeight > 8192) {
            error = "--size must be WxH with whole numbers from 1 to 8192, e.g. 800x800";
            return false;
        }
        o.nWidth = static_cast<int>(dWidth);
        o.nHeight = static_cast<int>(dHeight);
        if (r.count("rotate")) {
            if (!parseNumberPair(r["rotate"].as<std::string>(), ',', o.dRotateX, o.dRotateY)) {
                error = "--rotate must be X,Y in degrees, e.g. -60,0";
                return false;
            }
            o.bRotate = true;
        }
        if (r.count("distance")) {
            o.dDistance = r["distance"].as<double>();
            if (!std::isfinite(o.dDistance) || o.dDistance <= 0.0) {
                error = "--distance must be a positive number of millimetres";
                return false;
            }
        }
        o.bMin = r.count("min") > 0;
        o.bMax = r.count("max") > 0;
        if (o.bMin) {
            o.dMin = r["min"].as<double>();
        }
        if (o.bMax) {
            o.dMax = r["max"].as<double>();
        }
        if ((o.bMin && !std::isfinite(o.dMin)) || (o.bMax && !std::isfinite(o.dMax))) {
            error = "--min and --max must be finite numbers";
            return false;
        }
        o.bSensors = r.count("no-sensors") == 0;
        o.bSensorColor = r.count("no-sensor-color") == 0;
        o.bSurface = r.count("no-surface") == 0;
        o.bSurfaceColor = r.count("no-surface-color") == 0;
        o.bAutofitPlace = r.count("no-autofit-place") == 0;
        o.bFiducials = r.count("no-fiducials") == 0;
        o.bMarkSelection = r.count("mark-selection") > 0;
        o.bColorbar = r.count("colorbar") > 0;
        o.bLabels = r.count("labels") > 0;
        const std::string strSurface = r["surface"].as<std::string>();
        const std::string strColors = r["colors"].as<std::string>();
        if (!readWholeNumberOption(r, "isolines", nNumber, bGiven, error)) {
            return false;
        }
        o.nIsolines = static_cast<int>(std::clamp(nNumber, -1LL, 1000LL));
        o.bSmooth = strSurface == "smooth";
        o.bContinuous = strColors == "continuous";
        if (!o.bSmooth && strSurface != "fans") {
            error = "--surface must be fans or smooth, not '" + strSurface + "'";
            return false;
        }
        if (!o.bContinuous && strColors != "thresholds") {
            error = "--colors must be thresholds or continuous, not '" + strColors + "'";
            return false;
        }
        if (o.nIsolines < 0 || o.nIsolines > CSmoothFieldMap::nMaxIsolines) {
            error = "--isolines must be a whole number from 0 to " +
                    std::to_string(CSmoothFieldMap::nMaxIsolines);
            return false;
        }
        if (!o.bSmooth && (r.count("isolines") || r.count("colors"))) {
            error = "--isolines and --colors draw the smooth map; add --surface smooth";
            return false;
        }
        if (r.count("frames")) {
            o.bFrames = true;
            if (!_parseFrames(r["frames"].as<std::string>(), o.nFrameFrom, o.nFrameTo,
                              o.nFrameStep)) {
                error = "--frames must be FROM:TO:STEP with whole numbers, 0 <= FROM <= TO and "
                        "STEP >= 1, e.g. 0:999:4";
                return false;
            }
            if (o.nKind != SMapKinds::kindTime) {
                error = "--frames steps through samples and works with --map time only";
                return false;
            }
            if (o.selection.choosesSample()) {
                error = "--frames chooses the samples itself; leave out --sample and --time";
                return false;
            }
        }
        o.strOut = r["out"].as<std::string>();
        if (o.strOut.empty()) {
            error = "--out must name a file";
            return false;
        }
    } catch (const cxxopts::exceptions::exception& e) {
        error = e.what();
        return false;
    }
    return true;
}

std::string frameFileName(const std::string& strOut, long long nNumber) {
    std::string strStem = strOut;
    const std::size_t nSlash = strStem.rfind('/');
    const std::size_t nDot = strStem.rfind('.');
    if (nDot != std::string::npos && (nSlash == std::string::npos || nDot > nSlash + 1)) {
        std::string strExtension = strStem.substr(nDot);
        for (char& c : strExtension) {
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        }
        if (strExtension == ".png") {
            strStem.erase(nDot);
        }
    }
    char szNumber[32];
    std::snprintf(szNumber, sizeof szNumber, "-%04lld.png", nNumber);
    return strStem + szNumber;
}
