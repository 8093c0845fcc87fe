#!/usr/bin/python3
"""Writes a recording that MNE-Python can read as a ContourMap3D JSON recording."""

# The interpreter is Debian's on purpose: python3-mne is installed for it, and a python3 found
# first on PATH (a virtual environment, pyenv) would not see it.

import argparse
import math
import os
import sys
import warnings

PROG = "mne_export"
EXIT_FAILURE = 2

# The conversion is the contourmap3d package's (python/contourmap3d in the sources); installed as
# bin/contourmap-mne-export, the bridge has its own copy of its pure-Python modules in
# share/contourmap3d/python, so it needs neither the compiled module nor the package's folder.
_HERE = os.path.dirname(os.path.realpath(__file__))
sys.path[1:1] = [os.path.join(os.path.dirname(_HERE), "python"),
                 os.path.join(os.path.dirname(_HERE), "share", "contourmap3d", "python")]
try:
    from contourmap3d import _export
    from contourmap3d._convert import DEFAULT_FMAX, DEFAULT_TF_ROWS, MAX_WRITTEN_SAMPLES
    from contourmap3d._sensors import CHOICES
except ImportError as error:  # numpy, which comes with python3-mne
    sys.stderr.write(f"{PROG}: MNE-Python is not installed ({error}): run ./run deps in the "
                     "ContourMap3D sources, or apt-get install python3-mne\n")
    sys.exit(EXIT_FAILURE)

HELP = """\
Reads a recording that MNE-Python can read and writes it as a JSON recording for
contourmap-render and contourmap-demo (docs/recording-format.md).

input:
  raw files of every format mne.io.read_raw knows (FIF, EDF/BDF, CTF .ds, KIT, BrainVision, ...);
  epochs (*-epo.fif, *_epo.fif), averaged over all epochs; evoked files (*-ave.fif, *_ave.fif),
  the condition chosen with --condition. A FIF file whose name follows no convention is tried as
  raw, epochs and evoked in turn. A file inside a CTF .ds folder stands for the folder; a 4D
  (BTi) file such as c,rfDC is read with the config and hs_file beside it.

what is applied:
  SSP projectors: all projectors of the recording are applied, as MNE-Python's viewers and
  read_evokeds do (projectors already applied in the file stay applied); --no-proj writes the data
  as stored. CTF software gradient compensation stays at the grade stored in the file (MNE's
  default). Raw files: each data channel's mean over the written time is removed, as MNE-Python's
  raw browser does, so that the sensors' offsets (often many times the field, as on KIT and 4D
  systems) do not hide it; --keep-dc writes the offsets as stored. Nothing else is filtered,
  re-referenced or baseline-corrected (evoked and epochs files keep the baseline they were saved
  with), except the low-pass before decimation described below.

what is written:
  The measuring channels ("kind": "meg") are placed at their first coil (device to head
  coordinates with the recording's dev_head_t, identity without one; mm); --ch-type says which:
    meg      every MEG channel, magnetometers and gradiometers together, mapped by minimum-norm
             field interpolation onto virtual magnetometers at the magnetometers' places (fT),
             named after them with _v (docs/field-mapping.md); the default when both types are
             there, as in MNE-Python's 3-D field maps. Bad channels take no part.
    mag      the magnetometers (fT)
    grad     the gradiometers (fT/cm): planar pairs (Neuromag) merged into one channel per place,
             the root mean square of the two, named as MNE-Python names it (MEG0112 and MEG0113
             make MEG011x), bad when either is; a planar gradiometer without its partner is left
             out. Axial gradiometers (CTF, KIT) are measured as they are.
    planar1, planar2
             the first or the second gradiometer of each planar pair, signed (fT/cm)
  The MEG channels that are not measured stay as "misc" channels, so one colour scale never mixes
  units and no data is lost. EEG (with its electrode position when known), EOG and stimulus
  channels keep their kind; everything else is "misc". Channels in info['bads'] are written
  "good": false. Values: fT and fT/cm for MEG, uV for EEG/EOG/ECG/EMG, as stored for the rest.
  Each measuring channel gets a spectral array on one frequency grid (--fmin to --fmax, about
  --fstep apart): row 0 the amplitude spectral density of the whole (cropped) recording
  (Welch, unit/sqrt(Hz)); rows 1.. the Morlet time-frequency amplitude (unit) averaged over
  consecutive windows of --tf-window seconds.
  The nasion, LPA, RPA and up to three HPI coils of info['dig'] become the fiducials (head
  coordinates, mm).

selection (what the maps show first):
  --time: nearest written sample; default the peak of the global field power (the root mean
  square over the good measuring channels): for evoked and epochs files that start before the
  event, the peak at or after 0 s; for raw files the peak of the whole written recording.
  --freq: nearest column of the frequency map; default the column of the largest mean power.
  --cell-at: the window holding TIME and the column nearest FREQ; default the cell of the largest
  mean amplitude past column 0 (the spectral map cannot show column 0).
  Times are in the recording's seconds (raw files: from the first sample; epochs and evoked
  files: relative to the event).

example:
  ./run mne-export my_raw.fif --out my.json
  ./run render --recording my.json --map time --out my.png

Progress goes to standard error line by line on a terminal, or always with --progress.
Problems are reported as one line "mne_export: FILE: what went wrong" with exit status 2.
"""


class Parser(argparse.ArgumentParser):
    def error(self, message):
        sys.stderr.write(f"{PROG}: {message} (see --help)\n")
        sys.exit(EXIT_FAILURE)


def parse_args(argv):
    p = Parser(prog=PROG, description=HELP, formatter_class=argparse.RawDescriptionHelpFormatter)
    p.add_argument("input", metavar="FILE", help="the recording to read")
    p.add_argument("--out", required=True, metavar="FILE.json", help="the JSON file to write")
    p.add_argument("--ch-type", choices=CHOICES,
                   help="what the maps measure: meg, mag, grad, planar1 or planar2 (default: "
                        "meg when magnetometers and gradiometers are both present)")
    p.add_argument("--condition", metavar="N|NAME", default="0",
                   help="evoked files: the condition's index or comment (default 0)")
    p.add_argument("--no-proj", dest="proj", action="store_false",
                   help="write the data as stored, without applying the SSP projectors")
    p.add_argument("--keep-dc", dest="remove_dc", action="store_false",
                   help="raw files: keep each channel's offset instead of removing its mean")
    p.add_argument("--page-at", type=float, metavar="S",
                   help="long raw files: convert only the page that holds S seconds (no spectra)")
    p.add_argument("--first-page", action="store_true",
                   help="long raw files: also write FILE.first.json as soon as the first page is "
                        "stored, and say \"first page ready\"")
    p.add_argument("--progress", action="store_true",
                   help="report each step on standard error (the default on a terminal)")
    p.add_argument("--tmin", type=float, metavar="S", help="first time to keep (seconds)")
    p.add_argument("--tmax", type=float, metavar="S", help="last time to keep (seconds)")
    p.add_argument("--decim", type=int, metavar="N",
                   help="write every Nth sample, low-passed first to a third of the new rate "
                        f"(default: the smallest N that writes at most {MAX_WRITTEN_SAMPLES})")
    p.add_argument("--fmin", type=float, default=1.0, metavar="HZ",
                   help="lowest frequency of the spectra (default 1, must be above 0)")
    p.add_argument("--fmax", type=float, metavar="HZ",
                   help=f"highest frequency (default {DEFAULT_FMAX:g}, or a third of the "
                        "sampling rate when lower)")
    p.add_argument("--fstep", type=float, default=2.0, metavar="HZ",
                   help="spacing of the frequency grid; the Welch segments are 1/fstep seconds "
                        "(default 2)")
    p.add_argument("--n-cycles", type=float, metavar="N",
                   help="Morlet cycles per wavelet (default: frequency / 2); fewer where a "
                        "wavelet would be longer than the recording")
    p.add_argument("--tf-window", type=float, metavar="S",
                   help=f"length of a time-frequency window (default: the recording in "
                        f"{DEFAULT_TF_ROWS} windows)")
    p.add_argument("--time", type=float, metavar="S", help="selected time (time-domain map)")
    p.add_argument("--freq", type=float, metavar="HZ", help="selected frequency (frequency map)")
    p.add_argument("--cell-at", dest="cell", metavar="TIME,FREQ",
                   help="selected cell (spectral map): the window holding TIME and the column "
                        "nearest FREQ")
    args = p.parse_args(argv)
    if args.cell is not None:
        try:
            t, f = (float(v) for v in args.cell.split(","))
        except ValueError:
            p.error(f"--cell-at must be TIME,FREQ (seconds,Hz), not '{args.cell}'")
        args.cell = (t, f)
    for name in ("tmin", "tmax", "fmin", "fmax", "fstep", "n_cycles", "tf_window", "time",
                 "freq", "page_at"):
        value = getattr(args, name)
        if value is not None and not math.isfinite(value):
            p.error(f"--{name.replace('_', '-')} must be a finite number")
    for name in ("fstep", "n_cycles", "tf_window"):
        value = getattr(args, name)
        if value is not None and value <= 0:
            p.error(f"--{name.replace('_', '-')} must be above 0")
    if args.fmin <= 0:
        p.error("--fmin must be above 0 Hz (a Morlet wavelet needs a frequency)")
    if args.decim is not None and args.decim < 1:
        p.error("--decim must be 1 or more")
    return args


SHOW_PROGRESS = False


def progress(text):
    if SHOW_PROGRESS or sys.stderr.isatty():
        sys.stderr.write(f"{PROG}: {text}\n")
        sys.stderr.flush()


def main(argv=None):
    global SHOW_PROGRESS
    args = parse_args(argv)
    SHOW_PROGRESS, args.say = args.progress, progress
    # MNE's and numpy's warnings (short signals, all-NaN channels) would break the one-line report.
    warnings.simplefilter("ignore")
    try:
        _export.export(args)
    except _export.ConversionError as error:
        sys.stderr.write(f"{PROG}: {error.path or args.input}: {error}\n")
        return EXIT_FAILURE
    except MemoryError:
        sys.stderr.write(f"{PROG}: {args.input}: out of memory (try --tmin/--tmax)\n")
        return EXIT_FAILURE
    except KeyboardInterrupt:
        return 130
    except Exception as error:  # any other failure still ends in one line, never a traceback
        sys.stderr.write(f"{PROG}: {args.input}: {_export.one_line(error)}\n")
        return EXIT_FAILURE
    return 0


if __name__ == "__main__":
    sys.exit(main())
