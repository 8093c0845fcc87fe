// Frame sequences (contourmap-render --frames) against the time of one frame, on 800 x 800 maps of
// 306 channels: one frame in process (selection, range check, frame, read-back), the PNG encoding
// each frame of a sequence gets, and the command itself, whose frame rate should come close to
// what one frame's time allows while the encoding runs beside the rendering.
//
//   build/bench/bench_frames --benchmark_repetitions=5 --benchmark_report_aggregates_only=true

#include "glofflinecontext.h"
#include "megdata.h"
#include "glpngwrite.h"
#include "show3dcntmap.h"
#include "syntheticrecording.h"

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kChannels = 306;
constexpr int kSize = 800;
constexpr int kFirstSample = 150;
// Frames of the sequence beyond the first; the first run of the command renders only one, so
// the difference is the sequence without start-up (recording, context) and without the tail.
constexpr int kSequence = 60;

double _seconds(Clock::time_point a, Clock::time_point b) {
    return std::chrono::duration<double>(b - a).count();
}

// A map loaded as contourmap-render loads it, and its context.
struct SFrameSource {
    std::unique_ptr<CMEGDataqv> pData;
    CShow3DCntMapqv map;
    CGLOfflineContextqv context;
    bool bOpen = false;
    std::int64_t nSample = kFirstSample;

    SFrameSource() {
        CSyntheticOptionsqv options;
        options.nMegChannels = kChannels;
        pData = makeSyntheticRecording(options);
        pData->setSelect(nSample);
        map.setMegData(pData.get());
        std::string error;
        bOpen = pData != nullptr && context.open(kSize, kSize, error);
    }

    // The next sample of the sequence to pixels, as the command does before each frame.
    bool nextFrame() {
        nSample = nSample + 1 < kFirstSample + kSequence ? nSample + 1 : kFirstSample;
        pData->setSelect(nSample);
        map._checkSensorPosVlm();
        return context.renderFrame([&] { map.show3DCntMap(); }) != 0;
    }
};

SFrameSource& _source(benchmark::State& state) {
    static SFrameSource s_source;
    if (!s_source.bOpen) {
        state.SkipWithError("no offscreen context");
    }
    return s_source;
}

void BM_OneFrame(benchmark::State& state) {
    SFrameSource& source = _source(state);
    for (auto _ : state) {
        if (!source.nextFrame()) {
            state.SkipWithError("frame failed");
            break;
        }
    }
}

// What the encoder thread does with each frame of a sequence.
void BM_EncodeFramePng(benchmark::State& state) {
    SFrameSource& source = _source(state);
    source.nextFrame();
    const std::vector<unsigned char> rgba = source.context.target()->getImage();
    const fs::path path = fs::temp_directory_path() / "cm3d-bench-frame.png";
    std::string error;
    for (auto _ : state) {
        if (!writeRgbaPng(path.string(), rgba.data(), kSize, kSize, 1, error, EPngMode::fast)) {
            state.SkipWithError(error.c_str());
            break;
        }
    }
    state.counters["bytes"] = static_cast<double>(fs::file_size(path));
    fs::remove(path);
}

// Runs the command over nFrames frames into dir; its wall time in seconds, negative on failure.
double _runFrames(const fs::path& dir, int nFrames) {
    const std::string strCommand =
        std::string(CM3D_RENDER_EXE) + " --synthetic-channels " + std::to_string(kChannels) +
        " --size " + std::to_string(kSize) + "x" + std::to_string(kSize) + " --frames " +
        std::to_string(kFirstSample) + ":" + std::to_string(kFirstSample + nFrames - 1) +
        ":1 --out '" + (dir / "f.png").string() + "' >/dev/null 2>&1";
    const auto t0 = Clock::now();
    const int nStatus = std::system(strCommand.c_str());
    const auto t1 = Clock::now();
    return nStatus == 0 ? _seconds(t0, t1) : -1.0;
}

// The command's frame rate over the sequence, with one frame's time measured in process just
// before: "fps" is kSequence over the extra time the longer run took, "frame_ms" the median
// in-process frame, and "fps_x_frame" their product, 1 when a sequence runs at one frame's pace.
void BM_FramesCommand(benchmark::State& state) {
    SFrameSource& source = _source(state);
    const fs::path dir =
        fs::temp_directory_path() / ("cm3d-bench-frames-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    std::vector<double> aFrameMs, aFps, aProduct;
    for (auto _ : state) {
        std::vector<double> aOne;
        for (int i = 0; i < 9; ++i) {
            const auto t0 = Clock::now();
            source.nextFrame();
            aOne.push_back(_seconds(t0, Clock::now()) * 1000.0);
        }
        std::nth_element(aOne.begin(), aOne.begin() + 4, aOne.end());
        const double dShort = _runFrames(dir, 1);
        const double dLong = _runFrames(dir, 1 + kSequence);
        if (dShort < 0.0 || dLong <= dShort) {
            state.SkipWithError("contourmap-render --frames failed");
            break;
        }
        state.SetIterationTime(dLong);
        const double dFps = kSequence / (dLong - dShort);
        aFrameMs.push_back(aOne[4]);
        aFps.push_back(dFps);
        aProduct.push_back(dFps * aOne[4] / 1000.0);
    }
    fs::remove_all(dir);
    auto median = [](std::vector<double> v) {
        std::sort(v.begin(), v.end());
        return v.empty() ? 0.0 : v[v.size() / 2];
    };
    state.counters["frame_ms"] = median(aFrameMs);
    state.counters["fps"] = median(aFps);
    state.counters["fps_x_frame"] = median(aProduct);
}

} // namespace

BENCHMARK(BM_OneFrame)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_EncodeFramePng)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FramesCommand)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);

BENCHMARK_MAIN();
