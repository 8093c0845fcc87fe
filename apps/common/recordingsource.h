#pragma once

#include <QObject>
#include <QProcess>
#include <QString>

#include <functional>
#include <memory>
#include <string>

class CMEGDataqv;

namespace cxxopts {
class Options;
class ParseResult;
} // namespace cxxopts

// What reaches the MNE bridge (tools/mne_export.py) when a MEG file is opened.
struct SConversionOptions {
    std::string strChType;    // meg, mag, grad, planar1 or planar2; empty: the bridge's choice
    std::string strCondition; // which condition of an evoked file; empty: the first
    bool bProjectors = true;  // apply the recording's SSP projectors
    bool bRemoveDc = true;    // raw files: remove each channel's mean (its offset)
};

// The help group the options are listed under.
inline const char* const pszConversionGroup = "MEG files (converted with MNE-Python)";
// --ch-type, --condition, --no-proj and --keep-dc, with the same help text in both programs.
void addConversionOptions(cxxopts::Options& options);
bool readConversionOptions(const cxxopts::ParseResult& result, SConversionOptions& options,
                           std::string& error);

// A JSON recording (read by the loader itself); anything else is a MEG file for the bridge.
bool isJsonRecording(const QString& strPath);
// File dialog filters: MEG recordings, JSON recordings, all files.
QString recordingFileFilters();

// Converts a MEG file into a JSON recording by running the MNE bridge in a child process (an
// argument list, no shell), and keeps the result in the user's cache folder, keyed by the file's
// path, size and modification time, the options and the bridge itself, so that opening the same
// file again costs only the JSON load.
class CRecordingConverter : public QObject {
    Q_OBJECT
public:
    explicit CRecordingConverter(QObject* pParent = nullptr);
    // A conversion still running is stopped.
    ~CRecordingConverter() override;

    // Where the cached conversions live ($XDG_CACHE_HOME/contourmap3d/recordings).
    static QString cacheFolder();
    // The converted copy of the file when an earlier conversion left one, else empty.
    static QString cachedCopy(const QString& strPath, const SConversionOptions& options);

    // Starts a conversion (stopping one that runs); finished or failed follows from the event
    // loop, progress on the way.
    void start(const QString& strPath, const SConversionOptions& options);
    // Converts and waits, without an event loop: the JSON file, or empty with the one line that
    // says what went wrong.
    QString convert(const QString& strPath, const SConversionOptions& options, QString& strError);
    bool isRunning() const { return m_process.state() != QProcess::NotRunning; }
    void cancel();

signals:
    // One step the bridge reports ("reading ...", "computing the spectrum ...").
    void progress(const QString& strStep);
    void finished(const QString& strJsonPath);
    void failed(const QString& strLine);

private:
    bool _begin(const QString& strPath, const SConversionOptions& options, QString& strError);
    void _readErrors();
    void _processFinished(int nExitCode, QProcess::ExitStatus nStatus);
    void _processError(QProcess::ProcessError nError);
    void _end(const QString& strJsonPath, const QString& strError);
    void _removePartial();

    QProcess m_process;
    QString m_strInput;
    QString m_strCacheFile;
    QString m_strPartFile;
    QByteArray m_errorBuffer;
    QString m_strLastLine;
};

// Hears the steps of a conversion and, at the end, where the recording came from ("converted
// with MNE-Python, kept in ..." or "converted before, read from ..."; bOutcome set).
using FConversionNote = std::function<void(const std::string& strNote, bool bOutcome)>;

// Notes for a command-line program on standard error, "PROGRAM: FILE: converted ...": the
// outcome always, the steps on a terminal only.
FConversionNote conversionNotesOnStderr(const std::string& strProgram, const std::string& strPath);

// Opens what the user named: a JSON recording, or a MEG file through the bridge (from the cache
// when it was converted before). Null with a one-line error.
std::unique_ptr<CMEGDataqv> openRecordingFile(const std::string& strPath,
                                              const SConversionOptions& options,
                                              std::string& strError,
                                              const FConversionNote& onNote = nullptr);
