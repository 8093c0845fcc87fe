"""Neuromag gradiometer pairs and the field mapping of every MEG channel, on a 306-channel
recording MNE-Python makes itself (tools/neuromag_example.py), against MNE-Python's own numbers.

Run by CTest: test_meg_sensors.py EXPORTER FIELDMAP. Exits 77 (skipped) only when MNE is missing.
"""

import json
import os
import subprocess
import sys
import tempfile
import unittest

try:
    import mne
    import numpy as np
    from mne.forward._field_interpolation import _map_meg_or_eeg_channels
except ImportError as missing:
    print(f"skipped: MNE-Python is not installed ({missing}); ./run test installs python3-mne")
    sys.exit(77)

EXPORTER = FIELDMAP = WORK = None


def export(source, *options, env=None, expect_ok=True):
    out = os.path.join(WORK, "out.json")
    environment = dict(os.environ, CONTOURMAP_FIELDMAP=FIELDMAP,
                       XDG_CACHE_HOME=os.path.join(WORK, "cache"))
    environment.update(env or {})
    run = subprocess.run([sys.executable, EXPORTER, source, "--out", out, "--progress", *options],
                         capture_output=True, text=True, timeout=300, env=environment)
    if not expect_ok:
        return run
    assert run.returncode == 0, run.stderr
    with open(out, encoding="utf-8") as f:
        return json.load(f), run.stderr


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


class NeuromagTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.evoked = neuromag_example.evoked_response()
        cls.path = save(cls.evoked, "neuromag-ave.fif")

    def test_merged_pairs_and_single_gradiometers_are_mnes(self):
        first, second = (self.evoked.copy().pick(kind) for kind in ("planar1", "planar2"))
        out, _ = export(self.path, "--ch-type", "grad")
        names, values, chans = measured(out)
        self.assertEqual((out["unit"], names), ("fT/cm", [n[:-1] + "x" for n in first.ch_names]))
        assert_written(values, np.sqrt((first.data ** 2 + second.data ** 2) / 2), 1e13)
        # At the pair's place, and its spectrum the root mean square of the pair's spectra.
        place = out["channels"][self.evoked.ch_names.index("MEG0012")]["coils"][0]
        np.testing.assert_allclose(chans[0]["coils"][0], place, atol=1e-6)
        spectra = {}
        for kind, reference in (("planar1", first), ("planar2", second)):
            single, _ = export(self.path, "--ch-type", kind)
            names_k, values_k, chans_k = measured(single)
            self.assertEqual(names_k, reference.ch_names)
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
        out, notes = export(self.path, env=cache)
        self.assertIn("306 MEG channels mapped onto 102 virtual magnetometers", notes)
        names, values, _ = measured(out)
        self.assertEqual((out["unit"], names), ("fT", [n + "_v" for n in mags.ch_names]))
        # The measured channels stay, as other channels.
        self.assertEqual([c["kind"] for c in out["channels"]].count("misc"), 306)
        folder = os.path.join(cache["XDG_CACHE_HOME"], "contourmap3d", "fieldmaps")
        cached = [os.path.join(folder, name) for name in os.listdir(folder)]
        self.assertEqual(len(cached), 1, "one mapping per layout, kept")
        matrix = np.load(cached[0])
        self.assertLess(relative_error(matrix, accurate), 0.01)
        self.assertLess(relative_error(values, fast @ self.evoked.data * 1e15), 0.01)
        # The same layout again needs no helper: the mapping comes from the cache.
        again, _ = export(self.path, env=dict(cache, CONTOURMAP_FIELDMAP="/nonexistent"))
        np.testing.assert_array_equal(measured(again)[1], values)

        # Data with an SSP projector applied: the lead fields are projected alike.
        projected = self.evoked.copy()
        uniform = np.where(np.isin(projected.ch_names, mags.ch_names), 1.0, 0.0)
        projected.add_proj([mne.Projection(
            data=dict(nrow=1, ncol=len(uniform), row_names=None, col_names=projected.ch_names,
                      data=uniform[np.newaxis] / np.linalg.norm(uniform)),
            kind=mne.io.constants.FIFF.FIFFV_PROJ_ITEM_FIELD, desc="uniform", active=False,
            explained_var=None)]).apply_proj()
        out, _ = export(save(projected, "projected-ave.fif"), env=cache)
        expected = mnes_mapping(projected.info) @ projected.data * 1e15
        self.assertLess(relative_error(measured(out)[1], expected), 0.01)
        self.assertGreater(relative_error(accurate @ projected.data * 1e15, expected), 0.01,
                           "a mapping blind to the projector would fail the check above")

    def test_virtual_magnetometers_from_gradiometers_alone_follow_the_true_field(self):
        evoked = self.evoked.copy()
        evoked.info["bads"] = evoked.copy().pick("mag").ch_names
        out, notes = export(save(evoked, "gradonly-ave.fif"))
        self.assertIn("204 MEG channels mapped onto 102", notes)
        _, values, _ = measured(out)
        true = self.evoked.copy().pick("mag").data * 1e15
        peak = int(np.abs(true).max(axis=0).argmax())
        self.assertLess(relative_error(values[:, peak], true[:, peak]), 0.10)

    def test_pairs_with_a_bad_or_missing_partner_and_other_bad_input(self):
        evoked = self.evoked.copy()
        evoked.info["bads"] = ["MEG0013"]
        evoked.drop_channels(["MEG0023"])
        out, notes = export(save(evoked, "broken-pairs-ave.fif"), "--ch-type", "grad")
        names, _, chans = measured(out)
        self.assertEqual((len(names), names[0], chans[0].get("good", True)),
                         (101, "MEG001x", False))
        self.assertNotIn("MEG002x", names)
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
            run = export(*args, env=env, expect_ok=False)
            self.assertEqual(run.returncode, 2, args)
            self.assertEqual(run.stderr.strip().splitlines()[-1].count("mne_export: "), 1)
            self.assertIn(message, run.stderr.strip().splitlines()[-1])

    def test_axial_gradiometers_stay_as_they_are_and_map_onto_their_places(self):
        # MNE-Python calls CTF's and KIT's axial gradiometers magnetometers (they measure T).
        mags = self.evoked.copy().pick("mag")
        axial = mne.EvokedArray(mags.data, mags.info, tmin=-0.1)
        for ch in axial.info["chs"]:
            ch["coil_type"] = mne.io.constants.FIFF.FIFFV_COIL_CTF_GRAD
        path = save(axial, "axial-ave.fif")
        out, _ = export(path)
        names, values, _ = measured(out)
        self.assertEqual((names, out["unit"]), (axial.ch_names, "fT"))
        assert_written(values, axial.data, 1e15)
        out, notes = export(path, "--ch-type", "meg")
        self.assertIn("onto 102 virtual magnetometers at the sensors' places", notes)
        self.assertEqual(out["unit"], "fT")


if __name__ == "__main__":
    EXPORTER, FIELDMAP = sys.argv[1], sys.argv[2]
    sys.path.insert(0, os.path.dirname(EXPORTER))
    import neuromag_example
    with tempfile.TemporaryDirectory() as WORK:
        mne.set_log_level("ERROR")
        result = unittest.main(argv=sys.argv[:1], exit=False, verbosity=2).result
    sys.exit(0 if result.wasSuccessful() else 1)
