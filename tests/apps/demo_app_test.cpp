// contourmap-demo as a script runs it: exit status and errors, and the screenshot it writes.

#include "programrun.h"

#include <QImage>

#include <gtest/gtest.h>

#include <string>

namespace {

SProgramRun demo(const std::string& strArgs) {
    return runProgram("QT_QPA_PLATFORM=offscreen " + std::string(CM3D_DEMO_EXE) + " " + strArgs);
}

TEST(DemoApp, RefusesAnUnreadableRecordingWithTheLoadersError) {
    const std::string strMissing = (testTempDir() / "missing.json").string();
    const SProgramRun run = demo("--recording " + strMissing);
    EXPECT_EQ(run.nStatus, 2);
    EXPECT_EQ(run.strErr, "contourmap-demo: error: " + strMissing +
                              ": cannot open file: No such file or directory\n");
}

// Right of the 900 x 600 main window only the maps' windows, drawn on black: the time and
// spectral maps, or the smooth map with the evoked response's warm and cool poles.
TEST(DemoApp, ScreenshotShowsTheMainWindowAndTheOpenedMapsSideBySide) {
    const auto png = testTempDir() / "demo.png";
    const SProgramRun run = demo("--open time,spectral --sample 250 --screenshot " + png.string());
    ASSERT_EQ(run.nStatus, 0) << run.strErr;
    EXPECT_EQ(run.strOut, png.string() + "\n");
    QImage image;
    ASSERT_TRUE(image.load(QString::fromStdString(png.string())));
    EXPECT_GT(image.width(), 900 + 2 * 400);
    EXPECT_GE(image.height(), 600);
    int nBlack = 0;
    for (int x = 920; x < image.width(); x += 2)
        nBlack += image.pixelColor(x, image.height() / 2) == QColor(Qt::black) ? 1 : 0;
    EXPECT_GT(nBlack, 100);

    ASSERT_EQ(demo("--open smooth --screenshot " + png.string()).nStatus, 0);
    ASSERT_TRUE(image.load(QString::fromStdString(png.string())));
    ASSERT_GT(image.width(), 900 + 400);
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
