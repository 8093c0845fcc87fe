"""The bridge's JSON and stores of recordings that MNE-Python makes (no downloads), against
MNE-Python's own reading of them; Neuromag pairs and the mapping of every MEG channel on the
306-channel recording of tools/neuromag_example.py.

Run by CTest: test_mne_export.py EXPORTER, with CONTOURMAP_FIELDMAP naming the build's
contourmap-fieldmap. Exits 77 (skipped) only when MNE is missing.
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
from mne.forward._field_interpolation import _map_meg_or_eeg_channels

EXPORTER = WORK = None
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
    pos = files.helmet(N_MEG, reach=0.7, radius=0.1, centre=0)[0]
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


def export(source, *options, expect_ok=True, out=None, env=None, noted=False):
    """The JSON (with noted, and the bridge's progress notes); the run itself if not expect_ok."""
    out = out or os.path.join(WORK, f"out{next(OUTPUTS)}.json")
    environment = dict(os.environ, XDG_CACHE_HOME=os.path.join(WORK, "cache")) | (env or {})
    run = subprocess.run([sys.executable, EXPORTER, source, "--out", out, *options]
                         + ["--progress"] * noted,
                         capture_output=True, text=True, timeout=300, env=environment)
    if not expect_ok:
        return run
    assert run.returncode == 0, run.stderr
    with open(out, encoding="utf-8") as f:
        return (json.load(f), run.stderr) if noted else json.load(f)


def with_store(out):
    """A long recording's header and the samples of its store, one row a sample."""
    return out, np.load(os.path.join(WORK, out["store"]["file"]))


def written(out, rows):
    return np.array([out["channels"][i]["samples"] for i in rows])


class BridgeTest(unittest.TestCase):
    def assertRefused(self, run, message):
        """Bad input: status 2 and one line, the bridge's, that says what is wrong."""
        self.assertEqual(run.returncode, 2, run.stderr)
        self.assertEqual(run.stderr.count("\n"), 1, run.stderr)
        self.assertTrue(run.stderr.startswith("mne_export: ") and message in run.stderr, run.stderr)


class ExportTest(BridgeTest):
    @classmethod
    def setUpClass(cls):
        cls.raw, cls.epochs, cls.pos, cls.peak, cls.bad = make_recordings()
        cls.sim = os.path.join(WORK, "sim_raw.fif")
        cls.out = export(cls.sim)

    def test_channels_units_fiducials_spectra_and_default_selection(self):
        out, chs = self.out, self.out["channels"]
        self.assertEqual([c["kind"] for c in chs],
                         ["meg"] * N_MEG + ["eeg"] * 3 + ["eog", "stim"])
        self.assertEqual([c["name"] for c in chs], self.raw.ch_names)
        self.assertEqual([c.get("good", True) for c in chs[:N_MEG]],
                         [i != self.bad for i in range(N_MEG)])
        head_mm = (self.pos @ DEV_HEAD[:3, :3].T + DEV_HEAD[:3, 3]) * 1000
        np.testing.assert_allclose([c["coils"][0] for c in chs[:N_MEG]], head_mm, atol=1e-3)
        np.testing.assert_allclose(chs[N_MEG]["coils"][0], [0, 0, 100], atol=1e-3)
        self.assertEqual((out["unit"], out["sampling_rate"], out["first_sample_time"]),
                         ("fT", SFREQ, 0.0))
        np.testing.assert_allclose(out["fiducials"], np.r_[[NASION, LPA, RPA], HPI] * 1000,
                                   atol=1e-3)
        # One frequency grid, the whole recording's spectrum first.
        freqs, rows = out["frequencies"], out["row_times"]
        self.assertEqual([len(freqs), len(rows)],
                         [chs[0]["spectrum"][k] for k in ("columns", "rows")])
        self.assertTrue(1 <= freqs[0] and freqs[-1] <= 45 and rows[0] is None)
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

    def test_epochs_are_averaged(self):
        out = export(os.path.join(WORK, "sim-epo.fif"))
        mean = self.epochs.get_data()[:, self.peak].mean(axis=0) * 1e15
        np.testing.assert_allclose(written(out, [self.peak])[0], mean, rtol=1e-5, atol=1e-3)

    def test_magnetometers_or_gradiometers_are_measured(self):
        both = os.path.join(WORK, "both_raw.fif")
        mags, grads = export(both, "--ch-type", "mag"), export(both, "--ch-type", "grad")
        for out, rows in ((mags, slice(0, N_MEG)), (grads, slice(N_MEG, 2 * N_MEG))):
            kinds = np.array([c["kind"] for c in out["channels"]])
            self.assertTrue(all(kinds[rows] == "meg") and sum(kinds == "misc") == N_MEG)
        store = with_store(grads)[1]
        strongest = int(np.abs(store[:, N_MEG:2 * N_MEG]).max(axis=0).argmax())
        self.assertEqual(grads["channels"][N_MEG + strongest]["name"],
                         f"MEG{N_MEG + self.bad:03d}")
        self.assertAlmostEqual(np.abs(store[:, N_MEG + strongest]).max(), 4e-11 * 1e13, delta=20)

    def test_raw_offsets_are_removed_but_event_codes_kept(self):
        # Sensor offsets 50 times the burst, as raw KIT and 4D data have, and a stimulus channel
        # whose values are event codes.
        offsets = np.r_[np.linspace(-2.5e-11, 2.5e-11, N_MEG), [3e-4, -2e-4, 1e-4, 5e-4], [0]]
        data = self.raw.get_data() + offsets[:, np.newaxis]
        data[-1, 100:110] = 5
        path = os.path.join(WORK, "offsets_raw.fif")
        mne.io.RawArray(data, self.raw.info).save(path, overwrite=True)
        data = mne.io.read_raw_fif(path).get_data()  # as stored: single precision
        out, rows = export(path), range(N_MEG + 4)
        scale = np.r_[[1e15] * N_MEG, [1e6] * 4][:, np.newaxis]  # fT, and uV for EEG and EOG
        np.testing.assert_allclose(written(out, rows), without_offsets(data, rows) * scale,
                                   rtol=1e-5, atol=1e-3)
        self.assertEqual(written(out, [-1]).max(), 5, "event codes stay as they are")
        # The first time is the burst's field-power peak, as without offsets.
        self.assertEqual(out["selection"]["sample"], self.out["selection"]["sample"])

    def test_no_proj_and_the_first_time_after_the_event(self):
        path = files.make_evoked_file(WORK)
        n = files.N_SENSORS
        stored = mne.read_evokeds(path, condition="noise", baseline=None, proj=False)
        noisy = export(path, "--condition", "noise", "--ch-type", "mag", "--no-proj")
        samples = written(noisy, range(n))
        np.testing.assert_allclose(samples, stored.data[:n] * 1e15, rtol=1e-5,
                                   atol=1e-3 * np.abs(samples).max())
        # The response, not the stronger noise (projected away, as by default) nor the artefact
        # (the largest value, before the event), for either sensor type; --time still wins.
        t = noisy["first_sample_time"] + np.arange(samples.shape[1]) / noisy["sampling_rate"]
        for condition, kind in (("noise", "mag"), ("artefact", "mag"), ("artefact", "grad")):
            out = export(path, "--condition", condition, "--ch-type", kind)
            self.assertAlmostEqual(t[out["selection"]["sample"]], files.RESPONSE_TIME,
                                   delta=0.006, msg=condition + kind)
        self.assertEqual(export(path, "--condition", "artefact", "--time", "-0.15", "--ch-type",
                                "mag")["selection"]["sample"], int(np.abs(t + 0.15).argmin()))

    def test_bad_input_gives_one_line_and_status_2(self):
        cases = [((os.path.join(WORK, "eeg_raw.fif"),), "has no MEG channels"),
                 ((self.sim, "--time", "9"), "--time 9 is outside the recording"),
                 ((self.sim, "--cell-at", "1,99"), "--cell-at frequency 99 is outside"),
                 ((self.sim, "--ch-type", "grad"), "has no gradiometers"),
                 ((self.sim, "--tmin", "3", "--tmax", "1"), "--tmin 3 is after --tmax 1"),
                 ((self.sim, "--decim", "0"), "--decim must be 1 or more")]
        for args, message in cases:
            self.assertRefused(export(*args, expect_ok=False), message)


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
        first, cls.steps = export(cls.path, "--first-page", out=os.path.join(WORK, "long.json"),
                                  noted=True)
        cls.header, cls.store = with_store(first)
        cls.meg = slice(0, files.N_SENSORS)

    def test_samples_at_the_recorded_rate_equal_mne_projected_data(self):
        header, store = self.header, self.store
        self.assertEqual(store.shape, (self.projected.shape[1], len(self.raw.ch_names)))
        self.assertEqual((header["sampling_rate"], header["store"]["total"]), (1000.0, 75000))
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
        overview = np.array(header["overview"]["gfp"])
        self.assertEqual(len(overview), 750)
        self.assertAlmostEqual(overview[sample // 100], gfp.max(), delta=gfp.max() * 1e-3)
        self.assertIn("first page ready", self.steps)
        self.assertFalse(os.path.exists(os.path.join(WORK, "long.first.json")))
        self.assertEqual(len(header["row_times"]), 1 + 8, "a row per window of blocks")

    def test_one_page_alone_equals_the_same_page_of_the_whole(self):
        header, page = with_store(export(self.path, "--page-at", "33.3"))
        self.assertEqual(header["store"]["first"], 30000)
        self.assertEqual(header["selection"]["sample"], 33300)
        np.testing.assert_array_equal(page, self.store[30000:40000])

    def test_bad_input_leaves_nothing_behind(self):
        bad = os.path.join(WORK, "bad")
        os.makedirs(bad, exist_ok=True)
        truncated = shutil.copy(self.path, os.path.join(bad, "truncated_raw.fif"))
        os.truncate(truncated, os.path.getsize(truncated) // 2)
        # Writing to /dev/full fails as a full disk does.
        os.symlink("/dev/full", os.path.join(bad, "full.npy"))
        for source, out, message in ((truncated, "t.json", truncated),
                                     (self.path, "full.json", "No space left")):
            before = set(os.listdir(bad))
            run = export(source, out=os.path.join(bad, out), expect_ok=False)
            self.assertRefused(run, message)
            self.assertLessEqual(set(os.listdir(bad)), before, run.stderr)


def measured(out):
    chans = [c for c in out["channels"] if c["kind"] == "meg"]
    return [c["name"] for c in chans], np.array([c["samples"] for c in chans]), chans


def save(evoked, name):
    path = os.path.join(WORK, name)
    evoked.save(path, overwrite=True)
    return path


def relative_error(values, reference):
    return np.abs(values - reference).max() / np.abs(reference).max()


def assert_written(values, data, scale):
    """values as the bridge writes data (T or T/m) in fT or fT/cm."""
    np.testing.assert_allclose(values, data * scale, rtol=1e-5, atol=1e-5 * np.abs(values).max())


class NeuromagTest(BridgeTest):
    @classmethod
    def setUpClass(cls):
        cls.evoked = neuromag_example.evoked_response()
        cls.path = save(cls.evoked, "neuromag-ave.fif")

    def test_merged_pairs_and_single_gradiometers_are_mnes(self):
        first, second = (self.evoked.copy().pick(kind) for kind in ("planar1", "planar2"))
        out = export(self.path, "--ch-type", "grad")
        names, values, chans = measured(out)
        self.assertEqual((out["unit"], names), ("fT/cm", [n[:-1] + "x" for n in first.ch_names]))
        assert_written(values, np.sqrt((first.data ** 2 + second.data ** 2) / 2), 1e13)
        # At the pair's place, and its spectrum the root mean square of the pair's spectra.
        place = out["channels"][self.evoked.ch_names.index("MEG0012")]["coils"][0]
        np.testing.assert_allclose(chans[0]["coils"][0], place, atol=1e-6)
        spectra = {}
        for kind, reference in (("planar1", first), ("planar2", second)):
            single = export(self.path, "--ch-type", kind)
            _, values_k, chans_k = measured(single)
            assert_written(values_k, reference.data, 1e13)
            spectra[kind] = np.array([c["spectrum"]["data"] for c in chans_k])
        np.testing.assert_allclose(
            [c["spectrum"]["data"] for c in chans],
            np.sqrt((spectra["planar1"] ** 2 + spectra["planar2"] ** 2) / 2), rtol=1e-4)

    def test_meg_mapping_is_mnes_and_the_default(self):
        info = self.evoked.info
        mags = mne.pick_info(info, mne.pick_types(info, meg="mag"))

        def mnes_mapping(info, mode="accurate"):
            meg = mne.pick_info(info, mne.pick_types(info, meg=True))
            return _map_meg_or_eeg_channels(meg, mags, mode, (0.0, 0.0, 0.04))

        # Our series is exact where MNE's fast mode looks its Legendre values up in a table; the
        # fast matrix differs from MNE's own accurate one by far more than 1 % in its entries
        # (the inverse is ill-conditioned), while the maps both make agree within 1 %.
        accurate, fast = mnes_mapping(info), mnes_mapping(info, "fast")
        cache = {"XDG_CACHE_HOME": os.path.join(WORK, "cache-meg")}
        out, notes = export(self.path, env=cache, noted=True)
        self.assertIn("306 MEG channels mapped onto 102 virtual magnetometers", notes)
        names, values, _ = measured(out)
        self.assertEqual((out["unit"], names), ("fT", [n + "_v" for n in mags.ch_names]))
        folder = os.path.join(cache["XDG_CACHE_HOME"], "contourmap3d", "fieldmaps")
        cached = [os.path.join(folder, name) for name in os.listdir(folder)]
        self.assertEqual(len(cached), 1, "one mapping per layout, kept")
        matrix = np.load(cached[0])
        self.assertLess(relative_error(matrix, accurate), 0.01)
        self.assertLess(relative_error(values, fast @ self.evoked.data * 1e15), 0.01)
        # The same layout again needs no helper: the mapping comes from the cache.
        again = export(self.path, env=dict(cache, CONTOURMAP_FIELDMAP="/nonexistent"))
        np.testing.assert_array_equal(measured(again)[1], values)

        # Data with an SSP projector applied: the lead fields are projected alike.
        projected = self.evoked.copy()
        uniform = np.where(np.isin(projected.ch_names, mags.ch_names), 1.0, 0.0)
        projected.add_proj([files.projector(projected.ch_names, uniform / np.linalg.norm(uniform),
                                            "uniform")]).apply_proj()
        out = export(save(projected, "projected-ave.fif"), env=cache)
        expected = mnes_mapping(projected.info) @ projected.data * 1e15
        self.assertLess(relative_error(measured(out)[1], expected), 0.01)

    def test_virtual_magnetometers_from_gradiometers_alone_follow_the_true_field(self):
        evoked = self.evoked.copy()
        evoked.info["bads"] = evoked.copy().pick("mag").ch_names
        out, notes = export(save(evoked, "gradonly-ave.fif"), noted=True)
        self.assertIn("204 MEG channels mapped onto 102", notes)
        _, values, _ = measured(out)
        true = self.evoked.copy().pick("mag").data * 1e15
        peak = int(np.abs(true).max(axis=0).argmax())
        self.assertLess(relative_error(values[:, peak], true[:, peak]), 0.10)

    def test_pairs_with_a_bad_or_missing_partner_and_other_bad_input(self):
        evoked = self.evoked.copy()
        evoked.info["bads"] = ["MEG0013"]
        evoked.drop_channels(["MEG0023"])
        out, notes = export(save(evoked, "broken-pairs-ave.fif"), "--ch-type", "grad", noted=True)
        names, _, chans = measured(out)
        self.assertEqual((len(names), names[0], chans[0].get("good", True)),
                         (101, "MEG001x", False))
        self.assertIn("1 planar gradiometers without a partner left out of the map (MEG0022)",
                      notes)
        self.assertEqual(next(c for c in out["channels"] if c["name"] == "MEG0022")["kind"],
                         "misc")

        magnetometers = save(self.evoked.copy().pick("mag"), "mags-ave.fif")
        everything_bad = self.evoked.copy()
        everything_bad.info["bads"] = everything_bad.ch_names
        cases = [((magnetometers, "--ch-type", "planar1"), {},
                  "the recording has no planar gradiometer pairs (--ch-type planar1)"),
                 ((save(everything_bad, "allbad-ave.fif"), "--ch-type", "meg"), {},
                  "every MEG channel is bad"),
                 ((self.path, "--ch-type", "meg"), {"CONTOURMAP_FIELDMAP": "/nonexistent",
                                                    "XDG_CACHE_HOME": os.path.join(WORK, "none")},
                  "cannot run contourmap-fieldmap")]
        for args, env, message in cases:
            self.assertRefused(export(*args, env=env, expect_ok=False), message)

    def test_axial_gradiometers_stay_as_they_are_and_map_onto_their_places(self):
        # MNE-Python calls CTF's and KIT's axial gradiometers magnetometers (they measure T).
        mags = self.evoked.copy().pick("mag")
        axial = mne.EvokedArray(mags.data, mags.info, tmin=-0.1)
        for ch in axial.info["chs"]:
            ch["coil_type"] = mne.io.constants.FIFF.FIFFV_COIL_CTF_GRAD
        path = save(axial, "axial-ave.fif")
        out = export(path)
        names, values, _ = measured(out)
        self.assertEqual((names, out["unit"]), (axial.ch_names, "fT"))
        assert_written(values, axial.data, 1e15)
        notes = export(path, "--ch-type", "meg", noted=True)[1]
        self.assertIn("onto 102 virtual magnetometers at the sensors' places", notes)


if __name__ == "__main__":
    EXPORTER = sys.argv[1]
    sys.path.insert(0, os.path.dirname(EXPORTER))
    import neuromag_example
    with tempfile.TemporaryDirectory() as WORK:
        mne.set_log_level("ERROR")
        result = unittest.main(argv=sys.argv[:1], exit=False, verbosity=2).result
    sys.exit(0 if result.wasSuccessful() else 1)
