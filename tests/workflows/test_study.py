#!/usr/bin/python3
"""The study workflow on a generated BIDS tree (2 subjects x 2 raw runs with events, the last
one damaged), run as a lab runs it: on 2 cores with --keep-going, then again unchanged, after a
recording is touched, and after the configuration changes.

Run by CTest: test_study.py SNAKEFILE RENDER. Exits 77 (skipped) only when MNE is missing.
"""

import json
import os
import re
import subprocess
import sys
import tempfile
import unittest
from pathlib import Path

import make_bids

sys.path.insert(0, str(Path(__file__).resolve().parents[2] / "workflows" / "bids" / "scripts"))
import bidstree  # noqa: E402

SNAKEFILE = RENDER = None
# A small first look: one view and small pictures keep the suite's time down.
CONFIG = """
views: [left]
size: 320x320
movie: {size: 240x240, step_ms: 20}
"""
# -0.1 to 0.4 s at 500 Hz every 20 ms: samples 0 to 250, 10 apart.
MOVIE_FRAMES = 26
PICTURES = [f"{m}_{s}_left.png" for m in ("time", "frequency") for s in ("fans", "smooth")]


def snakemake(out, config_files, *extra):
    bids = out.parent / "bids"
    done = subprocess.run(
        ["snakemake", "--snakefile", SNAKEFILE, "--directory", str(out), "--cores", "2",
         "--keep-going", "--configfile", *map(str, config_files),
         "--config", f"bids_root={bids}", f"render={RENDER}", *extra],
        capture_output=True, text=True)
    return done.returncode, done.stdout + done.stderr


def stamps(out):
    """Modification times of everything the workflow made, its own bookkeeping left out."""
    return {str(p.relative_to(out)): p.stat().st_mtime_ns for p in out.rglob("*")
            if p.is_file() and p.relative_to(out).parts[0] not in (".snakemake", "logs", "cache")}


def name(path):
    return str(Path(path).relative_to(Path(path).parents[2]))[:-len("_meg.fif")]


def check_outputs(test, out, recordings, damaged, pictures, movie_frames):
    """Every picture and movie of the good recordings, none of the damaged one, and the pages
    that show them and name the damaged one with its reason."""
    for rec in recordings:
        for picture in pictures:
            with open(out / f"{rec}_{picture}", "rb") as f:
                test.assertEqual(f.read(8), b"\x89PNG\r\n\x1a\n", f"{rec}_{picture}")
        probe = subprocess.run(["ffprobe", "-v", "error", "-count_frames", "-show_entries",
                                "stream=nb_read_frames,codec_name", "-of", "json",
                                str(out / f"{rec}_movie.mp4")], capture_output=True, text=True)
        stream = json.loads(probe.stdout)["streams"][0]
        test.assertEqual((stream["codec_name"], int(stream["nb_read_frames"])),
                         ("h264", movie_frames), rec)
        test.assertFalse((out / f"work/{rec}_frames").exists(), "frames are kept")
    test.assertEqual(list(out.glob(f"{damaged}_*.png")), [])
    reason = json.loads((out / f"work/{damaged}_info.json").read_text())["reason"]
    test.assertIn("meg.fif", reason)
    test.assertNotIn("\n", reason)
    index = (out / "index.html").read_text()
    test.assertIn(f"failed: {reason}", index.replace("&#x27;", "'"))
    test.assertIn(f"{len(recordings) + 1} recordings of 2 subjects: {len(recordings)} shown, "
                  "1 failed", index)
    test.assertIn("40 mag, 40 grad", index)
    test.assertIn("1 applied (environmental field)", index)
    for sub in ("sub-01", "sub-02"):
        page = out / sub / "index.html"
        sources = re.findall(r'src="([^"]+)"', page.read_text())
        subject_recs = [r for r in recordings if r.startswith(sub)]
        test.assertEqual(len(sources), len(subject_recs) * (len(pictures) + 1), sub)
        for src in sources:
            test.assertTrue((page.parent / src).is_file(), src)


class Discovery(unittest.TestCase):
    def test_recordings_are_found_as_bids_names_them(self):
        with tempfile.TemporaryDirectory() as root:
            files = ["sub-01/ses-a/meg/sub-01_ses-a_run-1_split-01_meg.fif",
                     "sub-01/ses-a/meg/sub-01_ses-a_run-1_split-02_meg.fif",
                     "sub-01/ses-a/meg/sub-01_ses-a_channels.tsv", "sub-01/meg/sub-01_ave.fif",
                     "sub-02/meg/sub-02_task-rest_meg/c,rfDC", "sub-03/meg/sub-03_meg.ds/x.meg4",
                     "derivatives/sub-09/meg/sub-09_meg.fif"]
            for f in files:
                (Path(root) / f).parent.mkdir(parents=True, exist_ok=True)
                (Path(root) / f).touch()
            found = {k: str(Path(v).relative_to(root))
                     for k, v in bidstree.find_recordings(root).items()}
        self.assertEqual(found, {"sub-01/meg/sub-01_ave": files[3],
                                 "sub-01/ses-a/meg/sub-01_ses-a_run-1": files[0],
                                 "sub-02/meg/sub-02_task-rest": files[4],
                                 "sub-03/meg/sub-03": "sub-03/meg/sub-03_meg.ds"})


class Study(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.TemporaryDirectory()
        base = Path(cls.tmp.name)
        paths = make_bids.make_tree(base / "bids", damaged=True)
        cls.recs, cls.damaged = [name(p) for p in paths[:-1]], name(paths[-1])
        cls.touched = paths[0]
        cls.out = base / "out"
        cls.config = base / "config.yaml"
        cls.config.write_text(CONFIG)
        cls.code, cls.log = snakemake(cls.out, [cls.config])

    @classmethod
    def tearDownClass(cls):
        cls.tmp.cleanup()

    def test_1_first_run_draws_every_good_recording_and_reports_the_damaged_one(self):
        self.assertEqual(self.code, 0, self.log)
        check_outputs(self, self.out, self.recs, self.damaged, PICTURES, MOVIE_FRAMES)

    def test_2_second_run_does_nothing(self):
        before = stamps(self.out)
        code, log = snakemake(self.out, [self.config])
        self.assertEqual(code, 0, log)
        self.assertIn("Nothing to be done", log)
        self.assertEqual(stamps(self.out), before)

    def changed_after(self, *args):
        before = stamps(self.out)
        code, log = snakemake(self.out, *args)
        self.assertEqual(code, 0, log)
        after = stamps(self.out)
        return {p for p in after if before.get(p) != after[p]}

    def test_3_a_touched_recording_or_a_changed_setting_redoes_only_what_depends_on_it(self):
        os.utime(self.touched)
        rec = self.recs[0]
        own = {f"{rec}_{p}" for p in PICTURES} | {f"{rec}_movie.mp4"} | \
            {f"work/{rec}_{f}" for f in ("info.json", "response-ave.fif", "response.args")}
        self.assertEqual(self.changed_after([self.config]),
                         own | {"index.html", "sub-01/index.html"})
        faster = Path(self.tmp.name) / "faster.yaml"
        faster.write_text("movie: {fps: 25}\n")
        self.assertEqual(self.changed_after([self.config, faster]),
                         {f"{rec}_movie.mp4" for rec in self.recs} |
                         {"index.html", "sub-01/index.html", "sub-02/index.html"})


if __name__ == "__main__":
    SNAKEFILE, RENDER = sys.argv[1], sys.argv[2]
    unittest.main(argv=sys.argv[:1], verbosity=2)
