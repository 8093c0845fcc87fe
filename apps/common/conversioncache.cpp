#include "conversioncache.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>

#include <algorithm>
#include <vector>

namespace {

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

qint64 _folderBytes(const QString& strFolder) {
    qint64 nBytes = 0;
    for (const QFileInfo& file : QDir(strFolder).entryInfoList(QDir::Files)) {
        nBytes += file.size();
    }
    return nBytes;
}

// The conversion the bridge runs, the contourmap3d package's: in ../python in the sources, in
// ../share/contourmap3d/python when installed. A changed module may convert differently, as a
// changed bridge may.
QString _moduleIdentity(const QString& strBridge) {
    const QString strDir = QFileInfo(strBridge).absolutePath();
    QString strText;
    for (const char* pszModule : {"__init__.py", "_convert.py", "_export.py", "_sensors.py"}) {
        for (const char* pszFolder : {"/../python/", "/../share/contourmap3d/python/"}) {
            strText += _identity(QFileInfo(strDir + pszFolder + "contourmap3d/" + pszModule));
        }
    }
    return strText;
}

} // namespace

QString CConversionCache::folder() {
    QString strBase = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
    if (strBase.isEmpty()) {
        strBase = QDir::tempPath();
    }
    return strBase + "/contourmap3d/recordings";
}

// The folder a conversion is kept in: the recording's header, and the store of a long one.
QString CConversionCache::entryFor(const QString& strPath, const SConversionOptions& o,
                                   const QString& strBridge) {
    const QFileInfo info(strPath);
    if (!info.exists()) {
        return QString();
    }
    // A new bridge may convert differently, so it is part of the key.
    const QString strKey =
        QString("recording %1\nbridge %2\noptions %3|%4|%5|%6")
            .arg(_identity(info), _identity(QFileInfo(strBridge)) + _moduleIdentity(strBridge),
                 QString::fromStdString(o.strChType), QString::fromStdString(o.strCondition))
            .arg(o.bProjectors ? "proj" : "no-proj", o.bRemoveDc ? "remove-dc" : "keep-dc");
    const QByteArray hash = QCryptographicHash::hash(strKey.toUtf8(), QCryptographicHash::Sha256);
    QString strStem = info.fileName();
    strStem.replace(QRegularExpression("[^A-Za-z0-9._-]"), "_");
    return folder() + "/" + strStem + "-" + QString::fromLatin1(hash.toHex().left(16));
}

QString CConversionCache::headerIn(const QString& strEntry) {
    return strEntry + "/" + pszHeaderName;
}

QString CConversionCache::cachedHeader(const QString& strPath, const SConversionOptions& o,
                                       const QString& strBridge) {
    const QString strEntry = entryFor(strPath, o, strBridge);
    const QString strFile = strEntry.isEmpty() ? QString() : headerIn(strEntry);
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

qint64 CConversionCache::budgetBytes() {
    bool bOk = false;
    const double dGb = qEnvironmentVariable("CONTOURMAP3D_CACHE_GB").toDouble(&bOk);
    return bOk && dGb >= 0.0 ? static_cast<qint64>(dGb * 1e9) : qint64(20) << 30;
}

void CConversionCache::prune() {
    const QDir cache(folder());
    // Files of the earlier one-file layout are never found again.
    for (const QFileInfo& file : cache.entryInfoList({"*.json"}, QDir::Files)) {
        QFile::remove(file.filePath());
    }
    struct SEntry {
        QString strPath;
        QDateTime used;
    };
    std::vector<SEntry> entries;
    const QDateTime dayAgo = QDateTime::currentDateTime().addDays(-1);
    for (const QFileInfo& dir : cache.entryInfoList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QFileInfo header(headerIn(dir.filePath()));
        if (dir.fileName().endsWith(pszPartSuffix)) {
            // A conversion that ran for a day has stopped without cleaning up.
            if (dir.lastModified() < dayAgo) {
                QDir(dir.filePath()).removeRecursively();
            }
        } else if (!header.isFile()) {
            QDir(dir.filePath()).removeRecursively();
        } else {
            entries.push_back({dir.filePath(), header.lastModified()});
        }
    }
    std::sort(entries.begin(), entries.end(),
              [](const SEntry& a, const SEntry& b) { return a.used > b.used; });
    qint64 nBytes = 0;
    for (std::size_t k = 0; k < entries.size(); ++k) {
        nBytes += _folderBytes(entries[k].strPath);
        if (k > 0 && (k >= nKept || nBytes > budgetBytes())) {
            QDir(entries[k].strPath).removeRecursively();
        }
    }
}
