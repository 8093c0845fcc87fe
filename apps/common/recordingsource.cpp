#include "recordingsource.h"

#include "megdata.h"
#include "recordingjson.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcessEnvironment>
#include <QSignalBlocker>
#include <QTemporaryDir>
#include <QTimer>

#include <cxxopts.hpp>

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <iterator>

namespace {

const char* const pszFirstPageName = "recording.first.json";
const char* const pszBridgePrefix = "mne_export: ";
const char* const pszBridgeVariable = "CONTOURMAP_MNE_EXPORT";
// Where the bridge finds contourmap-fieldmap, which makes the field mapping of --ch-type meg.
const char* const pszFieldmapVariable = "CONTOURMAP_FIELDMAP";
const char* const pszInstallHint = "install MNE-Python with ./run deps in the ContourMap3D "
                                   "sources, or apt-get install python3-mne";

// The bridge: the one named by CONTOURMAP_MNE_EXPORT, the one installed beside this program,
// or the one of the source tree this program was built from.
QString _bridgePath() {
    const QString strNamed = qEnvironmentVariable(pszBridgeVariable);
    if (!strNamed.isEmpty()) {
        return strNamed;
    }
    // No QCoreApplication is needed for this, unlike applicationDirPath().
    const QString strProgram = QFileInfo("/proc/self/exe").symLinkTarget();
    const QString strInstalled = QFileInfo(strProgram).absolutePath() + "/contourmap-mne-export";
    if (!strProgram.isEmpty() && QFileInfo(strInstalled).isExecutable()) {
        return strInstalled;
    }
#ifdef CM3D_SOURCE_BRIDGE
    if (QFileInfo(CM3D_SOURCE_BRIDGE).isExecutable()) {
        return CM3D_SOURCE_BRIDGE;
    }
#endif
    return QString();
}

// The bridge's environment: contourmap-fieldmap named for it, the one installed beside this
// program or the one built with it, unless the user named one.
QProcessEnvironment _bridgeEnvironment() {
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    if (environment.contains(pszFieldmapVariable)) {
        return environment;
    }
    const QString strProgram = QFileInfo("/proc/self/exe").symLinkTarget();
    const QString strInstalled = QFileInfo(strProgram).absolutePath() + "/contourmap-fieldmap";
    if (!strProgram.isEmpty() && QFileInfo(strInstalled).isExecutable()) {
        environment.insert(pszFieldmapVariable, strInstalled);
    }
#ifdef CM3D_BUILD_FIELDMAP
    else if (QFileInfo(CM3D_BUILD_FIELDMAP).isExecutable()) {
        environment.insert(pszFieldmapVariable, CM3D_BUILD_FIELDMAP);
    }
#endif
    return environment;
}

QString _lastLine(const QByteArray& text) {
    const QList<QByteArray> lines = text.trimmed().split('\n');
    return lines.isEmpty() ? QString() : QString::fromUtf8(lines.last()).trimmed();
}

} // namespace

void addConversionOptions(cxxopts::Options& options) {
    options.add_options(pszConversionGroup)(
        "ch-type",
        "what the maps measure: meg (every MEG channel mapped onto virtual magnetometers), mag, "
        "grad (planar pairs merged), planar1 or planar2 (default meg when magnetometers and "
        "gradiometers are both present)",
        cxxopts::value<std::string>())("condition", "evoked files: the condition, N or NAME",
                                       cxxopts::value<std::string>())(
        "no-proj", "do not apply the recording's SSP projectors")(
        "keep-dc", "raw files: keep each channel's offset instead of removing its mean");
}

bool readConversionOptions(const cxxopts::ParseResult& r, SConversionOptions& o,
                           std::string& error) {
    o = SConversionOptions();
    if (r.count("ch-type")) {
        o.strChType = r["ch-type"].as<std::string>();
        static const char* const apszTypes[] = {"meg", "mag", "grad", "planar1", "planar2"};
        if (std::find(std::begin(apszTypes), std::end(apszTypes), o.strChType) ==
            std::end(apszTypes)) {
            error =
                "--ch-type must be meg, mag, grad, planar1 or planar2, not '" + o.strChType + "'";
            return false;
        }
    }
    if (r.count("condition")) {
        o.strCondition = r["condition"].as<std::string>();
        if (o.strCondition.empty()) {
            error = "--condition must name a condition, N or NAME";
            return false;
        }
    }
    o.bProjectors = r.count("no-proj") == 0;
    o.bRemoveDc = r.count("keep-dc") == 0;
    return true;
}

bool isJsonRecording(const QString& strPath) {
    return strPath.endsWith(".json", Qt::CaseInsensitive);
}

QString recordingFileFilters() {
    return "MEG recordings (*.fif *.fif.gz *.sqd *.con *.meg4 *.res4 *.ds c,* e,* *.vhdr *.edf "
           "*.bdf *.gdf *.set *.cnt *.mff);;JSON recordings (*.json);;All files (*)";
}

CRecordingConverter::CRecordingConverter(QObject* pParent) : QObject(pParent) {
    connect(&m_process, &QProcess::readyReadStandardError, this, &CRecordingConverter::_readErrors);
    connect(&m_process, &QProcess::finished, this, &CRecordingConverter::_processFinished);
    connect(&m_process, &QProcess::errorOccurred, this, &CRecordingConverter::_processError);
}

CRecordingConverter::~CRecordingConverter() {
    QObject::disconnect(&m_process, nullptr, this, nullptr);
    cancel();
}

QString CRecordingConverter::cachedCopy(const QString& strPath, const SConversionOptions& o) {
    return CConversionCache::cachedHeader(strPath, o, _bridgePath());
}

void CRecordingConverter::cancel() {
    // A stopped conversion reports nothing: whoever stops it has moved on.
    const QSignalBlocker block(m_process);
    if (isRunning()) {
        m_process.kill();
        m_process.waitForFinished(3000);
    }
    _removePartial();
}

bool CRecordingConverter::_begin(const QString& strPath, const SConversionOptions& o,
                                 QString& strError, const QStringList& extraArgs) {
    cancel();
    m_strInput = strPath;
    m_errorBuffer.clear();
    m_strLastLine.clear();
    m_strFirstPage.clear();
    if (!QFileInfo::exists(strPath)) {
        strError = strPath + ": no such file or directory";
        return false;
    }
    const QString strBridge = _bridgePath();
    if (strBridge.isEmpty()) {
        strError = QString("the MNE bridge (contourmap-mne-export) is not installed beside this "
                           "program; reinstall ContourMap3D or name it in %1")
                       .arg(pszBridgeVariable);
        return false;
    }
    if (!QFileInfo(strBridge).isFile()) {
        strError = QString("the MNE bridge %1 named by %2 does not exist")
                       .arg(strBridge, pszBridgeVariable);
        return false;
    }
    m_strCacheEntry = CConversionCache::entryFor(strPath, o, strBridge);
    // A folder of this process's own, so that two programs converting the same file at once do
    // not write into each other's files.
    m_strPartEntry =
        m_strCacheEntry + QString(".%1%2").arg(getpid()).arg(CConversionCache::pszPartSuffix);
    QDir(m_strPartEntry).removeRecursively();
    if (!QDir().mkpath(m_strPartEntry)) {
        strError = "cannot create the cache folder " + CConversionCache::folder() +
                   " for converted recordings (set XDG_CACHE_HOME to a writable folder)";
        return false;
    }
    QStringList args = {strPath, "--out", CConversionCache::headerIn(m_strPartEntry), "--progress"};
    args << extraArgs;
    if (!o.strChType.empty()) {
        args << "--ch-type" << QString::fromStdString(o.strChType);
    }
    if (!o.strCondition.empty()) {
        args << "--condition" << QString::fromStdString(o.strCondition);
    }
    if (!o.bProjectors) {
        args << "--no-proj";
    }
    if (!o.bRemoveDc) {
        args << "--keep-dc";
    }
    m_process.setProgram(strBridge);
    m_process.setProcessEnvironment(_bridgeEnvironment());
    m_process.setArguments(args);
    m_process.setProcessChannelMode(QProcess::SeparateChannels);
    m_process.setStandardOutputFile(QProcess::nullDevice());
    m_process.start();
    return true;
}

void CRecordingConverter::start(const QString& strPath, const SConversionOptions& o) {
    QString strError;
    if (!_begin(strPath, o, strError, {"--first-page"})) {
        // Reported from the event loop, as every other outcome is.
        QTimer::singleShot(0, this, [this, strError] { emit failed(strError); });
    }
}

QString CRecordingConverter::_wait(QString& strError, bool bUntilFirstPage) {
    QString strJson, strFailure;
    const QMetaObject::Connection done =
        connect(this, &CRecordingConverter::finished,
                [&strJson](const QString& strFile) { strJson = strFile; });
    const QMetaObject::Connection broke =
        connect(this, &CRecordingConverter::failed,
                [&strFailure](const QString& strLine) { strFailure = strLine; });
    // The process's signals, and with them the slots above, come from inside the wait.
    while (isRunning() && !(bUntilFirstPage && !m_strFirstPage.isEmpty())) {
        m_process.waitForFinished(100);
    }
    disconnect(done);
    disconnect(broke);
    strError = strFailure;
    return isRunning() ? m_strFirstPage : strJson;
}

QString CRecordingConverter::convert(const QString& strPath, const SConversionOptions& o,
                                     QString& strError, bool bUntilFirstPage) {
    QStringList extra;
    if (bUntilFirstPage) {
        extra << "--first-page";
    }
    if (!_begin(strPath, o, strError, extra)) {
        return QString();
    }
    return _wait(strError, bUntilFirstPage);
}

QString CRecordingConverter::convertPage(const QString& strPath, const SConversionOptions& o,
                                         double dSeconds, const QString& strFolder,
                                         QString& strError) {
    if (!_begin(strPath, o, strError, {"--page-at", QString::number(dSeconds, 'g', 17)})) {
        return QString();
    }
    // Until the bridge says, the result is kept like any other conversion.
    QString strJson = _wait(strError, false);
    if (strJson.isEmpty()) {
        return strJson;
    }
    QFile header(strJson);
    if (header.open(QIODevice::ReadOnly) && header.read(1 << 16).contains("\"store\": ")) {
        // One page of a long recording: it stands for no whole conversion.
        header.close();
        const QString strEntry = QFileInfo(strJson).absolutePath();
        QDir(strFolder).removeRecursively();
        if (!QDir().rename(strEntry, strFolder)) {
            strError = "cannot move the converted page into " + strFolder;
            QDir(strEntry).removeRecursively();
            return QString();
        }
        return CConversionCache::headerIn(strFolder);
    }
    return strJson;
}

void CRecordingConverter::_readErrors() {
    m_errorBuffer += m_process.readAllStandardError();
    int nEnd = 0;
    while ((nEnd = m_errorBuffer.indexOf('\n')) >= 0) {
        const QString strLine = QString::fromUtf8(m_errorBuffer.left(nEnd)).trimmed();
        m_errorBuffer.remove(0, nEnd + 1);
        if (strLine.isEmpty()) {
            continue;
        }
        m_strLastLine = strLine;
        QString strStep = strLine;
        if (strStep.startsWith(pszBridgePrefix)) {
            strStep.remove(0, static_cast<int>(std::strlen(pszBridgePrefix)));
        }
        if (strStep == "first page ready") {
            m_strFirstPage = m_strPartEntry + "/" + pszFirstPageName;
            emit firstPageReady(m_strFirstPage);
            continue;
        }
        emit progress(strStep);
    }
}

void CRecordingConverter::_processFinished(int nExitCode, QProcess::ExitStatus nStatus) {
    _readErrors();
    const QString strRest = _lastLine(m_errorBuffer);
    const QString strLast = strRest.isEmpty() ? m_strLastLine : strRest;
    if (nStatus == QProcess::NormalExit && nExitCode == 0 &&
        QFileInfo(CConversionCache::headerIn(m_strPartEntry)).isFile()) {
        QFile::remove(m_strPartEntry + "/" + pszFirstPageName);
        bool bKept = QDir().rename(m_strPartEntry, m_strCacheEntry);
        if (!bKept && QFileInfo(CConversionCache::headerIn(m_strCacheEntry)).isFile()) {
            // Another program converted the same file meanwhile, under the same key: its copy
            // is as good as ours and may already be open there, so it stays.
            QDir(m_strPartEntry).removeRecursively();
            bKept = true;
        } else if (!bKept) {
            // What an interrupted program left behind holds no header and is replaced.
            QDir(m_strCacheEntry).removeRecursively();
            bKept = QDir().rename(m_strPartEntry, m_strCacheEntry);
        }
        if (bKept) {
            CConversionCache::prune();
            _end(CConversionCache::headerIn(m_strCacheEntry), QString());
        } else {
            _end(QString(), "cannot keep the converted recording in " + CConversionCache::folder());
        }
        return;
    }
    if (nStatus != QProcess::NormalExit) {
        _end(QString(), "the MNE bridge stopped unexpectedly while converting " + m_strInput);
    } else if (strLast.isEmpty() || nExitCode == 0) {
        _end(QString(), QString("the MNE bridge gave status %1 without a message for %2")
                            .arg(nExitCode)
                            .arg(m_strInput));
    } else {
        _end(QString(), strLast);
    }
}

void CRecordingConverter::_processError(QProcess::ProcessError nError) {
    if (nError != QProcess::FailedToStart) {
        return; // a crash ends in finished() as well
    }
    _end(QString(), QString("cannot run the MNE bridge %1 (%2); it needs Python 3 with "
                            "MNE-Python: %3")
                        .arg(m_process.program(), m_process.errorString(), pszInstallHint));
}

void CRecordingConverter::_end(const QString& strJsonPath, const QString& strError) {
    _removePartial();
    if (strJsonPath.isEmpty()) {
        emit failed(strError);
    } else {
        emit finished(strJsonPath);
    }
}

void CRecordingConverter::_removePartial() {
    // A program showing the first page keeps its open store; the files themselves go.
    if (!m_strPartEntry.isEmpty() && QFileInfo(m_strPartEntry).isDir()) {
        QDir(m_strPartEntry).removeRecursively();
    }
}

FConversionNote conversionNotesOnStderr(const std::string& strProgram, const std::string& strPath) {
    const bool bSteps = isatty(fileno(stderr)) != 0;
    return [=](const std::string& strNote, bool bOutcome) {
        if (bOutcome) {
            std::fprintf(stderr, "%s: %s: %s\n", strProgram.c_str(), strPath.c_str(),
                         strNote.c_str());
        } else if (bSteps) {
            std::fprintf(stderr, "%s: %s\n", strProgram.c_str(), strNote.c_str());
        }
    };
}

std::unique_ptr<CMEGDataqv> openRecordingFile(const std::string& strPath,
                                              const SConversionOptions& options,
                                              std::string& strError, const FConversionNote& onNote,
                                              const double* pPageAt) {
    const QString strFile = QFile::decodeName(strPath.c_str());
    if (isJsonRecording(strFile)) {
        return loadRecordingJson(strPath, strError);
    }
    const auto note = [&onNote](const QString& strText, bool bOutcome) {
        if (onNote) {
            onNote(strText.toStdString(), bOutcome);
        }
    };
    QString strJson = CRecordingConverter::cachedCopy(strFile, options);
    std::unique_ptr<QTemporaryDir> pPageFolder;
    if (!strJson.isEmpty()) {
        note("converted before, read from " + strJson, true);
    } else {
        CRecordingConverter converter;
        QObject::connect(&converter, &CRecordingConverter::progress,
                         [&note](const QString& strStep) { note(strStep, false); });
        QString strFailure;
        if (pPageAt) {
            pPageFolder = std::make_unique<QTemporaryDir>();
            strJson = converter.convertPage(strFile, options, *pPageAt,
                                            pPageFolder->path() + "/page", strFailure);
        } else {
            strJson = converter.convert(strFile, options, strFailure);
        }
        if (strJson.isEmpty()) {
            strError = strFailure.toStdString();
            return nullptr;
        }
        note(pPageFolder && strJson.startsWith(pPageFolder->path())
                 ? QString("converted the page at %1 s with MNE-Python").arg(*pPageAt)
                 : "converted with MNE-Python, kept in " + QFileInfo(strJson).absolutePath(),
             true);
    }
    // The store stays open when a page's folder goes with the function.
    return loadRecordingJson(QFile::encodeName(strJson).toStdString(), strError);
}
