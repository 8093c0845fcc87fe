#!/usr/bin/python3
"""Draws one MNE-made evoked response three ways, for comparing them side by side:

    tools/smooth_pictures.py OUTDIR --render build/apps/render/contourmap-render

OUTDIR/compare-fans.png     contourmap-render's map of triangle fans (the default surface)
OUTDIR/compare-smooth.png   contourmap-render --surface smooth --colors continuous
OUTDIR/compare-topomap.png  MNE-Python's plot_topomap of the same data at the same time

The recording is tools/mne_example.py's (150 magnetometers, a left temporal dipole peaking at
100 ms), exported with tools/mne_export.py; all three show the sample the export selects first,
the 3-D maps seen from above and the left with the nose up. Nothing is downloaded.
"""

import argparse
import json
import os
import subprocess
import sys
import tempfile

TOOLS = os.path.dirname(os.path.abspath(__file__))
SIZE = 640


def run(command, prog="smooth_pictures"):
    """Runs a step of a picture tool; a failure ends the tool with the step's last line."""
    done = subprocess.run(command, capture_output=True, text=True)
    if done.returncode != 0:
        sys.exit(f"{prog}: {' '.join(command)} failed: "
                 f"{(done.stderr or done.stdout).strip().splitlines()[-1:]}")


def main(argv=None):
    parser = argparse.ArgumentParser(prog="smooth_pictures", description=__doc__.split("\n")[0])
    parser.add_argument("outdir", help="folder for the three PNG files")
    parser.add_argument("--render", required=True, help="the contourmap-render program")
    args = parser.parse_args(argv)
    try:
        import matplotlib
        matplotlib.use("Agg")
        import mne
    except ImportError as missing:
        sys.exit(f"smooth_pictures: MNE-Python is not installed ({missing}); ./run deps installs it")
    mne.set_log_level("ERROR")
    os.makedirs(args.outdir, exist_ok=True)

    with tempfile.TemporaryDirectory() as work:
        evoked_file = os.path.join(work, "example-ave.fif")
        recording = os.path.join(work, "example.json")
        run([sys.executable, os.path.join(TOOLS, "mne_example.py"), evoked_file])
        run([sys.executable, os.path.join(TOOLS, "mne_export.py"), evoked_file, "--out", recording])
        with open(recording, encoding="utf-8") as f:
            head = json.load(f)
        time = head["first_sample_time"] + head["selection"]["sample"] / head["sampling_rate"]

        # From above and the left, nose up: the left temporal field's two lobes both face the
        # camera, as the topomap unfolds them.
        common = [args.render, "--recording", recording, "--size", f"{SIZE}x{SIZE}", "--colorbar",
                  "--rotate", "0,40", "--distance", "520"]
        run(common + ["--out", os.path.join(args.outdir, "compare-fans.png")])
        run(common + ["--surface", "smooth", "--colors", "continuous",
                      "--out", os.path.join(args.outdir, "compare-smooth.png")])

        evoked = mne.read_evokeds(evoked_file, condition=0)
        figure = evoked.plot_topomap(times=[time], ch_type="mag", show=False, size=5,
                                     time_format="%0.3f s")
        figure.savefig(os.path.join(args.outdir, "compare-topomap.png"), dpi=100,
                       bbox_inches="tight")
    for name in ("fans", "smooth", "topomap"):
        print(os.path.join(args.outdir, f"compare-{name}.png"))
    print(f"smooth_pictures: all three at {time * 1000:.1f} ms", file=sys.stderr)


if __name__ == "__main__":
    main()
