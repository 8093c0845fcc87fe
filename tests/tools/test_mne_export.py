"""Exports recordings that MNE itself makes (no downloads) and checks the JSON against MNE's own
reading of them; long raw recordings go to a store at the recorded rate, read a page at a time.

Run by CTest: test_mne_export.py EXPORTER RENDER. Exits 77 (skipped) only when MNE is missing.
"""

import itertools
import json
import math
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

import meg_test_files as files  # exits 77 without MNE-Python
import mne
import numpy as np

EXPORTER = RENDER = WORK = None
OUTPUTS = itertools.count()
SFREQ = 250.0
N_MEG = 30
BLOCK = 10000  # samples of the bridge's 10 s blocks at 1 kHz
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
    info = files.place(mne.create_info(names, sfreq, types), pos)
    info["dev_head_t"] = mne.transforms.Transform("meg", "head", DEV_HEAD)
    return info


def make_recordings():
    pos = files.helmet(N_MEG)
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


def with_store(out):
    """A long recording's header and the samples of its store, one row a sample."""
    return out, np.load(os.path.join(WORK, out["store"]["file"]))


def written(out, rows):
    return np.array([out["channels"][i]["samples"] for i in rows])


class BridgeTest(unittest.TestCase):
    def assertRefused(self, run, message):
        """Bad input: status 2 and one line that says what is wrong."""
        self.assertEqual(run.returncode, 2, run.stderr)
        self.assertEqual(run.stderr.count("\n"), 1, run.stderr)
        self.assertIn(message, run.stderr)


class ExportTest(BridgeTest):
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
        # A --tmin between two samples keeps the nearer one.
        out = export(self.sim, "--tmin", "1.001", "--tmax", "3", "--decim", "2")
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
        store = with_store(grads)[1]
        strongest = int(np.abs(store[:, N_MEG:2 * N_MEG]).max(axis=0).argmax())
        self.assertEqual(grads["channels"][N_MEG + strongest]["name"],
                         f"MEG{N_MEG + self.bad:03d}")
        self.assertAlmostEqual(np.abs(store[:, N_MEG + strongest]).max(), 4e-11 * 1e13, delta=20)

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
        path = files.make_evoked_file(WORK)[0]
        n, response = files.N_SENSORS, files.RESPONSE_TIME
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
            self.assertRefused(run, message)
            self.assertTrue(run.stderr.startswith("mne_export: "), run.stderr)


def documented_baseline(data):
    """Each channel's offsets as docs/recording-format.md gives them, one channel at a time."""
    n = data.shape[1]
    starts = np.arange(0, n, BLOCK)
    centres = [(s + min(s + BLOCK, n) - 1) / 2 for s in starts]
    means = [data[:, s:s + BLOCK].mean(axis=1) for s in starts]
    return np.array([np.interp(np.arange(n), centres, [m[c] for m in means])
                     for c in range(len(data))])


class PagedExportTest(BridgeTest):
    @classmethod
    def setUpClass(cls):
        cls.path, cls.raw = files.make_long_raw(WORK)
        cls.projected = cls.raw.copy().load_data().apply_proj().get_data()
        first = export(cls.path, "--first-page", "--progress", out=os.path.join(WORK, "long.json"),
                       expect_ok=False)
        assert first.returncode == 0, first.stderr
        cls.steps = first.stderr
        with open(os.path.join(WORK, "long.json"), encoding="utf-8") as f:
            cls.header, cls.store = with_store(json.load(f))
        cls.meg = slice(0, files.N_SENSORS)

    def test_samples_at_the_recorded_rate_equal_mne_projected_data(self):
        header, store = self.header, self.store
        self.assertEqual(store.shape, (self.projected.shape[1], len(self.raw.ch_names)))
        self.assertEqual((header["sampling_rate"], header["store"]["total"]), (1000.0, 75000))
        self.assertNotIn("samples", header["channels"][0])
        times = [0, 4999, 10000, 33333, 70001, 74999]
        meg = self.projected[self.meg] * 1e15
        expected = meg - documented_baseline(meg)
        np.testing.assert_allclose(store[times, self.meg], expected[:, times].T, atol=0.05)
        kept_store = with_store(export(self.path, "--keep-dc"))[1]
        np.testing.assert_allclose(kept_store[times, self.meg], meg[:, times].T, rtol=1e-6)
        # Event codes are stored as they are, never baselined.
        self.assertEqual(set(np.unique(store[:, -1])), {0, 5})

    def test_events_annotations_selection_and_overview(self):
        header, store = self.header, self.store
        found = mne.find_events(self.raw)
        self.assertEqual(header["events"],
                         [[int(s - self.raw.first_samp), int(c)] for s, _, c in found])
        self.assertEqual(header["annotations"], [
            {"sample": int(onset * 1000), "samples": int(duration * 1000), "description": text}
            for onset, duration, text in files.ANNOTATIONS])
        good = [i for i in range(files.N_SENSORS)
                if self.raw.ch_names[i] not in self.raw.info["bads"]]
        gfp = np.sqrt(np.mean(store[:, good].astype(float) ** 2, axis=1))
        sample = header["selection"]["sample"]
        self.assertEqual(sample, int(gfp.argmax()))
        onsets = [s for s, _ in header["events"]]
        self.assertTrue(any(0 < sample - s < 300 for s in onsets), "inside a transient")
        overview = np.array(header["overview"]["gfp"])
        self.assertEqual(len(overview), 750)
        self.assertAlmostEqual(overview[sample // 100], gfp.max(), delta=gfp.max() * 1e-3)
        self.assertIn("first page ready", self.steps)
        self.assertFalse(os.path.exists(os.path.join(WORK, "long.first.json")))
        self.assertEqual(len(header["row_times"]), 1 + 8, "a row per window of blocks")

    def test_one_page_alone_equals_the_same_page_of_the_whole(self):
        header, page = with_store(export(self.path, "--page-at", "33.3"))
        self.assertEqual(header["store"]["first"], 30000)
        self.assertEqual(page.shape[0], BLOCK)
        self.assertEqual(header["selection"]["sample"], 33300)
        self.assertNotIn("frequencies", header)
        np.testing.assert_array_equal(page, self.store[30000:40000])

    def test_bad_input_leaves_nothing_behind(self):
        bad = os.path.join(WORK, "bad")
        os.makedirs(bad, exist_ok=True)
        truncated = os.path.join(bad, "truncated_raw.fif")
        with open(self.path, "rb") as f:
            blob = f.read()
        with open(truncated, "wb") as f:
            f.write(blob[:len(blob) // 2])
        # Writing to /dev/full fails as a full disk does.
        os.symlink("/dev/full", os.path.join(bad, "full.npy"))
        for source, out, message in ((truncated, "t.json", truncated),
                                     (self.path, "full.json", "No space left")):
            before = set(os.listdir(bad))
            run = export(source, out=os.path.join(bad, out), expect_ok=False)
            self.assertRefused(run, message)
            self.assertLessEqual(set(os.listdir(bad)), before, run.stderr)

        # A store that lost its end, or gained bytes, is refused in one line when opened.
        header, store = os.path.join(bad, "copy.json"), os.path.join(bad, "copy.npy")
        with open(header, "w", encoding="utf-8") as f:
            json.dump(dict(self.header, store=dict(self.header["store"], file="copy.npy")), f)
        for size, message in ((-4 * 41 * 5000, "holds 70000 of its 75000 samples"),
                              (7, "larger than its 75000 samples")):
            shutil.copy(os.path.join(WORK, "long.npy"), store)
            with open(store, "r+b") as f:
                f.truncate(os.path.getsize(store) + size)
            self.assertRefused(subprocess.run([RENDER, "--recording", header, "--out", "/dev/null"],
                                              capture_output=True, text=True, timeout=120), message)


if __name__ == "__main__":
    EXPORTER, RENDER = sys.argv[1], sys.argv[2]
    with tempfile.TemporaryDirectory() as WORK:
        mne.set_log_level("ERROR")
        result = unittest.main(argv=sys.argv[:1], exit=False, verbosity=2).result
    sys.exit(0 if result.wasSuccessful() else 1)
