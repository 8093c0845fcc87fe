// The in-process half of bench/compare_mne:
//   compare-mne-ours export N FILE.json
//       writes the synthetic recording of N MEG channels as a JSON recording, which the script
//       hands to MNE-Python as well, so both draw the same sensors and values;
//   compare-mne-ours time FILE.json RUNS [WIDTH HEIGHT]
//       times, RUNS times after a warm-up, a selection change of the time-domain map to finished
//       pixels on the default EGL device: select the recording's selected sample, range check,
//       the whole show sequence inside frame begin and end, read-back; one JSON line on stdout;
//   compare-mne-ours smooth FILE.json RUNS [WIDTH HEIGHT]
//       the same for the smooth field map (continuous colours, default isolines) drawn from the
//       range-checked renderer; its surface is made during the warm-up, as a view makes it on
//       its first paint.
// Between timed runs a neighbouring sample is selected (untimed), so every timed run is a real
// change back to the sample MNE-Python is given.

#include "glofflinecontext.h"
#include "megdata.h"
#include "recordingjson.h"
#include "show3dcntmap.h"
#include "smoothfieldmap.h"
#include "syntheticrecording.h"

#include <GL/gl.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

int _usage() {
    std::fprintf(stderr, "usage: compare-mne-ours export CHANNELS FILE.json\n"
                         "       compare-mne-ours time FILE.json RUNS [WIDTH HEIGHT]\n"
                         "       compare-mne-ours smooth FILE.json RUNS [WIDTH HEIGHT]\n");
    return 2;
}

int _fail(const std::string& strWhy) {
    std::fprintf(stderr, "compare-mne-ours: %s\n", strWhy.c_str());
    return 1;
}

int _export(int nChannels, const std::string& strPath) {
    CSyntheticOptionsqv options;
    options.nMegChannels = nChannels;
    std::unique_ptr<CMEGDataqv> pData = makeSyntheticRecording(options);
    if (!pData) {
        return _fail("no synthetic recording of " + std::to_string(nChannels) + " channels");
    }
    std::string error;
    if (!saveRecordingJson(*pData, strPath, error)) {
        return _fail(error);
    }
    return 0;
}

int _time(const std::string& strPath, int nRuns, int nWidth, int nHeight, bool bSmooth) {
    std::string error;
    std::unique_ptr<CMEGDataqv> pData = loadRecordingJson(strPath, error);
    if (!pData) {
        return _fail(error);
    }
    std::int64_t nSample = 0, nEnd = 0;
    pData->getSelect(nSample, nEnd);
    const std::int64_t nOther = nSample > 0 ? nSample - 1 : nSample + 1;

    // Loaded as the time-domain view loads it.
    CShow3DCntMapqv map;
    int bMarkSelection = 0;
    map.m_pMarkSelection = &bMarkSelection;
    map.setMegData(pData.get());
    CGLOfflineContextqv context;
    if (!context.open(nWidth, nHeight, error)) {
        return _fail("no OpenGL context: " + error);
    }
    // What the frames are drawn with, for the report.
    context.makeCurrent();
    const auto* pszRenderer = reinterpret_cast<const char*>(glGetString(GL_RENDERER));
    const auto* pszVersion = reinterpret_cast<const char*>(glGetString(GL_VERSION));
    const std::string strRenderer = pszRenderer ? pszRenderer : "";
    const std::string strVersion = pszVersion ? pszVersion : "";
    CSmoothFieldMap smooth;
    smooth.setColorMode(CSmoothFieldMap::colorContinuous);
    auto selectionToPixels = [&](std::int64_t n) {
        pData->setSelect(n);
        map._checkSensorPosVlm();
        return context.renderFrame([&] {
            if (bSmooth) {
                smooth.draw(map, CSmoothFieldMap::kindTime);
            } else {
                map.show3DCntMap();
            }
        });
    };

    const int nWarmUp = 3;
    std::vector<double> aMs;
    for (int i = -nWarmUp; i < nRuns; ++i) {
        if (!selectionToPixels(nOther)) {
            return _fail("frame failed: " + context.getLastError());
        }
        const auto t0 = std::chrono::steady_clock::now();
        const int bDone = selectionToPixels(nSample);
        const auto t1 = std::chrono::steady_clock::now();
        if (!bDone) {
            return _fail("frame failed: " + context.getLastError());
        }
        if (i >= 0) {
            aMs.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
        }
    }
    // The strings come from the driver and hold no quotes or backslashes.
    std::printf("{\"gl_renderer\": \"%s\", \"gl_version\": \"%s\", \"sample\": %lld, "
                "\"width\": %d, \"height\": %d, \"times_ms\": [",
                strRenderer.c_str(), strVersion.c_str(), static_cast<long long>(nSample), nWidth,
                nHeight);
    for (std::size_t i = 0; i < aMs.size(); ++i) {
        std::printf("%s%.4f", i == 0 ? "" : ", ", aMs[i]);
    }
    std::printf("]}\n");
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 3 && args[0] == "export") {
        return _export(std::atoi(args[1].c_str()), args[2]);
    }
    if ((args.size() == 3 || args.size() == 5) && (args[0] == "time" || args[0] == "smooth")) {
        const int nRuns = std::atoi(args[2].c_str());
        const int nWidth = args.size() == 5 ? std::atoi(args[3].c_str()) : 800;
        const int nHeight = args.size() == 5 ? std::atoi(args[4].c_str()) : 800;
        if (nRuns < 1 || nWidth < 1 || nHeight < 1) {
            return _usage();
        }
        return _time(args[1], nRuns, nWidth, nHeight, args[0] == "smooth");
    }
    return _usage();
}
