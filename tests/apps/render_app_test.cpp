// contourmap-render as a user runs it: exit status, the one-line errors and the PNGs it writes.

#include "testtempdir.h"

#include "glofflinecontext.h"
#include "index2color.h"
#include "show3dcntmap.h"
#include "smoothfieldmap.h"
#include "syntheticrecording.h"

#include <GL/gl.h>
#include <GL/glu.h>
#include <gtest/gtest.h>
#include <png.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/wait.h>

namespace {

namespace fs = std::filesystem;

struct SRun {
    int nStatus = -1;
    std::string strErr;    // the first line
    std::string strErrAll; // everything
};

SRun _run(const std::string& strArgs, const std::string& strEnvironment = "") {
    const fs::path errFile = testTempDir() / "render-stderr.txt";
    const std::string strCommand = strEnvironment + " " + std::string(CM3D_RENDER_EXE) + " " +
                                   strArgs + " >/dev/null 2>" + errFile.string();
    SRun run;
    const int nRaw = std::system(strCommand.c_str());
    run.nStatus = WIFEXITED(nRaw) ? WEXITSTATUS(nRaw) : -1;
    std::ifstream in(errFile);
    std::stringstream all;
    all << in.rdbuf();
    run.strErrAll = all.str();
    run.strErr = run.strErrAll.substr(0, run.strErrAll.find('\n'));
    return run;
}

bool _readPng(const fs::path& path, int& nWidth, int& nHeight, std::vector<unsigned char>& rgba) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) {
        return false;
    }
    image.format = PNG_FORMAT_RGBA;
    rgba.resize(PNG_IMAGE_SIZE(image));
    nWidth = static_cast<int>(image.width);
    nHeight = static_cast<int>(image.height);
    return png_image_finish_read(&image, nullptr, rgba.data(), 0, nullptr) != 0;
}

struct SImage {
    int nWidth = 0, nHeight = 0;
    std::vector<unsigned char> rgba;

    bool read(const fs::path& path) { return _readPng(path, nWidth, nHeight, rgba); }
    std::array<int, 3> at(int x, int y) const {
        const unsigned char* p = rgba.data() + (static_cast<std::size_t>(y) * nWidth + x) * 4;
        return {p[0], p[1], p[2]};
    }
    bool lit(int x, int y) const {
        const std::array<int, 3> c = at(x, y);
        return c[0] + c[1] + c[2] > 0;
    }
    int litIn(int x0, int y0, int x1, int y1) const {
        int n = 0;
        for (int y = std::max(y0, 0); y <= std::min(y1, nHeight - 1); ++y)
            for (int x = std::max(x0, 0); x <= std::min(x1, nWidth - 1); ++x)
                n += lit(x, y) ? 1 : 0;
        return n;
    }
};

std::array<int, 3> _rgb(const float* pColor) {
    return {static_cast<int>(std::lround(pColor[0] * 255)),
            static_cast<int>(std::lround(pColor[1] * 255)),
            static_cast<int>(std::lround(pColor[2] * 255))};
}

class RenderApp : public testing::Test {
protected:
    fs::path out(const char* pszName) { return testTempDir() / pszName; }
};

TEST_F(RenderApp, EachMapOfTheSyntheticRecordingBecomesAPicture) {
    for (const char* pszMap : {"time", "frequency", "spectral"}) {
        SCOPED_TRACE(pszMap);
        const fs::path png = out((std::string(pszMap) + ".png").c_str());
        fs::remove(png);
        const SRun run = _run(std::string("--map ") + pszMap +
                              " --size 160x120 --synthetic-channels 120 --out " + png.string());
        ASSERT_EQ(run.nStatus, 0) << run.strErr;
        int nWidth = 0, nHeight = 0;
        std::vector<unsigned char> rgba;
        ASSERT_TRUE(_readPng(png, nWidth, nHeight, rgba));
        EXPECT_EQ(nWidth, 160);
        EXPECT_EQ(nHeight, 120);
        // Warm sensors: some pixels are clearly red.
        int nWarm = 0;
        for (std::size_t i = 0; i + 3 < rgba.size(); i += 4) {
            nWarm += rgba[i] > rgba[i + 2] + 60;
        }
        EXPECT_GT(nWarm, 20);
    }
}

TEST_F(RenderApp, SwitchesChangeThePicture) {
    const fs::path full = out("full.png"), bare = out("bare.png");
    ASSERT_EQ(_run("--size 80x80 --out " + full.string()).nStatus, 0);
    ASSERT_EQ(_run("--size 80x80 --no-sensors --no-surface --no-fiducials --out " + bare.string())
                  .nStatus,
              0);
    int w = 0, h = 0;
    std::vector<unsigned char> a, b;
    ASSERT_TRUE(_readPng(full, w, h, a));
    ASSERT_TRUE(_readPng(bare, w, h, b));
    int nLitFull = 0, nLitBare = 0;
    for (std::size_t i = 0; i + 3 < a.size(); i += 4) {
        nLitFull += a[i] + a[i + 1] + a[i + 2] > 30;
        nLitBare += b[i] + b[i + 1] + b[i + 2] > 30;
    }
    EXPECT_GT(nLitFull, 500);
    EXPECT_EQ(nLitBare, 0);
}

TEST_F(RenderApp, BadInputGivesOneLineAndStatusTwo) {
    const fs::path broken = out("broken.json");
    std::ofstream(broken) << "{\"channels\": [";
    const struct {
        const char* pszArgs;
        const char* pszNeedle;
    } cases[] = {
        {"--map sideways", "--map"},
        {"--size 0x10", "--size"},
        {"--size banana", "--size"},
        {"--cell 3", "--cell"},
        {"--rotate 1", "--rotate"},
        {"--distance -5", "--distance"},
        {"--sample 999999", "--sample"},
        {"--bin 100000", "--bin"},
        {"--cell 500,2 --map spectral", "--cell"},
        {"--channel 100000", "--channel"},
        {"--bogus", "bogus"},
        {"--recording /nonexistent/rec.json", "/nonexistent/rec.json"},
        {"--out /nonexistent/dir/map.png", "/nonexistent/dir/map.png"},
        {"--frames 5:2:1", "--frames"},
        {"--frames 0:10:0", "--frames"},
        {"--frames 1:2", "--frames"},
        {"--frames 0:x:1", "--frames"},
        {"--frames 0:1000:1", "--frames"},
        {"--frames 0:3:1 --map frequency", "--frames"},
        {"--frames 0:3:1 --sample 2", "--frames"},
        {"--frames 0:3:1 --out /nonexistent/dir/f.png", "/nonexistent/dir/f-0001.png"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pszArgs);
        const SRun run = _run(c.pszArgs);
        EXPECT_EQ(run.nStatus, 2);
        EXPECT_NE(run.strErr.find("contourmap-render: error:"), std::string::npos) << run.strErr;
        EXPECT_NE(run.strErr.find(c.pszNeedle), std::string::npos) << run.strErr;
    }
    const SRun run = _run("--recording " + broken.string());
    EXPECT_EQ(run.nStatus, 2);
    EXPECT_NE(run.strErr.find(broken.string()), std::string::npos) << run.strErr;

    // No EGL vendor at all: the context cannot be made.
    const SRun noGL = _run("--out " + out("nogl.png").string(),
                           "__EGL_VENDOR_LIBRARY_FILENAMES=/nonexistent.json");
    EXPECT_EQ(noGL.nStatus, 2);
    EXPECT_NE(noGL.strErr.find("OpenGL context"), std::string::npos) << noGL.strErr;
    EXPECT_FALSE(fs::exists(out("nogl.png")));
}

TEST_F(RenderApp, ColourBarWidensThePictureAndShowsTheRenderersColours) {
    const std::string strArgs = "--size 200x240 --synthetic-channels 120 ";
    const fs::path plainPng = out("plain.png"), barPng = out("bar.png");
    ASSERT_EQ(_run(strArgs + "--out " + plainPng.string()).nStatus, 0);
    const SRun run = _run(strArgs + "--colorbar --out " + barPng.string());
    ASSERT_EQ(run.nStatus, 0) << run.strErr;
    EXPECT_EQ(run.strErrAll.find("Qt"), std::string::npos) << run.strErrAll;
    SImage plain, bar;
    ASSERT_TRUE(plain.read(plainPng) && bar.read(barPng));
    EXPECT_GE(bar.nWidth, 200 + 160);
    ASSERT_EQ(bar.nHeight, 240);
    int nChanged = 0;
    for (int y = 0; y < 240; ++y)
        for (int x = 0; x < 200; ++x)
            nChanged += plain.at(x, y) != bar.at(x, y) ? 1 : 0;
    EXPECT_EQ(nChanged, 0) << "the map keeps its size and pixels";

    // The bar: the first lit column right of the map at mid height, then up and down it.
    int xBar = 200;
    while (xBar < bar.nWidth && !bar.lit(xBar, 120))
        ++xBar;
    ASSERT_LT(xBar, 200 + 40);
    xBar += 3;
    int yTop = 0, yBottom = 239;
    while (yTop < 240 && !bar.lit(xBar, yTop))
        ++yTop;
    while (yBottom > yTop && !bar.lit(xBar, yBottom))
        --yBottom;
    ASSERT_GT(yBottom - yTop, 150);

    // What the renderer makes of the same recording: its extremes are twice the thresholds.
    CSyntheticOptionsqv synthetic;
    synthetic.nMegChannels = 120;
    auto pRecording = makeSyntheticRecording(synthetic);
    CShow3DCntMapqv map;
    map.setMegData(pRecording.get());
    ASSERT_TRUE(map._checkSensorPosVlm());
    const auto entry = [](double dExtreme, double dThreshold, double dStep) {
        const double dSteps = std::fabs((static_cast<float>(dExtreme) - dThreshold) / dStep);
        return std::min(511, static_cast<int>(dSteps));
    };
    const int nTop = entry(2 * map.m_dColorMax, map.m_dColorMax, map.m_dColorStepMax);
    const int nBottom = entry(2 * map.m_dColorMin, map.m_dColorMin, map.m_dColorStepMin);
    EXPECT_NEAR(nTop, 380, 1);
    const CIndex2ColorOpenGLqv tables;
    EXPECT_EQ(bar.at(xBar, yTop), _rgb(tables.m_pColorTableMax[nTop]));
    EXPECT_EQ(bar.at(xBar, yBottom), _rgb(tables.m_pColorTableMin[nBottom]));
    int nNeutral = 0;
    for (int y = yTop; y <= yBottom; ++y)
        nNeutral += bar.at(xBar, y) == std::array<int, 3>{128, 128, 128} ? 1 : 0;
    EXPECT_GT(nNeutral, 20) << "values between the thresholds";
    // Tick labels right of the bar.
    EXPECT_GT(bar.litIn(xBar + 20, 0, bar.nWidth - 1, 239), 100);
}

TEST_F(RenderApp, LabelsNameTheSensorsFacingTheCamera) {
    const fs::path recording = out("two.json");
    std::ofstream(recording) << R"({"channels": [
        {"name": "MEG0111", "kind": "meg", "coils": [[80, 40, 60]], "samples": [1, 2]},
        {"name": "MEG0222", "kind": "meg", "coils": [[-80, -40, -60]], "samples": [3, 4]}]})";
    const std::string strArgs = "--recording " + recording.string() +
                                " --size 400x400 --no-sensors --no-surface --no-fiducials ";
    const fs::path bare = out("nolabels.png"), labelled = out("labels.png");
    ASSERT_EQ(_run(strArgs + "--out " + bare.string()).nStatus, 0);
    const SRun run = _run(strArgs + "--labels --out " + labelled.string());
    ASSERT_EQ(run.nStatus, 0) << run.strErr;
    SImage without, with;
    ASSERT_TRUE(without.read(bare) && with.read(labelled));
    ASSERT_EQ(with.nWidth, 400);
    EXPECT_EQ(without.litIn(0, 0, 399, 399), 0);

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
    const double aadPos[2][3] = {{80, 40, 60}, {-80, -40, -60}};
    for (int k = 0; k < 2; ++k) {
        gluProject(aadPos[k][0], aadPos[k][1], aadPos[k][2], adModel, adProj, anViewport, &adX[k],
                   &adY[k], &adDepth[k]);
        adY[k] = anViewport[3] - adY[k];
    }
    const int nFront = adDepth[0] < adDepth[1] ? 0 : 1, nBack = 1 - nFront;
    const auto nearby = [&](int k) {
        const int x = static_cast<int>(adX[k]), y = static_cast<int>(adY[k]);
        return with.litIn(x, y - 8, x + 70, y + 8);
    };
    EXPECT_GT(nearby(nFront), 15) << "the name of the sensor in front";
    EXPECT_EQ(nearby(nBack), 0) << "the sensor behind the head";
}

TEST_F(RenderApp, SmoothSurfaceWithIsolinesAndEitherColourScale) {
    const std::string strArgs = "--size 240x240 --synthetic-channels 120 --rotate -20,55 ";
    const auto render = [&](const std::string& strMore, const char* pszName) {
        const SRun run = _run(strArgs + strMore + " --out " + out(pszName).string());
        EXPECT_EQ(run.nStatus, 0) << strMore << ": " << run.strErr;
        SImage image;
        EXPECT_TRUE(image.read(out(pszName))) << pszName;
        return image;
    };
    const SImage fans = render("", "fans.png");
    const SImage plain = render("--surface smooth --isolines 0", "smooth0.png");
    const SImage lined = render("--surface smooth --isolines 10", "smooth10.png");
    const SImage continuous = render("--surface smooth --colors continuous --colorbar", "cont.png");
    ASSERT_EQ(plain.nWidth, 240);
    EXPECT_NE(fans.rgba, plain.rgba);
    EXPECT_EQ(render("--surface smooth --isolines 0 --colors continuous", "c0.png").rgba,
              plain.rgba) << "the smooth map opens on the continuous scale";
    EXPECT_NE(render("--surface smooth --isolines 0 --colors thresholds", "t0.png").rgba,
              plain.rgba);
    // Isolines are dark lines across the coloured surface.
    const auto dark = [](const SImage& image) {
        int n = 0;
        for (int y = 0; y < image.nHeight; ++y)
            for (int x = 0; x < 240; ++x) {
                const auto c = image.at(x, y);
                n += image.lit(x, y) && c[0] + c[1] + c[2] < 90 ? 1 : 0;
            }
        return n;
    };
    EXPECT_GT(dark(lined), dark(plain) + 100);

    // Continuous colours: both poles of the evoked field, and a bar from the reddest colour at
    // the top through white to the bluest at the bottom.
    int nWarm = 0, nCool = 0;
    for (int y = 0; y < 240; ++y)
        for (int x = 0; x < 240; ++x) {
            const auto c = continuous.at(x, y);
            nWarm += c[0] > c[2] + 60 ? 1 : 0;
            nCool += c[2] > c[0] + 60 ? 1 : 0;
        }
    EXPECT_GT(nWarm, 50);
    EXPECT_GT(nCool, 50);
    int xBar = 240;
    while (xBar < continuous.nWidth && !continuous.lit(xBar, 120))
        ++xBar;
    xBar += 3;
    int yTop = 0, yBottom = 239;
    while (yTop < 240 && !continuous.lit(xBar, yTop))
        ++yTop;
    while (yBottom > yTop && !continuous.lit(xBar, yBottom))
        --yBottom;
    ASSERT_GT(yBottom - yTop, 100);
    float afRed[4], afBlue[4], afWhite[4];
    CSmoothFieldMap::continuousColor(1.0, afRed);
    CSmoothFieldMap::continuousColor(-1.0, afBlue);
    CSmoothFieldMap::continuousColor(0.0, afWhite);
    EXPECT_EQ(continuous.at(xBar, yTop), _rgb(afRed));
    EXPECT_EQ(continuous.at(xBar, yBottom), _rgb(afBlue));
    const auto mid = continuous.at(xBar, (yTop + yBottom) / 2);
    const auto white = _rgb(afWhite);
    for (int k = 0; k < 3; ++k)
        EXPECT_NEAR(mid[k], white[k], 12) << "zero lies half-way";

    // A sequence draws the smooth map in every frame.
    const SRun frames =
        _run(strArgs + "--surface smooth --frames 100:102:1 --out " + out("sf.png").string());
    ASSERT_EQ(frames.nStatus, 0) << frames.strErr;
    for (const char* pszFile : {"sf-0001.png", "sf-0002.png", "sf-0003.png"})
        EXPECT_TRUE(fs::exists(out(pszFile))) << pszFile;
}

TEST_F(RenderApp, SmoothSurfaceOptionsAndRecordingsItCannotDraw) {
    const std::pair<const char*, const char*> cases[] = {
        {"--surface cubes", "--surface must be fans or smooth, not 'cubes'"},
        {"--surface smooth --colors rainbow",
         "--colors must be thresholds or continuous, not 'rainbow'"},
        {"--surface smooth --isolines 101", "--isolines must be a whole number from 0 to 100"},
        {"--colors continuous",
         "--isolines and --colors draw the smooth map; add --surface smooth"},
        {"--isolines 4", "--isolines and --colors draw the smooth map; add --surface smooth"},
    };
    for (const auto& [pszArgs, pszLine] : cases) {
        const SRun run = _run(std::string(pszArgs) + " --out " + out("x.png").string());
        EXPECT_EQ(run.nStatus, 2) << pszArgs;
        EXPECT_EQ(run.strErr,
                  std::string("contourmap-render: error: ") + pszLine + " (see --help)");
    }
    const fs::path two = out("two-sensors.json");
    std::ofstream(two) << R"({"channels": [
        {"name": "MEG0111", "kind": "meg", "coils": [[80, 40, 60]], "samples": [1, 2]},
        {"name": "MEG0222", "kind": "meg", "coils": [[-80, -40, 60]], "samples": [3, 4]}]})";
    const SRun run =
        _run("--recording " + two.string() + " --surface smooth --out " + out("two.png").string());
    EXPECT_EQ(run.nStatus, 2);
    EXPECT_EQ(run.strErr.rfind("contourmap-render: error: the smooth map cannot be drawn: ", 0), 0u)
        << run.strErr;
    EXPECT_FALSE(fs::exists(out("two.png")));
}

TEST_F(RenderApp, FramesAreANumberedSequenceThroughTheSamples) {
    const fs::path dir = out("frames");
    fs::create_directories(dir);
    const std::string strArgs = "--size 96x80 --synthetic-channels 60 ";
    const SRun run = _run(strArgs + "--frames 250:350:50 --out " + (dir / "seq.png").string());
    ASSERT_EQ(run.nStatus, 0) << run.strErr;
    EXPECT_EQ(run.strErrAll.find('\r'), std::string::npos) << "no progress without a terminal";
    EXPECT_EQ(std::count(run.strErrAll.begin(), run.strErrAll.end(), '\n'), 1) << run.strErrAll;
    std::vector<std::string> aNames;
    for (const auto& entry : fs::directory_iterator(dir))
        aNames.push_back(entry.path().filename().string());
    std::sort(aNames.begin(), aNames.end());
    ASSERT_EQ(aNames, (std::vector<std::string>{"seq-0001.png", "seq-0002.png", "seq-0003.png"}));
    SImage aFrames[3];
    for (int k = 0; k < 3; ++k) {
        ASSERT_TRUE(aFrames[k].read(dir / aNames[k]));
        EXPECT_EQ(aFrames[k].nWidth, 96);
        EXPECT_EQ(aFrames[k].nHeight, 80);
    }
    EXPECT_NE(aFrames[0].rgba, aFrames[2].rgba) << "samples 250 and 350 differ";
    // The first frame is the picture of its sample on its own.
    const fs::path single = out("sample250.png");
    ASSERT_EQ(_run(strArgs + "--sample 250 --out " + single.string()).nStatus, 0);
    SImage alone;
    ASSERT_TRUE(alone.read(single));
    EXPECT_EQ(aFrames[0].rgba, alone.rgba);
    // The others are what a view shows after the same selection changes: one context and one
    // renderer throughout, the selection set and the range checked again before each frame.
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
        EXPECT_EQ(aFrames[k].rgba, context.target()->getImage()) << "frame " << k + 1;
    }

    // With a colour bar every frame has the same size, whatever its labels say.
    const fs::path barDir = out("barframes");
    fs::create_directories(barDir);
    ASSERT_EQ(
        _run(strArgs + "--colorbar --frames 0:400:200 --out " + (barDir / "b").string()).nStatus,
        0);
    for (const char* pszName : {"b-0001.png", "b-0002.png", "b-0003.png"}) {
        SImage frame;
        ASSERT_TRUE(frame.read(barDir / pszName)) << pszName;
        EXPECT_EQ(frame.nWidth, 96 + 160) << pszName;
    }
}

TEST_F(RenderApp, HelpListsTheOptions) {
    const fs::path help = out("help.txt");
    const int nRaw =
        std::system((std::string(CM3D_RENDER_EXE) + " --help >" + help.string()).c_str());
    ASSERT_TRUE(WIFEXITED(nRaw));
    EXPECT_EQ(WEXITSTATUS(nRaw), 0);
    std::ifstream in(help);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    for (const char* pszOption :
         {"--recording", "--map", "--cell", "--no-autofit-place", "--mark-selection", "--colorbar",
          "--labels", "--frames", "--out"}) {
        EXPECT_NE(text.find(pszOption), std::string::npos) << pszOption;
    }
}

} // namespace
