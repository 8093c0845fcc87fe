#pragma once

#include <QString>

#include <vector>

// Time as a reader of a long recording wants it: seconds ("12.345 s"), or minutes and seconds
// ("12:05.250") once the recording is long enough that seconds in the thousands are hard to
// place.
namespace timeaxis {

// Recordings longer than this (seconds) are labelled in minutes and seconds.
constexpr double dMinutesFrom = 120.0;

inline bool usesMinutes(double dRecordingSeconds) {
    return dRecordingSeconds > dMinutesFrom;
}

// A time with nDecimals digits after the second; negative times keep their sign.
QString text(double dSeconds, bool bMinutes, int nDecimals = 3);

// Tick marks between dLow and dHigh seconds, about nWanted of them, on steps a reader counts
// in: 1, 2, 5 times a power of ten, and with minutes also 15 s, 30 s, 1, 2, 5, 10, 15, 30 min.
std::vector<double> ticks(double dLow, double dHigh, int nWanted, bool bMinutes);
// The decimals a tick label needs for the ticks' step.
int tickDecimals(double dLow, double dHigh, int nWanted, bool bMinutes);

} // namespace timeaxis
