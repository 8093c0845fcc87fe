// contourmap-demo as a script runs it: exit status and errors, and the screenshot it writes.

#include "testtempdir.h"

#include <QImage>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <sys/wait.h>

namespace {

struct SRun {
    int nStatus = -1;
    std::string strOut;
    std::string strErr;
};

std::string _readAll(const std::filesystem::path& path) {
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

SRun _run(const std::string& strArgs) {
    const auto out = testTempDir() / "demo-stdout.txt", err = testTempDir() / "demo-stderr.txt";
    const std::string strCommand = "QT_QPA_PLATFORM=offscreen " + std::string(CM3D_DEMO_EXE) + " " +
                                   strArgs + " >" + out.string() + " 2>" + err.string();
    SRun run;
    const int nRaw = std::system(strCommand.c_str());
    run.nStatus = WIFEXITED(nRaw) ? WEXITSTATUS(nRaw) : -1;
    run.strOut = _readAll(out);
    run.strErr = _readAll(err);
    return run;
}

TEST(DemoApp, RefusesAnUnreadableRecordingWithTheLoadersError) {
    const std::string strMissing = (testTempDir() / "missing.json").string();
    const SRun run = _run("--recording " + strMissing);
    EXPECT_EQ(run.nStatus, 2);
    EXPECT_EQ(run.strErr, "contourmap-demo: error: " + strMissing +
                              ": cannot open file: No such file or directory\n");
    EXPECT_EQ(_run("--sample 1000").nStatus, 2);
}

TEST(DemoApp, ScreenshotShowsTheMainWindowAndTheOpenedMapsSideBySide) {
    const auto png = testTempDir() / "demo.png";
    const SRun run = _run("--open time,spectral --sample 250 --screenshot " + png.string());
    ASSERT_EQ(run.nStatus, 0) << run.strErr;
    EXPECT_EQ(run.strOut, png.string() + "\n");
    QImage image;
    ASSERT_TRUE(image.load(QString::fromStdString(png.string())));
    // The 900 x 600 main window and two map dialogs beside it.
    EXPECT_GT(image.width(), 900 + 2 * 400);
    EXPECT_GE(image.height(), 600);
    // The maps draw on black; the main window has none of that.
    int nBlack = 0;
    for (int x = 920; x < image.width(); x += 2)
        nBlack += image.pixelColor(x, image.height() / 2) == QColor(Qt::black) ? 1 : 0;
    EXPECT_GT(nBlack, 100);
}

TEST(DemoApp, ScreenshotTakesTheSmoothFieldMapIn) {
    const auto png = testTempDir() / "demo-smooth.png";
    const SRun run = _run("--open smooth --screenshot " + png.string());
    ASSERT_EQ(run.nStatus, 0) << run.strErr;
    QImage image;
    ASSERT_TRUE(image.load(QString::fromStdString(png.string())));
    ASSERT_GT(image.width(), 900 + 400);
    // Right of the main window only the smooth map's window: its surface has the evoked
    // response's warm and cool poles.
    int nWarm = 0, nCool = 0;
    for (int y = 0; y < image.height(); y += 2)
        for (int x = 930; x < image.width(); x += 2) {
            const QColor c = image.pixelColor(x, y);
            nWarm += c.red() > c.blue() + 60 ? 1 : 0;
            nCool += c.blue() > c.red() + 60 ? 1 : 0;
        }
    EXPECT_GT(nWarm, 200);
    EXPECT_GT(nCool, 200);
}

} // namespace
