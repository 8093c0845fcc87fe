// What the user feels, on 800 x 800 maps of 306 channels: the time-domain, frequency and
// spectral dialogs opened through the dialog facade under the offscreen Qt platform, each paint
// forced through the window layer (frame, read-back, presentation, overlay text), a rotate drag
// step, a pick, and a selection change as the host makes it. The same recording drawn into an
// offscreen context without any window (the bare frame) and an empty frame of the same size (the
// floor) run in the same process, so their ratios come from one run.
//
// Run with wall-clock times and repetitions, e.g.
//   build/bench/bench_views --benchmark_repetitions=7 --benchmark_report_aggregates_only=true

#include "3drenddlgfaceqv.h"
#include "afxmsgbox.h"
#include "benchsupport.h"
#include "dlg3dcontourmapfrq.h"
#include "dlg3dcontourmapspctm.h"
#include "dlgcontmap3dtimedomain.h"
#include "glofflinecontext.h"
#include "megdata.h"
#include "show3dcntmap.h"
#include "syntheticrecording.h"

#include <QApplication>
#include <QWidget>
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int kChannels = 306;
constexpr int kSize = 800;

int _toStderr(const char* pszText, unsigned int) {
    std::fprintf(stderr, "message box: %s\n", pszText);
    return IDOK;
}

// The offscreen platform warns on every raise; nothing is wrong.
QtMessageHandler g_pfnQtDefault = nullptr;
void _quietRaise(QtMsgType type, const QMessageLogContext& context, const QString& msg) {
    if (!msg.contains(QLatin1String("does not support raise()")) && g_pfnQtDefault != nullptr) {
        g_pfnQtDefault(type, context, msg);
    }
}

// The channel the last pick handed to the host.
int g_nPickedChannel = -1;
int _onPicked(int nChannel, int) {
    g_nPickedChannel = nChannel;
    return 0;
}

QWidget* _widget(const CWnd& wnd) {
    return reinterpret_cast<QWidget*>(wnd.GetSafeHwnd());
}

void _pump() {
    for (int i = 0; i < 4; ++i) {
        QCoreApplication::processEvents();
    }
}

// Grows or shrinks the dialog until its map view's client area is kSize x kSize.
bool _fitView(CWnd& dlg, CWnd& view) {
    QWidget* pTop = _widget(dlg)->window();
    for (int i = 0; i < 5; ++i) {
        CRect rc;
        view.GetClientRect(&rc);
        if (rc.Width() == kSize && rc.Height() == kSize) {
            return true;
        }
        pTop->resize(pTop->width() + kSize - rc.Width(), pTop->height() + kSize - rc.Height());
        _pump();
    }
    return false;
}

// Paints the view now, as the window system does after an invalidation.
void _paint(CWnd& view) {
    view.Invalidate(FALSE);
    view.UpdateWindow();
}

// The three dialogs on one recording, opened once for every benchmark.
struct SDialogs {
    std::unique_ptr<CMEGDataqv> pData;
    C3DRendDlgFaceqv face;
    bool bReady = false;

    SDialogs() {
        CSyntheticOptionsqv options;
        options.nMegChannels = kChannels;
        pData = makeSyntheticRecording(options);
        face.show3DContMapTimeDomain(pData.get(), _onPicked, nullptr);
        face.show3DContMapFrqc(pData.get(), nullptr);
        face.show3DContMapSpctm(pData.get(), nullptr);
        _pump();
        bReady = _fitView(*face.m_pDlgTimeDomain, face.m_pDlgTimeDomain->m_staticContMap) &&
                 _fitView(*face.m_pDlgFrqc, face.m_pDlgFrqc->m_staticContMap) &&
                 _fitView(*face.m_pDlgSpctm, face.m_pDlgSpctm->m_staticContMap);
        _pump();
    }
    CStaticContMap& timeView() { return face.m_pDlgTimeDomain->m_staticContMap; }
};

// Made on first use; closed before the application goes, as windows must be.
std::unique_ptr<SDialogs> g_pDialogs;

SDialogs& _dialogs(benchmark::State& state) {
    if (!g_pDialogs) {
        g_pDialogs = std::make_unique<SDialogs>();
    }
    if (!g_pDialogs->bReady || g_pDialogs->timeView().m_pGL4d == nullptr) {
        state.SkipWithError("the map views could not be opened at 800 x 800");
    }
    return *g_pDialogs;
}

CGLOfflineContextqv* _offline(benchmark::State& state) {
    static CGLOfflineContextqv s_context;
    static std::string s_error;
    if (!s_context.isOpen() && !s_context.open(kSize, kSize, s_error)) {
        state.SkipWithError(("no offscreen context: " + s_error).c_str());
        return nullptr;
    }
    return &s_context;
}

// The floor: a frame with nothing in it, cleared, finished and read back.
void BM_EmptyFrame(benchmark::State& state) {
    CGLOfflineContextqv* pContext = _offline(state);
    for (auto _ : state) {
        if (pContext != nullptr) {
            pContext->renderFrame({});
        }
    }
}

// The time-domain map without a window: frame begin, show sequence, end, read-back.
void BM_BareFrame(benchmark::State& state) {
    SDialogs& d = _dialogs(state);
    CGLOfflineContextqv* pContext = _offline(state);
    CShow3DCntMapqv map(d.timeView().m_Show3DCntMap);
    for (auto _ : state) {
        if (pContext != nullptr) {
            pContext->renderFrame([&] { map.show3DCntMap(); });
        }
    }
}

// The same map painted by its view in the time-domain dialog: the bare frame plus presentation
// on the widget and the overlay text.
void BM_TimeDomainPaint(benchmark::State& state) {
    SDialogs& d = _dialogs(state);
    for (auto _ : state) {
        _paint(d.timeView());
    }
}

void BM_FrequencyPaint(benchmark::State& state) {
    SDialogs& d = _dialogs(state);
    for (auto _ : state) {
        _paint(d.face.m_pDlgFrqc->m_staticContMap);
    }
}

void BM_SpectralPaint(benchmark::State& state) {
    SDialogs& d = _dialogs(state);
    for (auto _ : state) {
        _paint(d.face.m_pDlgSpctm->m_staticContMap);
    }
}

// One step of a rotate drag, from the mouse move to painted pixels; the pointer goes back and
// forth so the head stays in view.
void BM_RotateDragStep(benchmark::State& state) {
    SDialogs& d = _dialogs(state);
    CStaticContMap& view = d.timeView();
    view.m_ptLast = CPoint(kSize / 2, kSize / 2);
    int nStep = 0;
    for (auto _ : state) {
        const int dx = (nStep++ % 2 == 0) ? 4 : -4;
        view.mouseDragTo(CPoint(view.m_ptLast.x + dx, view.m_ptLast.y + dx / 2));
        view.UpdateWindow();
    }
    view.m_pGL4d->setRotateValue(0.0, 0.0, 0.0);
}

// The host moved the time cursor: new sample, the facade's update (range check, invalidation),
// and the paint that follows.
void BM_SelectionChangePaint(benchmark::State& state) {
    SDialogs& d = _dialogs(state);
    std::int64_t nFirst = 0, nEnd = 0;
    d.pData->getSelect(nFirst, nEnd);
    std::int64_t nSample = nFirst;
    for (auto _ : state) {
        nSample = nSample == nFirst ? nFirst + 1 : nFirst;
        d.pData->setSelect(nSample);
        d.face.updateContourMap();
        d.timeView().UpdateWindow();
    }
    d.pData->setSelect(nFirst);
}

double _ms(std::chrono::steady_clock::time_point a, std::chrono::steady_clock::time_point b) {
    return std::chrono::duration<double, std::milli>(b - a).count();
}

// Two ways to the same pixels timed back to back in every iteration, so that both see the same
// load on a shared machine; the counters are medians over the iterations (milliseconds) and the
// median of the per-iteration ratios. The iteration time is that of the second.
template <typename A, typename B>
void _paired(benchmark::State& state, const char* pszA, const char* pszB, A&& a, B&& b) {
    std::vector<double> aA, aB, aRatio;
    for (auto _ : state) {
        const auto t0 = std::chrono::steady_clock::now();
        a();
        const auto t1 = std::chrono::steady_clock::now();
        b();
        const auto t2 = std::chrono::steady_clock::now();
        aA.push_back(_ms(t0, t1));
        aB.push_back(_ms(t1, t2));
        aRatio.push_back(aB.back() / aA.back());
        state.SetIterationTime(aB.back() / 1000.0);
    }
    state.counters[pszA] = benchMedian(aA);
    state.counters[pszB] = benchMedian(aB);
    state.counters["ratio"] = benchMedian(aRatio);
}

// The view's paint against the bare frame of the same map.
void BM_PaintOverBareFrame(benchmark::State& state) {
    SDialogs& d = _dialogs(state);
    CGLOfflineContextqv* pContext = _offline(state);
    CShow3DCntMapqv map(d.timeView().m_Show3DCntMap);
    _paired(
        state, "bare_ms", "paint_ms",
        [&] {
            if (pContext != nullptr) {
                pContext->renderFrame([&] { map.show3DCntMap(); });
            }
        },
        [&] { _paint(d.timeView()); });
}

// A rotate drag step against a paint of the same view.
void BM_DragStepOverPaint(benchmark::State& state) {
    SDialogs& d = _dialogs(state);
    CStaticContMap& view = d.timeView();
    view.m_ptLast = CPoint(kSize / 2, kSize / 2);
    int nStep = 0;
    _paired(
        state, "paint_ms", "drag_ms", [&] { _paint(view); },
        [&] {
            const int dx = (nStep++ % 2 == 0) ? 4 : -4;
            view.mouseDragTo(CPoint(view.m_ptLast.x + dx, view.m_ptLast.y + dx / 2));
            view.UpdateWindow();
        });
    view.m_pGL4d->setRotateValue(0.0, 0.0, 0.0);
}

// A pick over a sensor: selection pass, hit choice and the host's callback.
void BM_Pick(benchmark::State& state) {
    SDialogs& d = _dialogs(state);
    CStaticContMap& view = d.timeView();
    // The first point, on squares growing around the centre, that hits a sensor.
    CPoint ptHit(-1, -1);
    for (int r = 0; r < 200 && ptHit.x < 0; r += 3) {
        for (int a = 0; a < 9 && ptHit.x < 0; ++a) {
            const int x = kSize / 2 + r * ((a % 3) - 1), y = kSize / 2 + r * ((a / 3) - 1);
            g_nPickedChannel = -1;
            view.pickSensorAt(x, y);
            if (g_nPickedChannel >= 0) {
                ptHit = CPoint(x, y);
            }
        }
    }
    if (ptHit.x < 0) {
        state.SkipWithError("no sensor found to pick");
    }
    for (auto _ : state) {
        view.pickSensorAt(ptHit.x, ptHit.y);
    }
    state.counters["channel"] = g_nPickedChannel;
}

} // namespace

BENCHMARK(BM_EmptyFrame)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_BareFrame)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_TimeDomainPaint)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_RotateDragStep)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SelectionChangePaint)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_Pick)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PaintOverBareFrame)->Unit(benchmark::kMillisecond)->UseManualTime();
BENCHMARK(BM_DragStepOverPaint)->Unit(benchmark::kMillisecond)->UseManualTime();
BENCHMARK(BM_FrequencyPaint)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_SpectralPaint)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char** argv) {
    // Measured on the offscreen platform unless told otherwise, as in the tests.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    AfxSetMessageBoxHandler(_toStderr);
    g_pfnQtDefault = qInstallMessageHandler(_quietRaise);
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
        return 1;
    }
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    g_pDialogs.reset();
    return 0;
}
