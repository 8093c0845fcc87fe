#include "timeaxis.h"

#include <algorithm>
#include <cmath>

namespace timeaxis {

namespace {

double _step(double dRange, int nWanted, bool bMinutes) {
    const double dRaw = dRange / std::max(1, nWanted);
    if (bMinutes && dRaw > 10.0) {
        for (double dStep : {15.0, 30.0, 60.0, 120.0, 300.0, 600.0, 900.0, 1800.0, 3600.0})
            if (dStep >= dRaw)
                return dStep;
        return 3600.0 * std::ceil(dRaw / 3600.0);
    }
    const double dPower = std::pow(10.0, std::floor(std::log10(dRaw)));
    for (double dFactor : {1.0, 2.0, 5.0})
        if (dFactor * dPower >= dRaw)
            return dFactor * dPower;
    return 10.0 * dPower;
}

} // namespace

QString text(double dSeconds, bool bMinutes, int nDecimals) {
    nDecimals = std::clamp(nDecimals, 0, 6);
    const double dScale = std::pow(10.0, nDecimals);
    // Rounded once, so that 59.9996 s reads 1:00.000 and not 0:60.000.
    const double dRounded = std::round(std::fabs(dSeconds) * dScale) / dScale;
    const QString strSign = dSeconds < 0.0 && dRounded > 0.0 ? "-" : "";
    if (!bMinutes)
        return strSign + QString::number(dRounded, 'f', nDecimals) + " s";
    const double dMinutes = std::floor(dRounded / 60.0);
    const double dRest = dRounded - 60.0 * dMinutes;
    const int nWidth = nDecimals > 0 ? nDecimals + 3 : 2;
    return strSign + QString::number(static_cast<long long>(dMinutes)) + ":" +
           QString("%1").arg(dRest, nWidth, 'f', nDecimals, QChar('0'));
}

std::vector<double> ticks(double dLow, double dHigh, int nWanted, bool bMinutes) {
    std::vector<double> aTicks;
    if (!(dHigh > dLow) || !std::isfinite(dLow) || !std::isfinite(dHigh))
        return aTicks;
    const double dStep = _step(dHigh - dLow, nWanted, bMinutes);
    for (double d = std::ceil(dLow / dStep) * dStep; d <= dHigh + dStep * 1e-9; d += dStep)
        aTicks.push_back(std::fabs(d) < dStep * 1e-9 ? 0.0 : d);
    return aTicks;
}

int tickDecimals(double dLow, double dHigh, int nWanted, bool bMinutes) {
    if (!(dHigh > dLow))
        return 0;
    const double dStep = _step(dHigh - dLow, nWanted, bMinutes);
    return dStep >= 1.0 ? 0 : static_cast<int>(std::ceil(-std::log10(dStep) - 1e-9));
}

} // namespace timeaxis
