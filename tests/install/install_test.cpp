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
    static std::filesystem::path s_prefix;
    static bool s_bInstalled;
};

std::filesystem::path InstalledPackage::s_prefix;
bool InstalledPackage::s_bInstalled = false;

TEST_F(InstalledPackage, AHostOutsideTheBuildFindsItBuildsAndDrawsTheMap) {
    ASSERT_TRUE(s_bInstalled) << slurp(testTempDir() / "install.log");
    const std::filesystem::path build = testTempDir() / "host-build";
    const std::string strCMake = CM3D_CMAKE_COMMAND;
    const std::filesystem::path log = testTempDir() / "host.log";
    ASSERT_TRUE(run("'" + strCMake + "' -S '" CM3D_SOURCE_DIR "/examples/minimal-host' -B '" +
                        build.string() + "' -G '" CM3D_GENERATOR "' -DCMAKE_PREFIX_PATH='" +
                        s_prefix.string() + "'",
                    log))
        << slurp(log);
    ASSERT_TRUE(run("'" + strCMake + "' --build '" + build.string() + "'", log)) << slurp(log);
    const std::filesystem::path png = testTempDir() / "host.png";
    ASSERT_TRUE(run("'" + (build / "minimal-host").string() + "' '" + png.string() + "'", log))
        << slurp(log);

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
