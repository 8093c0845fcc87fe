#include "selectionlabels.h"

#include "spectralshape.h"
#include "timeaxis.h"

#include "mdchannel.h"
#include "mdtrial.h"
#include "megdata.h"
#include "pagedrecording.h"
#include "spctmchnl.h"

#include <cmath>
#include <vector>

bool sampleTimeMs(CMEGDataqv& recording, double dSample, double& dMs) {
    const double dRate = recording.getSamplingRate();
    if (!(dRate > 0.0))
        return false;
    dMs = (recording.getFirstSampleTime() + dSample / dRate) * 1000.0;
    return true;
}

namespace {

QString _msText(double dMs) {
    // -0.0 would read as a negative time.
    return QString::number(dMs == 0.0 ? 0.0 : dMs, 'f', 1) + " ms";
}

QString _hzText(double dHz) {
    return QString::number(dHz, 'f', 1) + " Hz";
}

// An axis is used only when it has exactly one entry per row or column of the data; a recording
// filled by hand may have set axes that do not match its spectra.
const double* _axisEntry(const std::vector<double>& axis, std::int64_t nCount, int nIndex) {
    if (static_cast<std::int64_t>(axis.size()) != nCount || nIndex < 0 || nIndex >= nCount)
        return nullptr;
    return &axis[static_cast<std::size_t>(nIndex)];
}

} // namespace

QString sampleLabel(CMEGDataqv& recording, std::int64_t nSample) {
    const double dRate = recording.getSamplingRate();
    if (auto* pPaged = dynamic_cast<CPagedRecording*>(&recording); pPaged && dRate > 0.0)
        return timeaxis::text(pPaged->getRecordingFirstTime() +
                                  static_cast<double>(nSample) / dRate,
                              timeaxis::usesMinutes(pPaged->getTotalSamples() / dRate));
    double dMs = 0.0;
    if (sampleTimeMs(recording, static_cast<double>(nSample), dMs))
        return _msText(dMs);
    return QString("sample %1").arg(nSample);
}

QString binLabel(CMEGDataqv& recording, int nBin) {
    std::int64_t nRows = 0, nColumns = 0;
    getSpectralShape(recording, nRows, nColumns);
    if (const double* pHz = _axisEntry(recording.getSpctmFreqsHz(), nColumns, nBin))
        return _hzText(*pHz);
    return QString("bin %1").arg(nBin);
}

QString cellLabel(CMEGDataqv& recording, int nRow, int nColumn) {
    std::int64_t nRows = 0, nColumns = 0;
    getSpectralShape(recording, nRows, nColumns);
    const double* pSeconds = _axisEntry(recording.getSpctmRowTimesSec(), nRows, nRow);
    QString strRow;
    auto* pPaged = dynamic_cast<CPagedRecording*>(&recording);
    const double dRate = recording.getSamplingRate();
    if (pSeconds && std::isfinite(*pSeconds) && pPaged && dRate > 0.0)
        strRow =
            timeaxis::text(*pSeconds, timeaxis::usesMinutes(pPaged->getTotalSamples() / dRate), 1);
    else if (pSeconds && std::isfinite(*pSeconds))
        strRow = _msText(*pSeconds * 1000.0);
    else if (nRow == 0)
        strRow = "whole trial"; // by the layout of the spectral arrays
    else
        strRow = QString("row %1").arg(nRow);
    const double* pHz = _axisEntry(recording.getSpctmFreqsHz(), nColumns, nColumn);
    return strRow + ", " + (pHz ? _hzText(*pHz) : QString("column %1").arg(nColumn));
}
