#pragma once

#include "conversioncache.h"

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

    // Where the cached conversions live (CConversionCache).
    static QString cacheFolder() { return CConversionCache::folder(); }
    // The header an earlier conversion of the file by this program's bridge left, else empty.
    static QString cachedCopy(const QString& strPath, const SConversionOptions& options);

    // Starts a conversion (stopping one that runs); finished or failed follows from the event
    // loop, progress on the way.
    void start(const QString& strPath, const SConversionOptions& options);
    // Converts and waits, without an event loop: the JSON file, or empty with the one line that
    // says what went wrong. With bUntilFirstPage the wait ends as soon as a long raw recording's
    // first page is stored: the header returned is then the growing one of firstPageReady(),
    // and the conversion goes on (finished() or failed() follow from the event loop).
    QString convert(const QString& strPath, const SConversionOptions& options, QString& strError,
                    bool bUntilFirstPage = false);
    // Converts only the page of a long raw recording that holds dSeconds, into a folder of its
    // own outside the cache, and waits: the header, or empty with the line. A recording that is
    // not paged (an evoked file, a short raw one) is converted whole and kept in the cache.
    QString convertPage(const QString& strPath, const SConversionOptions& options, double dSeconds,
                        const QString& strFolder, QString& strError);
    bool isRunning() const { return m_process.state() != QProcess::NotRunning; }
    void cancel();

signals:
    // One step the bridge reports ("reading ...", "converted 120 of 3600 s ...").
    void progress(const QString& strStep);
    // A long raw recording's first page is stored: strJsonPath is a header whose store is still
    // growing (CPagedRecording::refresh() finds how far), to show until finished() gives the
    // whole recording. Not emitted for recordings converted in one piece, nor from the cache.
    void firstPageReady(const QString& strJsonPath);
    void finished(const QString& strJsonPath);
    void failed(const QString& strLine);

private:
    bool _begin(const QString& strPath, const SConversionOptions& options, QString& strError,
                const QStringList& extraArgs = {});
    QString _wait(QString& strError, bool bUntilFirstPage);
    void _readErrors();
    void _processFinished(int nExitCode, QProcess::ExitStatus nStatus);
    void _processError(QProcess::ProcessError nError);
    void _end(const QString& strJsonPath, const QString& strError);
    void _removePartial();

    QProcess m_process;
    QString m_strInput;
    QString m_strCacheEntry; // the folder a finished conversion is kept in
    QString m_strPartEntry;  // the folder it is written into meanwhile
    QString m_strFirstPage;  // set once the first page of a long recording is stored
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
// when it was converted before). Null with a one-line error. With pPageAt (seconds) an
// uncached long raw recording is converted only as far as the page holding that time.
std::unique_ptr<CMEGDataqv> openRecordingFile(const std::string& strPath,
                                              const SConversionOptions& options,
                                              std::string& strError,
                                              const FConversionNote& onNote = nullptr,
                                              const double* pPageAt = nullptr);
