#!/usr/bin/python3
"""The study workflow on a generated BIDS tree (2 subjects x 2 raw runs with events, the last
one damaged), run as a lab runs it: on 2 cores with --keep-going, then again unchanged, after a
recording is touched, and after the configuration changes. With --slurm, every job instead runs
through workflows/bids/profiles/slurm on a one-node cluster on localhost (munge, slurmctld and
slurmd with a temporary configuration) that this test brings up and stops whatever happens.

Run by CTest: test_study.py [--slurm] SNAKEFILE RENDER. Exits 77 (skipped) with one line when
MNE-Python is missing or (--slurm) the services cannot start here (not root, no such programs).
"""

import json
import os
import re
import shutil
import socket
import subprocess
import sys
import tempfile
import time
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
    done = subprocess.run(
        ["snakemake", "--snakefile", SNAKEFILE, "--directory", str(out), "--cores", "2",
         "--keep-going", "--configfile", *map(str, config_files),
         "--config", f"bids_root={out.parent / 'bids'}", f"render={RENDER}", *extra],
        capture_output=True, text=True)
    log = done.stdout + done.stderr
    # A failed job's own log says why; Snakemake only names it.
    for job_log in sorted(set(re.findall(r"log: (logs/\S+) \(check log", log))):
        path = out / job_log
        log += f"\n--- {job_log}:\n" + (path.read_text() if path.is_file() else "(missing)")
    return done.returncode, log


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


def make_study(test, base, config):
    """The BIDS tree and a configuration under base, kept on the test as it uses them."""
    test.paths = make_bids.make_tree(base / "bids", damaged=True)
    test.recs, test.damaged = [name(p) for p in test.paths[:-1]], name(test.paths[-1])
    test.out, test.config = base / "out", base / "config.yaml"
    test.config.write_text(config)


class Study(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.TemporaryDirectory()
        cls.addClassCleanup(cls.tmp.cleanup)
        make_study(cls, Path(cls.tmp.name), CONFIG)
        cls.code, cls.log = snakemake(cls.out, [cls.config])

    def test_1_first_run_draws_every_good_recording_and_reports_the_damaged_one(self):
        self.assertEqual(self.code, 0, self.log)
        check_outputs(self, self.out, self.recs, self.damaged, PICTURES, MOVIE_FRAMES)

    def test_2_second_run_does_nothing(self):
        self.assertEqual(self.changed_after([self.config]), set())

    def changed_after(self, *args):
        before = stamps(self.out)
        code, log = snakemake(self.out, *args)
        self.assertEqual(code, 0, log)
        after = stamps(self.out)
        return {p for p in after if before.get(p) != after[p]}

    def test_3_a_touched_recording_or_a_changed_setting_redoes_only_what_depends_on_it(self):
        os.utime(self.paths[0])
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


DAEMONS = ("munged", "slurmctld", "slurmd", "sbatch", "sinfo")
# The local run's configuration with one map of one surface: the jobs, not the pictures, count.
SLURM_CONFIG = CONFIG + "maps: [time]\nsurfaces: [fans]\n"
SLURM_CONF = """\
ClusterName=cm3dstudy
SlurmctldHost={host}(127.0.0.1)
SlurmctldPort={ctld_port}
SlurmdPort={slurmd_port}
AuthInfo=socket={d}/munge.socket
StateSaveLocation={d}/state
SlurmdSpoolDir={d}/spool
SlurmctldPidFile={d}/slurmctld.pid
SlurmdPidFile={d}/slurmd.pid
SlurmctldLogFile={d}/slurmctld.log
SlurmdLogFile={d}/slurmd.log
ProctrackType=proctrack/linuxproc
SelectType=select/cons_tres
SelectTypeParameters=CR_Core
# The node as configured, whatever this machine has; memory is not a consumable, so every job's
# --mem is accepted and the workflow's own resources are what is submitted.
SlurmdParameters=config_overrides
ReturnToService=2
NodeName={host} NodeAddr=127.0.0.1 CPUs={cpus} RealMemory=100000 State=UNKNOWN
PartitionName=study Nodes={host} Default=YES MaxTime=INFINITE State=UP
"""


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


class Cluster:
    """munged, slurmctld and slurmd in the foreground as children of this test, so that stopping
    them is ending the processes it started."""

    def __init__(self, folder):
        self.d = folder
        self.host = socket.gethostname().split(".")[0]
        self.conf = folder / "slurm.conf"
        self.env = dict(os.environ, SLURM_CONF=str(self.conf))
        self.processes = []

    def _spawn(self, *cmd):
        log = open(self.d / f"{Path(cmd[0]).name}.out", "w")
        self.processes.append(subprocess.Popen(cmd, stdout=log, stderr=subprocess.STDOUT,
                                               env=self.env, start_new_session=True))

    def start(self):
        """None when the node is up and idle, else why not."""
        if os.geteuid() != 0:
            return "Slurm's daemons run as root here and this test is not root"
        missing = [p for p in DAEMONS if not shutil.which(p, path="/usr/sbin:/usr/bin:/sbin")]
        if missing:
            return "not installed: " + ", ".join(missing) + " (./run test installs them)"
        for sub in ("state", "spool"):
            (self.d / sub).mkdir()
        key = self.d / "munge.key"
        key.write_bytes(os.urandom(1024))
        key.chmod(0o400)
        self.conf.write_text(SLURM_CONF.format(
            host=self.host, ctld_port=free_port(), slurmd_port=free_port(), d=self.d,
            cpus=os.cpu_count() or 1))
        # From Slurm 24.05 (Debian 13) slurmd would confine jobs with cgroups, which this
        # temporary node does not set up; Debian 12's 22.05 knows no such setting.
        release = subprocess.run(["/usr/sbin/slurmd", "-V"], capture_output=True,
                                 text=True).stdout.split()[-1].split(".")
        if [int(x) for x in release[:2]] >= [24, 5]:
            (self.d / "cgroup.conf").write_text("CgroupPlugin=disabled\n")
        self._spawn("/usr/sbin/munged", "--foreground", "--force", f"--socket={self.d}/munge.socket",
                    f"--key-file={key}", f"--pid-file={self.d}/munged.pid",
                    f"--log-file={self.d}/munged.log", f"--seed-file={self.d}/munge.seed")
        time.sleep(1)
        self._spawn("/usr/sbin/slurmctld", "-D", "-f", str(self.conf))
        self._spawn("/usr/sbin/slurmd", "-D", "-f", str(self.conf), "-N", self.host)
        for _ in range(60):
            state = subprocess.run(["sinfo", "-h", "-o", "%t"], env=self.env,
                                   capture_output=True, text=True).stdout.strip()
            if state == "idle":
                return None
            if any(p.poll() is not None for p in self.processes):
                break
            time.sleep(0.5)
        logs = [self.d / n for n in ("slurmctld.log", "slurmd.log", "munged.out")
                if (self.d / n).exists()]
        errors = [line for log in logs for line in log.read_text().splitlines() if "error" in line]
        return errors[-1].strip() if errors else f"the node is not idle ({state or 'no answer'})"

    def stop(self):
        subprocess.run(["scancel", "--full", "-u", "root"], env=self.env, capture_output=True)
        for p in reversed(self.processes):
            p.terminate()
            try:
                p.wait(10)
            except subprocess.TimeoutExpired:
                p.kill()
                p.wait()


class StudyOnSlurm(unittest.TestCase):
    def test_every_job_runs_through_slurm(self):
        make_study(self, Path(WORK), SLURM_CONFIG)
        os.environ["SLURM_CONF"] = str(CLUSTER.conf)
        code, log = snakemake(self.out, [self.config], "--profile",
                              str(Path(SNAKEFILE).parent / "profiles" / "slurm"))
        self.assertEqual(code, 0, log)
        check_outputs(self, self.out, self.recs, self.damaged, ["time_fans_left.png"], MOVIE_FRAMES)
        # One Slurm log per job: every recording converted, the good ones drawn and filmed.
        jobs = sorted(p.name.split("-", 1)[1] for p in (self.out / "logs/slurm").iterdir())
        expected = ["convert.log"] * 4 + [f"{r}.log" for r in ("frames", "map", "movie",
                                                               "response") for _ in range(3)]
        self.assertEqual(jobs, sorted(expected))


if __name__ == "__main__":
    slurm = sys.argv[1] == "--slurm"
    SNAKEFILE, RENDER = sys.argv[1 + slurm:3 + slurm]
    if not slurm:
        unittest.main(argv=sys.argv[:1] + ["Discovery", "Study"], verbosity=2)
    with tempfile.TemporaryDirectory() as WORK:
        CLUSTER = Cluster(Path(WORK))
        try:
            why = CLUSTER.start()
            if why:
                print(f"skipped: no one-node Slurm cluster here: {why}")
                sys.exit(77)
            unittest.main(argv=sys.argv[:1] + ["StudyOnSlurm"], verbosity=2)
        finally:
            CLUSTER.stop()
