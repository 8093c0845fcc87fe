#!/usr/bin/python3
"""Writes a recording that MNE-Python can read as a ContourMap3D JSON recording."""

# The interpreter is Debian's on purpose: python3-mne is installed for it, and a python3 found
# first on PATH (a virtual environment, pyenv) would not see it.

import argparse
import importlib
import json
import math
import os
import sys
import warnings
from types import SimpleNamespace

# The bridge's modules lie beside this file in the sources and, installed as
# bin/contourmap-mne-export, in share/contourmap3d/python.
_HERE = os.path.dirname(os.path.realpath(__file__))
sys.path[1:1] = [_HERE, os.path.join(os.path.dirname(_HERE), "share", "contourmap3d", "python")]
import meg_sensors  # noqa: E402

PROG = "mne_export"
EXIT_FAILURE = 2
MAX_WRITTEN_SAMPLES = 2000
DEFAULT_FMAX = 45.0
DEFAULT_TF_ROWS = 20

# Display units: magnetometers fT, planar gradiometers fT/cm, electrodes µV; the rest as stored.
SCALES = {"mag": 1e15, "ref_meg": 1e15, "grad": 1e13, "eeg": 1e6, "eog": 1e6, "ecg": 1e6,
          "emg": 1e6}
KINDS = {"eeg": "eeg", "eog": "eog", "stim": "stim"}

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


class ExportError(Exception):
    """A problem to report in one line, after the file it concerns."""

    def __init__(self, path, message):
        super().__init__(f"{path}: {message}")


def one_line(error):
    text = " ".join(str(error).split())
    return text[:300] if text else type(error).__name__


class Parser(argparse.ArgumentParser):
    def error(self, message):
        sys.stderr.write(f"{PROG}: {message} (see --help)\n")
        sys.exit(EXIT_FAILURE)


def parse_args(argv):
    p = Parser(prog=PROG, description=HELP, formatter_class=argparse.RawDescriptionHelpFormatter)
    p.add_argument("input", metavar="FILE", help="the recording to read")
    p.add_argument("--out", required=True, metavar="FILE.json", help="the JSON file to write")
    p.add_argument("--ch-type", choices=meg_sensors.CHOICES,
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


def bti_files(path):
    """The config and head shape files of a 4D (BTi) data file such as c,rfDC, or None when the
    file is not one: 4D systems keep the three side by side without extensions."""
    folder, name = os.path.split(os.path.abspath(path))
    config = os.path.join(folder, "config")
    if "," not in name or "." in name or not os.path.isfile(config):
        return None
    head_shape = os.path.join(folder, "hs_file")
    return config, head_shape if os.path.isfile(head_shape) else None


def read_recording(mne, path, condition, proj):
    """The recording as a Raw (not loaded) or an Evoked object, with its SSP projectors applied
    when proj is set."""
    if not os.path.exists(path):
        raise ExportError(path, "no such file or directory")
    # A user who opens a file of a CTF recording means the .ds folder that holds it.
    folder = os.path.dirname(os.path.abspath(path))
    if os.path.isfile(path) and folder.lower().endswith(".ds"):
        path = folder
    name = path.lower().rstrip("/")
    name = name[:-3] if name.endswith(".gz") else name
    condition = int(condition) if condition.lstrip("-").isdigit() else condition

    def epochs():
        return mne.read_epochs(path, proj=proj, preload=True).average(picks="all")

    def evoked():
        return mne.read_evokeds(path, condition=condition, baseline=None, proj=proj)

    def raw():
        bti = bti_files(path)
        if bti is not None:
            inst = mne.io.read_raw_bti(path, config_fname=bti[0], head_shape_fname=bti[1],
                                       preload=False)
        else:
            inst = mne.io.read_raw(path, preload=False)
        # Not loaded: the projectors are applied as the data is read (raw_projector).
        return inst

    if name.endswith(("-epo.fif", "_epo.fif")):
        readers = [epochs]
    elif name.endswith(("-ave.fif", "_ave.fif")):
        readers = [evoked]
    elif name.endswith(".fif"):
        readers = [raw, epochs, evoked]
    else:
        readers = [raw]
    first_error = None
    for read in readers:
        try:
            return read()
        except Exception as error:  # MNE's readers raise many kinds; each is a reason to report
            first_error = first_error or error
    raise ExportError(path, f"MNE cannot read it: {one_line(first_error)}")


def time_range(np, path, times, tmin, tmax):
    """First and last sample index kept by --tmin/--tmax."""
    half = (times[1] - times[0]) / 2 if len(times) > 1 else 0.0
    span = f"{times[0]:g} to {times[-1]:g} s"
    for name, value in (("--tmin", tmin), ("--tmax", tmax)):
        if value is not None and not times[0] - half <= value <= times[-1] + half:
            raise ExportError(path, f"{name} {value:g} is outside the recording ({span})")
    if tmin is not None and tmax is not None and tmin > tmax:
        raise ExportError(path, f"--tmin {tmin:g} is after --tmax {tmax:g}")
    first = 0 if tmin is None else int(np.searchsorted(times, tmin - half))
    last = len(times) - 1 if tmax is None else int(np.searchsorted(times, tmax + half, "right")) - 1
    if last < first:
        raise ExportError(path, f"no sample lies between --tmin {tmin:g} and --tmax {tmax:g}")
    return first, last


def device_to_head(np, mne, info):
    trans = info["dev_head_t"]
    if trans is None:
        return np.eye(4)
    matrix = np.asarray(trans["trans"], float)
    if trans["from"] == mne.io.constants.FIFF.FIFFV_COORD_HEAD:
        matrix = np.linalg.inv(matrix)
    return matrix


def apply(matrix, point):
    return matrix[:3, :3] @ point + matrix[:3, 3]


def coil_of(np, ch_type, loc, dev_head):
    """First coil position in head coordinates (mm), or None when the channel has none."""
    point = np.asarray(loc[:3], float)
    if not np.all(np.isfinite(point)):
        return None
    if ch_type in ("mag", "grad", "ref_meg"):
        return apply(dev_head, point) * 1000.0
    # MNE keeps an unknown electrode position as zeros.
    if ch_type == "eeg" and np.any(point != 0):
        return point * 1000.0
    return None


def fiducial_points(np, mne, info, dev_head):
    """Nasion, LPA, RPA and three HPI coils (mm, head coordinates) or None without any."""
    FIFF = mne.io.constants.FIFF
    slots = {FIFF.FIFFV_POINT_NASION: 0, FIFF.FIFFV_POINT_LPA: 1, FIFF.FIFFV_POINT_RPA: 2}
    points = [None] * 6
    hpi = []
    for dig in info["dig"] or []:
        r = np.asarray(dig["r"], float)
        if dig["coord_frame"] == FIFF.FIFFV_COORD_DEVICE:
            r = apply(dev_head, r)
        elif dig["coord_frame"] != FIFF.FIFFV_COORD_HEAD or not np.all(np.isfinite(r)):
            continue
        if dig["kind"] == FIFF.FIFFV_POINT_CARDINAL and dig["ident"] in slots:
            slot = slots[dig["ident"]]
            points[slot] = points[slot] if points[slot] is not None else r * 1000.0
        elif dig["kind"] == FIFF.FIFFV_POINT_HPI:
            hpi.append((dig["ident"], r * 1000.0))
    for k, (_, r) in enumerate(sorted(hpi, key=lambda item: item[0])[:3]):
        points[3 + k] = r
    return points if any(p is not None for p in points) else None


def lowpass_decimate(mne, data, sfreq, factor, h_freq, stored_lowpass, keep):
    """Every factor-th sample, low-passed at h_freq first unless the data already is, so that a
    peak in the written samples is not an alias. Rows not in keep (stimulus channels) are only
    subsampled: filtering would smear their codes."""
    if factor > 1 and h_freq < stored_lowpass and keep:
        data = data.copy()
        data[keep] = mne.filter.filter_data(data[keep], sfreq, None, h_freq, verbose=False)
    return data[:, ::factor]


def spectra(np, mne, path, x, sfreq, stored_lowpass, args):
    """The frequency grid and its spacing, the windows' centres and edges (seconds from the first
    sample) and per channel the (rows, columns) spectral array in the data's unit."""
    nyquist = sfreq / 2.0
    fmax = args.fmax if args.fmax is not None else min(DEFAULT_FMAX, sfreq / 3.0)
    if fmax > nyquist:
        raise ExportError(path, f"--fmax {fmax:g} Hz is above the Nyquist frequency "
                                f"({nyquist:g} Hz)")
    if args.fmin >= fmax:
        raise ExportError(path, f"--fmin {args.fmin:g} Hz is not below --fmax {fmax:g} Hz")
    n_times = x.shape[1]
    n_fft = max(2, min(int(round(sfreq / args.fstep)), n_times))
    psd, freqs = mne.time_frequency.psd_array_welch(
        x, sfreq, fmin=args.fmin, fmax=fmax, n_fft=n_fft, n_per_seg=n_fft,
        n_overlap=n_fft // 2, verbose=False)
    if len(freqs) == 0:
        raise ExportError(path, f"no frequency of the {sfreq / n_fft:g} Hz grid lies between "
                                f"--fmin {args.fmin:g} and --fmax {fmax:g}")

    # The Morlet transform needs no more than about 4 x fmax samples per second.
    factor = max(1, int(sfreq // (4.0 * fmax)))
    x_tf = lowpass_decimate(mne, x, sfreq, factor, 1.25 * fmax, stored_lowpass,
                            list(range(len(x))))
    sfreq_tf = sfreq / factor
    n_tf = x_tf.shape[1]
    cycles = freqs / 2.0 if args.n_cycles is None else np.full(len(freqs), args.n_cycles)
    # A wavelet spans 10 standard deviations of its envelope; it must fit into the recording.
    fitting = 2.0 * np.pi * freqs * 0.95 * (n_tf - 1) / (10.0 * sfreq_tf)
    if np.any(cycles > fitting):
        progress("shortening the Morlet wavelets to fit the recording")
        cycles = np.minimum(cycles, fitting)

    window = args.tf_window if args.tf_window is not None else n_tf / sfreq_tf / DEFAULT_TF_ROWS
    n_rows = min(n_tf, max(1, int(round(n_tf / (window * sfreq_tf)))))
    starts = np.array([w[0] for w in np.array_split(np.arange(n_tf), n_rows)])
    lengths = np.diff(np.append(starts, n_tf))
    t_tf = np.arange(n_tf) / sfreq_tf
    row_times = (starts + (lengths - 1) / 2.0) / sfreq_tf
    edges = np.append(t_tf[starts], t_tf[-1] + 1.0 / sfreq_tf) - 0.5 / sfreq_tf

    amplitude = np.empty((len(x), n_rows, len(freqs)))
    chunk = max(1, int(2e7 // (len(freqs) * n_tf)))
    for first in range(0, len(x), chunk):
        power = mne.time_frequency.tfr_array_morlet(
            x_tf[np.newaxis, first:first + chunk], sfreq_tf, freqs, n_cycles=cycles,
            zero_mean=True, output="power", verbose=False)[0]
        sums = np.add.reduceat(np.sqrt(power), starts, axis=2)
        amplitude[first:first + chunk] = (sums / lengths).transpose(0, 2, 1)
    arrays = np.concatenate([np.sqrt(psd)[:, np.newaxis, :], amplitude], axis=1)
    return freqs, sfreq / n_fft, row_times, edges, arrays


def nearest(path, option, value, axis, low, high, unit):
    if not low <= value <= high:
        raise ExportError(path, f"{option} {value:g} is outside the recording "
                                f"({low:g} to {high:g} {unit})")
    return int(abs(axis - value).argmin())


def numbers(values, digits):
    return "[" + ",".join(format(v, digits) if math.isfinite(v) else "null"
                          for v in values.tolist()) + "]"


def channel_json(name, kind, good, coil, samples, spectrum):
    parts = [f'"name": {json.dumps(name)}', f'"kind": "{kind}"']
    if not good:
        parts.append('"good": false')
    if coil is not None:
        parts.append(f'"coils": [{numbers(coil, ".9g")}]')
    if samples is not None:
        parts.append(f'"samples": {numbers(samples, ".6g")}')
    if spectrum is not None:
        rows, columns = spectrum.shape
        parts.append(f'"spectrum": {{"rows": {rows}, "columns": {columns}, '
                     f'"data": {numbers(spectrum.ravel(), ".6g")}}}')
    return "{" + ", ".join(parts) + "}"


def write_atomically(path, text):
    temporary = path + ".tmp"
    try:
        with open(temporary, "w", encoding="utf-8") as out:
            out.write(text)
        os.replace(temporary, path)
    except OSError as error:
        try:
            os.remove(temporary)
        except OSError:
            pass
        raise ExportError(path, f"cannot write: {error.strerror or one_line(error)}")


def describe(np, mne, args):
    """The recording opened (a raw file's data is not read yet) and what is known of it without
    its data: channels, types, the measured ones, positions and the kept span."""
    path = args.input
    progress(f"reading {path}")
    inst = read_recording(mne, path, args.condition, args.proj)
    rec = SimpleNamespace(path=path, info=inst.info, sfreq=float(inst.info["sfreq"]),
                          is_raw=isinstance(inst, mne.io.BaseRaw))
    report_applied(inst, args.proj, rec.is_raw)
    rec.types = inst.get_channel_types()
    rec.first, rec.last = time_range(np, path, inst.times, args.tmin, args.tmax)
    rec.times = inst.times[rec.first:rec.last + 1]
    rec.lowpass = float(rec.info["lowpass"] or rec.sfreq / 2.0)
    rec.bads = set(rec.info["bads"])
    rec.dev_head = device_to_head(np, mne, rec.info)
    rec.projector = raw_projector(np, mne, rec.info, args.proj) if rec.is_raw else None
    rec.coils = [coil_of(np, t, ch["loc"], rec.dev_head)
                 for t, ch in zip(rec.types, rec.info["chs"])]
    measure_channels(np, mne, rec, args.ch_type)
    return inst, rec


def load(np, inst, rec, args):
    """The kept span's data in SI units, offsets removed from raw files unless kept."""
    if rec.is_raw:
        rec.data = project(np, rec.projector, inst.get_data(start=rec.first, stop=rec.last + 1))
        remove_offsets(np, rec, args.remove_dc)
    else:
        rec.data = inst.get_data()[:, rec.first:rec.last + 1]


def measure_channels(np, mne, rec, wanted):
    """The measuring channels (meg_sensors.Measured): rec.meas indexes them among rec.names,
    after the recording's own channels when they are made from them."""
    try:
        rec.measure = meg_sensors.measuring(
            np, mne, rec.info, rec.types, wanted, lambda i: rec.coils[i], rec.dev_head,
            os.path.join(cache_folder(), "fieldmaps"))
    except meg_sensors.SensorError as error:
        raise ExportError(rec.path, str(error))
    measure = rec.measure
    rec.measured = measure.mode
    rec.names = list(rec.info["ch_names"])
    if measure.derived:
        rec.meas = list(range(len(rec.names), len(rec.names) + len(measure.names)))
        rec.names += measure.names
        rec.types = rec.types + [meg_sensors.SCALE_TYPES[measure.mode]] * len(measure.names)
        rec.coils = rec.coils + measure.coils
        rec.bads = rec.bads | {n for n, good in zip(measure.names, measure.good) if not good}
    else:
        rec.meas = list(measure.rows)
    if measure.note:
        progress(measure.note)
    # Selections follow the good measuring channels (all of them when every one is bad).
    rec.judged = [k for k, good in enumerate(measure.good) if good] or list(range(len(rec.meas)))
    if all(rec.coils[i] is None for i in rec.meas):
        raise ExportError(rec.path, f"none of the {meg_sensors.NAMES[rec.measured]} has a "
                                    "sensor position")


def cache_folder():
    base = os.environ.get("XDG_CACHE_HOME") or os.path.join(os.path.expanduser("~"), ".cache")
    return os.path.join(base, "contourmap3d")


def remove_offsets(np, rec, remove):
    """Removes each data channel's mean over the written time: a raw sensor's offset (its DC
    level) is no part of the field a map should show. Stimulus and other channels keep their
    values."""
    if not remove:
        progress("offsets kept (--keep-dc): the raw data is written as stored")
        return
    data_channels = [i for i, t in enumerate(rec.types) if t in SCALES]
    with warnings.catch_warnings():
        warnings.simplefilter("ignore", RuntimeWarning)  # a channel without a finite sample
        offsets = np.nanmean(rec.data[data_channels], axis=1, keepdims=True)
    rec.data[data_channels] -= np.nan_to_num(offsets)
    progress(f"offsets removed: the mean of each of {len(data_channels)} data channels over the "
             "written time")


def raw_projector(np, mne, info, proj):
    """The SSP projection of a raw file as an orthonormal basis U of what it removes (data
    becomes data - U (U^T data)), or None for none. Applied so, a projector of a few vectors
    costs a few multiplications per value instead of one per channel; the result is MNE-Python's
    (bad channels kept out of the projection as it keeps them). Projectors already active were
    applied when the file was written and change nothing when applied again."""
    if not proj or not info["projs"]:
        return None
    # The function has no public home: mne.io.proj until MNE-Python 1.5, mne._fiff.proj since.
    for module in ("mne._fiff.proj", "mne.io.proj"):
        try:
            make_projector = importlib.import_module(module).make_projector
            break
        except (ImportError, AttributeError):
            continue
    _, n_vectors, basis = make_projector(info["projs"], info["ch_names"], info["bads"])
    return basis if n_vectors else None


def project(np, basis, data):
    if basis is not None:
        data -= basis @ (basis.T @ data)
    return data


def report_applied(inst, proj, is_raw):
    projs = inst.info["projs"]
    # Raw files are projected as they are read, whatever the file marks active.
    active = [p["desc"] for p in projs if p["active"] or (proj and is_raw)]
    if not projs:
        progress("no SSP projectors in the recording")
    elif proj:
        progress(f"SSP projectors applied: {len(active)} ({', '.join(active)})")
    else:
        progress(f"SSP projectors not applied (--no-proj): {len(projs) - len(active)} of "
                 f"{len(projs)}; the data is written as stored")
    grade = getattr(inst, "compensation_grade", None)
    if grade:
        progress(f"CTF software gradient compensation: grade {grade}, as stored")


def field_power_peak(np, rec, out):
    """The written sample where the global field power (root mean square over the judged
    measuring channels) peaks; from 0 s on when an evoked response's baseline comes first."""
    gfp = np.sqrt(np.nanmean(out.samples[rec.meas][rec.judged] ** 2, axis=0))
    after_event = out.times >= 0
    if not rec.is_raw and out.times[0] < 0 and after_event.any():
        gfp = np.where(after_event, gfp, -np.inf)
    return int(np.nanargmax(gfp))


def select(np, args, rec, out, peak=None):
    """The selection object of the file, from the options or the strongest data. The written
    samples are out.n, out.rate apart from out.t0; peak is the field-power peak when the samples
    are not at hand."""
    half = 0.5 / out.rate
    path, t0, t_end = rec.path, out.t0, out.t0 + (out.n - 1) / out.rate
    if args.time is not None:
        if not t0 - half <= args.time <= t_end + half:
            raise ExportError(path, f"--time {args.time:g} is outside the recording "
                                    f"({t0:g} to {t_end:g} s)")
        sample = min(out.n - 1, max(0, int(round((args.time - t0) * out.rate))))
    else:
        sample = field_power_peak(np, rec, out) if peak is None else peak
    if out.freqs is None:
        return {"sample": sample}
    freqs, arrays = out.freqs, out.arrays
    f_low, f_high = freqs[0] - out.step / 2, freqs[-1] + out.step / 2
    if args.freq is not None:
        column = nearest(path, "--freq", args.freq, freqs, f_low, f_high, "Hz")
    else:
        column = int(np.nanargmax(np.nanmean(arrays[rec.judged, 0, :] ** 2, axis=0)))
    if args.cell is not None:
        cell_time, cell_freq = args.cell
        edges = out.edges
        if not edges[0] <= cell_time <= edges[-1]:
            raise ExportError(path, f"--cell-at time {cell_time:g} is outside the recording "
                                    f"({edges[0]:g} to {edges[-1]:g} s)")
        row = 1 + min(len(out.row_times) - 1, int(np.searchsorted(edges, cell_time, "right")) - 1)
        cell_column = nearest(path, "--cell-at frequency", cell_freq, freqs, f_low, f_high, "Hz")
    else:
        means = np.nanmean(arrays[rec.judged, 1:, :], axis=0)
        # The spectral map's range check counts the column from 1, so it cannot show column 0.
        if means.shape[1] > 1:
            means[:, 0] = -np.inf
        row, cell_column = (int(k) for k in np.unravel_index(np.nanargmax(means), means.shape))
        row += 1
    row_sample = min(out.n - 1, max(0, int(round((out.row_times[row - 1] - t0) * out.rate))))
    return {"sample": sample, "bin": column, "row": row, "column": cell_column,
            "time": row_sample}


def recording_text(np, mne, rec, out, selection, extra=()):
    """The JSON file, one channel per line like the library's own writer. Without out.samples
    the channels have none (a store holds them); without out.freqs there are no spectra."""
    fiducials = fiducial_points(np, mne, rec.info, rec.dev_head)
    head = [f'"unit": "{meg_sensors.UNITS[rec.measured]}"', f'"sampling_rate": {out.rate!r}',
            f'"first_sample_time": {float(out.t0)!r}']
    if out.freqs is not None:
        head += [f'"frequencies": {numbers(out.freqs, ".9g")}',
                 '"row_times": [null,' + numbers(out.row_times, ".9g")[1:]]
    head.append(f'"selection": {json.dumps(selection)}')
    if fiducials is not None:
        head.append('"fiducials": [' + ", ".join(
            "null" if p is None else numbers(p, ".9g") for p in fiducials) + "]")
    head += list(extra)
    spectrum_of = {} if out.freqs is None else {i: out.arrays[k] for k, i in enumerate(rec.meas)}
    lines = []
    measured = set(rec.meas)
    for i, (name, ch_type) in enumerate(zip(rec.names, rec.types)):
        kind = "meg" if i in measured else KINDS.get(ch_type, "misc")
        samples = None if out.samples is None else out.samples[i]
        lines.append(channel_json(name, kind, name not in rec.bads, rec.coils[i],
                                  samples, spectrum_of.get(i)))
    return "{\n  " + ",\n  ".join(head) + ',\n  "channels": [\n    ' + \
        ",\n    ".join(lines) + "\n  ]\n}\n"


def export(args):
    try:
        import numpy as np
        import mne
    except ImportError as error:
        raise ExportError(args.input, f"MNE-Python is not installed ({one_line(error)}): run "
                                      "./run deps in the ContourMap3D sources, or apt-get "
                                      "install python3-mne")
    mne.set_log_level("ERROR")
    inst, rec = describe(np, mne, args)
    if rec.is_raw and args.decim is None and len(rec.times) > MAX_WRITTEN_SAMPLES:
        import paged_export
        paged_export.export(np, mne, args, inst, rec, SimpleNamespace(**globals()))
        return
    load(np, inst, rec, args)

    out = SimpleNamespace()
    n_times = rec.data.shape[1]
    decim = args.decim or max(1, math.ceil(n_times / MAX_WRITTEN_SAMPLES))
    progress(f"{len(rec.meas)} {meg_sensors.NAMES[rec.measured]} measured; writing 1 in "
             f"{decim} of {n_times} samples")
    scales = np.array([SCALES.get(t, 1.0) for t in rec.types])[:, np.newaxis]
    filtered = [i for i, t in enumerate(rec.types[:len(rec.data)]) if t != "stim"]
    samples = lowpass_decimate(mne, rec.data, rec.sfreq, decim, rec.sfreq / decim / 3.0,
                               rec.lowpass, filtered)
    if rec.measure.derived:
        samples = np.concatenate([samples, rec.measure.apply(np, samples)])
    out.samples = samples * scales
    out.times, out.rate = rec.times[::decim], rec.sfreq / decim
    out.t0, out.n = float(out.times[0]), len(out.times)

    progress("computing the spectrum and the Morlet time-frequency amplitude")
    out.freqs, out.step, row_times, edges, arrays = spectra(
        np, mne, rec.path, rec.measure.spectral_rows(np, rec.data), rec.sfreq, rec.lowpass, args)
    out.arrays = rec.measure.combine_spectra(np, arrays) * scales[rec.meas][:, :, np.newaxis]
    out.row_times, out.edges = row_times + rec.times[0], edges + rec.times[0]

    selection = select(np, args, rec, out)
    progress(f"writing {args.out}")
    write_atomically(args.out, recording_text(np, mne, rec, out, selection))
    progress(f"done: {len(rec.types)} channels, {len(out.times)} samples, "
             f"{out.arrays.shape[1]} x {out.arrays.shape[2]} spectral arrays")


def main(argv=None):
    global SHOW_PROGRESS
    args = parse_args(argv)
    SHOW_PROGRESS = args.progress
    # MNE's and numpy's warnings (short signals, all-NaN channels) would break the one-line report.
    warnings.simplefilter("ignore")
    try:
        export(args)
    except ExportError as error:
        sys.stderr.write(f"{PROG}: {error}\n")
        return EXIT_FAILURE
    except MemoryError:
        sys.stderr.write(f"{PROG}: {args.input}: out of memory (try --tmin/--tmax)\n")
        return EXIT_FAILURE
    except KeyboardInterrupt:
        return 130
    except Exception as error:  # any other failure still ends in one line, never a traceback
        sys.stderr.write(f"{PROG}: {args.input}: {one_line(error)}\n")
        return EXIT_FAILURE
    return 0


if __name__ == "__main__":
    sys.exit(main())
