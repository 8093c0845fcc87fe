// contourmap-render as a user runs it: exit status, the one-line errors and the PNG it writes.

#include "testtempdir.h"

#include <gtest/gtest.h>
#include <png.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/wait.h>

namespace {

namespace fs = std::filesystem;

struct SRun {
    int nStatus = -1;
    std::string strErr;
};

SRun _run(const std::string& strArgs, const std::string& strEnvironment = "") {
    const fs::path errFile = testTempDir() / "render-stderr.txt";
    const std::string strCommand = strEnvironment + " " + std::string(CM3D_RENDER_EXE) + " " +
                                   strArgs + " >/dev/null 2>" + errFile.string();
    SRun run;
    const int nRaw = std::system(strCommand.c_str());
    run.nStatus = WIFEXITED(nRaw) ? WEXITSTATUS(nRaw) : -1;
    std::ifstream in(errFile);
    std::getline(in, run.strErr);
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

TEST_F(RenderApp, HelpListsTheOptions) {
    const fs::path help = out("help.txt");
    const int nRaw =
        std::system((std::string(CM3D_RENDER_EXE) + " --help >" + help.string()).c_str());
    ASSERT_TRUE(WIFEXITED(nRaw));
    EXPECT_EQ(WEXITSTATUS(nRaw), 0);
    std::ifstream in(help);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    for (const char* pszOption :
         {"--recording", "--map", "--cell", "--no-autofit-place", "--mark-selection", "--out"}) {
        EXPECT_NE(text.find(pszOption), std::string::npos) << pszOption;
    }
}

} // namespace
