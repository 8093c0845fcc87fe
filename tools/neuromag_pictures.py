#!/usr/bin/python3
"""Draws one Neuromag-like evoked response four ways, for comparing them side by side:

    tools/neuromag_pictures.py OUTDIR --render build/apps/render/contourmap-render

OUTDIR/neuromag-mag.png      the smooth field map of the 102 magnetometers (--ch-type mag)
OUTDIR/neuromag-grad.png     the smooth field map of the 102 merged gradiometer pairs
                             (--ch-type grad: root mean square, sequential scale from 0)
OUTDIR/neuromag-meg.png      the smooth field map of all 306 channels mapped onto virtual
                             magnetometers (--ch-type meg)
OUTDIR/neuromag-topomap.png  MNE-Python's plot_topomap of the merged gradiometers

The recording is tools/neuromag_example.py's (306 channels, a left temporal dipole peaking at
100 ms); all four show the same time, the 3-D maps seen from above and the left with the nose
up. Nothing is downloaded.
"""

import argparse
import json
import os
import sys
import tempfile

import smooth_pictures  # beside this file: its step runner

TOOLS = os.path.dirname(os.path.abspath(__file__))
SIZE = 560


def run(command):
    smooth_pictures.run(command, "neuromag_pictures")


def main(argv=None):
    parser = argparse.ArgumentParser(prog="neuromag_pictures", description=__doc__.split("\n")[0])
    parser.add_argument("outdir", help="folder for the four PNG files")
    parser.add_argument("--render", required=True, help="the contourmap-render program")
    args = parser.parse_args(argv)
    try:
        import matplotlib
        matplotlib.use("Agg")
        import mne
    except ImportError as missing:
        sys.exit(f"neuromag_pictures: MNE-Python is not installed ({missing}); ./run deps "
                 "installs it")
    mne.set_log_level("ERROR")
    os.makedirs(args.outdir, exist_ok=True)

    with tempfile.TemporaryDirectory() as work:
        evoked_file = os.path.join(work, "neuromag-ave.fif")
        run([sys.executable, os.path.join(TOOLS, "neuromag_example.py"), evoked_file])
        time = None
        for kind in ("mag", "grad", "meg"):
            recording = os.path.join(work, f"{kind}.json")
            # All four at the time the magnetometers' field power peaks.
            options = [] if time is None else ["--time", f"{time:.6f}"]
            run([sys.executable, os.path.join(TOOLS, "mne_export.py"), evoked_file,
                 "--out", recording, "--ch-type", kind, *options])
            if time is None:
                with open(recording, encoding="utf-8") as f:
                    head = json.load(f)
                time = head["first_sample_time"] + \
                    head["selection"]["sample"] / head["sampling_rate"]
            run([args.render, "--recording", recording, "--size", f"{SIZE}x{SIZE}",
                 "--colorbar", "--rotate", "0,40", "--distance", "560", "--surface", "smooth",
                 "--colors", "continuous",
                 "--out", os.path.join(args.outdir, f"neuromag-{kind}.png")])

        # MNE-Python finds a Neuromag gradiometer's 2-D place by its name in the Vectorview
        # layout, which the example's names are not; so its own pairing and merging, drawn by
        # plot_topomap at the magnetometers (the same places), with the colours MNE-Python gives
        # merged gradiometers.
        import matplotlib.pyplot as plt
        from mne.channels.layout import _merge_ch_data, _pair_grad_sensors
        evoked = mne.read_evokeds(evoked_file, condition=0)
        sample = int(abs(evoked.times - time).argmin())
        picks = _pair_grad_sensors(evoked.info, topomap_coords=False)
        merged, _ = _merge_ch_data(evoked.data[picks, sample], "grad", [])
        places = evoked.copy().pick("mag").info
        figure, axes = plt.subplots(figsize=(4.5, 4.5))
        image, _ = mne.viz.plot_topomap(merged * 1e13, places, axes=axes, cmap="Reds",
                                        vlim=(0, None), show=False)
        figure.colorbar(image, ax=axes, shrink=0.7, label="fT/cm")
        axes.set_title(f"merged gradiometers, {time:0.3f} s")
        figure.savefig(os.path.join(args.outdir, "neuromag-topomap.png"), dpi=100,
                       bbox_inches="tight")
    for name in ("mag", "grad", "meg", "topomap"):
        print(os.path.join(args.outdir, f"neuromag-{name}.png"))
    print(f"neuromag_pictures: all four at {time * 1000:.1f} ms", file=sys.stderr)


if __name__ == "__main__":
    main()
