"""Times long raw recordings end to end, in one run: the bridge's conversion against MNE-Python's
own reading of the same file, the first map of an uncached file, a reopening from the cache and
the peak memory of each program (see docs/performance.md, "Long raw recordings").

The recordings are made here with MNE-Python (306 channels at 1 kHz: 102 places with a
magnetometer and two planar gradiometers on a helmet, a transient every 7 s with its trigger, an
SSP projector) and never kept: a one-minute file is written and read back as often as the length
asks, so that making a 60-minute file needs no more memory than a minute of it.

Run through ./run bench-raw [MINUTES ...] (default 10 60).
"""

import argparse
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

SFREQ = 1000.0
N_PLACES = 102
# tools/mne_example.py's helmet places the sensors; it needs MNE-Python, imported when a
# recording is made.
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tools"))


def make_recording(path, minutes, work):
    import mne
    import numpy as np
    from mne_example import helmet
    mne.set_log_level("ERROR")
    pos = helmet(N_PLACES, reach=0.7, centre=0)[0]
    names, types, locs = [], [], []
    for i, p in enumerate(pos):
        for suffix, kind in (("1", "mag"), ("2", "grad"), ("3", "grad")):
            names.append(f"MEG{i + 1:03d}{suffix}")
            types.append(kind)
            locs.append(p)
    info = mne.create_info(names + ["STI101"], SFREQ, types + ["stim"])
    for ch, p in zip(info["chs"], locs):
        ch["loc"][:] = np.r_[p, np.zeros(6), p / np.linalg.norm(p)]
    n = int(60 * SFREQ)
    rng = np.random.default_rng(1)
    data = np.zeros((len(names) + 1, n))
    scale = np.where(np.array(types) == "mag", 1e-13, 2e-12)
    data[:-1] = scale[:, None] * (0.2 * rng.standard_normal((len(names), n)) + 3)
    field = np.tile(pos[:, 0] / 0.11, 3)[np.argsort(np.r_[np.arange(0, 306, 3),
                                                           np.arange(1, 306, 3),
                                                           np.arange(2, 306, 3)])]
    for onset in range(3500, n - 300, 7000):
        data[:-1, onset:onset + 300] += 5 * scale[:, None] * np.outer(field, np.hanning(300))
        data[-1, onset:onset + 10] = 1
    minute = mne.io.RawArray(data, info)
    minute.add_proj(mne.compute_proj_raw(minute.copy().crop(0, 5), n_mag=1, n_grad=0, n_eeg=0))
    minute_path = os.path.join(work, "minute_raw.fif")
    minute.save(minute_path, overwrite=True)
    del minute, data
    pieces = [mne.io.read_raw_fif(minute_path) for _ in range(int(minutes))]
    whole = mne.concatenate_raws(pieces)
    whole.save(path, overwrite=True, buffer_size_sec=10)


def timed(command, env=None):
    """Wall seconds and peak resident memory (MiB) of a command, through GNU time."""
    return timed_output(command, env)[:2]


MNE_READ = """import sys, time, mne
mne.set_log_level("ERROR")
start = time.monotonic()
raw = mne.io.read_raw_fif(sys.argv[1], preload=True)
print(f"preload {time.monotonic() - start:.3f}")
raw.apply_proj()
"""


def timed_output(command, env=None):
    """Wall seconds, peak resident memory (MiB) and standard output of a command."""
    start = time.monotonic()
    run = subprocess.run(["/usr/bin/time", "-f", "MAXRSS %M", *command], capture_output=True,
                         text=True, env=env)
    seconds = time.monotonic() - start
    if run.returncode != 0:
        sys.exit(f"bench-raw: {' '.join(command)} failed: {run.stderr.strip()[-500:]}")
    rss = int(re.findall(r"MAXRSS (\d+)", run.stderr)[-1]) / 1024.0
    return seconds, rss, run.stdout


def main():
    p = argparse.ArgumentParser(prog="bench-raw")
    p.add_argument("minutes", nargs="*", type=float, default=[10, 60])
    p.add_argument("--mne-max-minutes", type=float, default=30,
                   help="longest recording MNE-Python preloads (it holds the whole file, twice "
                        "over while projecting: about 17 GB for an hour of 306 channels)")
    p.add_argument("--render", required=True)
    p.add_argument("--bridge", required=True)
    p.add_argument("--demo", help="bench-raw-demo: the demo window in process, for its first map, "
                                  "page changes and memory")
    args = p.parse_args()
    rows = []
    with tempfile.TemporaryDirectory(prefix="bench-raw-") as work:
        for minutes in args.minutes:
            path = os.path.join(work, f"long{minutes:g}_raw.fif")
            print(f"bench-raw: making a {minutes:g}-minute recording", file=sys.stderr)
            make_recording(path, minutes, work)
            cache = os.path.join(work, "cache")
            env = dict(os.environ, XDG_CACHE_HOME=cache)
            t_preload = t_mne = m_mne = float("nan")
            if minutes <= args.mne_max_minutes:
                t_mne, m_mne, said = timed_output([sys.executable, "-c", MNE_READ, path])
                t_preload = float(re.findall(r"preload ([0-9.]+)", said)[0])
            shutil.rmtree(cache, ignore_errors=True)
            t_first, m_first = timed([args.render, "--recording", path, "--time",
                                      str(minutes * 30), "--out", os.devnull], env)
            out = os.path.join(work, "converted.json")
            t_bridge, m_bridge = timed([sys.executable, args.bridge, path, "--out", out])
            shutil.rmtree(cache, ignore_errors=True)
            timed([args.render, "--recording", path, "--out", os.devnull], env)
            t_cached, m_cached = timed([args.render, "--recording", path, "--time",
                                        str(minutes * 30), "--out", os.devnull], env)
            demo = "n/a"
            if args.demo:
                shutil.rmtree(cache, ignore_errors=True)
                _, m_demo, said = timed_output([args.demo, path, "30"], env)
                first = float(re.findall(r"first-map ([0-9.]+)", said)[0])
                page = re.findall(r"page-change-ms ([0-9.]+) ([0-9.]+)", said)[0]
                demo = (f"{first:.2f} s to the first map; page change {page[0]} ms (max "
                        f"{page[1]}); {m_demo:.0f} MiB")
            rows.append((minutes, t_preload, t_mne, m_mne, t_bridge, m_bridge, t_first, m_first,
                         t_cached, m_cached, os.path.getsize(out[:-5] + ".npy"), demo))
            for name in os.listdir(work):
                if name.startswith(("long", "converted")):
                    os.remove(os.path.join(work, name))
            shutil.rmtree(cache, ignore_errors=True)
    print("| minutes | MNE preload (+ apply_proj) | bridge, whole conversion | ratio | bridge peak "
          "memory | render --time T, uncached | render from the cache | store on disk | demo |")
    print("|---|---|---|---|---|---|---|---|---|")
    for (minutes, t_preload, t_mne, m_mne, t_bridge, m_bridge, t_first, m_first, t_cached,
         m_cached, size, demo) in rows:
        print(f"| {minutes:g} | {t_preload:.1f} s ({t_mne:.1f} s, {m_mne:.0f} MiB) | "
              f"{t_bridge:.1f} s | {t_bridge / t_mne:.2f} | {m_bridge:.0f} MiB | "
              f"{t_first:.2f} s ({m_first:.0f} MiB) | {t_cached:.2f} s ({m_cached:.0f} MiB) | "
              f"{size / 1e9:.2f} GB | {demo} |")


if __name__ == "__main__":
    main()
