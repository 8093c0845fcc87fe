"""One conversion of a recording for the maps, used by the package and by tools/mne_export.py.

An MNE-Python object (Evoked, Raw, Epochs averaged) becomes the channels (names, kinds, good
flags), the first coil of each in millimetres in head coordinates, samples in the display unit
(fT, fT/cm, uV), the measuring channels (_sensors), the fiducials, the spectral arrays and the
first selection. A raw recording longer than MAX_WRITTEN_SAMPLES is converted block by block
(converted_blocks), so that the bridge can store it in bounded memory and the package gets the
same values. Plain arrays (from_arrays) take the package's road only.

Every problem is a ConversionError (a ValueError) with one line that says what is wrong.
"""

import importlib
import math
import warnings
from types import SimpleNamespace

import numpy as np

from . import _sensors
from ._sensors import ConversionError

# Display units: magnetometers fT, planar gradiometers fT/cm, electrodes µV; the rest as stored.
SCALES = {"mag": 1e15, "ref_meg": 1e15, "grad": 1e13, "eeg": 1e6, "eog": 1e6, "ecg": 1e6,
          "emg": 1e6}
KINDS = {"eeg": "eeg", "eog": "eog", "stim": "stim"}
TYPE_NAMES = {"mag": "magnetometers", "grad": "gradiometers"}
MAX_WRITTEN_SAMPLES = 2000
DEFAULT_FMAX = 45.0
DEFAULT_TF_ROWS = 20
# Long raw recordings are read, baselined and converted one block at a time; a block is also the
# page a stored recording opens on.
PAGE_SECONDS = 10.0

# The choices of a conversion, as the bridge's options name them; say() takes progress lines.
DEFAULTS = dict(ch_type=None, proj=True, remove_dc=True, tmin=None, tmax=None, decim=None,
                fmin=1.0, fmax=None, fstep=2.0, n_cycles=None, tf_window=None, time=None,
                freq=None, cell=None, page_at=None, say=lambda text: None)


def options(given=None, **overrides):
    """The conversion's choices: DEFAULTS, then the attributes of given, then overrides."""
    values = dict(DEFAULTS)
    values.update({k: getattr(given, k) for k in DEFAULTS if hasattr(given, k)})
    values.update(overrides)
    return SimpleNamespace(**values)


def one_line(error):
    text = " ".join(str(error).split())
    return text[:300] if text else type(error).__name__


def from_object(mne, inst, proj):
    """An MNE object as an Evoked or a Raw: epochs averaged, an Evoked's projectors applied (to
    a copy) when proj is set. A Raw is projected as it is read (raw_projector)."""
    if isinstance(inst, (list, tuple)):
        raise TypeError(f"pass one recording, not a {type(inst).__name__} of {len(inst)} "
                        "(choose one condition)")
    if isinstance(inst, mne.BaseEpochs):
        if len(inst) == 0:
            raise ConversionError("the epochs are empty (every epoch was dropped)")
        inst = inst.average(picks="all")
    elif isinstance(inst, mne.Evoked):
        inst = inst.copy() if proj and any(not p["active"] for p in inst.info["projs"]) else inst
    elif not isinstance(inst, mne.io.BaseRaw):
        raise TypeError("inst must be an mne.Evoked, mne.io.Raw or mne.Epochs, or an array of "
                        f"data in tesla with pos=, not {type(inst).__name__}")
    if proj and not isinstance(inst, mne.io.BaseRaw) and \
            any(not p["active"] for p in inst.info["projs"]):
        inst.apply_proj()
    return inst


def time_range(times, tmin, tmax):
    """First and last sample index kept by --tmin/--tmax."""
    half = (times[1] - times[0]) / 2 if len(times) > 1 else 0.0
    span = f"{times[0]:g} to {times[-1]:g} s"
    for name, value in (("--tmin", tmin), ("--tmax", tmax)):
        if value is not None and not times[0] - half <= value <= times[-1] + half:
            raise ConversionError(f"{name} {value:g} is outside the recording ({span})")
    if tmin is not None and tmax is not None and tmin > tmax:
        raise ConversionError(f"--tmin {tmin:g} is after --tmax {tmax:g}")
    first = 0 if tmin is None else int(np.searchsorted(times, tmin - half))
    last = len(times) - 1 if tmax is None else int(np.searchsorted(times, tmax + half, "right")) - 1
    if last < first:
        raise ConversionError(f"no sample lies between --tmin {tmin:g} and --tmax {tmax:g}")
    return first, last


def device_to_head(mne, info):
    trans = info["dev_head_t"]
    if trans is None:
        return np.eye(4)
    matrix = np.asarray(trans["trans"], float)
    if trans["from"] == mne.io.constants.FIFF.FIFFV_COORD_HEAD:
        matrix = np.linalg.inv(matrix)
    return matrix


def _apply(matrix, point):
    return matrix[:3, :3] @ point + matrix[:3, 3]


def coil_of(ch_type, loc, dev_head):
    """First coil position in head coordinates (mm), or None when the channel has none."""
    point = np.asarray(loc[:3], float)
    if not np.all(np.isfinite(point)):
        return None
    if ch_type in ("mag", "grad", "ref_meg"):
        return _apply(dev_head, point) * 1000.0
    # MNE keeps an unknown electrode position as zeros.
    if ch_type == "eeg" and np.any(point != 0):
        return point * 1000.0
    return None


def fiducial_points(mne, info, dev_head):
    """Nasion, LPA, RPA and three HPI coils (mm, head coordinates), None for a missing one;
    None without any."""
    FIFF = mne.io.constants.FIFF
    slots = {FIFF.FIFFV_POINT_NASION: 0, FIFF.FIFFV_POINT_LPA: 1, FIFF.FIFFV_POINT_RPA: 2}
    points = [None] * 6
    hpi = []
    for dig in info["dig"] or []:
        r = np.asarray(dig["r"], float)
        if dig["coord_frame"] == FIFF.FIFFV_COORD_DEVICE:
            r = _apply(dev_head, r)
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


def describe(mne, inst, opts):
    """What is known of a recording without its data: channels, types, the measuring ones,
    positions, projection and the kept span. inst is an Evoked or a Raw (from_object)."""
    rec = SimpleNamespace(info=inst.info, sfreq=float(inst.info["sfreq"]),
                          is_raw=isinstance(inst, mne.io.BaseRaw))
    report_applied(inst, opts, rec.is_raw)
    rec.types = inst.get_channel_types()
    rec.first, rec.last = time_range(inst.times, opts.tmin, opts.tmax)
    rec.times = inst.times[rec.first:rec.last + 1]
    rec.lowpass = float(rec.info["lowpass"] or rec.sfreq / 2.0)
    rec.bads = set(rec.info["bads"])
    rec.dev_head = device_to_head(mne, rec.info)
    rec.projector = raw_projector(rec.info, opts.proj) if rec.is_raw else None
    rec.coils = [coil_of(t, ch["loc"], rec.dev_head) for t, ch in zip(rec.types, rec.info["chs"])]
    rec.measure = measure = _sensors.measuring(
        mne, rec.info, rec.types, opts.ch_type, lambda i: rec.coils[i], rec.dev_head,
        _sensors.cache_folder() + "/fieldmaps")
    rec.measured = measure.mode
    rec.names = list(rec.info["ch_names"])
    if measure.derived:
        # Channels made from the recording's own (merged pairs, the field mapping) follow them.
        rec.meas = list(range(len(rec.names), len(rec.names) + len(measure.names)))
        rec.names += measure.names
        rec.types = rec.types + [_sensors.SCALE_TYPES[measure.mode]] * len(measure.names)
        rec.coils = rec.coils + measure.coils
        rec.bads = rec.bads | {n for n, good in zip(measure.names, measure.good) if not good}
    else:
        rec.meas = list(measure.rows)
    if measure.note:
        opts.say(measure.note)
    # Selections follow the good measuring channels (all of them when every one is bad).
    rec.judged = [k for k, good in enumerate(measure.good) if good] or list(range(len(rec.meas)))
    if all(rec.coils[i] is None for i in rec.meas):
        raise ConversionError(f"none of the {_sensors.NAMES[rec.measured]} has a sensor position")
    rec.scales = np.array([SCALES.get(t, 1.0) for t in rec.types])
    rec.long = rec.is_raw and opts.decim is None and len(rec.times) > MAX_WRITTEN_SAMPLES
    return rec


def raw_projector(info, proj):
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


def project(basis, data):
    if basis is not None:
        data -= basis @ (basis.T @ data)
    return data


def report_applied(inst, opts, is_raw):
    projs = inst.info["projs"]
    # Raw files are projected as they are read, whatever the file marks active.
    active = [p["desc"] for p in projs if p["active"] or (opts.proj and is_raw)]
    if not projs:
        opts.say("no SSP projectors in the recording")
    elif opts.proj:
        opts.say(f"SSP projectors applied: {len(active)} ({', '.join(active)})")
    else:
        opts.say(f"SSP projectors not applied (--no-proj): {len(projs) - len(active)} of "
                 f"{len(projs)}; the data is written as stored")
    grade = getattr(inst, "compensation_grade", None)
    if grade:
        opts.say(f"CTF software gradient compensation: grade {grade}, as stored")


def load(inst, rec, opts):
    """The kept span's data in SI units (rec.data), offsets removed from raw files unless
    kept: a raw sensor's offset (its DC level) is no part of the field a map should show."""
    if not rec.is_raw:
        rec.data = np.array(inst.get_data()[:, rec.first:rec.last + 1], dtype=float)
        return
    rec.data = project(rec.projector, inst.get_data(start=rec.first, stop=rec.last + 1))
    if not opts.remove_dc:
        opts.say("offsets kept (--keep-dc): the raw data is written as stored")
        return
    rows = [i for i, t in enumerate(rec.types[:len(rec.data)]) if t in SCALES]
    with warnings.catch_warnings():
        warnings.simplefilter("ignore", RuntimeWarning)  # a channel without a finite sample
        offsets = np.nanmean(rec.data[rows], axis=1, keepdims=True)
    rec.data[rows] -= np.nan_to_num(offsets)
    opts.say(f"offsets removed: the mean of each of {len(rows)} data channels over the written "
             "time")


def lowpass_decimate(mne, data, sfreq, factor, h_freq, stored_lowpass, keep):
    """Every factor-th sample, low-passed at h_freq first unless the data already is, so that a
    peak in the written samples is not an alias. Rows not in keep (stimulus channels) are only
    subsampled: filtering would smear their codes."""
    if factor > 1 and h_freq < stored_lowpass and keep:
        data = data.copy()
        data[keep] = mne.filter.filter_data(data[keep], sfreq, None, h_freq, verbose=False)
    return data[:, ::factor]


def frequency_range(sfreq, opts):
    """The highest frequency of the spectra, checked against the lowest and the Nyquist."""
    nyquist = sfreq / 2.0
    fmax = opts.fmax if opts.fmax is not None else min(DEFAULT_FMAX, sfreq / 3.0)
    if fmax > nyquist:
        raise ConversionError(f"--fmax {fmax:g} Hz is above the Nyquist frequency "
                              f"({nyquist:g} Hz)")
    if opts.fmin >= fmax:
        raise ConversionError(f"--fmin {opts.fmin:g} Hz is not below --fmax {fmax:g} Hz")
    return fmax


def _no_frequency(sfreq, n_fft, opts, fmax):
    return ConversionError(f"no frequency of the {sfreq / n_fft:g} Hz grid lies between --fmin "
                           f"{opts.fmin:g} and --fmax {fmax:g}")


def spectra(mne, x, sfreq, stored_lowpass, opts, time_frequency=True):
    """The frequency grid and its spacing, the windows' centres and edges (seconds from the first
    sample) and per row of x the (rows, columns) spectral array in x's unit: row 0 the amplitude
    spectral density (Welch, segments of 1/fstep s), rows 1.. the Morlet amplitude averaged over
    consecutive windows; without time_frequency row 0 alone."""
    fmax = frequency_range(sfreq, opts)
    n_times = x.shape[1]
    n_fft = max(2, min(int(round(sfreq / opts.fstep)), n_times))
    psd, freqs = mne.time_frequency.psd_array_welch(
        x, sfreq, fmin=opts.fmin, fmax=fmax, n_fft=n_fft, n_per_seg=n_fft,
        n_overlap=n_fft // 2, verbose=False)
    if len(freqs) == 0:
        raise _no_frequency(sfreq, n_fft, opts, fmax)
    whole = np.sqrt(psd)[:, np.newaxis, :]
    if not time_frequency:
        edges = np.array([0.0, n_times / sfreq]) - 0.5 / sfreq
        return freqs, sfreq / n_fft, np.empty(0), edges, whole

    # The Morlet transform needs no more than about 4 x fmax samples per second.
    factor = max(1, int(sfreq // (4.0 * fmax)))
    x_tf = lowpass_decimate(mne, x, sfreq, factor, 1.25 * fmax, stored_lowpass,
                            list(range(len(x))))
    sfreq_tf = sfreq / factor
    n_tf = x_tf.shape[1]
    cycles = freqs / 2.0 if opts.n_cycles is None else np.full(len(freqs), opts.n_cycles)
    # A wavelet spans 10 standard deviations of its envelope; it must fit into the recording.
    fitting = 2.0 * np.pi * freqs * 0.95 * (n_tf - 1) / (10.0 * sfreq_tf)
    if np.any(cycles > fitting):
        opts.say("shortening the Morlet wavelets to fit the recording")
        cycles = np.minimum(cycles, fitting)
    if not np.all(cycles > 0):
        raise ConversionError(f"the recording ({n_times} samples) is too short for a "
                              "time-frequency map")

    window = opts.tf_window if opts.tf_window is not None else n_tf / sfreq_tf / DEFAULT_TF_ROWS
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
    return freqs, sfreq / n_fft, row_times, edges, np.concatenate([whole, amplitude], axis=1)


def convert(mne, inst, rec, opts, time_frequency=True, with_spectra=True):
    """A recording converted in memory: out.samples (every channel, display unit) at out.rate
    from out.t0, every opts.decim-th sample (default: at most MAX_WRITTEN_SAMPLES), and the
    measuring channels' spectra (out.freqs, out.arrays in the display unit) when asked."""
    load(inst, rec, opts)
    out = SimpleNamespace(freqs=None)
    n_times = rec.data.shape[1]
    decim = opts.decim or max(1, math.ceil(n_times / MAX_WRITTEN_SAMPLES))
    opts.say(f"{len(rec.meas)} {_sensors.NAMES[rec.measured]} measured; writing 1 in {decim} of "
             f"{n_times} samples")
    scales = rec.scales[:, np.newaxis]
    filtered = [i for i, t in enumerate(rec.types[:len(rec.data)]) if t != "stim"]
    samples = lowpass_decimate(mne, rec.data, rec.sfreq, decim, rec.sfreq / decim / 3.0,
                               rec.lowpass, filtered)
    if rec.measure.derived:
        samples = np.concatenate([samples, rec.measure.apply(samples)])
    out.samples = samples * scales
    out.times, out.rate = rec.times[::decim], rec.sfreq / decim
    out.t0, out.n = float(out.times[0]), len(out.times)
    if with_spectra:
        opts.say("computing the spectrum and the Morlet time-frequency amplitude")
        out.freqs, out.step, row_times, edges, arrays = spectra(
            mne, rec.measure.spectral_rows(rec.data), rec.sfreq, rec.lowpass, opts,
            time_frequency)
        out.arrays = rec.measure.combine_spectra(arrays) * scales[rec.meas][:, :, np.newaxis]
        out.row_times, out.edges = row_times + rec.times[0], edges + rec.times[0]
    rec.data = None
    return out


class Baseline:
    """Each data channel's offset in a long recording: a line through the means of consecutive
    blocks, each mean at its block's centre, constant before the first centre and after the
    last. A slow drift is followed without a step where two blocks meet, and nothing faster
    than a block is removed."""

    def __init__(self):
        self.centres, self.means = [], []

    def add(self, first, block):
        with np.errstate(all="ignore"):
            mean = np.nan_to_num(np.nanmean(block, axis=1)) if block.shape[1] else 0 * block[:, 0]
        self.centres.append(first + (block.shape[1] - 1) / 2.0)
        self.means.append(mean)
        # A block's offsets need only its neighbours' means.
        del self.centres[:-3], self.means[:-3]

    def offsets(self, first, n):
        """(channels, n) offsets of samples first to first + n - 1."""
        t = np.arange(first, first + n, dtype=float)
        last = len(self.centres) - 1
        position = np.interp(t, self.centres, np.arange(last + 1, dtype=float))
        left = np.minimum(position.astype(int), last)
        out = np.empty((len(self.means[0]), n))
        # The samples between two centres lie on one line: an outer product each.
        for j in range(left[0], left[-1] + 1):
            a, b = np.searchsorted(left, [j, j + 1])
            step = self.means[min(j + 1, last)] - self.means[j]
            out[:, a:b] = self.means[j][:, None] + np.outer(step, position[a:b] - j)
        return out


class BlockSpectra:
    """Welch amplitude spectral densities accumulated block by block: row 0 over the whole
    recording, one row per time window of whole blocks."""

    def __init__(self, sfreq, n_blocks, block, opts):
        self.sfreq, self.opts = sfreq, opts
        self.fmax = frequency_range(sfreq, opts)
        self.n_fft = max(2, min(int(round(sfreq / opts.fstep)), block))
        window = opts.tf_window if opts.tf_window is not None else \
            n_blocks * block / sfreq / DEFAULT_TF_ROWS
        self.per_row = max(1, int(round(window * sfreq / block)))
        self.rows, self.edges = [], []
        self.total, self.total_weight, self.freqs = None, 0.0, None

    def add(self, mne, first, block):
        if block.shape[1] < self.n_fft:
            return
        psd, freqs = mne.time_frequency.psd_array_welch(
            block, self.sfreq, fmin=self.opts.fmin, fmax=self.fmax, n_fft=self.n_fft,
            n_per_seg=self.n_fft, n_overlap=self.n_fft // 2, verbose=False)
        self.freqs = freqs
        segments = 1 + (block.shape[1] - self.n_fft) // (self.n_fft - self.n_fft // 2)
        self.total = psd * segments if self.total is None else self.total + psd * segments
        self.total_weight += segments
        if not self.rows or self.rows[-1][2] == self.per_row:
            self.rows.append([np.zeros_like(psd), 0.0, 0])
            self.edges.append(first)
        row = self.rows[-1]
        row[0] += psd * segments
        row[1] += segments
        row[2] += 1
        self.end = first + block.shape[1]

    def result(self, rec, out):
        """Sets out's frequencies, spacing, rows' times and edges (s) and the measuring
        channels' (channels, rows, columns) arrays in the display unit."""
        if self.total is None or len(self.freqs) == 0:
            raise _no_frequency(self.sfreq, self.n_fft, self.opts, self.fmax)
        rows = [np.sqrt(self.total / self.total_weight)]
        rows += [np.sqrt(r[0] / r[1]) for r in self.rows]
        edges = np.array(self.edges + [self.end], dtype=float)
        centres = (edges[:-1] + edges[1:] - 1) / 2.0
        out.freqs, out.step = self.freqs, self.sfreq / self.n_fft
        out.arrays = rec.measure.combine_spectra(np.stack(rows, axis=1)) * \
            rec.scales[rec.meas][:, None, None]
        out.row_times = out.t0 + centres / rec.sfreq
        out.edges = out.t0 + (edges - 0.5) / rec.sfreq


def converted_blocks(mne, inst, rec, opts, blocks, n_blocks, block, spectra=None):
    """Yields (first sample, data, gfp) for each block of a long raw recording in blocks: every
    channel (the measuring ones made) in the display unit, projected, offsets removed unless
    kept, and the global field power of the judged measuring channels. Blocks feed spectra."""
    n_total = rec.last - rec.first + 1
    data_rows = [i for i, t in enumerate(rec.types[:len(rec.info["ch_names"])]) if t in SCALES]
    meas_judged = np.array(rec.meas)[rec.judged]

    def read(k):
        first = k * block
        n = min(block, n_total - first)
        return first, project(rec.projector, inst.get_data(start=rec.first + first,
                                                            stop=rec.first + first + n))

    baseline = Baseline()
    whole = len(blocks) == n_blocks
    if opts.remove_dc and not whole:
        # One page alone: its offsets need the means of the blocks on either side.
        for k in range(max(0, blocks[0] - 1), min(n_blocks, blocks[-1] + 2)):
            baseline.add(*read(k))
    pending = []  # blocks read but not converted: each waits for the next block's mean
    for k in blocks:
        first, data = read(k)
        if opts.remove_dc and whole:
            baseline.add(first, data)
        pending.append((first, data))
        while pending and (len(pending) > 1 or k == blocks[-1] or not opts.remove_dc):
            first, data = pending.pop(0)
            if opts.remove_dc:
                data[data_rows] -= baseline.offsets(first, data.shape[1])[data_rows]
            measured = rec.measure.apply(data)
            if spectra is not None:
                spectra.add(mne, first, rec.measure.spectral_rows(data, measured))
            if rec.measure.derived:
                data = np.concatenate([data, measured])
            data *= rec.scales[:, None]
            with np.errstate(all="ignore"):
                gfp = np.sqrt(np.nanmean(data[meas_judged] ** 2, axis=0))
            yield first, data, np.nan_to_num(gfp, nan=-1.0)


def field_power_peak(rec, out):
    """The written sample where the global field power (root mean square over the judged
    measuring channels) peaks; from 0 s on when an evoked response's baseline comes first."""
    with warnings.catch_warnings():
        warnings.simplefilter("ignore", RuntimeWarning)  # a sample where every value is NaN
        gfp = np.sqrt(np.nanmean(out.samples[rec.meas][rec.judged] ** 2, axis=0))
    gfp = np.where(np.isfinite(gfp), gfp, -np.inf)
    after_event = out.times >= 0
    if not rec.is_raw and out.times[0] < 0 and after_event.any():
        gfp = np.where(after_event, gfp, -np.inf)
    return int(np.argmax(gfp))


def nearest(option, value, axis, low, high, unit):
    if not low <= value <= high:
        raise ConversionError(f"{option} {value:g} is outside the recording "
                              f"({low:g} to {high:g} {unit})")
    return int(abs(axis - value).argmin())


def _largest(values):
    return np.unravel_index(np.argmax(np.nan_to_num(values, nan=-np.inf)), values.shape)


def select(opts, rec, out, peak=None):
    """The first selection, from the options or the strongest data. The samples are out.n,
    out.rate apart from out.t0; peak is the field-power peak when the samples are not at hand."""
    half = 0.5 / out.rate
    t0, t_end = out.t0, out.t0 + (out.n - 1) / out.rate
    if opts.time is not None:
        if not t0 - half <= opts.time <= t_end + half:
            raise ConversionError(f"--time {opts.time:g} is outside the recording "
                                  f"({t0:g} to {t_end:g} s)")
        sample = min(out.n - 1, max(0, int(round((opts.time - t0) * out.rate))))
    else:
        sample = field_power_peak(rec, out) if peak is None else peak
    if out.freqs is None:
        return {"sample": sample}
    freqs, arrays = out.freqs, out.arrays
    f_low, f_high = freqs[0] - out.step / 2, freqs[-1] + out.step / 2
    with warnings.catch_warnings():
        warnings.simplefilter("ignore", RuntimeWarning)  # a channel without a finite value
        if opts.freq is not None:
            column = nearest("--freq", opts.freq, freqs, f_low, f_high, "Hz")
        else:
            column = int(_largest(np.nanmean(arrays[rec.judged, 0, :] ** 2, axis=0))[0])
        if arrays.shape[1] == 1:
            return {"sample": sample, "bin": column}
        if opts.cell is not None:
            cell_time, cell_freq = opts.cell
            edges = out.edges
            if not edges[0] <= cell_time <= edges[-1]:
                raise ConversionError(f"--cell-at time {cell_time:g} is outside the recording "
                                      f"({edges[0]:g} to {edges[-1]:g} s)")
            row = 1 + min(len(out.row_times) - 1,
                          int(np.searchsorted(edges, cell_time, "right")) - 1)
            cell_column = nearest("--cell-at frequency", cell_freq, freqs, f_low, f_high, "Hz")
        else:
            means = np.nanmean(arrays[rec.judged, 1:, :], axis=0)
            # The spectral map's range check counts the column from 1, so it cannot show
            # column 0.
            if means.shape[1] > 1:
                means[:, 0] = -np.inf
            row, cell_column = (int(k) for k in _largest(means))
            row += 1
    row_sample = min(out.n - 1, max(0, int(round((out.row_times[row - 1] - t0) * out.rate))))
    return {"sample": sample, "bin": column, "row": row, "column": cell_column,
            "time": row_sample}


def convert_object(mne, inst, opts, time_frequency=None):
    """An MNE object converted in memory at its full rate, a long Raw block by block as the
    bridge stores it (same values): (rec, out). time_frequency None computes no spectra."""
    inst = from_object(mne, inst, opts.proj)
    rec = describe(mne, inst, opts)
    if not rec.long:
        return rec, convert(mne, inst, rec, options(opts, decim=1), time_frequency,
                            time_frequency is not None)
    n_total = len(rec.times)
    block = max(1, int(round(PAGE_SECONDS * rec.sfreq)))
    n_blocks = (n_total + block - 1) // block
    spectra = None if time_frequency is None else \
        BlockSpectra(rec.sfreq, n_blocks, block, opts)
    out = SimpleNamespace(rate=rec.sfreq, t0=float(rec.times[0]), n=n_total, freqs=None,
                          times=rec.times, samples=np.empty((len(rec.names), n_total)))
    for first, data, _ in converted_blocks(mne, inst, rec, opts, range(n_blocks), n_blocks,
                                           block, spectra):
        out.samples[:, first:first + data.shape[1]] = data
    if spectra is not None:
        spectra.result(rec, out)
    return rec, out


# The package's side: the recording as the compiled module takes it.

def _package_recording(rec, out, selection, fiducials):
    measured = set(rec.meas)
    rec.kinds = ["meg" if i in measured else KINDS.get(t, "misc") for i, t in enumerate(rec.types)]
    rec.good = [name not in rec.bads for name in rec.names]
    rec.positions = np.array([[np.nan] * 3 if c is None else c for c in rec.coils], float)
    rec.unit = _sensors.UNITS[rec.measured]
    rec.samples, rec.times = out.samples, np.asarray(out.times, float)
    rec.fiducials = None if fiducials is None else np.array(
        [p if p is not None else [np.nan] * 3 for p in fiducials], float)
    rec.sample, rec.spectra = selection["sample"], None
    if out.freqs is not None:
        rec.spectra, rec.freqs, rec.freq_step = out.arrays, out.freqs, out.step
        rec.row_times = np.concatenate([[np.nan], out.row_times])
        rec.edges = out.edges
        rec.bin = selection["bin"]
        rec.cell = (selection["row"], selection["column"]) if "row" in selection else None
    return rec


def from_mne(inst, ch_type=None, proj=True, remove_dc=True, time_frequency=None):
    """An MNE-Python Evoked, Raw or Epochs object as the maps' recording, with the spectral
    arrays when time_frequency is not None (False: the whole recording's spectrum only)."""
    import mne

    opts = options(ch_type=ch_type, proj=proj, remove_dc=remove_dc)
    with warnings.catch_warnings():
        # MNE's notes on short signals would interleave with a notebook's output.
        warnings.simplefilter("ignore")
        rec, out = convert_object(mne, inst, opts, time_frequency)
    return _package_recording(rec, out, select(opts, rec, out),
                              fiducial_points(mne, rec.info, rec.dev_head))


def from_arrays(data, pos, names=None, sfreq=1000.0, tmin=0.0, ch_type="mag", bads=()):
    """Plain arrays as the maps' recording: data (channels, times) or (channels,) in tesla (T/m
    for planar gradiometers), pos (channels, 3) in metres in head coordinates, NaN where
    unknown."""
    data = np.asarray(data)
    pos = np.asarray(pos)
    if data.dtype.kind not in "fiu" or pos.dtype.kind not in "fiu":
        raise TypeError("data and pos must be arrays of numbers")
    data = np.array(data, dtype=float)
    if data.ndim == 1:  # one value per channel, as plot_topomap takes them
        data = data[:, np.newaxis]
    if data.ndim != 2:
        raise ConversionError(f"data must have shape (channels, times), not {data.shape}")
    n_channels, n_times = data.shape
    if n_channels == 0 or n_times == 0:
        raise ConversionError(f"the data is empty (shape {data.shape})")
    pos = np.array(pos, dtype=float)
    if pos.shape != (n_channels, 3):
        raise ConversionError(f"pos must have shape ({n_channels}, 3) for {n_channels} "
                              f"channels, not {pos.shape}")
    if ch_type not in TYPE_NAMES:
        raise ConversionError(f"ch_type must be 'mag' or 'grad', not {ch_type!r}")
    names = [f"MEG{i + 1:03d}" for i in range(n_channels)] if names is None else \
        [str(n) for n in names]
    if len(names) != n_channels:
        raise ConversionError(f"names has {len(names)} entries for {n_channels} channels")
    if not (isinstance(sfreq, (int, float)) and math.isfinite(sfreq) and sfreq > 0):
        raise ConversionError(f"sfreq must be a positive number of Hz, not {sfreq!r}")
    if not (isinstance(tmin, (int, float)) and math.isfinite(tmin)):
        raise ConversionError(f"tmin must be a finite number of seconds, not {tmin!r}")
    unknown = set(bads) - set(names)
    if unknown:
        raise ConversionError(f"bads names channels that are not there: {sorted(unknown)}")
    if not np.isfinite(pos).all(axis=1).any():
        raise ConversionError(f"none of the {TYPE_NAMES[ch_type]} has a sensor position")
    rec = SimpleNamespace(is_raw=False, measured=ch_type, meas=list(range(n_channels)),
                          names=names, types=[ch_type] * n_channels, bads=set(bads),
                          sfreq=float(sfreq),
                          coils=[p * 1000.0 if np.isfinite(p).all() else None for p in pos])
    rec.judged = [k for k, n in enumerate(names) if n not in rec.bads] or rec.meas
    out = SimpleNamespace(samples=data * SCALES[ch_type], freqs=None, n=n_times, rate=rec.sfreq,
                          t0=float(tmin), times=tmin + np.arange(n_times) / rec.sfreq)
    return _package_recording(rec, out, select(options(), rec, out), None)
