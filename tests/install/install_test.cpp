#include "testtempdir.h"

#include <QColor>
#include <QImage>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>

namespace {

// Runs a shell command with its output kept in a log; true on exit status 0.
bool run(const std::string& strCommand, const std::filesystem::path& log) {
    const std::string strFull = strCommand + " > '" + log.string() + "' 2>&1";
    return std::system(strFull.c_str()) == 0;
}

std::string slurp(const std::filesystem::path& path) {
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Pixels of the picture whose red, green and blue satisfy the predicate.
template <class F> int count(const QImage& image, F f) {
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            n += f(c.red(), c.green(), c.blue()) ? 1 : 0;
        }
    return n;
}

const auto warm = [](int r, int, int b) { return r > b + 60; };
const auto cool = [](int r, int, int b) { return b > r + 60; };

class InstalledPackage : public testing::Test {
protected:
    static void SetUpTestSuite() {
        s_prefix = testTempDir() / "prefix";
        const std::string strCMake = CM3D_CMAKE_COMMAND;
        s_bInstalled = run("'" + strCMake + "' --install '" CM3D_BINARY_DIR "' --prefix '" +
                               s_prefix.string() + "'",
                           testTempDir() / "install.log");
    }
    void SetUp() override { ASSERT_TRUE(s_bInstalled) << slurp(testTempDir() / "install.log"); }
    // Configures and builds examples/NAME against the installed package and runs it with the
    // path of the picture it writes; the failing step's log in strLog.
    static bool buildAndRun(const std::string& strName, const std::string& strEnv,
                            std::string& strLog) {
        const std::filesystem::path build = testTempDir() / (strName + "-build");
        const std::filesystem::path log = testTempDir() / (strName + ".log");
        const std::string strCMake = CM3D_CMAKE_COMMAND;
        const bool bDone =
            run("'" + strCMake + "' -S '" CM3D_SOURCE_DIR "/examples/" + strName + "' -B '" +
                    build.string() + "' -G '" CM3D_GENERATOR "' -DCMAKE_PREFIX_PATH='" +
                    s_prefix.string() + "'",
                log) &&
            run("'" + strCMake + "' --build '" + build.string() + "'", log) &&
            run(strEnv + "'" + (build / strName).string() + "' '" +
                    (testTempDir() / (strName + ".png")).string() + "'",
                log);
        strLog = slurp(log);
        return bDone;
    }

    static std::filesystem::path s_prefix;
    static bool s_bInstalled;
};

std::filesystem::path InstalledPackage::s_prefix;
bool InstalledPackage::s_bInstalled = false;

TEST_F(InstalledPackage, AHostOutsideTheBuildFindsItBuildsAndDrawsTheMap) {
    std::string strLog;
    ASSERT_TRUE(buildAndRun("minimal-host", "", strLog)) << strLog;
    const QImage image(QString::fromStdString((testTempDir() / "minimal-host.png").string()));
    ASSERT_EQ(image.size(), QSize(400, 400));
    // Seen from above: the strong positive centre sensor is warm, the ring's most negative
    // sensors are cool, and the corners are background.
    const QColor centre = image.pixelColor(200, 200), corner = image.pixelColor(5, 5);
    EXPECT_GT(centre.red(), centre.blue() + 40);
    EXPECT_LT(corner.red() + corner.green() + corner.blue(), 30);
    EXPECT_GT(count(image, cool), 100);
}

// The Qt host opens the time-domain dialog offscreen; its picture shows the dialog with the map
// drawn: warm sensors and cool ones on the black map area.
TEST_F(InstalledPackage, AQtHostOpensAMapDialogThroughTheDialogFacade) {
    std::string strLog;
    ASSERT_TRUE(buildAndRun("dialog-host", "QT_QPA_PLATFORM=offscreen ", strLog)) << strLog;
    EXPECT_NE(strLog.find("Time-domain 3D Contour Map"), std::string::npos) << strLog;
    const QImage image(QString::fromStdString((testTempDir() / "dialog-host.png").string()));
    EXPECT_TRUE(image.width() > 400 && image.height() > 400);
    EXPECT_GT(count(image, warm), 100);
    EXPECT_GT(count(image, cool), 100);
    EXPECT_GT(count(image, [](int r, int g, int b) { return r + g + b < 30; }), 10000);
}

// Every installed header compiles with the installed folder alone: none reaches for a header
// of the window layer, views, dialogs or the renderer's insides, which a host does not get.
// pkg-config names that folder and the library.
TEST_F(InstalledPackage, TheInstalledHeadersStandOnTheirOwnAndPkgConfigNamesThem) {
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
