"""Times the field mapping of every MEG channel onto virtual magnetometers against MNE-Python's,
in one run, on the 306-channel Neuromag-like layout of the tests (tools/neuromag_example.py),
and writes the row into docs/performance.md between its compare-mne-mapping marks.

- ours: what --ch-type meg costs the bridge when the layout is new: MNE-Python's coil
  definitions written out, contourmap-fieldmap run (lead-field dot products, whitening,
  truncated inverse) and its matrix read back; no cache.
- MNE-Python: _map_meg_or_eeg_channels(all MEG channels -> the magnetometers, mode 'fast'),
  the channel-to-channel mapping its virtual-channel functions use, and make_field_map(ch_type=
  'meg'), the mapping onto its helmet surface that plot_evoked_field draws.

Run through bench/compare_mne (which builds contourmap-fieldmap) or directly:
  compare_mne_mapping.py --fieldmap build/fieldmap/megmapping/contourmap-fieldmap [--runs N]
"""

import argparse
import datetime
import os
import statistics
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BEGIN_MARK = "<!-- compare-mne-mapping:begin -->"
END_MARK = "<!-- compare-mne-mapping:end -->"


def median_ms(run, runs):
    run()  # warm-up: imports, coil definition files, Legendre tables
    times = []
    for _ in range(runs):
        t0 = time.perf_counter()
        run()
        times.append((time.perf_counter() - t0) * 1000.0)
    return statistics.median(times)


def main():
    p = argparse.ArgumentParser(prog="compare_mne_mapping")
    p.add_argument("--fieldmap", required=True, help="the contourmap-fieldmap program")
    p.add_argument("--runs", type=int, default=7, help="timed runs per tool (default 7)")
    p.add_argument("--doc", default=os.path.join(ROOT, "docs", "performance.md"))
    p.add_argument("--no-docs", action="store_true", help="print only")
    args = p.parse_args()
    sys.path[0:0] = [os.path.join(ROOT, "tools"), os.path.join(ROOT, "python")]
    os.environ["CONTOURMAP_FIELDMAP"] = args.fieldmap
    import mne
    from contourmap3d import _sensors
    import neuromag_example
    from mne.forward._field_interpolation import _map_meg_or_eeg_channels
    mne.set_log_level("ERROR")

    evoked = neuromag_example.evoked_response()
    info = evoked.info
    types = info.get_channel_types()
    meg = mne.pick_info(info, mne.pick_types(info, meg=True))
    mags = mne.pick_info(info, mne.pick_types(info, meg="mag"))
    with open("/proc/loadavg", encoding="utf-8") as f:
        load_before = " ".join(f.read().split()[:3])
    ours = median_ms(lambda: _sensors.field_mapping(
        mne, info, types, lambda i: info["chs"][i]["loc"][:3], neuromag_example.DEV_HEAD,
        None), args.runs)
    channels = median_ms(lambda: _map_meg_or_eeg_channels(meg, mags, "fast", (0.0, 0.0, 0.04)),
                         args.runs)
    surface = median_ms(lambda: mne.make_field_map(evoked, trans=None, ch_type="meg",
                                                   mode="fast"), args.runs)
    with open("/proc/loadavg", encoding="utf-8") as f:
        load_after = " ".join(f.read().split()[:3])
    lines = [
        "| mapping, 306 channels | ours (ms) | MNE-Python (ms) | ours / MNE |",
        "|---|---:|---:|---:|",
        f"| onto the 102 magnetometers (`_map_meg_or_eeg_channels`, fast) | {ours:.0f} | "
        f"{channels:.0f} | {ours / channels:.3f} |",
        f"| onto MNE's helmet (`make_field_map`, fast) | {ours:.0f} | {surface:.0f} | "
        f"{ours / surface:.3f} |",
        "",
        f"Medians of {args.runs} runs after a warm-up, in one run of `bench/compare_mne` on "
        f"{datetime.date.today().isoformat()}; {os.cpu_count()} processors; MNE-Python "
        f"{mne.__version__}; load average {load_before} before, {load_after} after.",
    ]
    print("\n".join(lines))
    if args.no_docs:
        return
    with open(args.doc, encoding="utf-8") as f:
        text = f.read()
    begin, end = text.find(BEGIN_MARK), text.find(END_MARK)
    if begin < 0 or end < begin:
        print(f"compare_mne_mapping: {args.doc} has no {BEGIN_MARK} section; not written",
              file=sys.stderr)
        return
    text = text[:begin + len(BEGIN_MARK)] + "\n" + "\n".join(lines) + "\n" + text[end:]
    with open(args.doc, "w", encoding="utf-8") as f:
        f.write(text)


if __name__ == "__main__":
    main()
