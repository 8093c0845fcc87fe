"""Small BIDS trees of MEG recordings made with MNE-Python itself (no downloads), for the study
workflow's tests and benchmark.

Each recording is a FIF file under plain BIDS names (sub-XX/meg/sub-XX_task-auditory_run-N_meg.fif)
with the sensors and SSP projector of tests/tools/meg_test_files.py and, for raw recordings, a
stimulus channel with an event every second, each followed 100 ms later by a dipolar response.
Exits 77 (skipped) when MNE-Python is missing.
"""

import json
import os
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tools"))
import meg_test_files as meg  # noqa: E402 (exits 77 without MNE-Python)
import mne  # noqa: E402
import numpy as np  # noqa: E402


def make_recording(path, kind, seconds, seed):
    """One recording; the response's poles move with the seed so that recordings differ."""
    pos = meg.SENSORS
    n = len(pos)
    times = np.arange(int(seconds * meg.SFREQ)) / meg.SFREQ
    onsets = np.arange(0.5, seconds - 0.6, 1.0)
    wave = sum(np.exp(-((times - t - 0.1) ** 2) / (2 * 0.02 ** 2)) for t in onsets)
    a = 3 + seed % 7
    response = np.r_[300e-15 * meg._dipolar(pos, a, n - 5), 50e-13 * meg._dipolar(pos, a + 7, 20)]
    noise = np.random.default_rng(seed).standard_normal((2 * n, len(times)))
    data = np.outer(response, wave) + np.r_[20e-15 * noise[:n], 4e-13 * noise[n:]]
    raw = mne.io.RawArray(data, meg._info(pos), verbose=False)
    stim = np.zeros((1, len(times)))
    stim[0, np.round(onsets * meg.SFREQ).astype(int)] = 1
    raw.add_channels([mne.io.RawArray(stim, mne.create_info(["STI014"], meg.SFREQ, "stim"),
                                      verbose=False)], force_update_info=True)
    raw.add_proj([meg.noise_projector(raw.info, pos)])
    if kind == "evoked":
        events = mne.find_events(raw, stim_channel="STI014", verbose=False)
        raw = mne.Epochs(raw, events, tmin=-0.2, tmax=0.5, verbose=False).average()
    raw.save(path, overwrite=True)


def make_tree(root, subjects=2, runs=2, kind="raw", seconds=12.0, damaged=False):
    """Writes the tree and returns the recordings' paths; damaged cuts the last one short, as an
    interrupted copy would. Evoked responses are derivatives, named *_ave.fif as BIDS names them."""
    mne.set_log_level("ERROR")
    os.makedirs(root, exist_ok=True)
    with open(os.path.join(root, "dataset_description.json"), "w") as f:
        json.dump({"Name": "ContourMap3D test study", "BIDSVersion": "1.8.0"}, f)
    paths = []
    for s in range(1, subjects + 1):
        folder = os.path.join(root, f"sub-{s:02d}", "meg")
        os.makedirs(folder, exist_ok=True)
        for r in range(1, runs + 1):
            suffix = "meg" if kind == "raw" else "ave"
            paths.append(os.path.join(folder, f"sub-{s:02d}_task-auditory_run-{r}_{suffix}.fif"))
            make_recording(paths[-1], kind, seconds, seed=10 * s + r)
    if damaged:
        with open(paths[-1], "r+b") as f:
            f.truncate(os.path.getsize(paths[-1]) // 3)
    return paths
