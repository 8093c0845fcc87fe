// contourmap-render as a user runs it: exit status, the one-line errors and the PNGs it writes.

#include "programrun.h"

#include "colorscale.h"
#include "glofflinecontext.h"
#include "show3dcntmap.h"
#include "syntheticrecording.h"

#include <GL/gl.h>
#include <GL/glu.h>
#include <QColor>
#include <QImage>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>

namespace {

namespace fs = std::filesystem;

fs::path out(const std::string& strName) {
    return testTempDir() / strName;
}

QImage readPicture(const fs::path& path) {
    return QImage(QString::fromStdString(path.string())).convertToFormat(QImage::Format_RGBA8888);
}

// Renders into the temp folder and reads the picture back (a null image if there is none).
QImage picture(const std::string& strArgs, const std::string& strName) {
    const SProgramRun run = render(strArgs + " --out " + out(strName).string());
    EXPECT_EQ(run.nStatus, 0) << strArgs << ": " << run.strErr;
    return readPicture(out(strName));
}

bool lit(const QColor& c) {
    return c.red() + c.green() + c.blue() > 0;
}
bool warm(const QColor& c) {
    return c.red() > c.blue() + 60;
}

// The pixels of a rectangle (clipped to the image) of which a test holds.
template <typename FTest> int count(const QImage& image, QRect rect, FTest test) {
    rect &= image.rect();
    int n = 0;
    for (int y = rect.top(); y <= rect.bottom(); ++y)
        for (int x = rect.left(); x <= rect.right(); ++x)
            n += test(image.pixelColor(x, y)) ? 1 : 0;
    return n;
}

QColor rgb(const CColorScale::SRgb& c) {
    return QColor(c.r, c.g, c.b);
}

// The colour bar right of a map nMapWidth wide: a column inside it, from the first lit one at
// mid height, and the first and last lit rows of that column.
struct SBar {
    int x = 0, yTop = 0, yBottom = -1;
};
SBar findBar(const QImage& image, int nMapWidth) {
    SBar bar{nMapWidth, 0, image.height() - 1};
    while (bar.x < image.width() && !lit(image.pixelColor(bar.x, image.height() / 2)))
        ++bar.x;
    bar.x += 3;
    if (bar.x >= image.width())
        return SBar{};
    while (bar.yTop < image.height() && !lit(image.pixelColor(bar.x, bar.yTop)))
        ++bar.yTop;
    while (bar.yBottom > bar.yTop && !lit(image.pixelColor(bar.x, bar.yBottom)))
        --bar.yBottom;
    return bar;
}

// Each map of the synthetic recording becomes a picture, which the switches empty; --help is
// cxxopts' own listing of the options, which must not be taken for a picture.
TEST(RenderApp, EachMapBecomesAPictureTheSwitchesEmptyItAndHelpListsThem) {
    for (const char* pszMap : {"time", "frequency", "spectral"}) {
        SCOPED_TRACE(pszMap);
        const QImage image =
            picture(std::string("--map ") + pszMap + " --size 160x120 --synthetic-channels 120",
                    std::string(pszMap) + ".png");
        EXPECT_EQ(image.size(), QSize(160, 120));
        EXPECT_GT(count(image, image.rect(), warm), 20) << "warm sensors are clearly red";
    }
    const QImage bare =
        picture("--size 80x80 --no-sensors --no-surface --no-fiducials", "bare.png");
    const auto bright = [](const QColor& c) { return c.red() + c.green() + c.blue() > 30; };
    EXPECT_EQ(count(bare, bare.rect(), bright), 0);

    const SProgramRun help = render("--help --out " + out("help.png").string());
    EXPECT_EQ(help.nStatus, 0);
    EXPECT_NE(help.strOut.find("--frames"), std::string::npos) << help.strOut;
    EXPECT_FALSE(fs::exists(out("help.png")));
}

TEST(RenderApp, BadInputGivesOneLineAndStatusTwo) {
    const fs::path broken = out("broken.json"), two = out("two-sensors.json");
    std::ofstream(broken) << "{\"channels\": [";
    std::ofstream(two) << R"({"channels": [
        {"name": "MEG0111", "kind": "meg", "coils": [[80, 40, 60]], "samples": [1, 2]},
        {"name": "MEG0222", "kind": "meg", "coils": [[-80, -40, 60]], "samples": [3, 4]}]})";
    // The selections' own errors and an unreadable recording are SelectionRule's; these are the
    // command's.
    const std::pair<std::string, std::string> cases[] = {
        {"--map sideways", "--map"},
        {"--size 0x10", "--size"},
        {"--rotate 1", "--rotate"},
        {"--distance -5", "--distance"},
        {"--channel 100000", "--channel"},
        {"--bogus", "bogus"},
        {"--recording " + broken.string(), broken.string()},
        {"--out /nonexistent/dir/map.png", "/nonexistent/dir/map.png"},
        {"--frames 5:2:1", "--frames"},
        {"--frames 0:10:0", "--frames"},
        {"--frames 1:2", "--frames"},
        {"--frames 0:1000:1", "--frames"},
        {"--frames 0:3:1 --map frequency", "--frames"},
        {"--frames 0:3:1 --sample 2", "--frames"},
        {"--frames 0:3:1 --out /nonexistent/dir/f.png", "/nonexistent/dir/f-0001.png"},
        {"--surface cubes", "--surface must be fans or smooth, not 'cubes' (see --help)"},
        {"--surface smooth --colors rainbow",
         "--colors must be thresholds or continuous, not 'rainbow' (see --help)"},
        {"--surface smooth --isolines 101",
         "--isolines must be a whole number from 0 to 100 (see --help)"},
        {"--colors continuous",
         "--isolines and --colors draw the smooth map; add --surface smooth (see --help)"},
        {"--recording " + two.string() + " --surface smooth --out " + out("two.png").string(),
         "the smooth map cannot be drawn: "},
    };
    for (const auto& [strArgs, strNeedle] : cases) {
        const SProgramRun run = render(strArgs);
        const std::string strErr = run.firstErrLine();
        EXPECT_EQ(run.nStatus, 2) << strArgs;
        EXPECT_EQ(strErr.rfind("contourmap-render: error: ", 0), 0u) << strErr;
        EXPECT_NE(strErr.find(strNeedle), std::string::npos) << strErr;
    }
    EXPECT_FALSE(fs::exists(out("two.png")));

    // No EGL vendor at all: the context cannot be made.
    const SProgramRun noGL = render("--out " + out("nogl.png").string(),
                                    "__EGL_VENDOR_LIBRARY_FILENAMES=/nonexistent.json");
    EXPECT_EQ(noGL.nStatus, 2);
    EXPECT_NE(noGL.strErr.find("OpenGL context"), std::string::npos) << noGL.strErr;
    EXPECT_FALSE(fs::exists(out("nogl.png")));
}

// A colour bar widens the picture and leaves the map as it was; its ends have the colours of the
// bar's own ends: the renderer's for the recording's extremes, with the neutral grey between the
// thresholds, or the smooth map's ramp from the reddest through white to the bluest.
TEST(RenderApp, ColourBarWidensThePictureAndShowsTheMapsColours) {
    const std::string strArgs = "--size 240x240 --synthetic-channels 120 --rotate -20,55 ";
    CSyntheticOptionsqv synthetic;
    synthetic.nMegChannels = 120;
    auto pRecording = makeSyntheticRecording(synthetic);
    CShow3DCntMapqv map;
    map.setMegData(pRecording.get());
    ASSERT_TRUE(map._checkSensorPosVlm());
    const std::pair<std::string, CColorScale> cases[] = {
        {"", CColorScale::fromMap(map, CColorScale::kindTime)},
        {"--surface smooth --colors continuous ", CColorScale::continuous(1, -1, 1, true)}};
    for (const auto& [strSurface, scale] : cases) {
        SCOPED_TRACE(strSurface);
        const QImage plain = picture(strArgs + strSurface, "plain.png");
        const SProgramRun run =
            render(strArgs + strSurface + "--colorbar --out " + out("bar.png").string());
        ASSERT_EQ(run.nStatus, 0) << run.strErr;
        EXPECT_EQ(run.strErr.find("Qt"), std::string::npos) << run.strErr;
        const QImage bar = readPicture(out("bar.png"));
        EXPECT_GE(bar.width(), 240 + 160);
        ASSERT_EQ(bar.height(), 240);
        EXPECT_EQ(bar.copy(0, 0, 240, 240), plain) << "the map keeps its size and pixels";
        const SBar b = findBar(bar, 240);
        ASSERT_LT(b.x, 240 + 40);
        ASSERT_GT(b.yBottom - b.yTop, 150);
        EXPECT_EQ(bar.pixelColor(b.x, b.yTop), rgb(scale.rgbAt(scale.barTop())));
        EXPECT_EQ(bar.pixelColor(b.x, b.yBottom), rgb(scale.rgbAt(scale.barBottom())));
        const int nNeutral = count(bar, QRect(b.x, b.yTop, 1, b.yBottom - b.yTop + 1),
                                   [](const QColor& px) { return px == QColor(128, 128, 128); });
        EXPECT_EQ(nNeutral > 20, !scale.isContinuous()) << "values between the thresholds";
        EXPECT_GT(count(bar, QRect(b.x + 20, 0, bar.width(), 240), lit), 100) << "tick labels";
    }
}

TEST(RenderApp, LabelsNameTheSensorsFacingTheCamera) {
    const fs::path recording = out("two.json");
    std::ofstream(recording) << R"({"channels": [
        {"name": "MEG0111", "kind": "meg", "coils": [[80, 40, 60]], "samples": [1, 2]},
        {"name": "MEG0222", "kind": "meg", "coils": [[-80, -40, -60]], "samples": [3, 4]}]})";
    const std::string strArgs = "--recording " + recording.string() +
                                " --size 400x400 --no-sensors --no-surface --no-fiducials";
    const QImage with = picture(strArgs + " --labels", "labels.png");
    ASSERT_EQ(with.width(), 400);

    // Where the sensors land with the same camera; the centre of the sensors is the origin.
    CGLOfflineContextqv context;
    std::string error;
    ASSERT_TRUE(context.open(400, 400, error)) << error;
    GLdouble adModel[16], adProj[16];
    GLint anViewport[4];
    context.renderFrame([&]() {
        glGetDoublev(GL_MODELVIEW_MATRIX, adModel);
        glGetDoublev(GL_PROJECTION_MATRIX, adProj);
        glGetIntegerv(GL_VIEWPORT, anViewport);
    });
    double adX[2], adY[2], adDepth[2];
    for (int k = 0; k < 2; ++k) {
        const double dSign = k == 0 ? 1 : -1;
        gluProject(dSign * 80, dSign * 40, dSign * 60, adModel, adProj, anViewport, &adX[k],
                   &adY[k], &adDepth[k]);
    }
    const auto nearby = [&](int k) {
        const int x = static_cast<int>(adX[k]), y = static_cast<int>(anViewport[3] - adY[k]);
        return count(with, QRect(x, y - 8, 71, 17), lit);
    };
    const int nFront = adDepth[0] < adDepth[1] ? 0 : 1;
    EXPECT_GT(nearby(nFront), 15) << "the name of the sensor in front";
    EXPECT_EQ(nearby(1 - nFront), 0) << "the sensor behind the head";
}

TEST(RenderApp, SmoothSurfaceWithIsolinesAndEitherColourScale) {
    const std::string strArgs = "--size 240x240 --synthetic-channels 120 --rotate -20,55 ";
    const QImage plain = picture(strArgs + "--surface smooth --isolines 0", "smooth0.png");
    ASSERT_EQ(plain.width(), 240);
    EXPECT_EQ(picture(strArgs + "--surface smooth --isolines 0 --colors continuous", "c0.png"),
              plain)
        << "the smooth map opens on the continuous scale";
    EXPECT_NE(picture(strArgs + "--surface smooth --isolines 0 --colors thresholds", "t0.png"),
              plain);
    // Isolines are dark lines across the coloured surface.
    const auto dark = [](const QColor& c) { return lit(c) && c.red() + c.green() + c.blue() < 90; };
    const QImage lined = picture(strArgs + "--surface smooth --isolines 10", "smooth10.png");
    EXPECT_GT(count(lined, lined.rect(), dark), count(plain, plain.rect(), dark) + 100);

    // A sequence draws the smooth map in every frame.
    ASSERT_EQ(
        render(strArgs + "--surface smooth --frames 99:100:1 --out " + out("sf").string()).nStatus,
        0);
    EXPECT_EQ(readPicture(out("sf-0002.png")),
              picture(strArgs + "--surface smooth --sample 100", "s100.png"));
}

TEST(RenderApp, FramesAreANumberedSequenceThroughTheSamples) {
    const fs::path dir = out("frames");
    fs::create_directories(dir);
    const std::string strArgs = "--size 96x80 --synthetic-channels 60 ";
    const SProgramRun run =
        render(strArgs + "--frames 250:350:50 --out " + (dir / "s.png").string());
    ASSERT_EQ(run.nStatus, 0) << run.strErr;
    EXPECT_EQ(run.strErr.find('\r'), std::string::npos) << "no progress without a terminal";
    EXPECT_EQ(std::count(run.strErr.begin(), run.strErr.end(), '\n'), 1) << run.strErr;
    // s-0001.png to s-0003.png, nothing else.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 3);
    const auto frame = [&](int k) {
        return readPicture(dir / ("s-000" + std::to_string(k) + ".png"));
    };
    // Each is what a view shows after the same selection changes: one context and one renderer
    // throughout, the selection set and the range checked again before each frame.
    CSyntheticOptionsqv synthetic;
    synthetic.nMegChannels = 60;
    auto pRecording = makeSyntheticRecording(synthetic);
    ASSERT_TRUE(pRecording->setSelect(250));
    CGLOfflineContextqv context;
    std::string error;
    ASSERT_TRUE(context.open(96, 80, error)) << error;
    CShow3DCntMapqv map;
    map.setMegData(pRecording.get());
    for (int k = 0; k < 3; ++k) {
        ASSERT_TRUE(pRecording->setSelect(250 + 50 * k));
        map._checkSensorPosVlm();
        ASSERT_TRUE(context.renderFrame([&]() { map.show3DCntMap(); }));
        const QImage view(context.target()->getImage().data(), 96, 80, QImage::Format_RGBA8888);
        EXPECT_EQ(frame(k + 1), view) << "frame " << k + 1;
    }

    // A single frame is a sequence too; with a colour bar every frame has the same size,
    // whatever its labels say.
    ASSERT_EQ(render(strArgs + "--frames 400:400:1 --out " + out("one.png").string()).nStatus, 0);
    EXPECT_TRUE(fs::exists(out("one-0001.png")));
    ASSERT_EQ(render(strArgs + "--colorbar --frames 0:400:200 --out " + out("b").string()).nStatus,
              0);
    for (const char* pszName : {"b-0001.png", "b-0002.png", "b-0003.png"})
        EXPECT_EQ(readPicture(out(pszName)).width(), 96 + 160) << pszName;
}

} // namespace
