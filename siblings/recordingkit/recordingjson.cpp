#include "recordingjson.h"

#include "bscmagsns.h"
#include "mdchannel.h"
#include "mdtrial.h"
#include "pagedrecording.h"
#include "spctmchnl.h"
#include "spctmtrial.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <initializer_list>
#include <iterator>
#include <limits>
#include <new>
#include <sstream>

namespace {

// Insertion order keeps written files readable: name and kind before the long arrays.
using json = nlohmann::ordered_json;

// Carries one format problem from deep inside the reader to its single catch at the edge.
struct CFormatError {
    std::string strMessage;
};

[[noreturn]] void fail(const std::string& message) {
    throw CFormatError{message};
}

// Errors are one line, whatever a file's keys or a path hold: control characters are written
// as \xHH.
std::string oneLine(const std::string& text) {
    static const char* const kHex = "0123456789ABCDEF";
    std::string line;
    line.reserve(text.size());
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x20 || u == 0x7F) {
            line += "\\x";
            line += kHex[u >> 4];
            line += kHex[u & 0xF];
        } else {
            line += c;
        }
    }
    return line;
}

// Same order as CMDChannel0SensorInfo::EChnlKind.
const char* const kKindNames[] = {"meg", "eeg", "eog", "stim", "misc"};
constexpr int kKindCount = static_cast<int>(sizeof(kKindNames) / sizeof(kKindNames[0]));

std::wstring utf8ToWide(const std::string& text) {
    std::wstring wide;
    wide.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        int nMore = 0;
        char32_t code = c;
        if (c >= 0xF0 && c < 0xF8) {
            nMore = 3;
            code = c & 0x07;
        } else if (c >= 0xE0) {
            nMore = 2;
            code = c & 0x0F;
        } else if (c >= 0xC0) {
            nMore = 1;
            code = c & 0x1F;
        } else if (c >= 0x80) {
            nMore = -1;
        }
        ++i;
        for (int k = 0; k < nMore; ++k, ++i) {
            if (i >= text.size() || (static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) {
                nMore = -1;
                break;
            }
            code = (code << 6) | (static_cast<unsigned char>(text[i]) & 0x3F);
        }
        wide.push_back(nMore < 0 ? L'\uFFFD' : static_cast<wchar_t>(code));
    }
    return wide;
}

std::string wideToUtf8(const std::wstring& wide) {
    std::string text;
    text.reserve(wide.size());
    for (wchar_t w : wide) {
        auto code = static_cast<char32_t>(w);
        if (code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
            code = 0xFFFD;
        if (code < 0x80) {
            text.push_back(static_cast<char>(code));
        } else if (code < 0x800) {
            text.push_back(static_cast<char>(0xC0 | (code >> 6)));
            text.push_back(static_cast<char>(0x80 | (code & 0x3F)));
        } else if (code < 0x10000) {
            text.push_back(static_cast<char>(0xE0 | (code >> 12)));
            text.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
            text.push_back(static_cast<char>(0x80 | (code & 0x3F)));
        } else {
            text.push_back(static_cast<char>(0xF0 | (code >> 18)));
            text.push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
            text.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
            text.push_back(static_cast<char>(0x80 | (code & 0x3F)));
        }
    }
    return text;
}

// Unknown keys are refused so that a misspelt key is reported instead of silently ignored.
void checkKeys(const json& object, std::initializer_list<const char*> known,
               const std::string& where) {
    for (auto it = object.begin(); it != object.end(); ++it) {
        bool bKnown = false;
        for (const char* key : known)
            bKnown = bKnown || it.key() == key;
        if (!bKnown)
            fail(where + "unknown key '" + it.key() + "'");
    }
}

bool readInteger(const json& value, std::int64_t& n) {
    if (value.is_number_unsigned()) {
        const auto u = value.get<std::uint64_t>();
        if (u > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max()))
            return false;
        n = static_cast<std::int64_t>(u);
        return true;
    }
    if (value.is_number_integer()) {
        n = value.get<std::int64_t>();
        return true;
    }
    return false;
}

bool readPoint(const json& value, double (&point)[3]) {
    if (!value.is_array() || value.size() != 3)
        return false;
    for (int k = 0; k < 3; ++k) {
        if (!value[k].is_number())
            return false;
        point[k] = value[k].get<double>();
        if (!std::isfinite(point[k]))
            return false;
    }
    return true;
}

// JSON has no NaN; null stands for a missing value.
std::vector<double> readValues(const json& value, const std::string& what) {
    if (!value.is_array())
        fail(what + " must be a list of numbers (null for a missing value)");
    std::vector<double> values;
    values.reserve(value.size());
    for (std::size_t k = 0; k < value.size(); ++k) {
        const json& item = value[k];
        if (item.is_null())
            values.push_back(std::numeric_limits<double>::quiet_NaN());
        else if (item.is_number())
            values.push_back(item.get<double>());
        else
            fail(what + " item " + std::to_string(k) + " must be a number or null");
    }
    return values;
}

json writeValues(const double* pValues, std::int64_t nCount) {
    json values = json::array();
    values.get_ref<json::array_t&>().reserve(static_cast<std::size_t>(nCount));
    for (std::int64_t k = 0; k < nCount; ++k) {
        if (std::isfinite(pValues[k]))
            values.push_back(pValues[k]);
        else
            values.push_back(nullptr);
    }
    return values;
}

std::string rangeText(std::int64_t nCount) {
    return "0 to " + std::to_string(nCount - 1);
}

// Shapes shared by every channel, so that one selection indexes every array.
struct SShapes {
    std::int64_t nSamples = 0;
    int nFirstSampled = -1;
    std::int64_t nRows = 0;
    std::int64_t nColumns = 0;
    int nFirstSpectrum = -1;
};

void readSpectrum(const json& spectrum, const std::string& where, int nSlot, SShapes& shapes,
                  CMDChannelqv& channel) {
    if (!spectrum.is_object())
        fail(where + "'spectrum' must be an object with 'rows', 'columns' and 'data'");
    checkKeys(spectrum, {"rows", "columns", "data"}, where + "spectrum: ");
    std::int64_t nRows = 0;
    std::int64_t nColumns = 0;
    if (!spectrum.contains("rows") || !readInteger(spectrum["rows"], nRows) || nRows < 1)
        fail(where + "spectrum 'rows' must be a positive integer");
    if (!spectrum.contains("columns") || !readInteger(spectrum["columns"], nColumns) ||
        nColumns < 1)
        fail(where + "spectrum 'columns' must be a positive integer");
    if (!spectrum.contains("data"))
        fail(where + "spectrum 'data' is missing");
    const std::vector<double> values = readValues(spectrum["data"], where + "spectrum 'data'");
    const auto nValues = static_cast<std::uint64_t>(values.size());
    if (nValues % static_cast<std::uint64_t>(nColumns) != 0 ||
        nValues / static_cast<std::uint64_t>(nColumns) != static_cast<std::uint64_t>(nRows))
        fail(where + "spectrum 'data' has " + std::to_string(nValues) + " values but rows x " +
             "columns is " + std::to_string(nRows) + " x " + std::to_string(nColumns));
    if (shapes.nFirstSpectrum < 0) {
        shapes.nFirstSpectrum = nSlot;
        shapes.nRows = nRows;
        shapes.nColumns = nColumns;
    } else if (nRows != shapes.nRows || nColumns != shapes.nColumns) {
        fail(where + "spectrum is " + std::to_string(nRows) + " x " + std::to_string(nColumns) +
             " but channel " + std::to_string(shapes.nFirstSpectrum) + "'s is " +
             std::to_string(shapes.nRows) + " x " + std::to_string(shapes.nColumns));
    }
    channel.getSpctmChnl(true, 0)->setSpctmData(0, nRows, nColumns, values);
}

void readChannel(const json& entry, int nSlot, SShapes& shapes, CMEGDataqv& data,
                 CMDTrialqv& trial) {
    const std::string where = "channel " + std::to_string(nSlot) + ": ";
    if (!entry.is_object())
        fail(where + "must be an object, or null for an empty slot");
    checkKeys(entry, {"name", "kind", "good", "shown", "coils", "samples", "spectrum"}, where);
    CMDChannelqv& channel = *trial.createChannel(nSlot);

    if (!entry.contains("name"))
        fail(where + "'name' is missing");
    if (!entry["name"].is_string())
        fail(where + "'name' must be a string");
    channel.m_strChnlName = utf8ToWide(entry["name"].get<std::string>());

    if (!entry.contains("kind"))
        fail(where + "'kind' is missing");
    int nKind = -1;
    if (entry["kind"].is_string())
        for (int k = 0; k < kKindCount; ++k)
            if (entry["kind"].get<std::string>() == kKindNames[k])
                nKind = k;
    if (nKind < 0)
        fail(where + "'kind' must be one of \"meg\", \"eeg\", \"eog\", \"stim\", \"misc\"");
    channel.setChnlKind(nKind);

    const auto readFlag = [&](const char* key) {
        if (!entry.contains(key))
            return true;
        if (!entry[key].is_boolean())
            fail(where + "'" + key + "' must be true or false");
        return entry[key].get<bool>();
    };
    if (!readFlag("good"))
        data.setGoodChnl4Alltrials(nSlot, 0);
    if (!readFlag("shown"))
        data.setShowChnl4Alltrials(nSlot, 0);

    if (entry.contains("coils")) {
        const json& coils = entry["coils"];
        if (!coils.is_array())
            fail(where + "'coils' must be a list of [x, y, z]");
        for (std::size_t k = 0; k < coils.size(); ++k) {
            double point[3];
            if (!readPoint(coils[k], point))
                fail(where + "'coils' must be a list of [x, y, z]; coil " + std::to_string(k) +
                     " is not three finite numbers");
            channel.addCoil(point[0], point[1], point[2]);
        }
    }

    if (entry.contains("samples")) {
        const std::vector<double> samples = readValues(entry["samples"], where + "'samples'");
        const auto nSamples = static_cast<std::int64_t>(samples.size());
        if (nSamples > 0 && shapes.nFirstSampled < 0) {
            shapes.nFirstSampled = nSlot;
            shapes.nSamples = nSamples;
        } else if (nSamples > 0 && nSamples != shapes.nSamples) {
            fail(where + "has " + std::to_string(nSamples) + " samples but channel " +
                 std::to_string(shapes.nFirstSampled) + " has " + std::to_string(shapes.nSamples));
        }
        channel.setDataWave(samples);
    }

    if (entry.contains("spectrum"))
        readSpectrum(entry["spectrum"], where, nSlot, shapes, channel);
}

std::int64_t readSelectionIndex(const json& selection, const char* key, std::int64_t nDefault) {
    if (!selection.contains(key))
        return nDefault;
    std::int64_t n = 0;
    if (!readInteger(selection[key], n))
        fail(std::string("selection: '") + key + "' must be an integer");
    return n;
}

// An index into arrays of nCount elements; with no such arrays only 0 is meaningful.
void checkSelectionIndex(const char* key, std::int64_t n, std::int64_t nCount, const char* what) {
    const std::string name = std::string("selection: '") + key + "' ";
    if (nCount < 1 && n != 0)
        fail(name + "must be 0 when no channel has " + what);
    if (nCount >= 1 && (n < 0 || n >= nCount))
        fail(name + std::to_string(n) + " is outside the " + what + " (" + rangeText(nCount) + ")");
}

void readSelection(const json& root, const SShapes& shapes, CMEGDataqv& data, CMDTrialqv& trial) {
    json none = json::object();
    const json& selection = root.contains("selection") ? root["selection"] : none;
    if (!selection.is_object())
        fail("'selection' must be an object");
    checkKeys(selection, {"sample", "bin", "row", "column", "channel", "time"}, "selection: ");

    const std::int64_t nSample = readSelectionIndex(selection, "sample", 0);
    checkSelectionIndex("sample", nSample, shapes.nSamples, "samples");
    const std::int64_t nTime = readSelectionIndex(selection, "time", 0);
    checkSelectionIndex("time", nTime, shapes.nSamples, "samples");
    const bool bSpectra = shapes.nFirstSpectrum >= 0;
    const std::int64_t nBin = readSelectionIndex(selection, "bin", 0);
    checkSelectionIndex("bin", nBin, bSpectra ? shapes.nRows * shapes.nColumns : 0,
                        "spectrum values");
    const std::int64_t nRow = readSelectionIndex(selection, "row", 0);
    checkSelectionIndex("row", nRow, bSpectra ? shapes.nRows : 0, "spectrum rows");
    const std::int64_t nColumn = readSelectionIndex(selection, "column", 0);
    checkSelectionIndex("column", nColumn, bSpectra ? shapes.nColumns : 0, "spectrum columns");

    const std::int64_t nChannel = readSelectionIndex(selection, "channel", -1);
    if (nChannel < -1 || nChannel >= trial.getTotalChannel())
        fail("selection: 'channel' " + std::to_string(nChannel) + " is not -1 or a slot index" +
             (trial.getTotalChannel() > 0 ? " (" + rangeText(trial.getTotalChannel()) + ")"
                                          : std::string()));

    data.setSelect(nSample);
    trial.setCurrentChannel(static_cast<int>(nChannel));
    if (bSpectra) {
        // A bin beyond int cannot occur: it would need more values than memory holds.
        CSpctmTrialqv* pSpectral = trial.getSpctmTrial(true, 0);
        pSpectral->m_nSelectTime = static_cast<int>(nTime);
        pSpectral->m_nSelectFreqBin = static_cast<int>(nBin);
        pSpectral->m_nSelectRow = static_cast<int>(nRow);
        pSpectral->m_nSelectColumn = static_cast<int>(nColumn);
    }
}

void readFiducials(const json& fiducials, CMEGDataqv& data) {
    if (!fiducials.is_array() || fiducials.size() != CFiducialqv::nFiducialPts)
        fail("'fiducials' must be a list of six entries, each [x, y, z] or null");
    CFiducialqv* pFiducials = data.createFidWorkMeg();
    for (int k = 0; k < CFiducialqv::nFiducialPts; ++k) {
        if (fiducials[k].is_null())
            continue;
        double point[3];
        if (!readPoint(fiducials[k], point))
            fail("fiducial " + std::to_string(k) + ": must be [x, y, z] (finite numbers) or null");
        pFiducials->m_FiduciaryPt[k].setPoint(point[0], point[1], point[2]);
    }
}

// An axis of the spectral arrays: one entry per column or per row of every spectrum.
std::vector<double> readSpectralAxis(const json& axis, const char* key, std::int64_t nCount,
                                     const char* per, bool bNullAllowed) {
    const std::string name = std::string("'") + key + "'";
    std::vector<double> values = readValues(axis, name);
    for (std::size_t k = 0; k < values.size(); ++k)
        if (!std::isfinite(values[k]) && !(bNullAllowed && axis[k].is_null()))
            fail(name + " item " + std::to_string(k) + " must be a finite number" +
                 (bNullAllowed ? " or null" : ""));
    const auto nEntries = static_cast<std::int64_t>(values.size());
    if (nCount < 1 && nEntries > 0)
        fail(name + " has " + std::to_string(nEntries) + " entries but no channel has a spectrum");
    if (nCount >= 1 && nEntries != nCount)
        fail(name + " has " + std::to_string(nEntries) + " entries but the spectra have " +
             std::to_string(nCount) + " " + per);
    return values;
}

void readAxes(const json& root, const SShapes& shapes, CMEGDataqv& data) {
    if (root.contains("first_sample_time")) {
        const json& time = root["first_sample_time"];
        if (!time.is_number() || !std::isfinite(time.get<double>()))
            fail("'first_sample_time' must be a finite number (seconds)");
        data.setFirstSampleTime(time.get<double>());
    }
    const bool bSpectra = shapes.nFirstSpectrum >= 0;
    std::vector<double> freqs;
    std::vector<double> rowTimes;
    if (root.contains("frequencies"))
        freqs = readSpectralAxis(root["frequencies"], "frequencies", bSpectra ? shapes.nColumns : 0,
                                 "columns", false);
    if (root.contains("row_times"))
        rowTimes = readSpectralAxis(root["row_times"], "row_times", bSpectra ? shapes.nRows : 0,
                                    "rows", true);
    data.setSpctmAxes(freqs, rowTimes);
}

std::int64_t readCount(const json& object, const char* key, const std::string& where) {
    std::int64_t n = 0;
    if (!object.contains(key) || !readInteger(object[key], n) || n < 0)
        fail(where + "'" + key + "' must be a whole number, 0 or more");
    return n;
}

std::vector<SRecordingEvent> readEvents(const json& events) {
    if (!events.is_array())
        fail("'events' must be a list of [sample, code]");
    std::vector<SRecordingEvent> list;
    for (std::size_t k = 0; k < events.size(); ++k) {
        std::int64_t nSample = 0;
        std::int64_t nCode = 0;
        const json& e = events[k];
        if (!e.is_array() || e.size() != 2 || !readInteger(e[0], nSample) ||
            !readInteger(e[1], nCode) || nSample < 0 || nCode < INT32_MIN || nCode > INT32_MAX)
            fail("event " + std::to_string(k) + ": must be [sample, code], whole numbers");
        list.push_back({nSample, static_cast<int>(nCode)});
    }
    return list;
}

std::vector<SRecordingAnnotation> readAnnotations(const json& annotations) {
    if (!annotations.is_array())
        fail("'annotations' must be a list of objects");
    std::vector<SRecordingAnnotation> list;
    for (std::size_t k = 0; k < annotations.size(); ++k) {
        const std::string where = "annotation " + std::to_string(k) + ": ";
        const json& a = annotations[k];
        if (!a.is_object())
            fail(where + "must be an object with 'sample', 'samples' and 'description'");
        checkKeys(a, {"sample", "samples", "description"}, where);
        SRecordingAnnotation annotation;
        annotation.nSample = readCount(a, "sample", where);
        annotation.nSamples = readCount(a, "samples", where);
        if (!a.contains("description") || !a["description"].is_string())
            fail(where + "'description' must be a string");
        annotation.strDescription = a["description"].get<std::string>();
        list.push_back(std::move(annotation));
    }
    return list;
}

void readOverview(const json& overview, CPagedRecording& data) {
    if (!overview.is_object())
        fail("'overview' must be an object with 'rate' and 'gfp'");
    checkKeys(overview, {"rate", "gfp"}, "overview: ");
    if (!overview.contains("rate") || !overview["rate"].is_number() ||
        !(overview["rate"].get<double>() > 0.0) || !std::isfinite(overview["rate"].get<double>()))
        fail("overview: 'rate' must be a positive number (values per second)");
    if (!overview.contains("gfp"))
        fail("overview: 'gfp' is missing");
    const std::vector<double> gfp = readValues(overview["gfp"], "overview: 'gfp'");
    data.setOverview(std::vector<float>(gfp.begin(), gfp.end()), overview["rate"].get<double>());
}

// The store of a long recording: its samples stay on disk beside the header, which names the
// slot of each column and where the stored span lies in the recording.
std::unique_ptr<CPagedRecording> readStore(const json& store, const std::string& headerPath,
                                           std::int64_t& nTotal) {
    if (!store.is_object())
        fail("'store' must be an object with 'file', 'columns', 'first' and 'total'");
    checkKeys(store, {"file", "columns", "first", "total", "growing"}, "store: ");
    if (!store.contains("file") || !store["file"].is_string() ||
        store["file"].get<std::string>().empty())
        fail("store: 'file' must name the sample store beside the header");
    const std::int64_t nFirst = readCount(store, "first", "store: ");
    nTotal = readCount(store, "total", "store: ");
    if (!store.contains("columns") || !store["columns"].is_array())
        fail("store: 'columns' must be a list of slot indices, one per column");
    std::vector<int> slots;
    for (const json& c : store["columns"]) {
        std::int64_t n = -1;
        if (!readInteger(c, n) || n < 0 || n >= CMDTrial::nMaxSlots)
            fail("store: 'columns' must be a list of slot indices, one per column");
        slots.push_back(static_cast<int>(n));
    }
    const bool bGrowing =
        store.contains("growing") && store["growing"].is_boolean() && store["growing"].get<bool>();
    const std::filesystem::path file = std::filesystem::u8path(store["file"].get<std::string>());
    const std::string path =
        file.is_absolute() ? file.u8string()
                           : (std::filesystem::u8path(headerPath).parent_path() / file).u8string();
    auto pData = std::make_unique<CPagedRecording>();
    std::string error;
    if (!pData->openStore(path, slots, nFirst, nTotal, error))
        throw CFormatError{error};
    if (!bGrowing && !pData->isComplete())
        fail("the sample store holds " + std::to_string(pData->getStoredEnd() - nFirst) + " of " +
             "its " + std::to_string(nTotal - nFirst) + " samples: the conversion did not " +
             "finish; delete the recording's files and convert it again");
    return pData;
}

std::unique_ptr<CMEGDataqv> buildRecording(const json& root, const std::string& headerPath) {
    if (!root.is_object())
        fail("the top level must be an object");
    checkKeys(root,
              {"sampling_rate", "unit", "first_sample_time", "frequencies", "row_times",
               "selection", "fiducials", "channels", "store", "events", "annotations", "overview"},
              "top level: ");
    if (!root.contains("channels"))
        fail("'channels' is missing");
    const json& channels = root["channels"];
    if (!channels.is_array())
        fail("'channels' must be a list of channel objects (null for an empty slot)");
    if (channels.size() > CMDTrial::nMaxSlots)
        fail("'channels' has " + std::to_string(channels.size()) + " entries; at most " +
             std::to_string(CMDTrial::nMaxSlots) + " are supported");
    for (const char* key : {"events", "annotations", "overview"})
        if (root.contains(key) && !root.contains("store"))
            fail(std::string("'") + key + "' belongs to a recording with a 'store'");

    std::int64_t nTotal = 0;
    std::unique_ptr<CPagedRecording> pPaged =
        root.contains("store") ? readStore(root["store"], headerPath, nTotal) : nullptr;
    std::unique_ptr<CMEGDataqv> pData =
        pPaged ? std::unique_ptr<CMEGDataqv>(std::move(pPaged)) : std::make_unique<CMEGDataqv>();
    auto* pStored = dynamic_cast<CPagedRecording*>(pData.get());
    CMDTrialqv& trial = *pData->addTrial();
    const int nSlots = static_cast<int>(channels.size());
    trial.setTotalChannel(nSlots);
    SShapes shapes;
    for (int i = 0; i < nSlots; ++i)
        if (!channels[i].is_null())
            readChannel(channels[i], i, shapes, *pData, trial);
    if (pStored && shapes.nFirstSampled >= 0)
        fail("channel " + std::to_string(shapes.nFirstSampled) +
             ": 'samples' cannot be given when a store holds the samples");
    trial.setSampleCount(shapes.nSamples);
    if (pStored)
        shapes.nSamples = nTotal; // selections index the whole recording

    readSelection(root, shapes, *pData, trial);
    if (root.contains("fiducials"))
        readFiducials(root["fiducials"], *pData);
    if (root.contains("sampling_rate")) {
        const json& rate = root["sampling_rate"];
        if (!rate.is_number() || !(rate.get<double>() > 0.0) || !std::isfinite(rate.get<double>()))
            fail("'sampling_rate' must be a positive number (Hz)");
        pData->setSamplingRate(rate.get<double>());
    }
    if (root.contains("unit")) {
        const json& unit = root["unit"];
        if (!unit.is_string() || !pData->setUnit(unit.get<std::string>()))
            fail("'unit' must be a non-empty string of at most " +
                 std::to_string(CMEGData::nMaxUnitLength) + " bytes, such as \"fT/cm\"");
    }
    readAxes(root, shapes, *pData);
    if (pStored) {
        pStored->setRecordingFirstTime(pData->getFirstSampleTime());
        if (root.contains("events"))
            pStored->setEvents(readEvents(root["events"]));
        if (root.contains("annotations"))
            pStored->setAnnotations(readAnnotations(root["annotations"]));
        if (root.contains("overview"))
            readOverview(root["overview"], *pStored);
        // The first page holds the selected sample, or the first one written while the store
        // is still growing.
        const std::int64_t nSelected =
            root.contains("selection") && root["selection"].contains("sample")
                ? root["selection"]["sample"].get<std::int64_t>()
                : 0;
        const std::int64_t nStart =
            std::clamp(nSelected, pStored->getStoredFirst(),
                       std::max(pStored->getStoredFirst(), pStored->getStoredEnd() - 1));
        std::string error;
        if (pStored->getStoredEnd() > pStored->getStoredFirst() &&
            !pStored->selectSample(nStart, error))
            fail(error);
    }
    return pData;
}

json channelToJson(CMEGDataqv& data, int nSlot, CMDChannelqv& channel) {
    json entry = json::object();
    entry["name"] = wideToUtf8(channel.m_strChnlName);
    const int nKind = channel.getChnlKind();
    entry["kind"] = nKind >= 0 && nKind < kKindCount ? kKindNames[nKind] : "misc";
    entry["good"] = data.isGoodChnl4Alltrials(nSlot) != 0;
    entry["shown"] = data.isShowChnl4Alltrials(nSlot) != 0;
    json coils = json::array();
    for (int k = 0; k < channel.getCoilCount(); ++k) {
        double x = 0.0;
        double y = 0.0;
        double z = 0.0;
        CBscMagSnsqv* pCoil = channel.getMEGCoilqv(k);
        if (pCoil && pCoil->getCoilPositionD(x, y, z))
            coils.push_back(json::array({x, y, z}));
    }
    entry["coils"] = std::move(coils);
    const double* pWave = channel.getDataWave();
    entry["samples"] = writeValues(pWave, pWave ? channel.getSampleCount() : 0);
    std::int64_t nRows = 0;
    std::int64_t nColumns = 0;
    CSpctmChnlqv* pSpectral = channel.getSpctmChnl(false, 0);
    const double* pValues = pSpectral ? pSpectral->getSpctmDataPtr(0, &nRows, &nColumns) : nullptr;
    if (pValues) {
        json spectrum = json::object();
        spectrum["rows"] = nRows;
        spectrum["columns"] = nColumns;
        spectrum["data"] = writeValues(pValues, nRows * nColumns);
        entry["spectrum"] = std::move(spectrum);
    }
    return entry;
}

json recordingToJson(CMEGDataqv& data, CMDTrialqv& trial) {
    json root = json::object();
    if (data.getSamplingRate() > 0.0)
        root["sampling_rate"] = data.getSamplingRate();
    if (data.getUnit() != "fT") // the default, like a first sample time of 0, is left out
        root["unit"] = data.getUnit();
    if (data.getFirstSampleTime() != 0.0)
        root["first_sample_time"] = data.getFirstSampleTime();
    const std::vector<double>& freqs = data.getSpctmFreqsHz();
    if (!freqs.empty())
        root["frequencies"] = writeValues(freqs.data(), static_cast<std::int64_t>(freqs.size()));
    const std::vector<double>& rowTimes = data.getSpctmRowTimesSec();
    if (!rowTimes.empty())
        root["row_times"] =
            writeValues(rowTimes.data(), static_cast<std::int64_t>(rowTimes.size()));

    json channels = json::array();
    bool bSpectra = false;
    CMDChannelqv** ppChannels = trial.getAllChannelPt();
    for (int i = 0; i < trial.getTotalChannel(); ++i) {
        if (!ppChannels[i]) {
            channels.push_back(nullptr);
            continue;
        }
        channels.push_back(channelToJson(data, i, *ppChannels[i]));
        bSpectra = bSpectra || channels.back().contains("spectrum");
    }

    json selection = json::object();
    std::int64_t nSample = 0;
    std::int64_t nSampleEnd = 0;
    data.getSelect(nSample, nSampleEnd);
    selection["sample"] = nSample;
    // Without any spectrum the spectral selection indexes nothing and is left out.
    CSpctmTrialqv* pSpectral = trial.getSpctmTrial(false, 0);
    if (bSpectra && pSpectral) {
        selection["bin"] = pSpectral->m_nSelectFreqBin;
        selection["row"] = pSpectral->m_nSelectRow;
        selection["column"] = pSpectral->m_nSelectColumn;
        selection["time"] = pSpectral->m_nSelectTime;
    }
    selection["channel"] = trial.getCurntChnlIndx();
    root["selection"] = std::move(selection);

    if (CFiducialqv* pFiducials = data.getFidWorkMeg()) {
        json fiducials = json::array();
        for (const CFiduciaryPtqv& point : pFiducials->m_FiduciaryPt) {
            if (point.m_bSet)
                fiducials.push_back(json::array({point.m_dX, point.m_dY, point.m_dZ}));
            else
                fiducials.push_back(nullptr);
        }
        root["fiducials"] = std::move(fiducials);
    }
    root["channels"] = std::move(channels);
    return root;
}

// One channel per line: diffable and readable without putting every sample on its own line.
std::string formatRecording(const json& root) {
    const auto dump = [](const json& value) {
        return value.dump(-1, ' ', false, json::error_handler_t::replace);
    };
    std::ostringstream out;
    out << "{\n";
    for (auto it = root.begin(); it != root.end(); ++it) {
        out << "  " << dump(json(it.key())) << ": ";
        if (it.key() == "channels") {
            out << "[\n";
            for (std::size_t i = 0; i < it.value().size(); ++i)
                out << "    " << dump(it.value()[i]) << (i + 1 < it.value().size() ? ",\n" : "\n");
            out << "  ]";
        } else {
            out << dump(it.value());
        }
        out << (std::next(it) != root.end() ? ",\n" : "\n");
    }
    out << "}\n";
    return out.str();
}

std::string systemError(const char* what) {
    const int nError = errno;
    return nError ? std::string(what) + ": " + std::strerror(nError) : std::string(what);
}

std::string readWholeFile(const std::string& path) {
    std::error_code ec;
    if (std::filesystem::is_directory(path, ec))
        fail("cannot read file: it is a directory");
    errno = 0;
    std::ifstream in(path, std::ios::binary);
    if (!in)
        fail(systemError("cannot open file"));
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad())
        fail(systemError("cannot read file"));
    return text;
}

void writeWholeFile(const std::string& path, const std::string& text) {
    const std::string temporary = path + ".tmp";
    errno = 0;
    {
        std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
        if (!out)
            fail(systemError("cannot write file"));
        out.write(text.data(), static_cast<std::streamsize>(text.size()));
        out.close();
        if (out.fail()) {
            const std::string message = systemError("cannot write file");
            std::remove(temporary.c_str());
            fail(message);
        }
    }
    if (std::rename(temporary.c_str(), path.c_str()) != 0) {
        const std::string message = systemError("cannot write file");
        std::remove(temporary.c_str());
        fail(message);
    }
}

// nlohmann's messages start with "[json.exception.<kind>.<id>] ", which says nothing to a user,
// and may quote the offending bytes, which need not be text.
std::string withoutExceptionTag(const char* what) {
    std::string message = what;
    if (!message.empty() && message[0] == '[') {
        const std::size_t nEnd = message.find("] ");
        if (nEnd != std::string::npos)
            message.erase(0, nEnd + 2);
    }
    for (char& c : message)
        if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) >= 0x7F)
            c = '?';
    return message;
}

} // namespace

std::unique_ptr<CMEGDataqv> loadRecordingJson(const std::string& path, std::string& error) {
    error.clear();
    try {
        const std::string text = readWholeFile(path);
        json root;
        try {
            root = json::parse(text);
        } catch (const json::exception& e) {
            fail("not valid JSON: " + withoutExceptionTag(e.what()));
        }
        return buildRecording(root, path);
    } catch (const CFormatError& e) {
        error = oneLine(path + ": " + e.strMessage);
    } catch (const std::bad_alloc&) {
        error = oneLine(path + ": out of memory while reading the recording");
    } catch (const std::exception& e) {
        error = oneLine(path + ": " + withoutExceptionTag(e.what()));
    } catch (...) {
        error = oneLine(path + ": unexpected failure while reading the recording");
    }
    return nullptr;
}

int saveRecordingJson(CMEGDataqv& data, const std::string& path, std::string& error) {
    error.clear();
    try {
        CMDTrialqv* pTrial = data.getTrialqv(-1);
        if (!pTrial)
            fail("cannot save: the recording has no current trial");
        const json root = recordingToJson(data, *pTrial);
        try {
            buildRecording(root, path);
        } catch (const CFormatError& e) {
            fail("cannot save: " + e.strMessage);
        }
        writeWholeFile(path, formatRecording(root));
        return 1;
    } catch (const CFormatError& e) {
        error = oneLine(path + ": " + e.strMessage);
    } catch (const std::bad_alloc&) {
        error = oneLine(path + ": out of memory while writing the recording");
    } catch (const std::exception& e) {
        error = oneLine(path + ": " + withoutExceptionTag(e.what()));
    } catch (...) {
        error = oneLine(path + ": unexpected failure while writing the recording");
    }
    return 0;
}
