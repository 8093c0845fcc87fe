"""Reading a recording with MNE-Python for the study workflow: what kind of data it holds and,
for raw recordings, its events. The programs do the conversion; this only describes."""

import csv
import os
import re
from pathlib import Path

import mne
import numpy as np


def _fif_kind(path):
    name = os.path.basename(path).lower()
    for kind, endings in (("evoked", ("-ave.fif", "_ave.fif", "-ave.fif.gz", "_ave.fif.gz")),
                          ("epochs", ("-epo.fif", "_epo.fif", "-epo.fif.gz", "_epo.fif.gz"))):
        if name.endswith(endings):
            return kind
    return None


def read(path):
    """(kind, object): a Raw (not loaded), the first Evoked, or Epochs (not loaded)."""
    kind = _fif_kind(path)
    if kind == "evoked":
        return kind, mne.read_evokeds(path, condition=0, verbose="error")
    if kind == "epochs":
        return kind, mne.read_epochs(path, preload=False, verbose="error")
    try:
        return "raw", mne.io.read_raw(path, preload=False, verbose="error")
    except Exception as raw_error:
        # A FIF file under a raw name may still hold an evoked response or epochs.
        if not path.lower().endswith((".fif", ".fif.gz")):
            raise
        for kind, reader in (("evoked", lambda: mne.read_evokeds(path, condition=0,
                                                                  verbose="error")),
                             ("epochs", lambda: mne.read_epochs(path, preload=False,
                                                                verbose="error"))):
            try:
                return kind, reader()
            except Exception:
                pass
        raise raw_error


def events_tsv(path):
    """The BIDS events file beside a recording (SUBJECT_..._events.tsv), or None."""
    p = Path(path)
    if p.name.startswith(("c,", "e,")):
        p = p.parent  # 4D/BTi: the recording is the folder
    m = re.match(r"(.*?)(?:_split-\d+)?_meg(\..*)?$", p.name)
    candidate = p.parent / (m[1] + "_events.tsv") if m else None
    return str(candidate) if candidate and candidate.exists() else None


def raw_events(raw, path):
    """Events of a raw recording as MNE's (sample, 0, id) array: from its stimulus channels, or
    from the BIDS events file when those show none."""
    stim = [raw.ch_names[i] for i in mne.pick_types(raw.info, meg=False, stim=True)]
    if stim:
        try:
            events = mne.find_events(raw, stim_channel=stim, shortest_event=1,
                                     verbose="error")
            if len(events):
                return events
        except Exception:
            pass
    tsv = events_tsv(path)
    if tsv is None:
        return np.zeros((0, 3), int)
    rows = []
    with open(tsv, newline="") as f:
        for row in csv.DictReader(f, delimiter="\t"):
            try:
                onset = float(row["onset"])
            except (KeyError, ValueError):
                continue
            value = row.get("value", "1")
            code = int(value) if value and value.lstrip("-").isdigit() else 1
            rows.append((raw.first_samp + int(round(onset * raw.info["sfreq"])), 0, code))
    return np.array(rows, int).reshape(-1, 3)
