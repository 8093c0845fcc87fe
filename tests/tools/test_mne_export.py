"""Exports recordings that MNE itself makes (no downloads) and checks the JSON and a picture of it.

Run by CTest: test_mne_export.py EXPORTER RENDER. Exits 77 (skipped) only when MNE is missing.
"""

import itertools
import json
import math
import os
import struct
import subprocess
import sys
import tempfile
import unittest
import zlib

try:
    import mne
    import numpy as np
except ImportError as missing:
    print(f"skipped: MNE-Python is not installed ({missing}); ./run test installs python3-mne")
    sys.exit(77)

import meg_test_files

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


def helmet(n):
    """n sensor positions spread over a cap of a 10 cm sphere (device coordinates, m)."""
    k = np.arange(n) + 0.5
    z = 1 - 0.7 * k / n
    phi = np.pi * (1 + 5 ** 0.5) * k
    return 0.1 * np.c_[np.sqrt(1 - z * z) * np.cos(phi), np.sqrt(1 - z * z) * np.sin(phi), z]


def bump(pos, centre, amplitude, n_times, sfreq, seed):
    """A Gaussian spatial bump times a 10 Hz burst at BURST_TIME, plus a little noise."""
    t = np.arange(n_times) / sfreq
    burst = np.sin(2 * np.pi * 10 * t) * np.exp(-(t - BURST_TIME) ** 2 / (2 * 0.3 ** 2))
    pattern = np.exp(-np.sum((pos - pos[centre]) ** 2, axis=1) / (2 * 0.03 ** 2))
    noise = np.random.default_rng(seed).standard_normal((len(pos), n_times))
    return amplitude * (pattern[:, None] * burst + 0.004 * noise)


def meg_info(types, pos, sfreq, extra=()):
    names = [f"MEG{i:03d}" for i in range(len(types))] + [name for name, _ in extra]
    info = mne.create_info(names, sfreq, list(types) + [kind for _, kind in extra])
    for ch, p in zip(info["chs"], pos):
        ch["loc"][:] = np.r_[p, np.zeros(6), p / np.linalg.norm(p)]
    info["dev_head_t"] = mne.transforms.Transform("meg", "head", DEV_HEAD)
    return info


def make_recordings():
    pos = helmet(N_MEG)
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


def read_png(path):
    """Pixels (height, width, 4) of an 8-bit RGBA PNG, decoded with the standard library."""
    with open(path, "rb") as f:
        blob = f.read()
    assert blob[:8] == b"\x89PNG\r\n\x1a\n"
    pos, idat = 8, b""
    while pos < len(blob):
        length, kind = struct.unpack(">I4s", blob[pos:pos + 8])
        body = blob[pos + 8:pos + 8 + length]
        if kind == b"IHDR":
            width, height, depth, colour = struct.unpack(">IIBB", body[:10])
            assert (depth, colour) == (8, 6), "expected 8-bit RGBA"
        elif kind == b"IDAT":
            idat += body
        pos += 12 + length
    raw, stride = zlib.decompress(idat), width * 4
    rows, prev = [], bytearray(stride)
    for y in range(height):
        start = y * (stride + 1)
        kind, line = raw[start], bytearray(raw[start + 1:start + 1 + stride])
        for i in range(stride):
            a = line[i - 4] if i >= 4 else 0
            b, c = prev[i], prev[i - 4] if i >= 4 else 0
            if kind == 1:
                line[i] = (line[i] + a) & 255
            elif kind == 2:
                line[i] = (line[i] + b) & 255
            elif kind == 3:
                line[i] = (line[i] + (a + b) // 2) & 255
            elif kind == 4:
                p = a + b - c
                pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
                line[i] = (line[i] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
        rows.append(bytes(line))
        prev = line
    return np.frombuffer(b"".join(rows), np.uint8).reshape(height, width, 4).astype(int)


def project(points_mm, size, distance=750.0, fov_y=30.0):
    """Pixel column and row (from the top) of head points under the renderer's start camera:
    unrotated, looking down -z from `distance`, perspective with a vertical field of view fov_y."""
    f = 1 / math.tan(math.radians(fov_y) / 2)
    depth = distance - points_mm[:, 2]
    return np.c_[(1 + f * points_mm[:, 0] / depth) * size / 2,
                 (1 - f * points_mm[:, 1] / depth) * size / 2]


class ExportTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.raw, cls.epochs, cls.pos, cls.peak, cls.bad = make_recordings()
        cls.sim = os.path.join(WORK, "sim_raw.fif")
        cls.json = os.path.join(WORK, "sim.json")
        cls.out = export(cls.sim, out=cls.json)

    def test_channels_positions_unit_and_fiducials(self):
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
        np.testing.assert_allclose(chs[self.peak]["samples"],
                                   without_offsets(self.raw.get_data(), self.peak) * 1e15,
                                   rtol=1e-5, atol=1e-3)
        np.testing.assert_allclose(out["fiducials"], np.r_[[NASION, LPA, RPA], HPI] * 1000,
                                   atol=1e-3)

    def test_spectral_axes_and_default_selection(self):
        out = self.out
        spectrum = out["channels"][0]["spectrum"]
        freqs, rows = out["frequencies"], out["row_times"]
        self.assertEqual((len(freqs), len(rows)), (spectrum["columns"], spectrum["rows"]))
        self.assertTrue(1 <= freqs[0] and freqs[-1] <= 45 and rows[0] is None)
        self.assertTrue(all(a < b for a, b in zip(rows[1:], rows[2:])), "rows in time order")
        self.assertNotIn("spectrum", out["channels"][N_MEG])
        good = [i for i in range(N_MEG) if i != self.bad]
        field_power = np.sqrt(np.mean(without_offsets(self.raw.get_data(), good) ** 2, axis=0))
        sel = out["selection"]
        self.assertEqual(sel["sample"], field_power.argmax(), "raw: the whole recording's peak")
        self.assertEqual(freqs[sel["bin"]], 10)
        self.assertEqual(freqs[sel["column"]], 10)
        window = rows[2] - rows[1]
        self.assertLessEqual(abs(rows[sel["row"]] - BURST_TIME), window / 2 + 1e-9)
        # The burst's 10 Hz cell stands out from the same column before it.
        data = np.reshape(out["channels"][self.peak]["spectrum"]["data"], (len(rows), len(freqs)))
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
        np.testing.assert_allclose(out["channels"][self.peak]["samples"], mean, rtol=1e-5,
                                   atol=1e-3)
        out = export(os.path.join(WORK, "sim-ave.fif"))
        self.assertAlmostEqual(out["first_sample_time"], -0.2, places=6)  # FIF keeps float32
        self.assertEqual(len(out["channels"][0]["samples"]), 200)

    def test_magnetometers_or_gradiometers_are_measured(self):
        both = os.path.join(WORK, "both_raw.fif")
        mags, grads = export(both, "--ch-type", "mag"), export(both, "--ch-type", "grad")
        self.assertEqual((mags["unit"], grads["unit"]), ("fT", "fT/cm"))
        # Both types: every channel mapped onto virtual magnetometers, the originals kept.
        mapped = export(both)
        kinds = [c["kind"] for c in mapped["channels"]]
        self.assertEqual((mapped["unit"], kinds.count("meg"), kinds.count("misc")),
                         ("fT", N_MEG, 2 * N_MEG))
        self.assertEqual(mapped["channels"][2 * N_MEG]["name"], "MEG000_v")
        for out, measured in ((mags, slice(0, N_MEG)), (grads, slice(N_MEG, 2 * N_MEG))):
            kinds = np.array([c["kind"] for c in out["channels"]])
            self.assertTrue(all(kinds[measured] == "meg"))
            self.assertEqual(sum(kinds == "misc"), N_MEG)
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
        pixels = read_png(png)
        # The deep end of the warm scale has the largest red-green difference of the colours.
        warmth = pixels[:, :, 0] - pixels[:, :, 1]
        centres = project(head_mm(self.pos), size)

        def warmest_near(c):
            x, y = int(round(c[0])), int(round(c[1]))
            return warmth[y - 3:y + 4, x - 3:x + 4].max()

        scores = [warmest_near(c) if i != self.bad else -999 for i, c in enumerate(centres)]
        self.assertEqual(int(np.argmax(scores)), self.peak, scores)
        blob_y, blob_x = np.nonzero(warmth > warmth.max() / 2)
        self.assertLess(np.hypot(*(centres[self.peak] - [blob_x.mean(), blob_y.mean()])), 3)
        y, x = np.unravel_index(warmth.argmax(), warmth.shape)
        self.assertGreater(pixels[y, x, 0], pixels[y, x, 2] + 60, "a warm colour")

    def test_raw_offsets_are_removed_unless_asked_to_keep_them(self):
        # Sensor offsets 50 times the burst, as raw KIT and 4D data have, and a stimulus channel
        # whose values are event codes.
        raw = self.raw.copy().load_data()
        data = raw.get_data()
        offsets = np.r_[np.linspace(-2.5e-11, 2.5e-11, N_MEG), [3e-4, -2e-4, 1e-4, 5e-4], [0]]
        data += offsets[:, np.newaxis]
        data[-1, 100:110] = 5
        path = os.path.join(WORK, "offsets_raw.fif")
        mne.io.RawArray(data, raw.info).save(path, overwrite=True)
        data = mne.io.read_raw_fif(path).get_data()  # as stored: single precision
        written = lambda out, rows: np.array([out["channels"][i]["samples"] for i in rows])
        meg, eeg = range(N_MEG), range(N_MEG, N_MEG + 4)

        out = export(path)
        np.testing.assert_allclose(written(out, meg), without_offsets(data, meg) * 1e15,
                                   rtol=1e-5, atol=1e-3)
        np.testing.assert_allclose(written(out, eeg), without_offsets(data, eeg) * 1e6,
                                   rtol=1e-5, atol=1e-6)
        self.assertEqual(written(out, [-1]).max(), 5, "event codes stay as they are")
        # The first time is the burst's field-power peak, as without offsets.
        self.assertEqual(out["selection"]["sample"], self.out["selection"]["sample"])

        kept = export(path, "--keep-dc")
        np.testing.assert_allclose(written(kept, meg), data[:N_MEG] * 1e15, rtol=1e-5)

    def test_projectors_are_applied_unless_asked_not_to(self):
        path, _, times = meg_test_files.make_evoked_file(WORK)
        stored = mne.read_evokeds(path, condition="noise", baseline=None, proj=False)
        projected = mne.read_evokeds(path, condition="noise", baseline=None, proj=True)
        n = meg_test_files.N_SENSORS
        # The stored magnetometer data is mostly the field the projector removes.
        self.assertGreater(np.abs(stored.data[:n]).max(), 3 * np.abs(projected.data[:n]).max())
        for options, expected in (((), projected), (("--no-proj",), stored)):
            out = export(path, "--condition", "noise", "--ch-type", "mag", *options)
            samples = np.array([c["samples"] for c in out["channels"][:n]])
            np.testing.assert_allclose(samples, expected.data[:n] * 1e15, rtol=1e-5,
                                       atol=1e-3 * np.abs(samples).max())
        # The first time shown is the response, not the noise.
        out = export(path, "--condition", "noise", "--ch-type", "mag")
        self.assertAlmostEqual(out["first_sample_time"] + out["selection"]["sample"] / out[
            "sampling_rate"], meg_test_files.RESPONSE_TIME, delta=0.006)

    def test_first_time_is_the_field_power_peak_after_the_event(self):
        path, _, times = meg_test_files.make_evoked_file(WORK)
        out = export(path, "--condition", "artefact", "--ch-type", "mag")
        samples = np.array([c["samples"] for c in out["channels"][:meg_test_files.N_SENSORS]])
        t = out["first_sample_time"] + np.arange(samples.shape[1]) / out["sampling_rate"]
        # The artefact is the largest value anywhere, and it lies before the event.
        self.assertLess(t[np.unravel_index(np.abs(samples).argmax(), samples.shape)[1]], 0)
        self.assertAlmostEqual(t[out["selection"]["sample"]], meg_test_files.RESPONSE_TIME,
                               delta=0.006)
        # The gradiometers' response is found the same way, and --time still wins.
        grads = export(path, "--condition", "artefact", "--ch-type", "grad")
        self.assertEqual(grads["unit"], "fT/cm")
        self.assertAlmostEqual(t[grads["selection"]["sample"]], meg_test_files.RESPONSE_TIME,
                               delta=0.006)
        self.assertEqual(export(path, "--condition", "artefact", "--time", "-0.15", "--ch-type",
                                "mag")
                         ["selection"]["sample"], int(np.abs(t + 0.15).argmin()))

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
