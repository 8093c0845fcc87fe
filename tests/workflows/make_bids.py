#!/usr/bin/python3
"""Writes a small BIDS tree of MEG recordings made with MNE-Python itself (no downloads).

    make_bids.py ROOT [--subjects 2] [--runs 2] [--kind raw|evoked] [--seconds 12] [--damaged]

Each recording is a FIF file under plain BIDS names (sub-XX/meg/sub-XX_task-auditory_run-N_meg.fif):
40 magnetometers and 40 planar gradiometers on a helmet-shaped cap, an SSP projector over the
magnetometers and, for raw recordings, a stimulus channel with an event every second, each
followed 100 ms later by a dipolar response. --damaged cuts the last subject's last run short,
as an interrupted copy would. Exits 77 (skipped) when MNE-Python is missing.
"""

import argparse
import json
import os
import sys

try:
    import mne
    import numpy as np
except ImportError as missing:
    print(f"skipped: MNE-Python is not installed ({missing}); ./run test installs python3-mne")
    sys.exit(77)

N_SENSORS = 40
SFREQ = 250.0
TASK = "auditory"


def _info():
    k = np.arange(N_SENSORS) + 0.5
    z = 1 - 0.7 * k / N_SENSORS
    phi = np.pi * (1 + 5 ** 0.5) * k
    pos = 0.1 * np.c_[np.sqrt(1 - z * z) * np.cos(phi), np.sqrt(1 - z * z) * np.sin(phi), z]
    names = [f"MEG{i:03d}" for i in range(2 * N_SENSORS)] + ["STI014"]
    info = mne.create_info(names, SFREQ, ["mag"] * N_SENSORS + ["grad"] * N_SENSORS + ["stim"])
    for ch, p in zip(info["chs"], np.r_[pos, pos]):
        ch["loc"][:] = np.r_[p, np.zeros(6), p / np.linalg.norm(p)]
    return info, pos


def _pattern(pos, a, b):
    def pole(i):
        return np.exp(-np.sum((pos - pos[i]) ** 2, axis=1) / (2 * 0.025 ** 2))
    p = pole(a) - pole(b)
    return p / np.abs(p).max()


def make_recording(path, kind, seconds, seed):
    """One recording; the response's poles move with the seed so that recordings differ."""
    info, pos = _info()
    rng = np.random.default_rng(seed)
    n_samples = int(seconds * SFREQ)
    times = np.arange(n_samples) / SFREQ
    onsets = np.arange(0.5, seconds - 0.6, 1.0)
    wave = np.zeros(n_samples)
    for onset in onsets:
        wave += np.exp(-((times - onset - 0.1) ** 2) / (2 * 0.02 ** 2))
    a = 3 + seed % 7
    response = np.r_[300e-15 * _pattern(pos, a, N_SENSORS - 5), 50e-13 * _pattern(pos, a + 7, 20)]
    data = np.zeros((len(info["ch_names"]), n_samples))
    data[:-1] = np.outer(response, wave)
    data[:N_SENSORS] += 20e-15 * rng.standard_normal((N_SENSORS, n_samples))
    data[N_SENSORS:-1] += 4e-13 * rng.standard_normal((N_SENSORS, n_samples))
    data[-1, np.round(onsets * SFREQ).astype(int)] = 1
    projector = mne.Projection(
        data=dict(nrow=1, ncol=N_SENSORS, row_names=None, col_names=info["ch_names"][:N_SENSORS],
                  data=(pos[:, 0] / np.linalg.norm(pos[:, 0]))[np.newaxis]),
        kind=mne.io.constants.FIFF.FIFFV_PROJ_ITEM_FIELD, desc="environmental field",
        active=False, explained_var=None)
    raw = mne.io.RawArray(data, info, verbose=False)
    raw.add_proj([projector])
    if kind == "raw":
        raw.save(path, overwrite=True)
        return
    events = mne.find_events(raw, stim_channel="STI014", verbose=False)
    epochs = mne.Epochs(raw, events, tmin=-0.2, tmax=0.5, baseline=(None, 0), verbose=False)
    epochs.average().save(path, overwrite=True)


def make_tree(root, subjects=2, runs=2, kind="raw", seconds=12.0, damaged=False):
    """Writes the tree and returns the recordings' paths, the damaged one last."""
    mne.set_log_level("ERROR")
    os.makedirs(root, exist_ok=True)
    with open(os.path.join(root, "dataset_description.json"), "w") as f:
        json.dump({"Name": "ContourMap3D test study", "BIDSVersion": "1.8.0"}, f)
    paths = []
    for s in range(1, subjects + 1):
        folder = os.path.join(root, f"sub-{s:02d}", "meg")
        os.makedirs(folder, exist_ok=True)
        for r in range(1, runs + 1):
            # Evoked responses are derivatives, named as BIDS names those.
            suffix = "meg" if kind == "raw" else "ave"
            path = os.path.join(folder, f"sub-{s:02d}_task-{TASK}_run-{r}_{suffix}.fif")
            make_recording(path, kind, seconds, seed=10 * s + r)
            paths.append(path)
    if damaged:
        size = os.path.getsize(paths[-1])
        with open(paths[-1], "r+b") as f:
            f.truncate(size // 3)
    return paths


if __name__ == "__main__":
    p = argparse.ArgumentParser(description="Writes a small BIDS tree of MEG recordings.")
    p.add_argument("root")
    p.add_argument("--subjects", type=int, default=2)
    p.add_argument("--runs", type=int, default=2)
    p.add_argument("--kind", choices=["raw", "evoked"], default="raw")
    p.add_argument("--seconds", type=float, default=12.0)
    p.add_argument("--damaged", action="store_true")
    a = p.parse_args()
    for path in make_tree(a.root, a.subjects, a.runs, a.kind, a.seconds, a.damaged):
        print(path)
