#include "syntheticrecording.h"

#include "mdchannel.h"
#include "mdtrial.h"
#include "spctmchnl.h"
#include "spctmtrial.h"

#include <fftw3.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kSamplingRate = 1000.0;
constexpr int kSamples = 1000;
constexpr int kFirstSampleMs = -200;
constexpr int kColumns = 101; // 0 to 100 Hz on the 1 Hz grid of a 1000-sample transform
constexpr int kWindow = 200;
constexpr int kHop = 100;
constexpr int kWindows = (kSamples - kWindow) / kHop + 1;
constexpr int kRows = 1 + kWindows;
constexpr int kAlphaColumn = 10;

// Spacing the helmet aims for when it has room for it; denser arrays simply get closer.
constexpr double kSensorSpacingMm = 26.0;

using Vec3 = std::array<double, 3>;

Vec3 operator+(const Vec3& a, const Vec3& b) {
    return {a[0] + b[0], a[1] + b[1], a[2] + b[2]};
}
Vec3 operator-(const Vec3& a, const Vec3& b) {
    return {a[0] - b[0], a[1] - b[1], a[2] - b[2]};
}
Vec3 operator*(double s, const Vec3& a) {
    return {s * a[0], s * a[1], s * a[2]};
}
double dot(const Vec3& a, const Vec3& b) {
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}
double norm(const Vec3& a) {
    return std::sqrt(dot(a, a));
}
Vec3 cross(const Vec3& a, const Vec3& b) {
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}

// The helmet is an ellipsoid around the upper head; its rim reaches lower at the back than at
// the sides and leaves the face open at the front.
const Vec3 kHelmetCentre = {0.0, -8.0, 30.0};
const Vec3 kHelmetAxes = {128.0, 148.0, 136.0};

double rimAngle(double dPhi) {
    const double dFront = std::max(0.0, std::sin(dPhi));
    const double dBack = std::max(0.0, -std::sin(dPhi));
    const double dDeg = kPi / 180.0;
    return (120.0 - 30.0 * dFront * dFront * dFront + 8.0 * dBack * dBack) * dDeg;
}

double maxRimAngle() {
    return 128.0 * kPi / 180.0;
}

// Area of the helmet part within s times the rim angle, on the sphere of the ellipsoid's
// surface-equivalent radius (Thomsen's approximation); close enough to set a spacing.
double helmetArea(double dScale) {
    const double p = 1.6075;
    const double ab = std::pow(kHelmetAxes[0] * kHelmetAxes[1], p);
    const double ac = std::pow(kHelmetAxes[0] * kHelmetAxes[2], p);
    const double bc = std::pow(kHelmetAxes[1] * kHelmetAxes[2], p);
    const double dRadius2 = std::pow((ab + ac + bc) / 3.0, 1.0 / p);
    const int nSteps = 720;
    double dSum = 0.0;
    for (int i = 0; i < nSteps; ++i)
        dSum += 1.0 - std::cos(dScale * rimAngle(2.0 * kPi * (i + 0.5) / nSteps));
    return dRadius2 * dSum * 2.0 * kPi / nSteps;
}

struct SDirection {
    double dTheta;
    double dPhi;
    double dRimRatio; // how close to the rim, 1 on it
};

// Golden-angle spiral over the cap down to the lowest rim, keeping the points inside the rim:
// nearly uniform density with no seam, and the same points for the same count.
std::vector<SDirection> spiralInside(int nPoints, double dScale) {
    const double dGolden = kPi * (3.0 - std::sqrt(5.0));
    const double dCapCos = std::cos(dScale * maxRimAngle());
    std::vector<SDirection> aInside;
    for (int i = 0; i < nPoints; ++i) {
        const double dCos = 1.0 - (1.0 - dCapCos) * (i + 0.5) / nPoints;
        const double dTheta = std::acos(std::max(-1.0, std::min(1.0, dCos)));
        const double dPhi = std::fmod(i * dGolden, 2.0 * kPi);
        const double dRatio = dTheta / (dScale * rimAngle(dPhi));
        if (dRatio <= 1.0)
            aInside.push_back({dTheta, dPhi, dRatio});
    }
    return aInside;
}

struct SSensor {
    Vec3 position; // mm, head coordinates
    Vec3 normal;   // outward unit normal of the helmet
};

std::vector<SSensor> makeHelmet(int nSensors) {
    // Small arrays cover a smaller cap around the vertex so neighbours stay close.
    const double dWanted = nSensors * kSensorSpacingMm * kSensorSpacingMm * std::sqrt(3.0) / 2.0;
    double dScale = 1.0;
    if (helmetArea(1.0) > dWanted) {
        double dLow = 0.0;
        for (int k = 0; k < 50; ++k) {
            const double dMid = 0.5 * (dLow + dScale);
            (helmetArea(dMid) < dWanted ? dLow : dScale) = dMid;
        }
    }
    // The share of spiral points inside the rim sets where to start looking for a spiral
    // length that yields at least nSensors points.
    const int nProbe = 20000;
    const double dShare = static_cast<double>(spiralInside(nProbe, dScale).size()) / nProbe;
    int nLength = std::max(nSensors, static_cast<int>(nSensors / dShare) - 20);
    std::vector<SDirection> aPoints = spiralInside(nLength, dScale);
    while (static_cast<int>(aPoints.size()) < nSensors)
        aPoints = spiralInside(++nLength, dScale);
    // Surplus points go from the rim, where they are least missed.
    while (static_cast<int>(aPoints.size()) > nSensors) {
        auto it = std::max_element(
            aPoints.begin(), aPoints.end(),
            [](const SDirection& a, const SDirection& b) { return a.dRimRatio < b.dRimRatio; });
        aPoints.erase(it);
    }

    std::vector<SSensor> aSensors;
    aSensors.reserve(aPoints.size());
    for (const SDirection& d : aPoints) {
        const Vec3 u = {std::sin(d.dTheta) * std::cos(d.dPhi),
                        std::sin(d.dTheta) * std::sin(d.dPhi), std::cos(d.dTheta)};
        const Vec3 offset = {kHelmetAxes[0] * u[0], kHelmetAxes[1] * u[1], kHelmetAxes[2] * u[2]};
        const Vec3 gradient = {u[0] / kHelmetAxes[0], u[1] / kHelmetAxes[1], u[2] / kHelmetAxes[2]};
        aSensors.push_back({kHelmetCentre + offset, (1.0 / norm(gradient)) * gradient});
    }
    return aSensors;
}

// Magnetic field (tesla) at r of a current dipole q (A m) at r0 inside a spherically symmetric
// conductor centred at the origin; positions in metres (Sarvas, 1987).
Vec3 sarvasField(const Vec3& r, const Vec3& r0, const Vec3& q) {
    const Vec3 av = r - r0;
    const double a = norm(av);
    const double rn = norm(r);
    const double ar = dot(av, r);
    const double f = a * (rn * a + rn * rn - dot(r0, r));
    const Vec3 gradF =
        (a * a / rn + ar / a + 2.0 * a + 2.0 * rn) * r - (a + 2.0 * rn + ar / a) * r0;
    const Vec3 qr0 = cross(q, r0);
    return (1e-7 / (f * f)) * (f * qr0 - dot(qr0, r) * gradF);
}

// Sphere fitted to the head; dipoles are given in head coordinates.
const Vec3 kSphereCentre = {0.0, 0.0, 40.0};

struct SDipole {
    Vec3 position; // mm, head coordinates
    Vec3 moment;   // nA m
};

// Vertical current in the left superior temporal region: a tangential source whose field has
// one positive and one negative lobe, in front of and behind it.
const SDipole kEvokedSource = {{-52.0, 8.0, 45.0}, {0.0, 0.0, 80.0}};
// Midline occipital generator of the 10 Hz rhythm; its lobes lie over both occipital lobes.
const SDipole kAlphaSources[] = {{{0.0, -70.0, 48.0}, {0.0, 0.0, 40.0}}};

// Field component along the sensor's normal in femtotesla for the dipole at unit strength.
double sensorGain(const SSensor& sensor, const SDipole& dipole) {
    const Vec3 r = 1e-3 * (sensor.position - kSphereCentre);
    const Vec3 r0 = 1e-3 * (dipole.position - kSphereCentre);
    return dot(sarvasField(r, r0, 1e-9 * dipole.moment), sensor.normal) * 1e15;
}

double sampleTime(int i) {
    return (i + kFirstSampleMs) / kSamplingRate;
}

// Peak at 100 ms followed by a smaller, later opposite deflection.
double evokedTimeCourse(double t) {
    const double a = (t - 0.100) / 0.020;
    const double b = (t - 0.190) / 0.030;
    return std::exp(-0.5 * a * a) - 0.35 * std::exp(-0.5 * b * b);
}

// The rhythm weakens while the stimulus is processed.
double alphaEnvelope(double t) {
    const double a = (t - 0.200) / 0.150;
    return 1.0 - 0.85 * std::exp(-0.5 * a * a);
}

// std::normal_distribution differs between standard libraries; mt19937 and Box-Muller do not.
class CGaussianNoise {
public:
    explicit CGaussianNoise(unsigned nSeed) : m_generator(nSeed) {}

    double next() {
        if (m_bHaveSpare) {
            m_bHaveSpare = false;
            return m_dSpare;
        }
        const double u1 = uniform();
        const double u2 = uniform();
        const double dRadius = std::sqrt(-2.0 * std::log(u1));
        m_dSpare = dRadius * std::sin(2.0 * kPi * u2);
        m_bHaveSpare = true;
        return dRadius * std::cos(2.0 * kPi * u2);
    }

    // In (0, 1): never 0, so the logarithm above stays finite.
    double uniform() { return (static_cast<double>(m_generator()) + 0.5) / 4294967296.0; }

private:
    std::mt19937 m_generator;
    double m_dSpare = 0.0;
    bool m_bHaveSpare = false;
};

// Amplitude spectra on the 1 Hz grid: a sinusoid of amplitude A shows A in its column.
class CSpectrumMaker {
public:
    CSpectrumMaker()
        : m_pIn(fftw_alloc_real(kSamples)), m_pOut(fftw_alloc_complex(kSamples / 2 + 1)),
          m_plan(fftw_plan_dft_r2c_1d(kSamples, m_pIn, m_pOut, FFTW_ESTIMATE)), m_aHann(kWindow) {
        for (int n = 0; n < kWindow; ++n) {
            m_aHann[n] = 0.5 - 0.5 * std::cos(2.0 * kPi * n / (kWindow - 1));
            m_dHannSum += m_aHann[n];
        }
    }
    ~CSpectrumMaker() {
        fftw_destroy_plan(m_plan);
        fftw_free(m_pOut);
        fftw_free(m_pIn);
    }
    CSpectrumMaker(const CSpectrumMaker&) = delete;
    CSpectrumMaker& operator=(const CSpectrumMaker&) = delete;

    std::vector<double> make(const std::vector<double>& samples) {
        std::vector<double> values(static_cast<std::size_t>(kRows) * kColumns);
        std::copy(samples.begin(), samples.end(), m_pIn);
        transform(values.data(), static_cast<double>(kSamples));
        for (int w = 0; w < kWindows; ++w) {
            std::fill(m_pIn, m_pIn + kSamples, 0.0);
            for (int n = 0; n < kWindow; ++n)
                m_pIn[n] = samples[w * kHop + n] * m_aHann[n];
            transform(values.data() + static_cast<std::size_t>(1 + w) * kColumns, m_dHannSum);
        }
        return values;
    }

private:
    void transform(double* pRow, double dGain) {
        fftw_execute(m_plan);
        for (int k = 0; k < kColumns; ++k)
            pRow[k] = std::hypot(m_pOut[k][0], m_pOut[k][1]) * (k == 0 ? 1.0 : 2.0) / dGain;
    }

    double* m_pIn;
    fftw_complex* m_pOut;
    fftw_plan m_plan;
    std::vector<double> m_aHann;
    double m_dHannSum = 0.0;
};

std::wstring channelName(const char* prefix, int nNumber) {
    char buffer[32];
    std::snprintf(buffer, sizeof(buffer), "%s%03d", prefix, nNumber);
    return std::wstring(buffer, buffer + std::char_traits<char>::length(buffer));
}

CMDChannelqv* addChannel(CMDTrialqv& trial, int nSlot, const std::wstring& name, int nKind,
                         const std::vector<double>& samples) {
    CMDChannelqv* pChannel = trial.createChannel(nSlot);
    pChannel->m_strChnlName = name;
    pChannel->setChnlKind(nKind);
    pChannel->setDataWave(samples);
    return pChannel;
}

} // namespace

std::unique_ptr<CMEGDataqv> makeSyntheticRecording(const CSyntheticOptionsqv& options) {
    const int nMeg = options.nMegChannels;
    if (nMeg < 1 || nMeg > CSyntheticOptionsqv::nMaxMegChannels ||
        !std::isfinite(options.dNoiseFt) || options.dNoiseFt < 0.0)
        return nullptr;

    const std::vector<SSensor> aSensors = makeHelmet(nMeg);
    CGaussianNoise noise(options.nSeed);
    std::vector<double> aAlphaPhase;
    for (std::size_t k = 0; k < std::size(kAlphaSources); ++k)
        aAlphaPhase.push_back(2.0 * kPi * noise.uniform());

    std::vector<double> aEvoked(kSamples);
    std::vector<double> aAlpha(std::size(kAlphaSources) * kSamples);
    int nPeakSample = 0;
    for (int i = 0; i < kSamples; ++i) {
        const double t = sampleTime(i);
        aEvoked[i] = evokedTimeCourse(t);
        if (std::fabs(aEvoked[i]) > std::fabs(aEvoked[nPeakSample]))
            nPeakSample = i;
        for (std::size_t k = 0; k < std::size(kAlphaSources); ++k)
            aAlpha[k * kSamples + i] =
                alphaEnvelope(t) * std::sin(2.0 * kPi * 10.0 * t + aAlphaPhase[k]);
    }

    auto pData = std::make_unique<CMEGDataqv>();
    pData->setSamplingRate(kSamplingRate);
    pData->setFirstSampleTime(kFirstSampleMs / kSamplingRate);
    // Row 0 spans the whole trial and has no single time; a window's time is where its
    // selection time (m_nSelectTime) puts it: half a window after its first sample.
    std::vector<double> aFreqs(kColumns);
    for (int k = 0; k < kColumns; ++k)
        aFreqs[k] = k * kSamplingRate / kSamples;
    std::vector<double> aRowTimes(kRows, std::numeric_limits<double>::quiet_NaN());
    for (int w = 0; w < kWindows; ++w)
        aRowTimes[1 + w] = sampleTime(w * kHop + kWindow / 2);
    pData->setSpctmAxes(aFreqs, aRowTimes);
    CMDTrialqv& trial = *pData->addTrial();
    const int nEmptySlot = nMeg;
    trial.setTotalChannel(nMeg + 8);
    trial.setSampleCount(kSamples);

    // The current channel is the one with the strongest evoked field at the peak.
    std::vector<double> aEvokedGain(nMeg);
    int nCurrent = 0;
    for (int c = 0; c < nMeg; ++c) {
        aEvokedGain[c] = sensorGain(aSensors[c], kEvokedSource);
        if (std::fabs(aEvokedGain[c]) > std::fabs(aEvokedGain[nCurrent]))
            nCurrent = c;
    }
    int nBad = -1;
    if (nMeg > 1)
        nBad = (2 * nMeg / 3 == nCurrent) ? (nCurrent + 1) % nMeg : 2 * nMeg / 3;

    CSpectrumMaker spectra;
    std::vector<double> samples(kSamples);
    for (int c = 0; c < nMeg; ++c) {
        std::array<double, std::size(kAlphaSources)> aAlphaGain;
        for (std::size_t k = 0; k < std::size(kAlphaSources); ++k)
            aAlphaGain[k] = sensorGain(aSensors[c], kAlphaSources[k]);
        for (int i = 0; i < kSamples; ++i) {
            double dValue = noise.next() * options.dNoiseFt;
            if (c == nBad) {
                // A dead sensor: only a trace of noise.
                samples[i] = 0.05 * dValue;
                continue;
            }
            dValue += aEvokedGain[c] * aEvoked[i];
            for (std::size_t k = 0; k < std::size(kAlphaSources); ++k)
                dValue += aAlphaGain[k] * aAlpha[k * kSamples + i];
            samples[i] = dValue;
        }
        CMDChannelqv* pChannel = addChannel(trial, c, channelName("MEG", c + 1),
                                            CMDChannel0SensorInfo::kindMEG, samples);
        const Vec3& p = aSensors[c].position;
        pChannel->addCoil(p[0], p[1], p[2]);
        pChannel->getSpctmChnl(true, 0)->setSpctmData(0, kRows, kColumns, spectra.make(samples));
    }
    if (nBad >= 0)
        pData->setGoodChnl4Alltrials(nBad, 0);

    // Scalp electrodes Cz, C3, C4 in microvolts, following the evoked response and the rhythm.
    const Vec3 aElectrodes[] = {{0.0, 0.0, 130.0}, {-64.0, 0.0, 104.0}, {64.0, 0.0, 104.0}};
    int nSlot = nEmptySlot + 1;
    for (int e = 0; e < 3; ++e) {
        for (int i = 0; i < kSamples; ++i)
            samples[i] = -6.0 * aEvoked[i] + 3.0 * aAlpha[i] + noise.next();
        CMDChannelqv* pChannel = addChannel(trial, nSlot++, channelName("EEG", e + 1),
                                            CMDChannel0SensorInfo::kindEEG, samples);
        pChannel->addCoil(aElectrodes[e][0], aElectrodes[e][1], aElectrodes[e][2]);
    }
    // Eye channels with a blink at 450 ms.
    for (int e = 0; e < 2; ++e) {
        for (int i = 0; i < kSamples; ++i) {
            const double a = (sampleTime(i) - 0.450) / 0.060;
            samples[i] = (e == 0 ? 120.0 : -40.0) * std::exp(-0.5 * a * a) + 2.0 * noise.next();
        }
        addChannel(trial, nSlot++, channelName("EOG", e + 1), CMDChannel0SensorInfo::kindEOG,
                   samples);
    }
    // Trigger line: a 5 V pulse of 10 ms at stimulus onset.
    for (int i = 0; i < kSamples; ++i)
        samples[i] = (i >= -kFirstSampleMs && i < -kFirstSampleMs + 10) ? 5.0 : 0.0;
    addChannel(trial, nSlot++, channelName("STI", 1), CMDChannel0SensorInfo::kindStim, samples);
    for (int i = 0; i < kSamples; ++i)
        samples[i] = noise.next();
    addChannel(trial, nSlot++, channelName("MISC", 1), CMDChannel0SensorInfo::kindMisc, samples);

    // Nasion, left and right pre-auricular points, then marker coils on forehead and vertex.
    const Vec3 aFiducials[] = {{0.0, 95.0, 0.0},    {-72.0, 0.0, 0.0},  {72.0, 0.0, 0.0},
                               {-30.0, 88.0, 55.0}, {30.0, 88.0, 55.0}, {0.0, 10.0, 122.0}};
    CFiducialqv* pFiducials = pData->createFidWorkMeg();
    for (int k = 0; k < CFiducialqv::nFiducialPts; ++k)
        pFiducials->m_FiduciaryPt[k].setPoint(aFiducials[k][0], aFiducials[k][1], aFiducials[k][2]);

    pData->setSelect(nPeakSample);
    trial.setCurrentChannel(nCurrent);
    // The last window, well after the evoked response and with the rhythm at full strength.
    CSpctmTrialqv* pSpectral = trial.getSpctmTrial(true, 0);
    pSpectral->m_nSelectFreqBin = kAlphaColumn;
    pSpectral->m_nSelectRow = kWindows;
    pSpectral->m_nSelectColumn = kAlphaColumn;
    pSpectral->m_nSelectTime = (kWindows - 1) * kHop + kWindow / 2;
    return pData;
}
