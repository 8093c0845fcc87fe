"""MEG files made with MNE-Python itself (no downloads) for test_mne_export.py, and as a script
(`meg_test_files.py FOLDER`) for the C++ tests that open MEG files and the demo's screenshot.
Exits 77 (skipped) when MNE-Python is missing."""

import math
import os
import sys

try:
    import mne
    import numpy as np
except ImportError as missing:
    print(f"skipped: MNE-Python is not installed ({missing}); ./run test installs python3-mne")
    sys.exit(77)
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools"))
from mne_example import helmet  # noqa: E402

EVOKED_NAME = "evoked-ave.fif"
N_SENSORS = 40
SFREQ = 500.0
TMIN, TMAX = -0.2, 0.5
RESPONSE_TIME = 0.1
ARTEFACT_TIME = -0.15
# Peak amplitudes in T (magnetometers) and T/m (gradiometers).
RESPONSE_MAG, RESPONSE_GRAD = 200e-15, 40e-13
NOISE_MAG = 1000e-15
ARTEFACT_MAG = 900e-15
# The sensors' places on a cap of a 10 cm sphere (device coordinates, m).
SENSORS = helmet(N_SENSORS, reach=0.7, radius=0.1, centre=0)[0]


def place(info, pos):
    """Puts the first len(pos) channels of info at pos, each facing away from the origin."""
    for ch, p in zip(info["chs"], pos):
        ch["loc"][:] = np.r_[p, np.zeros(6), p / np.linalg.norm(p)]
    return info


def _info(pos):
    n = len(pos)
    names = [f"MEG{i:03d}" for i in range(2 * n)]
    return place(mne.create_info(names, SFREQ, ["mag"] * n + ["grad"] * n), np.r_[pos, pos])


def _dipolar(pos, a, b):
    """A field with a positive pole at sensor a and a negative one at sensor b (peak 1)."""
    def pole(i):
        return np.exp(-np.sum((pos - pos[i]) ** 2, axis=1) / (2 * 0.025 ** 2))
    pattern = pole(a) - pole(b)
    return pattern / np.abs(pattern).max()


def noise_pattern(pos):
    """The environmental field the projector removes: a smooth gradient across the helmet."""
    pattern = pos[:, 0] + 0.5 * pos[:, 2]
    return pattern / np.linalg.norm(pattern)


def projector(names, vector, desc):
    """An SSP projector (not applied) that removes vector from the channels names."""
    return mne.Projection(
        data=dict(nrow=1, ncol=len(names), row_names=None, col_names=list(names),
                  data=np.asarray(vector)[np.newaxis]),
        kind=mne.io.constants.FIFF.FIFFV_PROJ_ITEM_FIELD, desc=desc, active=False,
        explained_var=None)


def noise_projector(info, pos):
    """The projector that removes noise_pattern from the first len(pos) channels of info."""
    return projector(info["ch_names"][:len(pos)], noise_pattern(pos), "environmental field")


def make_evoked_file(folder):
    """An evoked file (its path returned) of magnetometers and gradiometers at the same places with
    a response at RESPONSE_TIME, an SSP projector over the magnetometers and two conditions:
    "noise", a 10 Hz environmental field along the projector, far stronger than the response;
    "artefact", a pre-stimulus spike at ARTEFACT_TIME, larger than the response, not projected."""
    pos = SENSORS
    n = len(pos)
    info = _info(pos)
    times = np.arange(int(round((TMAX - TMIN) * SFREQ)) + 1) / SFREQ + TMIN
    wave = np.exp(-((times - RESPONSE_TIME) ** 2) / (2 * 0.02 ** 2))
    rng = np.random.default_rng(7)
    response = np.r_[RESPONSE_MAG * _dipolar(pos, 3, n - 5), RESPONSE_GRAD * _dipolar(pos, 10, 20)]
    base = np.outer(response, wave)
    base[:n] += 5e-15 * rng.standard_normal((n, len(times)))
    base[n:] += 1e-13 * rng.standard_normal((n, len(times)))

    noise = base.copy()
    noise[:n] += NOISE_MAG * np.outer(noise_pattern(pos), np.sin(2 * np.pi * 10 * times)) * \
        math.sqrt(n) / 2
    artefact = base.copy()
    spike = np.exp(-((times - ARTEFACT_TIME) ** 2) / (2 * 0.004 ** 2))
    artefact[:3] += ARTEFACT_MAG * spike

    evokeds = [mne.EvokedArray(data, info, tmin=TMIN, comment=comment, nave=60)
               .add_proj([noise_projector(info, pos)])
               for data, comment in ((noise, "noise"), (artefact, "artefact"))]
    path = os.path.join(folder, EVOKED_NAME)
    mne.write_evokeds(path, evokeds, overwrite=True)
    return path


LONG_RAW_NAME = "long_raw.fif"
LONG_SFREQ = 1000.0
TRANSIENT_EVERY = 7.0  # s, from 3.5 s on; each is marked by code 5 on STI 014
ANNOTATIONS = [(12.5, 1.0, "spike"), (30.0, 2.5, "BAD_segment")]


def make_long_raw(folder, seconds=75.0):
    """A raw recording of N_SENSORS magnetometers at 1 kHz with what long raw files have: sensor
    offsets and a slow drift, an environmental field an SSP projector removes, a 300 ms transient
    every TRANSIENT_EVERY s with its event on a stimulus channel, annotations and a bad channel.
    Returns the path and the Raw object as written."""
    pos = SENSORS
    n, n_times = len(pos), int(seconds * LONG_SFREQ)
    info = mne.create_info([f"MEG{i:03d}" for i in range(n)] + ["STI 014"], LONG_SFREQ,
                           ["mag"] * n + ["stim"])
    place(info, pos)["bads"] = [info["ch_names"][n - 1]]
    rng = np.random.default_rng(11)
    t = np.arange(n_times) / LONG_SFREQ
    data = np.zeros((n + 1, n_times))
    data[:n] = 20e-15 * rng.standard_normal((n, n_times))
    data[:n] += np.linspace(-800e-15, 800e-15, n)[:, None] + np.outer(
        rng.uniform(-1, 1, n), 300e-15 * t / seconds)
    data[:n] += NOISE_MAG * np.outer(noise_pattern(pos), np.sin(2 * np.pi * 0.7 * t))
    pattern = RESPONSE_MAG * _dipolar(pos, 3, n - 5)
    for onset in np.arange(3.5, seconds - 1, TRANSIENT_EVERY):
        first = int(onset * LONG_SFREQ)
        data[:n, first:first + 300] += np.outer(pattern, np.hanning(300))
        data[n, first:first + 10] = 5
    raw = mne.io.RawArray(data, info, first_samp=1234)
    raw.add_proj([noise_projector(info, pos)])
    # Without an origin, onsets are given from the first sample.
    raw.set_annotations(mne.Annotations(*zip(*ANNOTATIONS)))
    path = os.path.join(folder, LONG_RAW_NAME)
    raw.save(path, overwrite=True)
    return path, mne.io.read_raw_fif(path)


if __name__ == "__main__":
    mne.set_log_level("ERROR")
    os.makedirs(sys.argv[1], exist_ok=True)
    print(make_evoked_file(sys.argv[1]))
    print(make_long_raw(sys.argv[1])[0])
