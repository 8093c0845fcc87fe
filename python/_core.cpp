// The compiled part of the contourmap3d package: a recording filled from arrays, and a map
// drawn from it into the library's offscreen EGL context. Conversion of MNE objects, argument
// checks and the Python-facing API live in the package's Python modules.

// Python's headers name a member "slots", which Qt defines as a macro: they come first.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include "colorscale.h"
#include "mapframe.h"
#include "overlay.h"
#include "selectionrule.h"

#include "fiducial.h"
#include "gl4dqv.h"
#include "glofflinecontext.h"
#include "mdchannel.h"
#include "mdtrial.h"
#include "megdata.h"
#include "show3dcntmap.h"
#include "smoothfieldmap.h"
#include "spctmchnl.h"
#include "spctmtrial.h"

#include <EGL/egl.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace py = pybind11;

namespace {

using Doubles = py::array_t<double, py::array::c_style | py::array::forcecast>;

const char* const apszKinds[] = {"meg", "eeg", "eog", "stim", "misc"};

// Raised as RuntimeError in Python: the machine has no usable OpenGL context.
struct SContextError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

int _kindNumber(const std::string& strKind) {
    for (int k = 0; k < 5; ++k) {
        if (strKind == apszKinds[k]) {
            return k;
        }
    }
    throw py::value_error("channel kind must be one of meg, eeg, eog, stim, misc, not '" + strKind +
                          "'");
}

std::wstring _wide(const std::string& strUtf8) {
    // Channel names are ASCII in every MEG system; anything else is kept byte for byte.
    return py::str(strUtf8).cast<std::wstring>();
}

// A recording the package filled: the channels, their samples (in the display unit) and, for
// the frequency and spectral maps, their spectral arrays.
class CPyRecording {
public:
    CPyRecording(const std::vector<std::string>& aNames, const std::vector<std::string>& aKinds,
                 const std::vector<bool>& aGood, Doubles positions, Doubles samples,
                 const std::string& strUnit, double dSamplingRate, double dFirstSampleTime,
                 std::optional<Doubles> fiducials) {
        const auto nChannels = static_cast<py::ssize_t>(aNames.size());
        if (nChannels == 0) {
            throw py::value_error("the recording has no channels");
        }
        if (nChannels > CMDTrial::nMaxSlots) {
            throw py::value_error("the recording has " + std::to_string(nChannels) +
                                  " channels; at most " + std::to_string(CMDTrial::nMaxSlots) +
                                  " are supported");
        }
        if (static_cast<py::ssize_t>(aKinds.size()) != nChannels ||
            static_cast<py::ssize_t>(aGood.size()) != nChannels) {
            throw py::value_error("names, kinds and good flags differ in length");
        }
        if (positions.ndim() != 2 || positions.shape(0) != nChannels || positions.shape(1) != 3) {
            throw py::value_error("positions must be an array of shape (" +
                                  std::to_string(nChannels) + ", 3)");
        }
        if (samples.ndim() != 2 || samples.shape(0) != nChannels || samples.shape(1) < 1) {
            throw py::value_error("data must be an array of shape (" + std::to_string(nChannels) +
                                  ", n_times) with at least one sample");
        }
        m_pData = std::make_unique<CMEGDataqv>();
        CMDTrialqv& trial = *m_pData->addTrial();
        trial.setTotalChannel(static_cast<int>(nChannels));
        const py::ssize_t nSamples = samples.shape(1);
        auto p = positions.unchecked<2>();
        const double* pSamples = samples.data();
        for (py::ssize_t i = 0; i < nChannels; ++i) {
            const int nSlot = static_cast<int>(i);
            CMDChannelqv& channel = *trial.createChannel(nSlot);
            channel.m_strChnlName = _wide(aNames[i]);
            channel.setChnlKind(_kindNumber(aKinds[i]));
            if (!aGood[i]) {
                m_pData->setGoodChnl4Alltrials(nSlot, 0);
            }
            // A channel without a position (NaN) is left without a coil: the maps skip it.
            if (std::isfinite(p(i, 0)) && std::isfinite(p(i, 1)) && std::isfinite(p(i, 2))) {
                channel.addCoil(p(i, 0), p(i, 1), p(i, 2));
            }
            const double* pRow = pSamples + i * nSamples;
            channel.setDataWave(std::vector<double>(pRow, pRow + nSamples));
        }
        trial.setSampleCount(nSamples);
        m_pData->setSelect(0);
        if (dSamplingRate > 0.0 && std::isfinite(dSamplingRate)) {
            m_pData->setSamplingRate(dSamplingRate);
        }
        if (std::isfinite(dFirstSampleTime)) {
            m_pData->setFirstSampleTime(dFirstSampleTime);
        }
        if (!strUnit.empty() && !m_pData->setUnit(strUnit)) {
            throw py::value_error("unit must be a short non-empty string such as 'fT/cm'");
        }
        if (fiducials) {
            if (fiducials->ndim() != 2 || fiducials->shape(0) != CFiducialqv::nFiducialPts ||
                fiducials->shape(1) != 3) {
                throw py::value_error("fiducials must be an array of shape (6, 3)");
            }
            auto f = fiducials->unchecked<2>();
            CFiducialqv* pFiducials = m_pData->createFidWorkMeg();
            for (int k = 0; k < CFiducialqv::nFiducialPts; ++k) {
                if (std::isfinite(f(k, 0)) && std::isfinite(f(k, 1)) && std::isfinite(f(k, 2))) {
                    pFiducials->m_FiduciaryPt[k].setPoint(f(k, 0), f(k, 1), f(k, 2));
                }
            }
        }
    }

    // Spectral arrays (n, rows, columns) of the channels in aSlots, with the frequency of each
    // column and the time of each row (NaN: none, as for row 0).
    void setSpectra(const std::vector<int>& aSlots, Doubles spectra, Doubles freqs,
                    Doubles rowTimes) {
        CMDTrialqv& trial = *m_pData->getTrialqv(-1);
        if (spectra.ndim() != 3 || spectra.shape(0) != static_cast<py::ssize_t>(aSlots.size()) ||
            spectra.shape(1) < 1 || spectra.shape(2) < 1) {
            throw py::value_error("spectra must be an array of shape (channels, rows, columns)");
        }
        const py::ssize_t nRows = spectra.shape(1), nColumns = spectra.shape(2);
        if (freqs.ndim() != 1 || freqs.shape(0) != nColumns || rowTimes.ndim() != 1 ||
            rowTimes.shape(0) != nRows) {
            throw py::value_error("the spectra's axes do not match their rows and columns");
        }
        const double* pValues = spectra.data();
        for (std::size_t k = 0; k < aSlots.size(); ++k) {
            if (aSlots[k] < 0 || aSlots[k] >= trial.getTotalChannel()) {
                throw py::value_error("spectrum of slot " + std::to_string(aSlots[k]) +
                                      ", which does not exist");
            }
            const double* pArray = pValues + k * nRows * nColumns;
            trial.getAllChannelPt()[aSlots[k]]->getSpctmChnl(true, 0)->setSpctmData(
                0, nRows, nColumns, std::vector<double>(pArray, pArray + nRows * nColumns));
        }
        trial.getSpctmTrial(true, 0);
        m_pData->setSpctmAxes(std::vector<double>(freqs.data(), freqs.data() + nColumns),
                              std::vector<double>(rowTimes.data(), rowTimes.data() + nRows));
    }

    CMEGDataqv& data() { return *m_pData; }

private:
    std::unique_ptr<CMEGDataqv> m_pData;
};

// Qt's GUI layer for the text of colour bars and labels: started once and never destroyed,
// since at the interpreter's exit Qt's own globals may already be gone. Qt draws text in one
// thread at a time here, which keeps its font caches out of harm.
std::mutex s_textMutex;

void _startText() {
    if (!QGuiApplication::instance()) {
        static_cast<void>(startTextDrawing().release());
    }
}

// One map of a recording in its own offscreen context. Every call holds the map's lock and
// leaves no context current in the calling thread, so a map can be used from any thread, one
// call at a time; different maps draw in parallel.
class CPyMap {
public:
    CPyMap(std::shared_ptr<CPyRecording> pRecording, const std::string& strKind, bool bSmooth,
           int nWidth, int nHeight, std::optional<std::pair<double, double>> rotate,
           double dDistance, bool bColorbar, bool bLabels, int nIsolines, bool bContinuous,
           std::optional<double> dMin, std::optional<double> dMax)
        : m_pRecording(std::move(pRecording)) {
        if (strKind == "time") {
            m_nKind = CColorScale::kindTime;
        } else if (strKind == "frequency") {
            m_nKind = CColorScale::kindFrequency;
        } else if (strKind == "spectral") {
            m_nKind = CColorScale::kindSpectral;
        } else {
            throw py::value_error("kind must be 'time', 'frequency' or 'spectral', not '" +
                                  strKind + "'");
        }
        if (nWidth < 1 || nHeight < 1 || nWidth > 16384 || nHeight > 16384) {
            throw py::value_error("size must be two whole numbers of 1 to 16384 pixels");
        }
        if (nIsolines < 0 || nIsolines > 100) {
            throw py::value_error("isolines must be 0 to 100");
        }
        m_bSmooth = bSmooth;
        m_bColorbar = bColorbar;
        m_bLabels = bLabels;
        m_dMin = dMin;
        m_dMax = dMax;
        m_smooth.setIsolineCount(nIsolines);
        m_smooth.setColorMode(bContinuous ? CSmoothFieldMap::colorContinuous
                                          : CSmoothFieldMap::colorThresholds);
        std::string strError;
        {
            py::gil_scoped_release release;
            std::lock_guard<std::mutex> lock(m_mutex);
            const int bOpen = m_context.open(nWidth, nHeight, strError);
            if (bOpen) {
                CGL4dqv* pViewport = m_context.viewport();
                if (rotate) {
                    pViewport->setRotateValue(rotate->first, rotate->second, 0.0);
                    pViewport->setRotateBoolean(1, 1, 1);
                }
                if (dDistance > 0.0) {
                    double tx, ty, tz;
                    pViewport->getTranslate(tx, ty, tz);
                    pViewport->setTranslate(tx, ty, -dDistance);
                }
            }
            _release();
            if (!bOpen) {
                throw SContextError("cannot make an OpenGL context: " + strError +
                                    " (is Mesa's libegl-mesa0 installed?)");
            }
        }
        loadMapLikeView(m_map, &m_pRecording->data(), m_nKind);
        m_strUnit = scaleUnit(&m_pRecording->data(), m_nKind);
        if (m_bColorbar || m_bLabels) {
            std::lock_guard<std::mutex> lock(s_textMutex);
            _startText();
            if (m_bColorbar) {
                m_nPanelWidth = colorBarPanelWidthFor(nHeight, m_strUnit);
                // Video encoders for yuv420p want an even width.
                m_nPanelWidth += (nWidth + m_nPanelWidth) % 2;
            }
        }
    }

    ~CPyMap() {
        std::lock_guard<std::mutex> lock(m_mutex);
        // The framebuffer goes with its context only when that context is current.
        m_context.makeCurrent();
        m_context.close();
    }

    // The selections of the command lines, checked by the same rule and with the same
    // messages: "sample", "time", "freq", "bin", "cell" (row, column) or "cell_at" (s, Hz).
    void select(const std::string& strWhat, double a, double b) {
        std::lock_guard<std::mutex> lock(m_mutex);
        SSelectionRequest request;
        const auto whole = [&](double v, const char* pszName) {
            if (!std::isfinite(v) || v != std::floor(v) || std::fabs(v) > 9.0e15) {
                throw py::value_error(std::string(pszName) + " must be a whole number");
            }
            return static_cast<std::int64_t>(v);
        };
        if (strWhat == "sample") {
            request.nSample = whole(a, "sample");
        } else if (strWhat == "bin") {
            request.nBin = whole(a, "bin");
        } else if (strWhat == "cell") {
            request.cell = std::make_pair(whole(a, "cell row"), whole(b, "cell column"));
        } else if (strWhat == "time") {
            request.dTime = a;
        } else if (strWhat == "freq") {
            request.dFreq = a;
        } else if (strWhat == "cell_at") {
            request.cellAt = std::make_pair(a, b);
        } else {
            throw py::value_error("unknown selection '" + strWhat + "'");
        }
        if ((request.dTime || request.dFreq || request.cellAt) &&
            (!std::isfinite(a) || !std::isfinite(b))) {
            throw py::value_error(strWhat + " must be a finite number");
        }
        std::string strError;
        if (!applySelectionRequest(request, m_pRecording->data(), strError)) {
            throw py::value_error(strError);
        }
    }

    // The picture at the current selection: (height, width, 3) bytes, row 0 at the top.
    py::array_t<std::uint8_t> render() {
        std::vector<unsigned char> rgba;
        int nWidth = 0, nHeight = 0;
        std::string strError;
        bool bDone = false;
        {
            py::gil_scoped_release release;
            std::lock_guard<std::mutex> lock(m_mutex);
            const auto tStart = std::chrono::steady_clock::now();
            bDone = _renderLocked(rgba, nWidth, nHeight, strError);
            m_dFrameMs =
                std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - tStart)
                    .count();
            _release();
        }
        if (!bDone && strError.rfind("rendering failed", 0) == 0) {
            throw std::runtime_error(strError);
        }
        if (!bDone) {
            throw py::value_error(strError);
        }
        py::array_t<std::uint8_t> image({nHeight, nWidth, 3});
        std::uint8_t* pOut = image.mutable_data();
        const std::size_t nPixels = static_cast<std::size_t>(nWidth) * nHeight;
        for (std::size_t k = 0; k < nPixels; ++k) {
            std::memcpy(pOut + 3 * k, rgba.data() + 4 * k, 3);
        }
        return image;
    }

    // The slot of the channel at pixel (x, y) of the last picture, -1 for none.
    int pick(double x, double y) {
        py::gil_scoped_release release;
        std::lock_guard<std::mutex> lock(m_mutex);
        SMapFrameJob job = _job();
        const int nSlot = pickMapSensor(job, x, y);
        _release();
        return nSlot;
    }

    // The colour range the last picture was drawn with (display unit).
    std::pair<double, double> colorRange() {
        std::lock_guard<std::mutex> lock(m_mutex);
        const CColorScale scale = m_bSmooth ? CColorScale::fromSmoothMap(m_smooth, m_map, m_nKind)
                                            : CColorScale::fromMap(m_map, m_nKind);
        return {scale.colorMin(), scale.colorMax()};
    }

    std::string unit() const { return m_strUnit; }
    // How long the last picture took inside the library (range check, frame, read-back and
    // overlays), for the benchmark that weighs what Python adds.
    double frameMs() const { return m_dFrameMs; }

private:
    SMapFrameJob _job() {
        return {m_nKind,
                m_context,
                m_map,
                m_bLabels,
                m_nPanelWidth,
                m_strUnit,
                m_bSmooth ? &m_smooth : nullptr};
    }

    bool _renderLocked(std::vector<unsigned char>& rgba, int& nWidth, int& nHeight,
                       std::string& strError) {
        // As a view does on a selection change: the range check, then a typed range replaces
        // the fitted thresholds.
        if (!checkMapRange(m_map, m_nKind)) {
            strError =
                m_nKind == CColorScale::kindSpectral
                    ? "the spectral map cannot fit its range: it needs spectral data and "
                      "a selected cell with row and column of at least 1"
                    : std::string("the recording has nothing to draw for the ") +
                          (m_nKind == CColorScale::kindFrequency ? "frequency" : "time-domain") +
                          " map";
            return false;
        }
        if (m_dMin || m_dMax) {
            m_map.m_bAutofitColor = 0;
            if (m_dMin) {
                m_map.m_dColorMin = *m_dMin;
            }
            if (m_dMax) {
                m_map.m_dColorMax = *m_dMax;
            }
            checkMapRange(m_map, m_nKind);
        }
        SMapFrameJob job = _job();
        if (m_bColorbar || m_bLabels) {
            std::lock_guard<std::mutex> lock(s_textMutex);
            return renderMapFrame(job, rgba, nWidth, nHeight, strError);
        }
        return renderMapFrame(job, rgba, nWidth, nHeight, strError);
    }

    // No context stays current in the calling thread, so that another thread may take the map.
    static void _release() {
        EGLDisplay display = eglGetCurrentDisplay();
        if (display != EGL_NO_DISPLAY) {
            eglMakeCurrent(display, EGL_NO_SURFACE, EGL_NO_SURFACE, EGL_NO_CONTEXT);
        }
    }

    std::shared_ptr<CPyRecording> m_pRecording;
    CColorScale::EMapKind m_nKind = CColorScale::kindTime;
    bool m_bSmooth = false;
    bool m_bColorbar = false;
    bool m_bLabels = false;
    int m_nPanelWidth = 0;
    double m_dFrameMs = 0.0;
    std::optional<double> m_dMin, m_dMax;
    std::string m_strUnit;
    std::mutex m_mutex;
    CSmoothFieldMap m_smooth;
    CShow3DCntMapqv m_map;
    CGLOfflineContextqv m_context;
};

} // namespace

PYBIND11_MODULE(_core, m) {
    m.doc() = "ContourMap3D's recording and offscreen map, for the contourmap3d package";
    py::register_exception<SContextError>(m, "ContextError", PyExc_RuntimeError);
    py::class_<CPyRecording, std::shared_ptr<CPyRecording>>(m, "Recording")
        .def(py::init<const std::vector<std::string>&, const std::vector<std::string>&,
                      const std::vector<bool>&, Doubles, Doubles, const std::string&, double,
                      double, std::optional<Doubles>>(),
             py::arg("names"), py::arg("kinds"), py::arg("good"), py::arg("positions"),
             py::arg("samples"), py::arg("unit"), py::arg("sampling_rate"),
             py::arg("first_sample_time"), py::arg("fiducials") = py::none())
        .def("set_spectra", &CPyRecording::setSpectra, py::arg("slots"), py::arg("spectra"),
             py::arg("freqs"), py::arg("row_times"));
    py::class_<CPyMap>(m, "Map")
        .def(py::init<std::shared_ptr<CPyRecording>, const std::string&, bool, int, int,
                      std::optional<std::pair<double, double>>, double, bool, bool, int, bool,
                      std::optional<double>, std::optional<double>>(),
             py::arg("recording"), py::arg("kind"), py::arg("smooth"), py::arg("width"),
             py::arg("height"), py::arg("rotate"), py::arg("distance"), py::arg("colorbar"),
             py::arg("labels"), py::arg("isolines"), py::arg("continuous"), py::arg("vmin"),
             py::arg("vmax"))
        .def("select", &CPyMap::select, py::arg("what"), py::arg("a"), py::arg("b") = 0.0)
        .def("render", &CPyMap::render)
        .def("pick", &CPyMap::pick)
        .def("color_range", &CPyMap::colorRange)
        .def_property_readonly("unit", &CPyMap::unit)
        .def_property_readonly("frame_ms", &CPyMap::frameMs);
}
