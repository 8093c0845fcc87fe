// How long one paint of each map takes, and its parts, for recordings of growing size. The
// surface walks every pair of channels, so its cost grows with the square of the channel count.

#include "glofflinecontext.h"
#include "megdata.h"
#include "show3dcntmap.h"
#include "syntheticrecording.h"

#include <benchmark/benchmark.h>

#include <memory>
#include <string>

namespace {

std::unique_ptr<CMEGDataqv> _recording(int nChannels) {
    CSyntheticOptionsqv options;
    options.nMegChannels = nChannels;
    return makeSyntheticRecording(options);
}

CGLOfflineContextqv& _context() {
    static CGLOfflineContextqv context;
    static bool bOpen = false;
    if (!bOpen) {
        std::string error;
        bOpen = context.open(800, 800, error);
    }
    return context;
}

void BM_TimeDomainFrame(benchmark::State& state) {
    auto pData = _recording(static_cast<int>(state.range(0)));
    CShow3DCntMapqv map;
    map.setMegData(pData.get());
    map._checkSensorPosVlm();
    CGLOfflineContextqv& context = _context();
    for (auto _ : state) {
        context.renderFrame([&]() { map.show3DCntMap(); });
    }
}

void BM_FrequencyFrame(benchmark::State& state) {
    auto pData = _recording(static_cast<int>(state.range(0)));
    CShow3DCntMapqv map;
    map.setMegDataFrqc(pData.get());
    map._checkSensorPosVlmFrqc();
    CGLOfflineContextqv& context = _context();
    for (auto _ : state) {
        context.renderFrame([&]() { map.show3DCntMapFrqc(); });
    }
}

void BM_RangeCheck(benchmark::State& state) {
    auto pData = _recording(static_cast<int>(state.range(0)));
    CShow3DCntMapqv map;
    map.setMegData(pData.get());
    for (auto _ : state) {
        benchmark::DoNotOptimize(map._checkSensorPosVlm());
    }
}

void BM_SyntheticRecording(benchmark::State& state) {
    for (auto _ : state) {
        benchmark::DoNotOptimize(_recording(static_cast<int>(state.range(0))));
    }
}

} // namespace

BENCHMARK(BM_TimeDomainFrame)->Arg(100)->Arg(275)->Arg(600)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FrequencyFrame)->Arg(275)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RangeCheck)->Arg(275)->Arg(600)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_SyntheticRecording)->Arg(275)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
