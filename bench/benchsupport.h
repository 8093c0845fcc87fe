#pragma once

// What the benchmarks share: a synthetic recording of a given channel count, one 800 x 800
// offscreen context for the whole program, and the median of the times taken.

#include "glofflinecontext.h"
#include "megdata.h"
#include "syntheticrecording.h"

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

inline std::unique_ptr<CMEGDataqv> benchRecording(int nChannels) {
    CSyntheticOptionsqv options;
    options.nMegChannels = nChannels;
    return makeSyntheticRecording(options);
}

inline CGLOfflineContextqv& benchContext() {
    static CGLOfflineContextqv context;
    static bool bOpen = false;
    if (!bOpen) {
        std::string error;
        bOpen = context.open(800, 800, error);
    }
    return context;
}

inline double benchMedian(std::vector<double> v) {
    if (v.empty()) {
        return 0.0;
    }
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 == 1 ? v[n / 2] : 0.5 * (v[n / 2 - 1] + v[n / 2]);
}
