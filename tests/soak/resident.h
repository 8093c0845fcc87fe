#pragma once

// Resident memory of this process, in KiB, from /proc/self/statm (4 KiB pages).

#include <fstream>

inline long residentKiB() {
    std::ifstream statm("/proc/self/statm");
    long nPages = 0, nResident = 0;
    statm >> nPages >> nResident;
    return nResident * 4;
}
