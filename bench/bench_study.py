#!/usr/bin/python3
"""Times the study workflow (workflows/bids) on a generated dataset of evoked recordings, for the
two targets in docs/performance.md:

- on 2 cores the workflow takes at most 0.6 x its time on 1 core;
- its overhead over the same commands run one after another in a shell is at most 15 %.

    bench/bench_study.py [--render PROGRAM] [--subjects 4] [--runs 3] [--repeat 1]

Each run starts from an empty output folder (so every recording is converted again); the shell
loop runs the commands Snakemake recorded for the 1-core run (--detailed-summary), in the order
of the rules, into another empty folder. The pages (Python run by Snakemake itself, well under a
second) have no shell command and count as the workflow's overhead.
"""

import argparse
import os
import statistics
import subprocess
import sys
import tempfile
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent
sys.path.insert(0, str(ROOT / "tests" / "workflows"))
import make_bids  # noqa: E402

SNAKEFILE = ROOT / "workflows" / "bids" / "Snakefile"
RULE_ORDER = ["convert", "response", "map", "frames", "movie"]
# The machine's load average when the runs started: timings of a busy machine say little.
LOAD = []


def snakemake(out, bids, render, *extra):
    return ["snakemake", "--snakefile", str(SNAKEFILE), "--directory", str(out), "--quiet",
            "--config", f"bids_root={bids}", f"render={render}", *extra]


def timed(cmd, **kw):
    start = time.monotonic()
    subprocess.run(cmd, check=True, stdout=subprocess.DEVNULL, **kw)
    return time.monotonic() - start


def shell_loop(out, bids, render):
    """The shell commands of a finished run, in an order that respects the rules' dependencies."""
    summary = subprocess.run(snakemake(out, bids, render, "--cores", "1", "--detailed-summary"),
                             check=True, capture_output=True, text=True).stdout.splitlines()
    header = summary[0].split("\t")
    rule, shell = header.index("rule"), header.index("shellcmd")
    jobs = []
    for line in summary[1:]:
        fields = line.split("\t")
        if fields[rule] in RULE_ORDER and (fields[rule], fields[shell]) not in jobs:
            jobs.append((fields[rule], fields[shell]))
    jobs.sort(key=lambda job: RULE_ORDER.index(job[0]))
    return [cmd for _, cmd in jobs]


def loop(runs, commands, layout):
    """Times the commands one after another in an empty folder with the workflow's layout."""
    out = runs["shell loop"]
    for folder in layout.rglob("*"):
        if folder.is_dir() and folder.relative_to(layout).parts[0] not in (".snakemake", "cache"):
            (out / folder.relative_to(layout)).mkdir(parents=True, exist_ok=True)
    # One thread per program and one shader cache, as the workflow gives each job.
    env = dict(os.environ, MESA_SHADER_CACHE_DIR=str(out / "cache" / "mesa"),
               **{v: "1" for v in ("LP_NUM_THREADS", "OMP_NUM_THREADS", "OPENBLAS_NUM_THREADS",
                                   "MKL_NUM_THREADS")})
    return timed(["bash", "-e", "-c", "\n".join(commands)], cwd=out, env=env)


def main():
    p = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    p.add_argument("--render", default=str(ROOT / "build/apps/render/contourmap-render"))
    p.add_argument("--subjects", type=int, default=4)
    p.add_argument("--runs", type=int, default=3)
    p.add_argument("--repeat", type=int, default=1)
    a = p.parse_args()
    LOAD.append(open("/proc/loadavg").read().split()[0])
    times = {"1 core": [], "2 cores": [], "shell loop": []}
    with tempfile.TemporaryDirectory() as tmp:
        tmp = Path(tmp)
        bids = tmp / "bids"
        n = len(make_bids.make_tree(bids, a.subjects, a.runs, kind="evoked"))
        commands = None
        for k in range(a.repeat):
            runs = {name: tmp / f"{k}-{name.replace(' ', '-')}" for name in times}
            # Every other repeat the shell loop goes first, so that a change in the machine's
            # load during a repeat does not always favour the same side.
            order = ["1 core", "2 cores", "shell loop"]
            if k % 2 and commands:
                order.reverse()
            for name in order:
                if name == "shell loop":
                    times[name].append(loop(runs, commands, tmp / "0-1-core"))
                    continue
                times[name].append(timed(snakemake(runs[name], bids, a.render, "--cores",
                                                   name.split()[0])))
                if commands is None and name == "1 core":
                    commands = shell_loop(runs[name], bids, a.render)
    median = {name: statistics.median(t) for name, t in times.items()}
    print(f"{n} evoked recordings, {len(commands)} commands, {os.cpu_count()} processors; "
          f"medians of {a.repeat} run(s), seconds; load average before and after: "
          f"{LOAD[0]} and {open('/proc/loadavg').read().split()[0]}")
    for name, t in median.items():
        print(f"  {name:<11} {t:7.1f}")
    speed = median["2 cores"] / median["1 core"]
    overhead = median["1 core"] / median["shell loop"] - 1
    print(f"2 cores / 1 core: {speed:.2f} (target <= 0.60: {'held' if speed <= 0.6 else 'missed'})")
    print(f"overhead over the shell loop: {100 * overhead:.1f} % (target <= 15 %: "
          f"{'held' if overhead <= 0.15 else 'missed'})")


if __name__ == "__main__":
    main()
