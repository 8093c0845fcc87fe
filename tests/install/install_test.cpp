#include "testtempdir.h"

#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace {

// Runs a shell command with its output kept in a log; true on exit status 0.
bool run(const std::string& strCommand, const std::filesystem::path& log) {
    const std::string strFull = strCommand + " > '" + log.string() + "' 2>&1";
    return std::system(strFull.c_str()) == 0;
}

std::string slurp(const std::filesystem::path& path) {
    std::ifstream in(path);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

struct SImage {
    int nWidth = 0;
    int nHeight = 0;
    std::vector<unsigned char> rgba;
    const unsigned char* at(int x, int y) const { return &rgba[(y * nWidth + x) * 4]; }
};

bool readPng(const std::filesystem::path& path, SImage& image) {
    png_image png{};
    png.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&png, path.c_str()))
        return false;
    png.format = PNG_FORMAT_RGBA;
    image.nWidth = static_cast<int>(png.width);
    image.nHeight = static_cast<int>(png.height);
    image.rgba.resize(PNG_IMAGE_SIZE(png));
    return png_image_finish_read(&png, nullptr, image.rgba.data(), 0, nullptr) != 0;
}

class InstalledPackage : public testing::Test {
protected:
    static void SetUpTestSuite() {
        s_prefix = testTempDir() / "prefix";
        const std::string strCMake = CM3D_CMAKE_COMMAND;
        s_bInstalled = run("'" + strCMake + "' --install '" CM3D_BINARY_DIR "' --prefix '" +
                               s_prefix.string() + "'",
                           testTempDir() / "install.log");
    }
    // Configures and builds examples/NAME against the installed package; the program's path,
    // or empty with the log in strLog.
    static std::filesystem::path buildHost(const std::string& strName, std::string& strLog) {
        const std::filesystem::path build = testTempDir() / (strName + "-build");
        const std::filesystem::path log = testTempDir() / (strName + ".log");
        const std::string strCMake = CM3D_CMAKE_COMMAND;
        const bool bBuilt =
            run("'" + strCMake + "' -S '" CM3D_SOURCE_DIR "/examples/" + strName + "' -B '" +
                    build.string() + "' -G '" CM3D_GENERATOR "' -DCMAKE_PREFIX_PATH='" +
                    s_prefix.string() + "'",
                log) &&
            run("'" + strCMake + "' --build '" + build.string() + "'", log);
        strLog = slurp(log);
        return bBuilt ? build / strName : std::filesystem::path();
    }

    static std::filesystem::path s_prefix;
    static bool s_bInstalled;
};

std::filesystem::path InstalledPackage::s_prefix;
bool InstalledPackage::s_bInstalled = false;

TEST_F(InstalledPackage, AHostOutsideTheBuildFindsItBuildsAndDrawsTheMap) {
    ASSERT_TRUE(s_bInstalled) << slurp(testTempDir() / "install.log");
    std::string strLog;
    const std::filesystem::path host = buildHost("minimal-host", strLog);
    ASSERT_FALSE(host.empty()) << strLog;
    const std::filesystem::path png = testTempDir() / "host.png";
    const std::filesystem::path log = testTempDir() / "host.log";
    ASSERT_TRUE(run("'" + host.string() + "' '" + png.string() + "'", log)) << slurp(log);

    SImage image;
    ASSERT_TRUE(readPng(png, image));
    ASSERT_EQ(image.nWidth, 400);
    ASSERT_EQ(image.nHeight, 400);
    // Seen from above: the strong positive centre sensor is warm, the ring's most negative
    // sensors are cool, and the corners are background.
    const unsigned char* centre = image.at(200, 200);
    EXPECT_GT(centre[0], centre[2] + 40);
    const unsigned char* corner = image.at(5, 5);
    EXPECT_LT(corner[0] + corner[1] + corner[2], 30);
    int nCool = 0;
    for (int y = 0; y < image.nHeight; ++y)
        for (int x = 0; x < image.nWidth; ++x) {
            const unsigned char* p = image.at(x, y);
            nCool += p[2] > p[0] + 60;
        }
    EXPECT_GT(nCool, 100);
}

// The Qt host opens the time-domain dialog offscreen; its picture shows the dialog with the map
// drawn: warm sensors and cool ones on the black map area.
TEST_F(InstalledPackage, AQtHostOpensAMapDialogThroughTheDialogFacade) {
    ASSERT_TRUE(s_bInstalled) << slurp(testTempDir() / "install.log");
    std::string strLog;
    const std::filesystem::path host = buildHost("dialog-host", strLog);
    ASSERT_FALSE(host.empty()) << strLog;
    const std::filesystem::path png = testTempDir() / "dialog.png";
    const std::filesystem::path log = testTempDir() / "dialog.log";
    ASSERT_TRUE(
        run("QT_QPA_PLATFORM=offscreen '" + host.string() + "' '" + png.string() + "'", log))
        << slurp(log);
    EXPECT_NE(slurp(log).find("Time-domain 3D Contour Map"), std::string::npos) << slurp(log);

    SImage image;
    ASSERT_TRUE(readPng(png, image));
    EXPECT_GT(image.nWidth, 400);
    EXPECT_GT(image.nHeight, 400);
    int nWarm = 0, nCool = 0, nBlack = 0;
    for (int y = 0; y < image.nHeight; ++y)
        for (int x = 0; x < image.nWidth; ++x) {
            const unsigned char* p = image.at(x, y);
            nWarm += p[0] > p[2] + 60;
            nCool += p[2] > p[0] + 60;
            nBlack += p[0] + p[1] + p[2] < 30;
        }
    EXPECT_GT(nWarm, 100);
    EXPECT_GT(nCool, 100);
    EXPECT_GT(nBlack, 10000);
}

// Every installed header compiles with the installed folder alone: none reaches for a header
// of the window layer, views, dialogs or the renderer's insides, which a host does not get.
TEST_F(InstalledPackage, TheInstalledHeadersStandOnTheirOwn) {
    ASSERT_TRUE(s_bInstalled) << slurp(testTempDir() / "install.log");
    const std::filesystem::path include = s_prefix / "include" / "contourmap3d";
    const std::filesystem::path source = testTempDir() / "all-headers.cpp";
    std::ofstream out(source);
    int nHeaders = 0;
    for (const auto& entry : std::filesystem::directory_iterator(include)) {
        out << "#include \"" << entry.path().filename().string() << "\"\n";
        ++nHeaders;
    }
    out.close();
    EXPECT_GE(nHeaders, 20);
    const std::filesystem::path log = testTempDir() / "headers.log";
    EXPECT_TRUE(run("'" CM3D_CXX_COMPILER "' -std=c++17 -fsyntax-only -I'" + include.string() +
                        "' '" + source.string() + "'",
                    log))
        << slurp(log);
}

TEST_F(InstalledPackage, PkgConfigNamesTheInstalledHeadersAndLibraries) {
    ASSERT_TRUE(s_bInstalled) << slurp(testTempDir() / "install.log");
    const std::filesystem::path log = testTempDir() / "pkg.log";
    ASSERT_TRUE(run("PKG_CONFIG_PATH='" + (s_prefix / "lib/pkgconfig").string() + ":" +
                        (s_prefix / "lib/x86_64-linux-gnu/pkgconfig").string() +
                        "' pkg-config --cflags --libs contourmap3d-core",
                    log))
        << slurp(log);
    const std::string strFlags = slurp(log);
    const size_t nInclude = strFlags.find("-I");
    ASSERT_NE(nInclude, std::string::npos) << strFlags;
    const std::string strDir =
        strFlags.substr(nInclude + 2, strFlags.find(' ', nInclude) - nInclude - 2);
    EXPECT_TRUE(std::filesystem::exists(std::filesystem::path(strDir) / "3drenddlgface.h"))
        << strFlags;
    EXPECT_NE(strFlags.find("-lcontourmap3d_core"), std::string::npos) << strFlags;
}

} // namespace
