"""Converts a long raw recording block by block into a sample store beside a JSON header
(docs/recording-format.md), at the recorded rate and in bounded memory. Used by mne_export.py."""

import json
import os
import time
from types import SimpleNamespace

# Blocks are read, baselined and written one at a time; they are also the page a converted
# recording opens on and the unit of --page-at.
PAGE_SECONDS = 10.0
# Values per second of the overview's global field power (each the largest of its span).
OVERVIEW_RATE = 10.0
# Stimulus channels MNE-Python's find_events prefers, in its order, before any other.
STIM_CHANNELS = ("STI101", "STI 014", "STI014", "TRIGGER")


def npy_header(shape):
    """A version 1 NumPy header for a little-endian float32 array in C order, padded so the data
    starts on a 64-byte boundary as numpy.save writes it."""
    text = "{'descr': '<f4', 'fortran_order': False, 'shape': (%d, %d), }" % shape
    pad = 64 - (10 + len(text) + 1) % 64
    text += " " * (pad % 64) + "\n"
    return b"\x93NUMPY\x01\x00" + len(text).to_bytes(2, "little") + text.encode("latin1")


def stim_channel(rec):
    names = rec.info["ch_names"]
    for name in STIM_CHANNELS:
        if name in names and rec.types[names.index(name)] == "stim":
            return names.index(name)
    stims = [i for i, t in enumerate(rec.types) if t == "stim"]
    return stims[0] if stims else None


def annotations(np, inst, rec):
    """The recording's annotations as recording samples: onsets relative to the kept span."""
    found = []
    ann = inst.annotations
    # Onsets count from the acquisition's start, which lies first_time before the first sample
    # (MNE-Python keeps them so whether or not the annotations have an origin).
    shift = inst.first_time
    for onset, duration, description in zip(ann.onset, ann.duration, ann.description):
        first = int(round((onset - shift) * rec.sfreq)) - rec.first
        count = max(0, int(round(duration * rec.sfreq)))
        if first + count >= 0 and first < rec.last - rec.first + 1:
            found.append({"sample": max(0, first), "samples": count + min(0, first),
                          "description": str(description)})
    return found


class Baseline:
    """Each data channel's offset: a line through the means of consecutive blocks, each mean at
    its block's centre, constant before the first centre and after the last. A slow drift is
    followed without a step where two blocks meet, and nothing faster than a block is removed."""

    def __init__(self, np):
        self.np = np
        self.centres, self.means = [], []

    def add(self, first, block):
        np = self.np
        with np.errstate(all="ignore"):
            mean = np.nan_to_num(np.nanmean(block, axis=1)) if block.shape[1] else 0 * block[:, 0]
        self.centres.append(first + (block.shape[1] - 1) / 2.0)
        self.means.append(mean)
        # A block's offsets need only its neighbours' means.
        del self.centres[:-3], self.means[:-3]

    def offsets(self, first, n):
        """(channels, n) offsets of samples first to first + n - 1."""
        np = self.np
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


class Spectra:
    """Welch amplitude spectral densities accumulated block by block: row 0 over the whole
    recording, one row per time window of whole blocks."""

    def __init__(self, np, mne, bridge, path, sfreq, n_blocks, block, args):
        self.np, self.mne, self.sfreq = np, mne, sfreq
        ExportError = bridge.ExportError
        self.error = ExportError
        nyquist = sfreq / 2.0
        self.fmax = args.fmax if args.fmax is not None else min(45.0, sfreq / 3.0)
        if self.fmax > nyquist:
            raise ExportError(path, f"--fmax {self.fmax:g} Hz is above the Nyquist frequency "
                                    f"({nyquist:g} Hz)")
        if args.fmin >= self.fmax:
            raise ExportError(path, f"--fmin {args.fmin:g} Hz is not below --fmax "
                                    f"{self.fmax:g} Hz")
        self.fmin = args.fmin
        self.n_fft = max(2, min(int(round(sfreq / args.fstep)), block))
        window = args.tf_window if args.tf_window is not None else \
            n_blocks * block / sfreq / 20.0
        self.per_row = max(1, int(round(window * sfreq / block)))
        self.rows, self.weights, self.edges = [], [], []
        self.total, self.total_weight, self.freqs = None, 0.0, None

    def add(self, first, block):
        np = self.np
        if block.shape[1] < self.n_fft:
            return
        psd, freqs = self.mne.time_frequency.psd_array_welch(
            block, self.sfreq, fmin=self.fmin, fmax=self.fmax, n_fft=self.n_fft,
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

    def result(self, path):
        """The frequencies, their spacing, the rows' centres and edges (samples) and the
        (channels, rows, columns) array, or None when no block was long enough."""
        np = self.np
        if self.total is None or len(self.freqs) == 0:
            raise self.error(path, f"no frequency of the {self.sfreq / self.n_fft:g} Hz grid "
                                    f"lies between --fmin {self.fmin:g} and --fmax "
                                    f"{self.fmax:g}")
        rows = [np.sqrt(self.total / self.total_weight)]
        rows += [np.sqrt(r[0] / r[1]) for r in self.rows]
        edges = np.array(self.edges + [self.end], dtype=float)
        centres = (edges[:-1] + edges[1:] - 1) / 2.0
        return self.freqs, self.sfreq / self.n_fft, centres, edges, np.stack(rows, axis=1)


def export(np, mne, args, inst, rec, bridge):
    """Writes the header (args.out) and the store beside it (.npy for .json)."""
    n_total = rec.last - rec.first + 1
    block = max(1, int(round(PAGE_SECONDS * rec.sfreq)))
    n_blocks = (n_total + block - 1) // block
    blocks = range(n_blocks)
    if args.page_at is not None:
        t0 = float(rec.times[0])
        t_end = t0 + (n_total - 1) / rec.sfreq
        half = 0.5 / rec.sfreq
        if not t0 - half <= args.page_at <= t_end + half:
            raise bridge.ExportError(rec.path, f"--page-at {args.page_at:g} is outside the recording "
                                        f"({t0:g} to {t_end:g} s)")
        page = min(n_total - 1, max(0, int(round((args.page_at - t0) * rec.sfreq)))) // block
        blocks = range(page, page + 1)

    stem = args.out[:-5] if args.out.lower().endswith(".json") else args.out
    store = stem + ".npy"
    first_page = stem + ".first.json"
    written = []
    try:
        return _convert(np, mne, args, inst, rec, bridge, store, first_page, blocks, block,
                        n_blocks, n_total, written)
    except BaseException:
        # A conversion that stops leaves nothing behind that could pass for a recording.
        for path in written + [first_page]:
            try:
                os.remove(path)
            except OSError:
                pass
        raise


def _convert(np, mne, args, inst, rec, bridge, store, first_page, blocks, block, n_blocks,
             n_total, written):
    progress = bridge.progress
    # Channels made from the recording's own (merged pairs, the field mapping) come after them.
    scales = np.array([bridge.SCALES.get(t, 1.0) for t in rec.types])
    n_own = len(rec.info["ch_names"])
    data_rows = [i for i, t in enumerate(rec.types[:n_own]) if t in bridge.SCALES]
    meas_judged = np.array(rec.meas)[rec.judged]
    stim = stim_channel(rec)
    stored_first = blocks[0] * block
    stored_n = min(n_total, (blocks[-1] + 1) * block) - stored_first
    whole = len(blocks) == n_blocks
    spectra = Spectra(np, mne, bridge, rec.path, rec.sfreq, n_blocks, block, args) if whole else None
    out = SimpleNamespace(rate=rec.sfreq, t0=float(rec.times[0]), n=n_total, samples=None,
                          freqs=None)
    progress(f"{len(rec.meas)} {bridge.meg_sensors.NAMES[rec.measured]} measured; storing "
             f"{stored_n} samples of {len(rec.types)} channels at {rec.sfreq:g} Hz in blocks of "
             f"{PAGE_SECONDS:g} s")

    def read(k):
        first = k * block
        n = min(block, n_total - first)
        return first, bridge.project(np, rec.projector,
                                     inst.get_data(start=rec.first + first,
                                                   stop=rec.first + first + n))

    baseline = Baseline(np)
    pending = []  # blocks read but not written: each waits for the next block's mean
    if args.remove_dc and not whole:
        # One page alone: its offsets need the means of the blocks on either side.
        for k in range(max(0, blocks[0] - 1), min(n_blocks, blocks[-1] + 2)):
            baseline.add(*read(k))
    n_overview = int(np.ceil(n_total * OVERVIEW_RATE / rec.sfreq))
    overview = np.zeros(n_overview, dtype=np.float32)
    peak, peak_gfp, first_peak = 0, -1.0, None
    events, last_code = [], 0
    started, reported = time.monotonic(), 0.0

    def write(first, data):
        nonlocal peak, peak_gfp, first_peak, last_code
        n = data.shape[1]
        if args.remove_dc:
            data[data_rows] -= baseline.offsets(first, n)[data_rows]
        measured = rec.measure.apply(np, data)
        if spectra is not None:
            spectra.add(first, rec.measure.spectral_rows(np, data, measured))
        if rec.measure.derived:
            data = np.concatenate([data, measured])
        data *= scales[:, None]
        with np.errstate(all="ignore"):
            gfp = np.sqrt(np.nanmean(data[meas_judged] ** 2, axis=0))
        gfp = np.nan_to_num(gfp, nan=-1.0)
        top = int(np.argmax(gfp))
        if gfp[top] > peak_gfp:
            peak, peak_gfp = first + top, float(gfp[top])
        if first_peak is None:
            first_peak = first + top
        bins = ((first + np.arange(n)) * OVERVIEW_RATE / rec.sfreq).astype(int)
        np.maximum.at(overview, np.minimum(bins, n_overview - 1), np.maximum(gfp, 0))
        if stim is not None:
            codes = np.nan_to_num(data[stim]).astype(np.int64)
            steps = np.flatnonzero((codes > np.r_[last_code, codes[:-1]]) & (codes > 0))
            events.extend([int(first + s), int(codes[s])] for s in steps)
            last_code = codes[-1] if n else last_code
        put(np.ascontiguousarray(data.T, dtype="<f4").tobytes())

    def put(chunk):
        try:
            out_file.write(chunk)
            out_file.flush()
        except OSError as error:
            raise bridge.ExportError(store, f"cannot write the sample store: {error.strerror}; "
                                            "free some disk space and convert again")

    try:
        out_file = open(store, "wb")
    except OSError as error:
        raise bridge.ExportError(store, f"cannot write: {error.strerror}")
    with out_file:
        written.append(store)
        put(npy_header((stored_n, len(rec.names))))
        done = 0
        for k in blocks:
            first, data = read(k)
            if args.remove_dc and whole:
                baseline.add(first, data)
            pending.append((first, data))
            # A block is written once the next block's mean is known (or there is none).
            while pending and (len(pending) > 1 or k == blocks[-1] or not args.remove_dc):
                f, d = pending.pop(0)
                write(f, d)
                done += d.shape[1]
                if done == d.shape[1] and args.first_page and len(blocks) > 1:
                    provisional = dict(out.__dict__)
                    _write_header(np, mne, rec, bridge, SimpleNamespace(**provisional),
                                  {"sample": first_peak}, first_page, store, stored_first,
                                  n_total, True, [], annotations(np, inst, rec), None)
                    progress("first page ready")
            now = time.monotonic()
            if now - reported >= 1.0 or k == blocks[-1]:
                reported = now
                progress(f"converted {done / rec.sfreq:.0f} of {stored_n / rec.sfreq:.0f} s "
                         f"({now - started:.0f} s)")
    if spectra is not None:
        progress("the spectra of the whole recording and of its time windows")
        out.freqs, out.step, centres, edges, arrays = spectra.result(rec.path)
        out.arrays = rec.measure.combine_spectra(np, arrays) * scales[rec.meas][:, None, None]
        out.row_times = out.t0 + centres / rec.sfreq
        out.edges = out.t0 + (edges - 0.5) / rec.sfreq
    selection = bridge.select(np, args, rec, out, peak=peak)
    if args.page_at is not None and args.time is None:
        # Only this page is stored: its own peak, or the sample asked for.
        selection["sample"] = min(stored_first + stored_n - 1,
                                  max(stored_first, int(round((args.page_at - out.t0) *
                                                              rec.sfreq))))
    _write_header(np, mne, rec, bridge, out, selection, args.out, store, stored_first, n_total,
                  False, events if whole else [], annotations(np, inst, rec),
                  overview if whole else None)
    try:
        os.remove(first_page)
    except OSError:
        pass
    size = os.path.getsize(store)
    progress(f"done: {len(rec.names)} channels, {stored_n} samples in {store} "
             f"({size / 2 ** 20:.0f} MiB), {len(events)} events, "
             f"{len(inst.annotations)} annotations")


def _write_header(np, mne, rec, bridge, out, selection, path, store, stored_first, n_total,
                  growing, events, notes, overview):
    folder = os.path.dirname(os.path.abspath(path))
    name = os.path.relpath(os.path.abspath(store), folder)
    extra = ['"store": ' + json.dumps({"file": name, "columns": list(range(len(rec.names))),
                                       "first": stored_first, "total": n_total,
                                       "growing": growing})]
    if events:
        extra.append('"events": ' + json.dumps(events))
    if notes:
        extra.append('"annotations": ' + json.dumps(notes))
    if overview is not None:
        extra.append(f'"overview": {{"rate": {OVERVIEW_RATE!r}, "gfp": '
                     f'{bridge.numbers(overview.astype(float), ".4g")}}}')
    bridge.write_atomically(path, bridge.recording_text(np, mne, rec, out, selection, extra))
