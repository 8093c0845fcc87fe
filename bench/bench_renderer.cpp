// How long one paint of each map takes, and its parts, for recordings of growing size. The
// surface walks every pair of channels, so its cost grows with the square of the channel count.

#include "benchsupport.h"
#include "glofflinecontext.h"
#include "megdata.h"
#include "show3dcntmap.h"
#include "syntheticrecording.h"

#include <EGL/egl.h>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

namespace {

void BM_TimeDomainFrame(benchmark::State& state) {
    auto pData = benchRecording(static_cast<int>(state.range(0)));
    CShow3DCntMapqv map;
    map.setMegData(pData.get());
    map._checkSensorPosVlm();
    CGLOfflineContextqv& context = benchContext();
    for (auto _ : state) {
        context.renderFrame([&]() { map.show3DCntMap(); });
    }
}

void BM_FrequencyFrame(benchmark::State& state) {
    auto pData = benchRecording(static_cast<int>(state.range(0)));
    CShow3DCntMapqv map;
    map.setMegDataFrqc(pData.get());
    map._checkSensorPosVlmFrqc();
    CGLOfflineContextqv& context = benchContext();
    for (auto _ : state) {
        context.renderFrame([&]() { map.show3DCntMapFrqc(); });
    }
}

double _cpuMs(clockid_t nClock) {
    timespec t{};
    clock_gettime(nClock, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

// Where a time-domain frame goes, as medians in milliseconds: wall time of the frame set-up
// (context current again, GL state, clear and camera), of the show sequence's calls (the
// renderer's walk and the driver taking the calls), of the end of the frame (the driver
// finishing the drawing) and of the read-back; and CPU time of this thread and of the driver's
// other threads (the rasterisers), which the end of the frame waits for. As between a view's
// paints, no context is current between frames.
void BM_FramePhases(benchmark::State& state) {
    auto pData = benchRecording(static_cast<int>(state.range(0)));
    CShow3DCntMapqv map;
    map.setMegData(pData.get());
    map._checkSensorPosVlm();
    CGLOfflineContextqv& context = benchContext();
    CGL4dqv* pViewport = context.viewport();
    HDC hDC = context.target();
    std::vector<double> aSetup, aShow, aFinish, aRead, aMain, aOther;
    using Clock = std::chrono::steady_clock;
    auto ms = [](Clock::time_point a, Clock::time_point b) {
        return std::chrono::duration<double, std::milli>(b - a).count();
    };
    for (auto _ : state) {
        const double dMain0 = _cpuMs(CLOCK_THREAD_CPUTIME_ID);
        const double dAll0 = _cpuMs(CLOCK_PROCESS_CPUTIME_ID);
        const auto t0 = Clock::now();
        pViewport->setViewGLContextCurrent(hDC);
        pViewport->glqvInit();
        pViewport->beginGLqv();
        const auto t1 = Clock::now();
        map.show3DCntMap();
        const auto t2 = Clock::now();
        pViewport->endGLqv();
        const auto t3 = Clock::now();
        pViewport->glSwapBuffers(hDC);
        const auto t4 = Clock::now();
        eglMakeCurrent(eglGetCurrentDisplay(), EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
        const double dMain = _cpuMs(CLOCK_THREAD_CPUTIME_ID) - dMain0;
        const double dAll = _cpuMs(CLOCK_PROCESS_CPUTIME_ID) - dAll0;
        aSetup.push_back(ms(t0, t1));
        aShow.push_back(ms(t1, t2));
        aFinish.push_back(ms(t2, t3));
        aRead.push_back(ms(t3, t4));
        aMain.push_back(dMain);
        aOther.push_back(dAll - dMain);
    }
    state.counters["setup_ms"] = benchMedian(aSetup);
    state.counters["show_ms"] = benchMedian(aShow);
    state.counters["finish_ms"] = benchMedian(aFinish);
    state.counters["readback_ms"] = benchMedian(aRead);
    state.counters["cpu_main_ms"] = benchMedian(aMain);
    state.counters["cpu_raster_ms"] = benchMedian(aOther);
}

void BM_RangeCheck(benchmark::State& state) {
    auto pData = benchRecording(static_cast<int>(state.range(0)));
    CShow3DCntMapqv map;
    map.setMegData(pData.get());
    for (auto _ : state) {
        benchmark::DoNotOptimize(map._checkSensorPosVlm());
    }
}

void BM_SyntheticRecording(benchmark::State& state) {
    for (auto _ : state) {
        benchmark::DoNotOptimize(benchRecording(static_cast<int>(state.range(0))));
    }
}

} // namespace

BENCHMARK(BM_TimeDomainFrame)->Arg(100)->Arg(275)->Arg(600)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FramePhases)->Arg(306)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_FrequencyFrame)->Arg(275)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RangeCheck)->Arg(275)->Arg(600)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SyntheticRecording)->Arg(275)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
