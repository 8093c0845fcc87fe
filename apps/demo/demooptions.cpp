#include "demooptions.h"

#include <cxxopts.hpp>

#include <sstream>

namespace {

bool _parseMaps(const std::string& text, CDemoOptions& o, std::string& error) {
    std::istringstream in(text);
    std::string strMap;
    while (std::getline(in, strMap, ',')) {
        if (strMap == "time")
            o.bOpenTime = true;
        else if (strMap == "frequency")
            o.bOpenFrequency = true;
        else if (strMap == "spectral")
            o.bOpenSpectral = true;
        else if (strMap == "modeling")
            o.bOpenModeling = true;
        else if (strMap == "smooth")
            o.bOpenSmooth = true;
        else {
            error = "--open: unknown map '" + strMap +
                    "' (expected time, frequency, spectral, modeling or smooth)";
            return false;
        }
    }
    return true;
}

} // namespace

bool parseDemoOptions(int argc, char** argv, CDemoOptions& o, std::string& error) {
    cxxopts::Options cli(
        "contourmap-demo",
        "A host window around the ContourMap3D map dialogs: a butterfly plot of "
        "the MEG channels\nwith a time cursor, frequency and time-frequency "
        "selectors, the four maps and a smooth field map.\nWithout --recording the built-in "
        "synthetic recording is used.");
    cxxopts::OptionAdder add = cli.add_options();
    add("recording",
        "recording file: JSON (see docs/recording-format.md) or any MEG file MNE-Python reads "
        "(FIF, CTF .ds, KIT .sqd/.con, 4D, ...), converted by the MNE bridge",
        cxxopts::value<std::string>());
    add("open",
        "maps to open at start, comma-separated: time, frequency, spectral, modeling, smooth",
        cxxopts::value<std::string>());
    add("screenshot", "write the main window and the open maps side by side to FILE.png and quit",
        cxxopts::value<std::string>());
    add("h,help", "show this help");
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
        if (r.count("recording"))
            o.strRecording = r["recording"].as<std::string>();
        if (r.count("open") && !_parseMaps(r["open"].as<std::string>(), o, error))
            return false;
        if (!readSelectionOptions(r, o.selection, error) ||
            !readConversionOptions(r, o.conversion, error))
            return false;
        if (r.count("screenshot"))
            o.strScreenshot = r["screenshot"].as<std::string>();
    } catch (const std::exception& e) {
        error = e.what();
        return false;
    }
    return true;
}
