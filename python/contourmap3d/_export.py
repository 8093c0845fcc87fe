"""The bridge's files: a recording MNE-Python can read, converted (_convert) and written as a
JSON recording (docs/recording-format.md). A long raw recording is converted block by block
into a sample store (.npy) beside a JSON header, at the recorded rate and in bounded memory.
tools/mne_export.py is the command over export()."""

import json
import math
import os
import time
from types import SimpleNamespace

import numpy as np

from . import _convert, _sensors
from ._convert import ConversionError, one_line

# Values per second of the overview's global field power (each the largest of its span).
OVERVIEW_RATE = 10.0
# Stimulus channels MNE-Python's find_events prefers, in its order, before any other.
STIM_CHANNELS = ("STI101", "STI 014", "STI014", "TRIGGER")


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
        raise ConversionError("no such file or directory", path)
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
        # Not loaded: the projectors are applied as the data is read (raw_projector).
        bti = bti_files(path)
        if bti is not None:
            return mne.io.read_raw_bti(path, config_fname=bti[0], head_shape_fname=bti[1],
                                       preload=False)
        return mne.io.read_raw(path, preload=False)

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
    raise ConversionError(f"MNE cannot read it: {one_line(first_error)}", path)


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
        raise ConversionError(f"cannot write: {error.strerror or one_line(error)}", path)


def recording_text(mne, rec, out, selection, extra=()):
    """The JSON file, one channel per line like the library's own writer. Without out.samples
    the channels have none (a store holds them); without out.freqs there are no spectra."""
    fiducials = _convert.fiducial_points(mne, rec.info, rec.dev_head)
    head = [f'"unit": "{_sensors.UNITS[rec.measured]}"', f'"sampling_rate": {out.rate!r}',
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
        kind = "meg" if i in measured else _convert.KINDS.get(ch_type, "misc")
        samples = None if out.samples is None else out.samples[i]
        lines.append(channel_json(name, kind, name not in rec.bads, rec.coils[i],
                                  samples, spectrum_of.get(i)))
    return "{\n  " + ",\n  ".join(head) + ',\n  "channels": [\n    ' + \
        ",\n    ".join(lines) + "\n  ]\n}\n"


def export(args):
    """Converts args.input as the bridge's options (args) say and writes args.out."""
    try:
        import mne
    except ImportError as error:
        raise ConversionError(f"MNE-Python is not installed ({one_line(error)}): run ./run deps "
                              "in the ContourMap3D sources, or apt-get install python3-mne")
    mne.set_log_level("ERROR")
    opts = _convert.options(args)
    opts.say(f"reading {args.input}")
    inst = read_recording(mne, args.input, args.condition, args.proj)
    rec = _convert.describe(mne, inst, opts)
    if rec.long:
        export_pages(mne, args, opts, inst, rec)
        return
    out = _convert.convert(mne, inst, rec, opts)
    selection = _convert.select(opts, rec, out)
    opts.say(f"writing {args.out}")
    write_atomically(args.out, recording_text(mne, rec, out, selection))
    opts.say(f"done: {len(rec.types)} channels, {len(out.times)} samples, "
             f"{out.arrays.shape[1]} x {out.arrays.shape[2]} spectral arrays")


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


def annotations(inst, rec):
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


def export_pages(mne, args, opts, inst, rec):
    """Writes the header (args.out) and the store beside it (.npy for .json)."""
    n_total = rec.last - rec.first + 1
    block = max(1, int(round(_convert.PAGE_SECONDS * rec.sfreq)))
    n_blocks = (n_total + block - 1) // block
    blocks = range(n_blocks)
    if args.page_at is not None:
        t0 = float(rec.times[0])
        t_end = t0 + (n_total - 1) / rec.sfreq
        half = 0.5 / rec.sfreq
        if not t0 - half <= args.page_at <= t_end + half:
            raise ConversionError(f"--page-at {args.page_at:g} is outside the recording "
                                  f"({t0:g} to {t_end:g} s)")
        page = min(n_total - 1, max(0, int(round((args.page_at - t0) * rec.sfreq)))) // block
        blocks = range(page, page + 1)

    stem = args.out[:-5] if args.out.lower().endswith(".json") else args.out
    store = stem + ".npy"
    first_page = stem + ".first.json"
    written = []
    try:
        return _store_pages(mne, args, opts, inst, rec, store, first_page, blocks, block,
                            n_blocks, n_total, written)
    except BaseException:
        # A conversion that stops leaves nothing behind that could pass for a recording.
        for path in written + [first_page]:
            try:
                os.remove(path)
            except OSError:
                pass
        raise


def _store_pages(mne, args, opts, inst, rec, store, first_page, blocks, block, n_blocks,
                 n_total, written):
    stim = stim_channel(rec)
    stored_first = blocks[0] * block
    stored_n = min(n_total, (blocks[-1] + 1) * block) - stored_first
    whole = len(blocks) == n_blocks
    spectra = _convert.BlockSpectra(rec.sfreq, n_blocks, block, opts) if whole else None
    out = SimpleNamespace(rate=rec.sfreq, t0=float(rec.times[0]), n=n_total, samples=None,
                          freqs=None)
    opts.say(f"{len(rec.meas)} {_sensors.NAMES[rec.measured]} measured; storing {stored_n} "
             f"samples of {len(rec.types)} channels at {rec.sfreq:g} Hz in blocks of "
             f"{_convert.PAGE_SECONDS:g} s")
    n_overview = int(np.ceil(n_total * OVERVIEW_RATE / rec.sfreq))
    overview = np.zeros(n_overview, dtype=np.float32)
    peak, peak_gfp, first_peak = 0, -1.0, None
    events, last_code = [], 0
    started, reported = time.monotonic(), 0.0
    notes = annotations(inst, rec)

    def put(chunk):
        try:
            out_file.write(chunk)
            out_file.flush()
        except OSError as error:
            raise ConversionError(f"cannot write the sample store: {error.strerror}; free some "
                                  "disk space and convert again", store)

    try:
        out_file = open(store, "wb")
    except OSError as error:
        raise ConversionError(f"cannot write: {error.strerror}", store)
    with out_file:
        written.append(store)
        put(npy_header((stored_n, len(rec.names))))
        done = 0
        for first, data, gfp in _convert.converted_blocks(mne, inst, rec, opts, blocks,
                                                          n_blocks, block, spectra):
            n = data.shape[1]
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
            done += n
            if done == n and args.first_page and len(blocks) > 1:
                _write_header(mne, rec, SimpleNamespace(**out.__dict__), {"sample": first_peak},
                              first_page, store, stored_first, n_total, True, [], notes, None)
                opts.say("first page ready")
            now = time.monotonic()
            if now - reported >= 1.0 or done == stored_n:
                reported = now
                opts.say(f"converted {done / rec.sfreq:.0f} of {stored_n / rec.sfreq:.0f} s "
                         f"({now - started:.0f} s)")
    if spectra is not None:
        opts.say("the spectra of the whole recording and of its time windows")
        spectra.result(rec, out)
    selection = _convert.select(opts, rec, out, peak=peak)
    if args.page_at is not None and args.time is None:
        # Only this page is stored: its own peak, or the sample asked for.
        selection["sample"] = min(stored_first + stored_n - 1, max(
            stored_first, int(round((args.page_at - out.t0) * rec.sfreq))))
    _write_header(mne, rec, out, selection, args.out, store, stored_first, n_total, False,
                  events if whole else [], notes, overview if whole else None)
    try:
        os.remove(first_page)
    except OSError:
        pass
    size = os.path.getsize(store)
    opts.say(f"done: {len(rec.names)} channels, {stored_n} samples in {store} "
             f"({size / 2 ** 20:.0f} MiB), {len(events)} events, "
             f"{len(inst.annotations)} annotations")


def _write_header(mne, rec, out, selection, path, store, stored_first, n_total, growing,
                  events, notes, overview):
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
                     f'{numbers(overview.astype(float), ".4g")}}}')
    write_atomically(path, recording_text(mne, rec, out, selection, extra))
