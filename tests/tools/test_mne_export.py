"""Exports recordings that MNE itself makes (no downloads) and checks the JSON and a picture of it.

Run by CTest: test_mne_export.py EXPORTER RENDER. Exits 77 (skipped) only when MNE is missing.
"""

import itertools
import json
import math
import os
import subprocess
import sys
import tempfile
import unittest

import meg_test_files  # exits 77 without MNE-Python
import mne
import numpy as np
from PIL import Image

EXPORTER = RENDER = WORK = None
OUTPUTS = itertools.count()
SFREQ = 250.0
N_MEG = 30
BURST_TIME = 2.0
# Device to head: 10 degrees about x, then 2 cm forward and 4.5 cm up.
ANGLE = math.radians(10)
DEV_HEAD = np.array([[1, 0, 0, 0], [0, math.cos(ANGLE), -math.sin(ANGLE), 0.02],
                     [0, math.sin(ANGLE), math.cos(ANGLE), 0.045], [0, 0, 0, 1]])
NASION, LPA, RPA = [0, 0.1, 0], [-0.08, 0, 0], [0.08, 0, 0]
HPI = [[0.05, 0.06, 0.05], [-0.05, 0.06, 0.05], [0, -0.05, 0.09]]
EEG_POS = {"EEG1": [0, 0, 0.1], "EEG2": [-0.05, 0.05, 0.08], "EEG3": [0.05, -0.05, 0.08]}


def bump(pos, centre, amplitude, n_times, sfreq, seed):
    """A Gaussian spatial bump times a 10 Hz burst at BURST_TIME, plus a little noise."""
    t = np.arange(n_times) / sfreq
    burst = np.sin(2 * np.pi * 10 * t) * np.exp(-(t - BURST_TIME) ** 2 / (2 * 0.3 ** 2))
    pattern = np.exp(-np.sum((pos - pos[centre]) ** 2, axis=1) / (2 * 0.03 ** 2))
    noise = np.random.default_rng(seed).standard_normal((len(pos), n_times))
    return amplitude * (pattern[:, None] * burst + 0.004 * noise)


def meg_info(types, pos, sfreq, extra=()):
    names = [f"MEG{i:03d}" for i in range(len(types))] + [name for name, _ in extra]
    types = list(types) + [kind for _, kind in extra]
    info = meg_test_files.place(mne.create_info(names, sfreq, types), pos)
    info["dev_head_t"] = mne.transforms.Transform("meg", "head", DEV_HEAD)
    return info


def make_recordings():
    pos = meg_test_files.helmet(N_MEG)
    peak, bad = int(np.argmax(pos[:, 0])), int(np.argmin(pos[:, 0]))
    extra = [("EEG1", "eeg"), ("EEG2", "eeg"), ("EEG3", "eeg"), ("EOG1", "eog"), ("STI1", "stim")]
    info = meg_info(["mag"] * N_MEG, pos, SFREQ, extra)
    info.set_montage(mne.channels.make_dig_montage(
        ch_pos=EEG_POS, nasion=NASION, lpa=LPA, rpa=RPA, hpi=HPI, coord_frame="head"))
    info["bads"] = [info["ch_names"][bad]]
    n_times = int(4 * SFREQ)
    data = np.zeros((len(info["ch_names"]), n_times))
    data[:N_MEG] = bump(pos, peak, 5e-13, n_times, SFREQ, 1)
    data[N_MEG:N_MEG + 4] = 1e-5 * np.random.default_rng(2).standard_normal((4, n_times))
    raw = mne.io.RawArray(data, info)
    raw.save(os.path.join(WORK, "sim_raw.fif"))
    epochs = mne.make_fixed_length_epochs(raw, duration=1.0, preload=True)
    epochs.save(os.path.join(WORK, "sim-epo.fif"))
    mne.EvokedArray(data[:, :200], info, tmin=-0.2).save(os.path.join(WORK, "sim-ave.fif"))
    raw.copy().pick("eeg").save(os.path.join(WORK, "eeg_raw.fif"))
    # Magnetometers peak where the first recording does, gradiometers (same places) where its
    # bad channel is; 3000 samples.
    both_rate = 1000.0
    both = meg_info(["mag"] * N_MEG + ["grad"] * N_MEG, np.r_[pos, pos], both_rate)
    n_both = int(3 * both_rate)
    both_data = np.r_[bump(pos, peak, 5e-13, n_both, both_rate, 3),
                      bump(pos, bad, 4e-11, n_both, both_rate, 4)]
    mne.io.RawArray(both_data, both).save(os.path.join(WORK, "both_raw.fif"))
    return raw, epochs, pos, peak, bad


def without_offsets(data, rows=slice(None)):
    """What the bridge writes of raw data channels: each one's mean removed."""
    data = data[rows]
    return data - data.mean(axis=-1, keepdims=True)


def export(source, *options, expect_ok=True, out=None):
    out = out or os.path.join(WORK, f"out{next(OUTPUTS)}.json")
    run = subprocess.run([sys.executable, EXPORTER, source, "--out", out, *options],
                         capture_output=True, text=True, timeout=300)
    if not expect_ok:
        return run
    assert run.returncode == 0, run.stderr
    with open(out, encoding="utf-8") as f:
        return json.load(f)


def head_mm(device_m):
    return (DEV_HEAD[:3, :3] @ np.asarray(device_m).T).T * 1000 + DEV_HEAD[:3, 3] * 1000


def project(points_mm, size, distance=750.0, fov_y=30.0):
    """Pixel column and row (from the top) of head points under the renderer's start camera:
    unrotated, looking down -z from `distance`, perspective with a vertical field of view fov_y."""
    f = 1 / math.tan(math.radians(fov_y) / 2)
    depth = distance - points_mm[:, 2]
    return np.c_[(1 + f * points_mm[:, 0] / depth) * size / 2,
                 (1 - f * points_mm[:, 1] / depth) * size / 2]


def written(out, rows):
    return np.array([out["channels"][i]["samples"] for i in rows])


class ExportTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.raw, cls.epochs, cls.pos, cls.peak, cls.bad = make_recordings()
        cls.sim = os.path.join(WORK, "sim_raw.fif")
        cls.json = os.path.join(WORK, "sim.json")
        cls.out = export(cls.sim, out=cls.json)

    def test_channels_units_fiducials_spectra_and_default_selection(self):
        out, chs = self.out, self.out["channels"]
        self.assertEqual([c["kind"] for c in chs],
                         ["meg"] * N_MEG + ["eeg"] * 3 + ["eog", "stim"])
        self.assertEqual([c["name"] for c in chs], self.raw.ch_names)
        self.assertEqual([c.get("good", True) for c in chs[:N_MEG]],
                         [i != self.bad for i in range(N_MEG)])
        np.testing.assert_allclose([c["coils"][0] for c in chs[:N_MEG]], head_mm(self.pos),
                                   atol=1e-3)
        np.testing.assert_allclose(chs[N_MEG]["coils"][0], [0, 0, 100], atol=1e-3)
        self.assertNotIn("coils", chs[-1])
        self.assertEqual((out["unit"], out["sampling_rate"], out["first_sample_time"]),
                         ("fT", SFREQ, 0.0))
        np.testing.assert_allclose(out["fiducials"], np.r_[[NASION, LPA, RPA], HPI] * 1000,
                                   atol=1e-3)
        # One frequency grid, rows in time order after the whole recording's spectrum.
        freqs, rows = out["frequencies"], out["row_times"]
        self.assertEqual([len(freqs), len(rows)],
                         [chs[0]["spectrum"][k] for k in ("columns", "rows")])
        self.assertTrue(1 <= freqs[0] and freqs[-1] <= 45 and rows[0] is None)
        self.assertTrue(all(a < b for a, b in zip(rows[1:], rows[2:])))
        self.assertNotIn("spectrum", chs[N_MEG])
        good = [i for i in range(N_MEG) if i != self.bad]
        field_power = np.sqrt(np.mean(without_offsets(self.raw.get_data(), good) ** 2, axis=0))
        sel = out["selection"]
        self.assertEqual(sel["sample"], field_power.argmax(), "raw: the whole recording's peak")
        self.assertEqual((freqs[sel["bin"]], freqs[sel["column"]]), (10, 10))
        self.assertLessEqual(abs(rows[sel["row"]] - BURST_TIME), (rows[2] - rows[1]) / 2 + 1e-9)
        # The burst's 10 Hz cell stands out from the same column before it.
        data = np.reshape(chs[self.peak]["spectrum"]["data"], (len(rows), len(freqs)))
        self.assertGreater(data[sel["row"], sel["column"]], 10 * data[1, sel["column"]])

    def test_selection_options_crop_and_decimation(self):
        out = export(self.sim, "--time", "1.0", "--freq", "21", "--cell-at", "3.1,30")
        sel, freqs, rows = out["selection"], out["frequencies"], out["row_times"]
        self.assertEqual(sel["sample"], 250)
        self.assertIn(freqs[sel["bin"]], (20, 22))
        self.assertEqual(freqs[sel["column"]], 30)
        self.assertEqual(np.argmin([abs(t - 3.1) for t in rows[1:]]) + 1, sel["row"])
        out = export(self.sim, "--tmin", "1", "--tmax", "3", "--decim", "2")
        samples = out["channels"][self.peak]["samples"]
        self.assertEqual((out["first_sample_time"], out["sampling_rate"], len(samples)),
                         (1.0, SFREQ / 2, 251))
        peak = np.abs(self.raw.get_data()[self.peak]).max() * 1e15
        self.assertAlmostEqual(max(map(abs, samples)) / peak, 1, delta=0.03)
        self.assertGreaterEqual(out["row_times"][1], 1.0)

    def test_epochs_are_averaged_and_evoked_keeps_its_times(self):
        out = export(os.path.join(WORK, "sim-epo.fif"))
        mean = self.epochs.get_data()[:, self.peak].mean(axis=0) * 1e15
        np.testing.assert_allclose(written(out, [self.peak])[0], mean, rtol=1e-5, atol=1e-3)
        out = export(os.path.join(WORK, "sim-ave.fif"))
        self.assertAlmostEqual(out["first_sample_time"], -0.2, places=6)  # FIF keeps float32
        self.assertEqual(len(out["channels"][0]["samples"]), 200)

    def test_magnetometers_or_gradiometers_are_measured(self):
        both = os.path.join(WORK, "both_raw.fif")
        mags, grads = export(both, "--ch-type", "mag"), export(both, "--ch-type", "grad")
        self.assertEqual((mags["unit"], grads["unit"]), ("fT", "fT/cm"))
        for out, measured in ((mags, slice(0, N_MEG)), (grads, slice(N_MEG, 2 * N_MEG))):
            kinds = np.array([c["kind"] for c in out["channels"]])
            self.assertTrue(all(kinds[measured] == "meg") and sum(kinds == "misc") == N_MEG)
            self.assertEqual(out["store"]["total"], 3000, "a long raw file is stored whole")
        store = np.load(os.path.join(WORK, grads["store"]["file"]))
        strongest = int(np.abs(store[:, N_MEG:2 * N_MEG]).max(axis=0).argmax())
        self.assertEqual(grads["channels"][N_MEG + strongest]["name"],
                         f"MEG{N_MEG + self.bad:03d}")
        self.assertAlmostEqual(np.abs(store[:, N_MEG + strongest]).max(), 4e-11 * 1e13, delta=20)

    def test_strongest_sensor_is_drawn_in_the_strongest_colour(self):
        sample = int(self.raw.get_data()[self.peak].argmax())
        size, png = 400, os.path.join(WORK, "peak.png")
        # Measured positions (no recentring) and spheres only, so the camera alone places them.
        run = subprocess.run([RENDER, "--recording", self.json, "--sample", str(sample),
                              "--no-surface", "--no-fiducials", "--no-autofit-place",
                              "--size", f"{size}x{size}", "--out", png],
                             capture_output=True, text=True, timeout=120)
        self.assertEqual(run.returncode, 0, run.stderr)
        pixels = np.asarray(Image.open(png).convert("RGB")).astype(int)
        # The deep end of the warm scale has the largest red-green difference of the colours;
        # the sensors lie about 30 pixels apart, so the warm blob is the strongest sensor's.
        warmth = pixels[:, :, 0] - pixels[:, :, 1]
        blob_y, blob_x = np.nonzero(warmth > warmth.max() / 2)
        peak = project(head_mm(self.pos), size)[self.peak]
        self.assertLess(np.hypot(*(peak - [blob_x.mean(), blob_y.mean()])), 3)
        y, x = np.unravel_index(warmth.argmax(), warmth.shape)
        self.assertGreater(pixels[y, x, 0], pixels[y, x, 2] + 60, "a warm colour")

    def test_raw_offsets_are_removed_unless_asked_to_keep_them(self):
        # Sensor offsets 50 times the burst, as raw KIT and 4D data have, and a stimulus channel
        # whose values are event codes.
        offsets = np.r_[np.linspace(-2.5e-11, 2.5e-11, N_MEG), [3e-4, -2e-4, 1e-4, 5e-4], [0]]
        data = self.raw.get_data() + offsets[:, np.newaxis]
        data[-1, 100:110] = 5
        path = os.path.join(WORK, "offsets_raw.fif")
        mne.io.RawArray(data, self.raw.info).save(path, overwrite=True)
        data = mne.io.read_raw_fif(path).get_data()  # as stored: single precision
        meg, eeg = range(N_MEG), range(N_MEG, N_MEG + 4)
        out, kept = export(path), export(path, "--keep-dc")
        np.testing.assert_allclose(written(out, meg), without_offsets(data, meg) * 1e15,
                                   rtol=1e-5, atol=1e-3)
        np.testing.assert_allclose(written(out, eeg), without_offsets(data, eeg) * 1e6,
                                   rtol=1e-5, atol=1e-6)
        self.assertEqual(written(out, [-1]).max(), 5, "event codes stay as they are")
        # The first time is the burst's field-power peak, as without offsets.
        self.assertEqual(out["selection"]["sample"], self.out["selection"]["sample"])
        np.testing.assert_allclose(written(kept, meg), data[:N_MEG] * 1e15, rtol=1e-5)

    def test_projectors_and_the_first_time_after_the_event(self):
        path = meg_test_files.make_evoked_file(WORK)[0]
        n, response = meg_test_files.N_SENSORS, meg_test_files.RESPONSE_TIME
        stored, projected = (mne.read_evokeds(path, condition="noise", baseline=None, proj=p)
                             for p in (False, True))
        # The stored magnetometer data is mostly the field the projector removes.
        self.assertGreater(np.abs(stored.data[:n]).max(), 3 * np.abs(projected.data[:n]).max())
        outs = [export(path, "--condition", "noise", "--ch-type", "mag", *options)
                for options in ((), ("--no-proj",))]
        for out, expected in zip(outs, (projected, stored)):
            samples = written(out, range(n))
            np.testing.assert_allclose(samples, expected.data[:n] * 1e15, rtol=1e-5,
                                       atol=1e-3 * np.abs(samples).max())
        t = out["first_sample_time"] + np.arange(samples.shape[1]) / out["sampling_rate"]
        # The response, not the stronger noise nor the artefact (the largest value anywhere,
        # before the event), for either sensor type; --time still wins.
        art = export(path, "--condition", "artefact", "--ch-type", "mag")
        artefact = written(art, range(n))
        self.assertLess(t[np.unravel_index(np.abs(artefact).argmax(), artefact.shape)[1]], 0)
        grads = export(path, "--condition", "artefact", "--ch-type", "grad")
        self.assertEqual(grads["unit"], "fT/cm")
        for out in (outs[0], art, grads):
            self.assertAlmostEqual(t[out["selection"]["sample"]], response, delta=0.006)
        self.assertEqual(export(path, "--condition", "artefact", "--time", "-0.15", "--ch-type",
                                "mag")["selection"]["sample"], int(np.abs(t + 0.15).argmin()))

    def test_bad_input_gives_one_line_and_status_2(self):
        broken = os.path.join(WORK, "broken_raw.fif")
        with open(broken, "w") as f:
            f.write("not a recording")
        cases = [((broken,), f"mne_export: {broken}: MNE cannot read it"),
                 ((os.path.join(WORK, "eeg_raw.fif"),), "has no MEG channels"),
                 ((self.sim, "--time", "9"), "--time 9 is outside the recording"),
                 ((self.sim, "--cell-at", "1,99"), "--cell-at frequency 99 is outside"),
                 ((self.sim, "--ch-type", "grad"), "has no gradiometers"),
                 ((self.sim, "--tmin", "3", "--tmax", "1"), "--tmin 3 is after --tmax 1"),
                 ((self.sim, "--decim", "0"), "--decim must be 1 or more")]
        for args, message in cases:
            run = export(*args, expect_ok=False)
            self.assertEqual(run.returncode, 2, args)
            self.assertEqual(run.stderr.count("\n"), 1, run.stderr)
            self.assertTrue(run.stderr.startswith("mne_export: "), run.stderr)
            self.assertIn(message, run.stderr)


if __name__ == "__main__":
    EXPORTER, RENDER = sys.argv[1], sys.argv[2]
    with tempfile.TemporaryDirectory() as WORK:
        mne.set_log_level("ERROR")
        result = unittest.main(argv=sys.argv[:1], exit=False, verbosity=2).result
    sys.exit(0 if result.wasSuccessful() else 1)
