// The smooth field map: the interpolation matrix a new sensor layout costs (surface, spline
// factorisation, kernel between vertices and sensors), and a selection change to finished
// 800 x 800 pixels, for growing channel counts and against the time-domain map's own.

#include "benchsupport.h"
#include "glofflinecontext.h"
#include "megdata.h"
#include "show3dcntmap.h"
#include "smoothfieldmap.h"
#include "syntheticrecording.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace {

// A map loaded and range checked as the time-domain view does it, switching between the
// recording's selected sample and its neighbour, so that every call is a real change.
struct SSelectionChange {
    std::unique_ptr<CMEGDataqv> pData;
    CShow3DCntMapqv map;
    std::int64_t nFirst = 0;
    std::int64_t nSample = 0;

    explicit SSelectionChange(int nChannels) : pData(benchRecording(nChannels)) {
        map.setMegData(pData.get());
        std::int64_t nEnd = 0;
        pData->getSelect(nFirst, nEnd);
        nSample = nFirst;
    }
    void next() {
        nSample = nSample == nFirst ? nFirst + 1 : nFirst;
        pData->setSelect(nSample);
        map._checkSensorPosVlm();
    }
};

// The interpolation matrix for a layout seen for the first time.
void BM_SmoothMatrix(benchmark::State& state) {
    auto pData = benchRecording(static_cast<int>(state.range(0)));
    CShow3DCntMapqv map;
    map.setMegData(pData.get());
    map._checkSensorPosVlm();
    std::size_t nVertices = 0;
    for (auto _ : state) {
        CSmoothFieldMap smooth;
        benchmark::DoNotOptimize(smooth.update(map, CSmoothFieldMap::kindTime));
        nVertices = smooth.getVertices().size() / 3;
    }
    state.counters["vertices"] = static_cast<double>(nVertices);
}

// Select, range check, update and draw the smooth map inside a frame, read back.
void BM_SmoothSelectionToPixels(benchmark::State& state) {
    SSelectionChange change(static_cast<int>(state.range(0)));
    CSmoothFieldMap smooth;
    CGLOfflineContextqv& context = benchContext();
    for (auto _ : state) {
        change.next();
        context.renderFrame([&]() { smooth.draw(change.map, CSmoothFieldMap::kindTime); });
    }
}

// The time-domain map and the smooth map, each from a selection change to pixels, back to back
// in every iteration so that both see the same load; medians in milliseconds and the median
// of the per-iteration ratios (smooth over time-domain). The iteration time is the smooth map's.
void BM_SmoothOverTimeDomain(benchmark::State& state) {
    const int nChannels = static_cast<int>(state.range(0));
    SSelectionChange timeDomain(nChannels), smoothChange(nChannels);
    int bMarkSelection = 0;
    timeDomain.map.m_pMarkSelection = &bMarkSelection;
    CSmoothFieldMap smooth;
    CGLOfflineContextqv& context = benchContext();
    std::vector<double> aTime, aSmooth, aRatio;
    auto ms = [](std::chrono::steady_clock::time_point a, std::chrono::steady_clock::time_point b) {
        return std::chrono::duration<double, std::milli>(b - a).count();
    };
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        timeDomain.next();
        context.renderFrame([&]() { timeDomain.map.show3DCntMap(); });
        const auto t1 = std::chrono::steady_clock::now();
        smoothChange.next();
        context.renderFrame([&]() { smooth.draw(smoothChange.map, CSmoothFieldMap::kindTime); });
        const auto t2 = std::chrono::steady_clock::now();
        aTime.push_back(ms(t0, t1));
        aSmooth.push_back(ms(t1, t2));
        aRatio.push_back(aSmooth.back() / aTime.back());
        state.SetIterationTime(aSmooth.back() / 1000.0);
    }
    state.counters["time_domain_ms"] = benchMedian(aTime);
    state.counters["smooth_ms"] = benchMedian(aSmooth);
    state.counters["ratio"] = benchMedian(aRatio);
}

} // namespace

BENCHMARK(BM_SmoothMatrix)->Arg(102)->Arg(306)->Arg(600)->Arg(1000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SmoothSelectionToPixels)
    ->Arg(102)
    ->Arg(306)
    ->Arg(600)
    ->Arg(1000)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SmoothOverTimeDomain)->Arg(306)->Unit(benchmark::kMillisecond)->UseManualTime();
BENCHMARK_MAIN();
