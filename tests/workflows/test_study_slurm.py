#!/usr/bin/python3
"""The study workflow through Slurm: a one-node cluster on localhost (munge, slurmctld and slurmd
with a temporary configuration), brought up and stopped by this test whatever happens, runs every
job of the workflow on the generated BIDS tree through workflows/bids/profiles/slurm.

Run by CTest: test_study_slurm.py WORKFLOW_FOLDER RENDER. Exits 77 (skipped) with one line when
MNE-Python is missing or the services cannot start here (not root, no such programs, ...).
"""

import os
import shutil
import socket
import subprocess
import sys
import tempfile
import time
import unittest
from pathlib import Path

import make_bids
import test_study

DAEMONS = ("munged", "slurmctld", "slurmd", "sbatch", "sinfo")
CONFIG = """
maps: [time]
surfaces: [fans]
views: [left]
size: 320x320
movie: {size: 240x240, step_ms: 20}
"""
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
        base = Path(WORK)
        paths = make_bids.make_tree(base / "bids", damaged=True)
        recs, damaged = [test_study.name(p) for p in paths[:-1]], test_study.name(paths[-1])
        config = base / "config.yaml"
        config.write_text(CONFIG)
        out = base / "out"
        os.environ["SLURM_CONF"] = str(CLUSTER.conf)
        code, log = test_study.snakemake(out, [config], "--profile", PROFILE)
        self.assertEqual(code, 0, log)
        test_study.check_outputs(self, out, recs, damaged, ["time_fans_left.png"], 26)
        # One Slurm log per job: every recording converted, the good ones drawn and filmed.
        jobs = sorted(p.name.split("-", 1)[1] for p in (out / "logs/slurm").iterdir())
        expected = ["convert.log"] * 4 + [f"{r}.log" for r in ("frames", "map", "movie",
                                                               "response") for _ in range(3)]
        self.assertEqual(jobs, sorted(expected))


if __name__ == "__main__":
    workflow, test_study.RENDER = Path(sys.argv[1]), sys.argv[2]
    test_study.SNAKEFILE = str(workflow / "Snakefile")
    PROFILE = str(workflow / "profiles" / "slurm")
    with tempfile.TemporaryDirectory() as WORK:
        CLUSTER = Cluster(Path(WORK))
        try:
            why = CLUSTER.start()
            if why:
                print(f"skipped: no one-node Slurm cluster here: {why}")
                sys.exit(77)
            unittest.main(argv=sys.argv[:1], verbosity=2)
        finally:
            CLUSTER.stop()
