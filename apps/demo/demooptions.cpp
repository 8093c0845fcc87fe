#include "demooptions.h"

#include "selectionlabels.h"

#include "mdtrial.h"
#include "megdata.h"
#include "spctmtrial.h"

#include <cxxopts.hpp>

#include <sstream>

namespace {

bool _parseCell(const std::string& text, std::int64_t& nRow, std::int64_t& nColumn) {
    std::istringstream in(text);
    char cComma = 0;
    if (!(in >> nRow >> cComma >> nColumn) || cComma != ',' || nRow < 0 || nColumn < 0)
        return false;
    return (in >> std::ws).eof();
}

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
        else {
            error = "--open: unknown map '" + strMap +
                    "' (expected time, frequency, spectral or modeling)";
            return false;
        }
    }
    return true;
}

} // namespace

bool parseDemoOptions(int argc, char** argv, CDemoOptions& o, std::string& error) {
    cxxopts::Options cli("contourmap-demo",
                         "A host window around the ContourMap3D map dialogs: a butterfly plot of "
                         "the MEG channels\nwith a time cursor, frequency and time-frequency "
                         "selectors, and the four maps.\nWithout --recording the built-in "
                         "synthetic recording is used.");
    cxxopts::OptionAdder add = cli.add_options();
    add("recording", "recording file (JSON, see docs/recording-format.md)",
        cxxopts::value<std::string>());
    add("open", "maps to open at start, comma-separated: time, frequency, spectral, modeling",
        cxxopts::value<std::string>());
    add("sample", "selected sample (time-domain map)", cxxopts::value<std::int64_t>());
    add("bin", "selected frequency bin (frequency map)", cxxopts::value<std::int64_t>());
    add("cell", "selected time-frequency cell ROW,COLUMN (spectral map)",
        cxxopts::value<std::string>());
    add("screenshot", "write the main window and the open maps side by side to FILE.png and quit",
        cxxopts::value<std::string>());
    add("h,help", "show this help");
    o.strHelp = cli.help();
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
        if (r.count("sample")) {
            o.nSample = r["sample"].as<std::int64_t>();
            if (o.nSample < 0) {
                error = "--sample must not be negative";
                return false;
            }
        }
        if (r.count("bin")) {
            o.nBin = r["bin"].as<std::int64_t>();
            if (o.nBin < 0) {
                error = "--bin must not be negative";
                return false;
            }
        }
        if (r.count("cell") && !_parseCell(r["cell"].as<std::string>(), o.nRow, o.nColumn)) {
            error = "--cell must be ROW,COLUMN with two whole numbers of 0 or more";
            return false;
        }
        if (r.count("screenshot"))
            o.strScreenshot = r["screenshot"].as<std::string>();
    } catch (const std::exception& e) {
        error = e.what();
        return false;
    }
    return true;
}

bool applyDemoSelection(const CDemoOptions& o, CMEGDataqv& recording, std::string& error) {
    CMDTrialqv* pTrial = recording.getTrialqv(-1);
    if (!pTrial) {
        error = "the recording has no current trial";
        return false;
    }
    if (o.nSample >= 0 && o.nSample >= pTrial->getSampleCount()) {
        error = "--sample " + std::to_string(o.nSample) + " is outside the recording's " +
                std::to_string(pTrial->getSampleCount()) + " samples";
        return false;
    }
    std::int64_t nRows = 0, nColumns = 0;
    const bool bSpectra = getSpectralShape(recording, nRows, nColumns);
    if ((o.nBin >= 0 || o.nRow >= 0) && !bSpectra) {
        error = "the recording has no spectral data for --bin or --cell";
        return false;
    }
    if (o.nBin >= nColumns) {
        error = "--bin " + std::to_string(o.nBin) + " is outside the " + std::to_string(nColumns) +
                " frequency bins";
        return false;
    }
    if (o.nRow >= 0 && (o.nRow >= nRows || o.nColumn >= nColumns)) {
        error = "--cell " + std::to_string(o.nRow) + "," + std::to_string(o.nColumn) +
                " is outside the " + std::to_string(nRows) + " x " + std::to_string(nColumns) +
                " time-frequency array";
        return false;
    }
    if (o.nSample >= 0 && !recording.setSelect(o.nSample)) {
        error = "--sample " + std::to_string(o.nSample) + " is past the samples of a channel";
        return false;
    }
    CSpctmTrialqv* pSpctm = bSpectra ? pTrial->getSpctmTrial(true, 0) : nullptr;
    if (pSpctm && o.nBin >= 0)
        pSpctm->m_nSelectFreqBin = static_cast<int>(o.nBin);
    if (pSpctm && o.nRow >= 0) {
        pSpctm->m_nSelectRow = static_cast<int>(o.nRow);
        pSpctm->m_nSelectColumn = static_cast<int>(o.nColumn);
    }
    return true;
}
