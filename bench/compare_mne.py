"""Times the time-domain map and the smooth field map against MNE-Python's plot_topomap, in one
run, on the same sensors and values, and reports the medians with their ratios (see
docs/performance.md).

For each channel count the synthetic recording is written as a JSON recording by
compare-mne-ours; that program then times, in process, a selection change to finished pixels
(selection, range check, frame with the whole show sequence, read-back) at 800 x 800 on the
default EGL device, once for the time-domain map and once for the smooth field map drawn from
the same range-checked renderer (its surface made during the warm-up), and this script gives MNE-Python the MEG sensors of the same file (first coil
positions as magnetometer locations in an Info, so plot_topomap projects them its own way) and
the same values, and times plot_topomap and fig.canvas.draw() on an 8 x 8 inch figure at 100 dpi
(Agg), defaults otherwise. Figure creation and closing are outside the timed span.

With --python (the contourmap3d package's folder), the same run also times the package at the
306-channel count: Map.render of the smooth map (continuous colours, 800 x 800) after its first
call, against plot_topomap + draw and against the same frame timed in C++; and
contourmap3d.render(evoked, time=t) from a fresh Map, OpenGL context included.

Run through bench/compare_mne, which installs and builds what is missing first.
"""

import argparse
import datetime
import gc
import json
import os
import platform
import re
import statistics
import subprocess
import sys
import tempfile
import time

BEGIN_MARK = "<!-- compare-mne:begin -->"
END_MARK = "<!-- compare-mne:end -->"


def parse_args(root):
    p = argparse.ArgumentParser(
        prog="bench/compare_mne",
        description="Time the time-domain and smooth maps against MNE-Python's plot_topomap.")
    p.add_argument("--ours", required=True, help="the compare-mne-ours program")
    p.add_argument("--channels", default="102,275,306,600,1000",
                   help="comma-separated MEG channel counts (default: %(default)s)")
    p.add_argument("--runs", type=int, default=9,
                   help="timed runs per tool and count, after a warm-up; at least 7 "
                        "(default: %(default)s)")
    p.add_argument("--plot", default=os.path.join(root, "docs", "images", "compare-mne.png"),
                   help="where to write the plot (default: docs/images/compare-mne.png)")
    p.add_argument("--doc", default=os.path.join(root, "docs", "performance.md"),
                   help="the document whose marked section receives the table")
    p.add_argument("--no-docs", action="store_true",
                   help="print only; write neither the plot nor the document")
    p.add_argument("--python", metavar="DIR",
                   help="the folder holding the contourmap3d package (build/python): time it too")
    args = p.parse_args()
    if args.runs < 7:
        p.error("--runs must be at least 7")
    try:
        args.channel_counts = [int(c) for c in args.channels.split(",") if c.strip()]
    except ValueError:
        p.error("--channels takes whole numbers separated by commas")
    if not args.channel_counts or min(args.channel_counts) < 1:
        p.error("--channels takes positive numbers")
    return args


def machine():
    info = {"nproc": os.cpu_count(), "cpu": platform.processor() or "unknown"}
    try:
        with open("/proc/cpuinfo", encoding="utf-8") as f:
            for line in f:
                if line.startswith("model name"):
                    info["cpu"] = line.split(":", 1)[1].strip()
                    break
    except OSError:
        pass
    try:
        info["nproc"] = int(subprocess.run(["nproc"], capture_output=True, text=True,
                                           check=True).stdout)
    except (OSError, subprocess.CalledProcessError, ValueError):
        pass
    with open("/proc/loadavg", encoding="utf-8") as f:
        info["load"] = " ".join(f.read().split()[:3])
    return info


def run_ours(ours, path, runs, channels):
    """The time-domain map's timings and the smooth map's, on the same exported recording."""
    out = subprocess.run([ours, "export", str(channels), path], capture_output=True, text=True)
    if out.returncode != 0:
        sys.exit("compare_mne: " + (out.stderr.strip() or "export failed"))
    results = []
    for mode in ("time", "smooth"):
        out = subprocess.run([ours, mode, path, str(runs)], capture_output=True, text=True)
        if out.returncode != 0:
            sys.exit("compare_mne: " + (out.stderr.strip() or f"{mode} timing failed"))
        results.append(json.loads(out.stdout))
    return results


def mne_input(path):
    """The MEG sensors the time-domain map draws, in MNE's terms."""
    import mne
    import numpy as np

    with open(path, encoding="utf-8") as f:
        rec = json.load(f)
    sample = rec.get("selection", {}).get("sample", 0)
    chans = [c for c in rec["channels"]
             if c is not None and c["kind"] == "meg" and c.get("coils") and c.get("samples")]
    names = [c["name"] for c in chans]
    values = np.array([np.nan if c["samples"][sample] is None else c["samples"][sample]
                       for c in chans]) * 1e-15  # fT to T
    info = mne.create_info(names, rec.get("sampling_rate", 1000.0), "mag")
    for ch, c in zip(info["chs"], chans):
        ch["loc"][:3] = np.array(c["coils"][0]) / 1000.0  # mm to m
    return info, values


def time_mne(info, values, runs, warmup=2):
    import matplotlib.pyplot as plt
    import mne

    times = []
    for i in range(warmup + runs):
        fig, ax = plt.subplots(figsize=(8, 8), dpi=100)
        gc.collect()
        t0 = time.perf_counter()
        mne.viz.plot_topomap(values, info, axes=ax, show=False)
        fig.canvas.draw()
        t1 = time.perf_counter()
        w, h = fig.canvas.get_width_height()
        plt.close(fig)
        if (w, h) != (800, 800):
            sys.exit(f"compare_mne: MNE's figure is {w} x {h} pixels, not 800 x 800")
        if i >= warmup:
            times.append((t1 - t0) * 1000.0)
    return times


def python_arrays(path):
    """The recording's MEG sensors as the package takes arrays: data in T, positions in m."""
    import numpy as np

    with open(path, encoding="utf-8") as f:
        rec = json.load(f)
    chans = [c for c in rec["channels"]
             if c is not None and c["kind"] == "meg" and c.get("coils") and c.get("samples")]
    data = np.array([[np.nan if v is None else v for v in c["samples"]] for c in chans]) * 1e-15
    pos = np.array([c["coils"][0] for c in chans]) / 1000.0
    return data, pos, [c["name"] for c in chans], rec.get("sampling_rate", 1000.0), \
        rec.get("selection", {}).get("sample", 0)


def time_python(path, runs, warmup=2):
    """Map.render of the smooth map after its first call, and contourmap3d.render(evoked,
    time=t) from a fresh Map, both in milliseconds."""
    import contourmap3d
    import mne

    data, pos, names, sfreq, sample = python_arrays(path)
    the_map = contourmap3d.Map(data, pos=pos, names=names, sfreq=sfreq, surface="smooth",
                               colors="continuous", size=(800, 800))
    neighbour = sample + 1 if sample + 1 < data.shape[1] else sample - 1
    renders, frames = [], []
    for i in range(warmup + runs):
        the_map.render(sample=neighbour)  # untimed: every timed call is a real change
        gc.collect()
        t0 = time.perf_counter()
        the_map.render(sample=sample)
        if i >= warmup:
            renders.append((time.perf_counter() - t0) * 1000.0)
            # The same frame as timed inside the library, in the same call.
            frames.append(the_map._map.frame_ms)
    info = mne.create_info(names, sfreq, "mag")
    for ch, p in zip(info["chs"], pos):
        ch["loc"][:3] = p
    evoked = mne.EvokedArray(data, info)
    t = float(evoked.times[sample])
    fresh = []
    for i in range(warmup + runs):
        gc.collect()
        t0 = time.perf_counter()
        contourmap3d.render(evoked, time=t, surface="smooth")
        if i >= warmup:
            fresh.append((time.perf_counter() - t0) * 1000.0)
    return renders, frames, fresh


def python_targets(row, renders, frames, fresh):
    """The package's three targets, as table lines."""
    render = statistics.median(renders)
    lines = ["| target | measured | limit | met |", "|---|---:|---:|---|"]
    for name, value, limit, text in (
            ("`Map.render`, smooth map, after its first call / MNE-Python's plot_topomap + "
             "draw", render / row["mne_median"], 0.25, "{:.2f}"),
            ("`Map.render` / the same frame timed in C++ in the same calls",
             render / statistics.median(frames), 1.15, "{:.2f} x"),
            ("`Map.render` / the C++ program's frame (`compare-mne-ours smooth`)",
             render / row["smooth_median"], 1.15, "{:.2f} x"),
            ("`contourmap3d.render(evoked, time=t)`, fresh `Map`, context included (s)",
             statistics.median(fresh) / 1000.0, 0.5, "{:.3f}")):
        lines.append(f"| {name} | {text.format(value)} | {text.format(limit)} | "
                     f"{'yes' if value <= limit else 'NO'} |")
    lines.append(f"\n`Map.render` {render:.1f} ms, in C++ in the same calls "
                 f"{statistics.median(frames):.1f} ms, the C++ program "
                 f"{row['smooth_median']:.1f} ms, MNE-Python {row['mne_median']:.1f} ms at "
                 f"{row['channels']} channels.")
    return lines


def write_plot(path, rows):
    import matplotlib.pyplot as plt

    counts = [r["channels"] for r in rows]
    fig, ax = plt.subplots(figsize=(7, 4.5), dpi=100)
    for key, label, colour in (("ours", "ContourMap3D time-domain map", "#b2182b"),
                               ("smooth", "ContourMap3D smooth field map", "#1b7837"),
                               ("mne", "MNE-Python plot_topomap + draw", "#2166ac")):
        med = [r[key + "_median"] for r in rows]
        lo = [r[key + "_median"] - min(r[key + "_times"]) for r in rows]
        hi = [max(r[key + "_times"]) - r[key + "_median"] for r in rows]
        ax.errorbar(counts, med, yerr=[lo, hi], marker="o", capsize=4, color=colour, label=label)
    ax.set_xlabel("MEG channels")
    ax.set_ylabel("milliseconds per map (median; bars: min to max)")
    ax.set_title("Selection change to finished 800 x 800 pixels")
    ax.set_ylim(bottom=0)
    ax.set_xticks(counts)
    ax.grid(True, alpha=0.3)
    ax.legend()
    fig.tight_layout()
    os.makedirs(os.path.dirname(path), exist_ok=True)
    fig.savefig(path)
    plt.close(fig)


def table(rows):
    lines = ["| channels | ours (ms) | smooth (ms) | MNE-Python (ms) | ours / MNE | smooth / MNE "
             "| smooth / ours |",
             "|---:|---:|---:|---:|---:|---:|---:|"]
    for r in rows:
        lines.append(f"| {r['channels']} | {r['ours_median']:.1f} | {r['smooth_median']:.1f} | "
                     f"{r['mne_median']:.1f} | {r['ours_median'] / r['mne_median']:.2f} | "
                     f"{r['smooth_median'] / r['mne_median']:.2f} | "
                     f"{r['smooth_median'] / r['ours_median']:.2f} |")
    return lines


def update_doc(path, section):
    with open(path, encoding="utf-8") as f:
        text = f.read()
    begin, end = text.find(BEGIN_MARK), text.find(END_MARK)
    if begin < 0 or end < begin:
        print(f"compare_mne: {path} has no {BEGIN_MARK} ... {END_MARK} section; not written",
              file=sys.stderr)
        return False
    text = text[:begin + len(BEGIN_MARK)] + "\n" + section + "\n" + text[end:]
    with open(path, "w", encoding="utf-8") as f:
        f.write(text)
    return True


def main():
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    args = parse_args(root)
    import matplotlib
    matplotlib.use("Agg")
    import mne
    mne.set_log_level("ERROR")

    if args.python:
        sys.path.insert(0, args.python)
    host = machine()
    rows, gl, python_lines = [], {}, []
    with tempfile.TemporaryDirectory(prefix="cm3d-compare-") as tmp:
        for n in args.channel_counts:
            path = os.path.join(tmp, f"synthetic-{n}.json")
            ours, smooth = run_ours(args.ours, path, args.runs, n)
            gl = {"renderer": ours["gl_renderer"], "version": ours["gl_version"]}
            info, values = mne_input(path)
            mne_times = time_mne(info, values, args.runs)
            row = {"channels": len(values), "ours_times": ours["times_ms"],
                   "smooth_times": smooth["times_ms"], "mne_times": mne_times}
            for key in ("ours", "smooth", "mne"):
                row[key + "_median"] = statistics.median(row[key + "_times"])
            rows.append(row)
            if args.python and n == 306:
                python_lines = python_targets(row, *time_python(path, args.runs))
            print(f"{row['channels']:4d} channels: ours {row['ours_median']:7.1f} ms, "
                  f"smooth {row['smooth_median']:7.1f} ms, "
                  f"MNE-Python {row['mne_median']:7.1f} ms, ratios "
                  f"{row['ours_median'] / row['mne_median']:.2f} and "
                  f"{row['smooth_median'] / row['mne_median']:.2f}", flush=True)
    host["load_after"] = machine()["load"]

    mesa = re.search(r"Mesa [0-9][^ ]*", gl.get("version", ""))
    import matplotlib as mpl
    lines = table(rows)
    lines += [
        "",
        f"Medians of {args.runs} runs after a warm-up, all three in one run of "
        f"`bench/compare_mne` on {datetime.date.today().isoformat()}.",
        f"Machine: {host['nproc']} processors (nproc), {host['cpu']}; "
        f"OpenGL: {gl.get('renderer', '?')}, {mesa.group(0) if mesa else gl.get('version', '?')}; "
        f"MNE-Python {mne.__version__}, matplotlib {mpl.__version__}, "
        f"Python {platform.python_version()}; load average {host['load']} before, "
        f"{host['load_after']} after.",
    ]
    print()
    print("\n".join(lines))
    if python_lines:
        print("\nFrom Python (contourmap3d), 306 channels:\n")
        print("\n".join(python_lines))
    elif args.python:
        print("\ncompare_mne: --python times the package at 306 channels; --channels has none",
              file=sys.stderr)
    if not args.no_docs:
        write_plot(args.plot, rows)
        print(f"\nplot: {os.path.relpath(args.plot, root)}")
        if update_doc(args.doc, "\n".join(lines)):
            print(f"table: {os.path.relpath(args.doc, root)}")


if __name__ == "__main__":
    main()
