"""Long raw recordings: the bridge's store at the recorded rate, checked against MNE-Python's own
reading of a raw FIF file it makes (no downloads), and what bad input leaves behind.

Run by CTest: test_raw_paged.py EXPORTER RENDER. Exits 77 (skipped) only when MNE is missing.
"""

import json
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
BLOCK = 10000  # samples of the bridge's 10 s blocks at 1 kHz


def export(*args):
    return subprocess.run([sys.executable, EXPORTER, *args], capture_output=True, text=True,
                          timeout=300)


def converted(name, *options):
    out = os.path.join(WORK, name + ".json")
    run = export(os.path.join(WORK, files.LONG_RAW_NAME), "--out", out, *options)
    assert run.returncode == 0, run.stderr
    with open(out, encoding="utf-8") as f:
        header = json.load(f)
    return header, np.load(os.path.join(WORK, header["store"]["file"])), run


def documented_baseline(data):
    """Each channel's offsets as docs/recording-format.md gives them, one channel at a time."""
    n = data.shape[1]
    starts = np.arange(0, n, BLOCK)
    centres = [(s + min(s + BLOCK, n) - 1) / 2 for s in starts]
    means = [data[:, s:s + BLOCK].mean(axis=1) for s in starts]
    return np.array([np.interp(np.arange(n), centres, [m[c] for m in means])
                     for c in range(len(data))])


class PagedExportTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.path, cls.raw = files.make_long_raw(WORK)
        cls.projected = cls.raw.copy().load_data().apply_proj().get_data()
        cls.header, cls.store, first = converted("long", "--first-page", "--progress")
        cls.steps = first.stderr
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
        kept, kept_store, _ = converted("kept", "--keep-dc")
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
        header, page, _ = converted("page", "--page-at", "33.3")
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
        cases = [((truncated, "--out", os.path.join(bad, "t.json")), truncated),
                 ((self.path, "--out", os.path.join(bad, "full.json")), "No space left")]
        for args, message in cases:
            before = set(os.listdir(bad))
            run = export(*args)
            self.assertEqual(run.returncode, 2, run.stderr)
            self.assertEqual(run.stderr.count("\n"), 1, run.stderr)
            self.assertIn(message, run.stderr)
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
            run = subprocess.run([RENDER, "--recording", header, "--out", "/dev/null"],
                                 capture_output=True, text=True, timeout=120)
            self.assertEqual(run.returncode, 2)
            self.assertIn(message, run.stderr)
            self.assertEqual(run.stderr.count("\n"), 1, run.stderr)


if __name__ == "__main__":
    EXPORTER, RENDER = sys.argv[1], sys.argv[2]
    with tempfile.TemporaryDirectory() as WORK:
        mne.set_log_level("ERROR")
        result = unittest.main(argv=sys.argv[:1], exit=False, verbosity=2).result
    sys.exit(0 if result.wasSuccessful() else 1)
