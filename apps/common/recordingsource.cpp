#include "recordingsource.h"

#include "megdata.h"
#include "recordingjson.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QSignalBlocker>
#include <QStandardPaths>
#include <QTimer>

#include <cxxopts.hpp>

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <iterator>

namespace {

// Conversions kept; the least recently used go first.
const int nCachedConversions = 32;
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

// Size and modification time of a file, or of a folder's files (a CTF .ds folder is the
// recording); a file inside a .ds folder stands for the folder, as the bridge reads it.
QString _identity(const QFileInfo& info) {
    QFileInfo target = info;
    if (info.isFile() && info.absolutePath().endsWith(".ds", Qt::CaseInsensitive)) {
        target = QFileInfo(info.absolutePath());
    }
    QString strText = target.canonicalFilePath();
    const QFileInfoList entries =
        target.isDir() ? QDir(target.filePath()).entryInfoList(QDir::Files, QDir::Name)
                       : QFileInfoList{target};
    for (const QFileInfo& entry : entries) {
        strText += QString("\n%1 %2 %3")
                       .arg(entry.fileName())
                       .arg(entry.size())
                       .arg(entry.lastModified().toMSecsSinceEpoch());
    }
    return strText;
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

QString _cacheFileFor(const QString& strPath, const SConversionOptions& o) {
    const QFileInfo info(strPath);
    if (!info.exists()) {
        return QString();
    }
    const QString strBridge = _bridgePath();
    // A new bridge may convert differently, so it is part of the key, with its sensor module
    // (beside it in the sources, in ../share/contourmap3d when installed).
    const QString strBridgeDir = QFileInfo(strBridge).absolutePath();
    const QString strSensors =
        _identity(QFileInfo(strBridgeDir + "/meg_sensors.py")) +
        _identity(QFileInfo(strBridgeDir + "/../share/contourmap3d/meg_sensors.py"));
    const QString strKey =
        QString("recording %1\nbridge %2\noptions %3|%4|%5|%6")
            .arg(_identity(info), _identity(QFileInfo(strBridge)) + strSensors,
                 QString::fromStdString(o.strChType), QString::fromStdString(o.strCondition))
            .arg(o.bProjectors ? "proj" : "no-proj", o.bRemoveDc ? "remove-dc" : "keep-dc");
    const QByteArray hash = QCryptographicHash::hash(strKey.toUtf8(), QCryptographicHash::Sha256);
    QString strStem = info.fileName();
    strStem.replace(QRegularExpression("[^A-Za-z0-9._-]"), "_");
    return CRecordingConverter::cacheFolder() + "/" + strStem + "-" +
           QString::fromLatin1(hash.toHex().left(16)) + ".json";
}

void _pruneCache() {
    QFileInfoList files =
        QDir(CRecordingConverter::cacheFolder()).entryInfoList({"*.json"}, QDir::Files, QDir::Time);
    for (int k = nCachedConversions; k < files.size(); ++k) {
        QFile::remove(files[k].filePath());
    }
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

QString CRecordingConverter::cacheFolder() {
    QString strBase = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    if (strBase.isEmpty()) {
        strBase = QDir::tempPath();
    }
    return strBase + "/contourmap3d/recordings";
}

QString CRecordingConverter::cachedCopy(const QString& strPath, const SConversionOptions& o) {
    const QString strFile = _cacheFileFor(strPath, o);
    if (strFile.isEmpty() || !QFileInfo(strFile).isFile()) {
        return QString();
    }
    // Used now: the pruning keeps the recently used ones.
    QFile file(strFile);
    if (file.open(QIODevice::ReadWrite)) {
        file.setFileTime(QDateTime::currentDateTime(), QFileDevice::FileModificationTime);
    }
    return strFile;
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
                                 QString& strError) {
    cancel();
    m_strInput = strPath;
    m_errorBuffer.clear();
    m_strLastLine.clear();
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
    m_strCacheFile = _cacheFileFor(strPath, o);
    if (!QDir().mkpath(cacheFolder())) {
        strError = "cannot create the cache folder " + cacheFolder() +
                   " for converted recordings (set XDG_CACHE_HOME to a writable folder)";
        return false;
    }
    // A name of this process's own, so that two programs converting the same file at once do
    // not write into each other's file.
    m_strPartFile = m_strCacheFile + QString(".%1.part").arg(getpid());
    QStringList args = {strPath, "--out", m_strPartFile, "--progress"};
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
    if (!_begin(strPath, o, strError)) {
        // Reported from the event loop, as every other outcome is.
        QTimer::singleShot(0, this, [this, strError] { emit failed(strError); });
    }
}

QString CRecordingConverter::convert(const QString& strPath, const SConversionOptions& o,
                                     QString& strError) {
    QString strJson, strFailure;
    const QMetaObject::Connection done =
        connect(this, &CRecordingConverter::finished,
                [&strJson](const QString& strFile) { strJson = strFile; });
    const QMetaObject::Connection broke =
        connect(this, &CRecordingConverter::failed,
                [&strFailure](const QString& strLine) { strFailure = strLine; });
    if (!_begin(strPath, o, strFailure)) {
        strJson.clear();
    } else {
        // The process's signals, and with them the slots above, come from inside the wait.
        while (isRunning()) {
            m_process.waitForFinished(100);
        }
    }
    disconnect(done);
    disconnect(broke);
    strError = strFailure;
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
        if (strStep.startsWith("mne_export: ")) {
            strStep.remove(0, 12);
        }
        emit progress(strStep);
    }
}

void CRecordingConverter::_processFinished(int nExitCode, QProcess::ExitStatus nStatus) {
    _readErrors();
    const QString strRest = _lastLine(m_errorBuffer);
    const QString strLast = strRest.isEmpty() ? m_strLastLine : strRest;
    if (nStatus == QProcess::NormalExit && nExitCode == 0 && QFileInfo(m_strPartFile).isFile()) {
        // rename(2) replaces a copy another program may have left meanwhile, in one step.
        if (std::rename(QFile::encodeName(m_strPartFile).constData(),
                        QFile::encodeName(m_strCacheFile).constData()) == 0) {
            _pruneCache();
            _end(m_strCacheFile, QString());
        } else {
            _end(QString(), "cannot keep the converted recording in " + cacheFolder());
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
    if (!m_strPartFile.isEmpty()) {
        QFile::remove(m_strPartFile);
        QFile::remove(m_strPartFile + ".tmp");
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
                                              std::string& strError,
                                              const FConversionNote& onNote) {
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
    if (!strJson.isEmpty()) {
        note("converted before, read from " + strJson, true);
    } else {
        CRecordingConverter converter;
        QObject::connect(&converter, &CRecordingConverter::progress,
                         [&note](const QString& strStep) { note(strStep, false); });
        QString strFailure;
        strJson = converter.convert(strFile, options, strFailure);
        if (strJson.isEmpty()) {
            strError = strFailure.toStdString();
            return nullptr;
        }
        note("converted with MNE-Python, kept in " + strJson, true);
    }
    return loadRecordingJson(QFile::encodeName(strJson).toStdString(), strError);
}
