// MEG files opened directly: an evoked FIF file that MNE-Python made (the meg_test_files fixture)
// through the demo's File > Open road and through contourmap-render --recording, there twice, the
// second time from the conversion cache; a gradiometer recording labelled in fT/cm throughout.

#include "butterflyplot.h"
#include "conversioncache.h"
#include "demotestsupport.h"
#include "programrun.h"
#include "recordingsource.h"

#include "mdchannel.h"
#include "mdtrial.h"
#include "pagedrecording.h"
#include "recordingjson.h"

#include <QApplication>
#include <QDir>
#include <QStatusBar>
#include <QTest>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <sys/stat.h>

namespace {

const std::filesystem::path evokedFile = std::filesystem::path(CM3D_MEG_FILES) / "evoked-ave.fif";
const int nConversionMs = 180000;
// Conversions are cached in this process's own folder, never the user's.
const bool s_bOwnCache =
    qputenv("XDG_CACHE_HOME", QByteArray::fromStdString((testTempDir() / "cache").string()));

class MegFile : public testing::Test {
protected:
    void SetUp() override {
        if (!std::filesystem::exists(evokedFile))
            GTEST_SKIP() << "no " << evokedFile << ": MNE-Python is missing (./run deps)";
        recordedMessages().clear();
    }
};

TEST_F(MegFile, FileOpenConvertsInTheBackgroundAndLabelsTheUnit) {
    CRecordingWindow window;
    window.setRecording(makeSyntheticRecording(), "synthetic recording");
    window.show();
    window.openMap(CDemoWindow::mapTime);
    CMEGDataqv* pBefore = window.getRecording();
    SConversionOptions gradiometers;
    gradiometers.strChType = "grad";
    gradiometers.strCondition = "artefact";
    window.setConversionOptions(gradiometers);

    const QString strFile = QString::fromStdString(evokedFile.string());
    ASSERT_TRUE(window.openRecording(strFile));
    ASSERT_TRUE(window.isConverting());
    ASSERT_TRUE(QApplication::overrideCursor());
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::BusyCursor);
    EXPECT_TRUE(window.statusBar()->currentMessage().contains("evoked-ave.fif"));
    EXPECT_EQ(window.getRecording(), pBefore) << "the current recording stays while converting";

    // The window goes on painting while the bridge works.
    CPaintCounter paints;
    window.getPlot()->installEventFilter(&paints);
    window.getPlot()->update();
    QTRY_VERIFY_WITH_TIMEOUT(paints.m_nPaints > 0 || !window.isConverting(), nConversionMs);
    EXPECT_TRUE(paints.m_nPaints > 0 && window.isConverting())
        << "a paint came before the conversion ended";
    QTRY_VERIFY_WITH_TIMEOUT(!window.isConverting(), nConversionMs);
    ASSERT_TRUE(window.m_aErrors.empty()) << window.m_aErrors.front().toStdString();
    EXPECT_FALSE(QApplication::overrideCursor());
    ASSERT_NE(window.getRecording(), pBefore);
    EXPECT_TRUE(window.windowTitle().endsWith("evoked-ave.fif"));
    EXPECT_TRUE(window.statusBar()->currentMessage().endsWith("(converted with MNE-Python)"));

    // Gradiometers read fT/cm in the plot and the picked value (the bars take the recording's
    // unit as the colour-scale tests check).
    CMEGDataqv& recording = *window.getRecording();
    EXPECT_EQ(window.getPlot()->valueAxisTitle().toStdString(), "field (fT/cm)");
    CMDTrialqv* pTrial = recording.getTrialqv(-1);
    int nSlot = 0;
    while (!pTrial->getAllChannelPt()[nSlot]->isMEGMeasureChannel())
        ++nSlot;
    ASSERT_EQ(CDemoWindow::onChannelPicked(nSlot, -1), 1);
    EXPECT_TRUE(window.statusBar()->currentMessage().contains(" fT/cm at "))
        << window.statusBar()->currentMessage().toStdString();

    // What the bridge cannot read is reported with its line; the recording stays.
    const QString strJunk = QString::fromStdString((testTempDir() / "junk.fif").string());
    std::ofstream(strJunk.toStdString()) << "not MEG";
    CMEGDataqv* pKept = window.getRecording();
    ASSERT_TRUE(window.openRecording(strJunk));
    QTRY_VERIFY_WITH_TIMEOUT(!window.isConverting(), nConversionMs);
    ASSERT_EQ(window.m_aErrors.size(), 1u);
    EXPECT_TRUE(window.m_aErrors[0].startsWith("mne_export: " + strJunk + ": MNE cannot read it"))
        << window.m_aErrors[0].toStdString();
    EXPECT_EQ(window.getRecording(), pKept);
    EXPECT_FALSE(QApplication::overrideCursor());
    window.close();
    EXPECT_TRUE(recordedMessages().empty()) << recordedMessages().front();
}

TEST_F(MegFile, RenderConvertsOnceAndReadsTheCacheTheSecondTime) {
    const std::string strPng = (testTempDir() / "evoked.png").string();
    const std::string strArgs =
        "--recording " + evokedFile.string() + " --condition noise --colorbar --out " + strPng;
    const std::string strPrefix = "contourmap-render: " + evokedFile.string() + ": ";

    const SProgramRun first = render(strArgs);
    ASSERT_EQ(first.nStatus, 0) << first.strErr;
    const std::string strKept = strPrefix + "converted with MNE-Python, kept in ";
    ASSERT_EQ(first.strErr.rfind(strKept, 0), 0u) << first.strErr;
    const std::string strCache =
        first.strErr.substr(strKept.size(), first.strErr.find('\n') - strKept.size());
    EXPECT_EQ(strCache.rfind(CRecordingConverter::cacheFolder().toStdString(), 0), 0u);
    const std::string strHeader = strCache + "/recording.json";
    ASSERT_FALSE(fileText(strHeader).empty());
    const std::string strPicture = fileText(strPng);

    const SProgramRun second = render(strArgs);
    ASSERT_EQ(second.nStatus, 0) << second.strErr;
    EXPECT_EQ(second.strErr.rfind(strPrefix + "converted before, read from " + strHeader, 0), 0u)
        << second.strErr;
    EXPECT_EQ(fileText(strPng), strPicture);

    // Every conversion option is part of the key: each is another conversion.
    for (const char* pszOption : {" --no-proj", " --keep-dc", " --ch-type grad"}) {
        const SProgramRun other = render(strArgs + pszOption);
        EXPECT_EQ(other.strErr.rfind(strKept, 0), 0u) << pszOption << ": " << other.strErr;
    }
}

// Every conversion option reaches the bridge as its own argument, and the bridge's own one-line
// errors reach the user as they are (a stand-in that writes down its arguments, one per line, and
// refuses with one line); without MNE-Python or without the bridge, the program says so in one.
TEST(MegFileBridge, OptionsReachItAsArgumentsAndItsErrorsAreOneLine) {
    const auto bridge = [](const std::string& strName, const std::string& strBody) {
        const std::string strPath = (testTempDir() / strName).string();
        std::ofstream(strPath) << "#!/bin/sh\n" << strBody;
        EXPECT_EQ(::chmod(strPath.c_str(), 0755), 0);
        return "CONTOURMAP_MNE_EXPORT=" + strPath;
    };
    const std::string strFile = (testTempDir() / "options raw.fif").string();
    std::ofstream(strFile) << "any bytes: the bridges below do not read them";
    const std::string strArgsFile = (testTempDir() / "bridge-arguments.txt").string();
    const std::string strRecording = "--recording '" + strFile + "' --out /dev/null ";

    const std::string strStopping = "printf '%s\\n' \"$@\" >'" + strArgsFile +
                                    "'\necho \"mne_export: $1: stopped\" >&2\nexit 2\n";
    SProgramRun run =
        render(strRecording + "--ch-type grad --condition 'Left Auditory' --no-proj --keep-dc",
               bridge("recording-bridge", strStopping));
    EXPECT_EQ(run.nStatus, 2);
    EXPECT_EQ(run.strErr, "contourmap-render: error: mne_export: " + strFile + ": stopped\n");
    const std::string strArgs = fileText(strArgsFile);
    EXPECT_EQ(std::count(strArgs.begin(), strArgs.end(), '\n'), 10) << strArgs;
    EXPECT_THAT(strArgs, testing::AllOf(testing::StartsWith(strFile + "\n--out\n"),
                                        testing::EndsWith("\n--progress\n--ch-type\ngrad\n"
                                                          "--condition\nLeft Auditory\n"
                                                          "--no-proj\n--keep-dc\n")));

    // The bridge run by a Python that sees no installed packages.
    run = render(strRecording,
                 bridge("bare-bridge", "exec /usr/bin/python3 -S " +
                                           std::string(CM3D_SOURCE_BRIDGE) + " \"$@\"\n"));
    EXPECT_EQ(run.nStatus, 2);
    for (const char* pszNeedle : {"MNE-Python is not installed", "./run deps", "python3-mne"})
        EXPECT_NE(run.strErr.find(pszNeedle), std::string::npos) << run.strErr;
    EXPECT_EQ(std::count(run.strErr.begin(), run.strErr.end(), '\n'), 1) << run.strErr;

    run = render(strRecording, "CONTOURMAP_MNE_EXPORT=/nonexistent/bridge");
    EXPECT_EQ(run.nStatus, 2);
    EXPECT_EQ(run.strErr, "contourmap-render: error: the MNE bridge /nonexistent/bridge named by "
                          "CONTOURMAP_MNE_EXPORT does not exist\n");
}

// A long raw recording: the first page comes while the rest converts, a stopped conversion
// leaves nothing in the cache, and one page drawn alone is not kept as the whole recording.
TEST_F(MegFile, LongRawFirstPageCancelAndOnePage) {
    const std::filesystem::path longRaw = std::filesystem::path(CM3D_MEG_FILES) / "long_raw.fif";
    const QDir cache(CRecordingConverter::cacheFolder());
    const auto cacheEntries = [&cache] {
        return cache.entryList({"long_raw.fif-*"}, QDir::Dirs | QDir::NoDotAndDotDot);
    };
    for (const QString& strEntry : cacheEntries())
        QDir(cache.filePath(strEntry)).removeRecursively();
    const QString strFile = QString::fromStdString(longRaw.string());

    CRecordingConverter converter;
    QString strError;
    const QString strFirst = converter.convert(strFile, SConversionOptions(), strError, true);
    ASSERT_FALSE(strFirst.isEmpty()) << strError.toStdString();
    ASSERT_TRUE(converter.isRunning()) << "75 s at 1 kHz: the first page comes first";
    std::string error;
    auto pFirst = loadRecordingJson(strFirst.toStdString(), error);
    ASSERT_TRUE(dynamic_cast<CPagedRecording*>(pFirst.get())) << error;
    EXPECT_FALSE(dynamic_cast<CPagedRecording&>(*pFirst).isComplete());
    converter.cancel();
    EXPECT_TRUE(cacheEntries().isEmpty()) << cacheEntries().join(" ").toStdString();
    EXPECT_GT(dynamic_cast<CPagedRecording&>(*pFirst).getStoredEnd(), 0) << "what is shown stays";

    const SProgramRun page =
        render("--recording " + longRaw.string() + " --time 33.3 --out /dev/null");
    ASSERT_EQ(page.nStatus, 0) << page.strErr;
    EXPECT_NE(page.strErr.find("converted the page at 33.3 s"), std::string::npos) << page.strErr;
    EXPECT_TRUE(cacheEntries().isEmpty());
    const SProgramRun whole = render("--recording " + longRaw.string() + " --out /dev/null");
    ASSERT_EQ(whole.nStatus, 0) << whole.strErr;
    EXPECT_EQ(cacheEntries().size(), 1);
}

// The least recently used conversions go beyond the cache's limit, and only those.
TEST(MegFileCache, PruningKeepsAsManyEntriesAsItsLimit) {
    const QDir cache(CConversionCache::folder());
    for (int k = 0; k <= CConversionCache::nKept; ++k) {
        const QString strEntry = cache.filePath(QString("rec%1.fif-0").arg(k));
        ASSERT_TRUE(QDir().mkpath(strEntry));
        std::ofstream(CConversionCache::headerIn(strEntry).toStdString()) << "{}";
    }
    CConversionCache::prune();
    EXPECT_EQ(cache.entryList(QDir::Dirs | QDir::NoDotAndDotDot).size(), CConversionCache::nKept);
}

} // namespace
