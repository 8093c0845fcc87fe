#pragma once

#include <QString>
#include <QtGlobal>

#include <string>

// What reaches the MNE bridge (tools/mne_export.py) when a MEG file is opened; every field is
// part of the key a conversion is kept under.
struct SConversionOptions {
    std::string strChType;    // meg, mag, grad, planar1 or planar2; empty: the bridge's choice
    std::string strCondition; // which condition of an evoked file; empty: the first
    bool bProjectors = true;  // apply the recording's SSP projectors
    bool bRemoveDc = true;    // raw files: remove each channel's offset
};

// Where converted recordings are kept ($XDG_CACHE_HOME/contourmap3d/recordings): a folder per
// conversion, named after the file and a hash of its path, size and modification time, the
// options and the bridge, holding the header (recording.json) and, for a long recording, its
// store. A conversion under way writes into a folder of its own (the entry's name, the process
// id and ".part") that becomes the entry in one rename when it is done.
class CConversionCache {
public:
    static QString folder();
    // The entry of a file converted with these options by this bridge (whether or not it
    // exists); empty when the file does not exist.
    static QString entryFor(const QString& strPath, const SConversionOptions& options,
                            const QString& strBridge);
    static QString headerIn(const QString& strEntry);
    // The header of the entry when an earlier conversion left it, else empty; marks it used.
    static QString cachedHeader(const QString& strPath, const SConversionOptions& options,
                                const QString& strBridge);
    // Removes the least recently used entries beyond nKept, or beyond budgetBytes() in all (the
    // most recent one always stays), and what stopped conversions left behind.
    static void prune();
    // CONTOURMAP3D_CACHE_GB, or 20 GiB: a long raw recording stores 4 bytes per sample and
    // channel (306 channels at 1 kHz: 4.4 GB an hour).
    static qint64 budgetBytes();

    static constexpr int nKept = 32;
    static constexpr const char* pszHeaderName = "recording.json";
    static constexpr const char* pszPartSuffix = ".part";
};
