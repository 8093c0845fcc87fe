#pragma once

// What the benchmarks of the renderer and of the smooth map share: a synthetic recording of a
// given channel count and one 800 x 800 offscreen context for the whole program.

#include "glofflinecontext.h"
#include "megdata.h"
#include "syntheticrecording.h"

#include <memory>
#include <string>

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
