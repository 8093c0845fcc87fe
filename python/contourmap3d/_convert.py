"""One conversion of a recording for the maps.

MNE-Python objects (Evoked, Raw, Epochs averaged) and plain arrays alike become the channels
(names, kinds, good flags), the first coil of each in millimetres in head coordinates, samples
in the display unit (fT for magnetometers, fT/cm for planar gradiometers), the fiducials and
the first selection; spectral arrays only for the maps that show them. The package uses it, and
it holds what tools/mne_export.py does to an object in memory, so that the bridge can call it.

Every problem is a ConversionError (a ValueError) with one line that says what is wrong.
"""

import math
import warnings
from types import SimpleNamespace

import numpy as np

# Display units: magnetometers fT, planar gradiometers fT/cm, electrodes µV; the rest as stored.
SCALES = {"mag": 1e15, "ref_meg": 1e15, "grad": 1e13, "eeg": 1e6, "eog": 1e6, "ecg": 1e6,
          "emg": 1e6}
UNITS = {"mag": "fT", "grad": "fT/cm"}
KINDS = {"eeg": "eeg", "eog": "eog", "stim": "stim"}
TYPE_NAMES = {"mag": "magnetometers", "grad": "gradiometers"}
DEFAULT_FMAX = 45.0
DEFAULT_TF_ROWS = 20


class ConversionError(ValueError):
    """A recording that cannot be shown, in one line."""


def one_line(error):
    text = " ".join(str(error).split())
    return text[:300] if text else type(error).__name__


def measuring_type(types, wanted, option="ch_type"):
    """The MEG sensor type the maps measure: wanted, or magnetometers when both are there.
    option names the choice in messages ("--ch-type" on a command line)."""
    present = [t for t in ("mag", "grad") if t in types]
    if not present:
        raise ConversionError("the recording has no MEG channels (magnetometers or "
                              "gradiometers)")
    if wanted is not None and wanted not in TYPE_NAMES:
        raise ConversionError(f"{option} must be 'mag' or 'grad', not {wanted!r}")
    if wanted and wanted not in present:
        raise ConversionError(f"the recording has no {TYPE_NAMES[wanted]} ({option} {wanted})")
    return wanted or present[0]


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


def coil_position(ch_type, loc, dev_head):
    """First coil in head coordinates (mm), or None when the channel has none."""
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


def field_power_peak(samples, times, after_event):
    """The sample where the global field power (root mean square over the rows) peaks; with
    after_event, from 0 s on when the recording starts before the event."""
    with warnings.catch_warnings():
        warnings.simplefilter("ignore", RuntimeWarning)  # a sample where every value is NaN
        gfp = np.sqrt(np.nanmean(samples ** 2, axis=0))
    gfp = np.where(np.isfinite(gfp), gfp, -np.inf)
    later = times >= 0
    if after_event and times[0] < 0 and later.any():
        gfp = np.where(later, gfp, -np.inf)
    return int(np.argmax(gfp))


def read_mne(mne, inst, proj):
    """The object as an Evoked or a Raw, with its SSP projectors applied when proj is set
    (projectors already applied stay so); epochs are averaged, as the programs do."""
    if isinstance(inst, (list, tuple)):
        raise TypeError(f"pass one recording, not a {type(inst).__name__} of {len(inst)} "
                        "(choose one condition)")
    if isinstance(inst, mne.BaseEpochs):
        if len(inst) == 0:
            raise ConversionError("the epochs are empty (every epoch was dropped)")
        inst = inst.average(picks="all")
    elif isinstance(inst, (mne.Evoked, mne.io.BaseRaw)):
        if proj and any(not p["active"] for p in inst.info["projs"]):
            inst = inst.copy()
    else:
        raise TypeError("inst must be an mne.Evoked, mne.io.Raw or mne.Epochs, or an array of "
                        f"data in tesla with pos=, not {type(inst).__name__}")
    if proj and any(not p["active"] for p in inst.info["projs"]):
        inst.apply_proj()
    return inst


def remove_offsets(data, types):
    """Removes each data channel's mean: a raw sensor's offset (its DC level) is no part of the
    field a map should show. Stimulus and other channels keep their values."""
    rows = [i for i, t in enumerate(types) if t in SCALES]
    with warnings.catch_warnings():
        warnings.simplefilter("ignore", RuntimeWarning)  # a channel without a finite sample
        offsets = np.nanmean(data[rows], axis=1, keepdims=True)
    data[rows] -= np.nan_to_num(offsets)


def _finish(rec, after_event):
    """Checks what the maps need and adds the measuring channels and the first sample."""
    rec.meas = [i for i, k in enumerate(rec.kinds) if k == "meg"]
    if not any(np.all(np.isfinite(rec.positions[i])) for i in rec.meas):
        raise ConversionError(f"none of the {TYPE_NAMES[rec.measured]} has a sensor position")
    if rec.samples.shape[1] == 0:
        raise ConversionError("the recording has no samples")
    # Selections follow the good measuring channels (all of them when every one is bad).
    rec.judged = [k for k, i in enumerate(rec.meas) if rec.good[i]] or list(range(len(rec.meas)))
    rec.sample = field_power_peak(rec.samples[rec.meas][rec.judged], rec.times, after_event)
    rec.spectra = None
    return rec


def from_mne(inst, ch_type=None, proj=True, remove_dc=True):
    """An MNE-Python Evoked, Raw or Epochs object as the maps' recording (no spectra yet)."""
    import mne

    inst = read_mne(mne, inst, proj)
    info = inst.info
    rec = SimpleNamespace(mne=True, is_raw=isinstance(inst, mne.io.BaseRaw))
    types = inst.get_channel_types()
    rec.measured = measuring_type(types, ch_type)
    rec.unit = UNITS[rec.measured]
    rec.sfreq = float(info["sfreq"])
    rec.lowpass = float(info["lowpass"] or rec.sfreq / 2.0)
    rec.times = np.asarray(inst.times, float)
    data = np.array(inst.get_data(), dtype=float)
    if rec.is_raw and remove_dc:
        remove_offsets(data, types)
    rec.names = list(info["ch_names"])
    bads = set(info["bads"])
    rec.good = [name not in bads for name in rec.names]
    rec.kinds = ["meg" if t == rec.measured else KINDS.get(t, "misc") for t in types]
    dev_head = device_to_head(mne, info)
    rec.positions = np.full((len(types), 3), np.nan)
    for i, (t, ch) in enumerate(zip(types, info["chs"])):
        point = coil_position(t, ch["loc"], dev_head)
        if point is not None:
            rec.positions[i] = point
    rec.samples = data * np.array([SCALES.get(t, 1.0) for t in types])[:, np.newaxis]
    fiducials = fiducial_points(mne, info, dev_head)
    rec.fiducials = None if fiducials is None else np.array(
        [p if p is not None else [np.nan] * 3 for p in fiducials], float)
    return _finish(rec, after_event=not rec.is_raw)


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
    rec = SimpleNamespace(mne=False, is_raw=False, measured=ch_type, unit=UNITS[ch_type],
                          sfreq=float(sfreq), lowpass=sfreq / 2.0, names=names,
                          good=[n not in set(bads) for n in names], kinds=["meg"] * n_channels,
                          fiducials=None)
    rec.times = tmin + np.arange(n_times) / rec.sfreq
    rec.positions = pos * 1000.0
    rec.samples = data * SCALES[ch_type]
    return _finish(rec, after_event=True)


def lowpass_decimate(mne, data, sfreq, factor, h_freq, stored_lowpass):
    """Every factor-th sample, low-passed at h_freq first unless the data already is, so that
    a peak in the kept samples is not an alias."""
    if factor > 1 and h_freq < stored_lowpass:
        data = mne.filter.filter_data(data, sfreq, None, h_freq, verbose=False)
    return data[:, ::factor]


def spectra(mne, x, sfreq, stored_lowpass, time_frequency=True, fmin=1.0, fmax=None, fstep=2.0,
            n_cycles=None, tf_window=None, progress=None):
    """The frequency grid and its spacing, the windows' centres and edges (seconds from the
    first sample) and per row of x the (rows, columns) spectral array in x's unit: row 0 the
    amplitude spectral density (Welch, segments of 1/fstep s), rows 1.. the Morlet amplitude
    averaged over consecutive windows; without time_frequency row 0 alone."""
    nyquist = sfreq / 2.0
    fmax = fmax if fmax is not None else min(DEFAULT_FMAX, sfreq / 3.0)
    if fmax > nyquist:
        raise ConversionError(f"fmax {fmax:g} Hz is above the Nyquist frequency ({nyquist:g} Hz)")
    if fmin >= fmax:
        raise ConversionError(f"fmin {fmin:g} Hz is not below fmax {fmax:g} Hz")
    n_times = x.shape[1]
    n_fft = max(2, min(int(round(sfreq / fstep)), n_times))
    psd, freqs = mne.time_frequency.psd_array_welch(
        x, sfreq, fmin=fmin, fmax=fmax, n_fft=n_fft, n_per_seg=n_fft, n_overlap=n_fft // 2,
        verbose=False)
    if len(freqs) == 0:
        raise ConversionError(f"no frequency of the {sfreq / n_fft:g} Hz grid lies between "
                              f"fmin {fmin:g} and fmax {fmax:g}")
    whole = np.sqrt(psd)[:, np.newaxis, :]
    if not time_frequency:
        edges = np.array([0.0, n_times / sfreq]) - 0.5 / sfreq
        return freqs, sfreq / n_fft, np.empty(0), edges, whole

    # The Morlet transform needs no more than about 4 x fmax samples per second.
    factor = max(1, int(sfreq // (4.0 * fmax)))
    x_tf = lowpass_decimate(mne, x, sfreq, factor, 1.25 * fmax, stored_lowpass)
    sfreq_tf = sfreq / factor
    n_tf = x_tf.shape[1]
    cycles = freqs / 2.0 if n_cycles is None else np.full(len(freqs), float(n_cycles))
    # A wavelet spans 10 standard deviations of its envelope; it must fit into the recording.
    fitting = 2.0 * np.pi * freqs * 0.95 * (n_tf - 1) / (10.0 * sfreq_tf)
    if progress is not None and np.any(cycles > fitting):
        progress("shortening the Morlet wavelets to fit the recording")
    cycles = np.minimum(cycles, fitting)
    if not np.all(cycles > 0):
        raise ConversionError(f"the recording ({n_times} samples) is too short for a "
                              "time-frequency map")

    window = tf_window if tf_window is not None else n_tf / sfreq_tf / DEFAULT_TF_ROWS
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


def add_spectra(rec, time_frequency, **spectrum_options):
    """The measuring channels' spectral arrays (display unit) and the first bin and cell:
    the column of the largest mean power, the cell of the largest mean amplitude.
    spectrum_options go to spectra() (fmin, fmax, fstep, n_cycles, tf_window, progress)."""
    try:
        import mne
    except ImportError as error:
        raise ConversionError(f"the frequency and spectral maps need MNE-Python "
                              f"({one_line(error)}): apt-get install python3-mne") from None
    x = rec.samples[rec.meas] / SCALES[rec.measured]
    x = np.nan_to_num(x)
    with warnings.catch_warnings():
        # MNE's notes on short signals would interleave with a notebook's output.
        warnings.simplefilter("ignore")
        freqs, step, row_times, edges, arrays = spectra(mne, x, rec.sfreq, rec.lowpass,
                                                        time_frequency=time_frequency,
                                                        **spectrum_options)
    arrays *= SCALES[rec.measured]
    rec.spectra, rec.freqs, rec.freq_step = arrays, freqs, step
    rec.row_times = np.concatenate([[np.nan], row_times + rec.times[0]])
    rec.edges = edges + rec.times[0]
    judged = arrays[rec.judged]
    with warnings.catch_warnings():
        warnings.simplefilter("ignore", RuntimeWarning)
        rec.bin = int(np.nanargmax(np.nan_to_num(np.nanmean(judged[:, 0, :] ** 2, axis=0),
                                                 nan=-np.inf)))
        rec.cell = None
        if arrays.shape[1] > 1:
            means = np.nan_to_num(np.nanmean(judged[:, 1:, :], axis=0), nan=-np.inf)
            # The spectral map's range check counts the column from 1, so it cannot show
            # column 0.
            if means.shape[1] > 1:
                means[:, 0] = -np.inf
            row, column = (int(k) for k in np.unravel_index(np.argmax(means), means.shape))
            rec.cell = (row + 1, column)
    return rec
