#!/usr/bin/python3
"""Writes the response a study's movie shows, and the render program's options for its frames.

    response.py RECORDING --info INFO.json --out RESPONSE-ave.fif --frames-out ARGS
                --window TMIN TMAX [--baseline A B] [--event-id ID...] [--step-ms MS]
                [--ch-type auto|mag|grad] [--no-proj]

The response is the average of a raw recording's epochs around its events, the average of an
epochs file, or an evoked response, cropped to the window. ARGS gets the frames (every sample
STEP ms apart over the whole window) and one colour range for all of them, so that the colours
of the movie mean the same from frame to frame: the thresholds the programs' colour autofit
would give the whole window, half its extremes.
"""

import argparse
import json
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import mne  # noqa: E402
import numpy as np  # noqa: E402

import recording  # noqa: E402

# The programs' units: fT for magnetometers, fT/cm for gradiometers.
SCALE = {"mag": 1e15, "grad": 1e13}
# The bridge keeps every sample of a recording up to this length; the frames count on it.
MAX_SAMPLES = 2000


def _seconds(text):
    return None if text.lower() in ("none", "null") else float(text)


def response(path, window, baseline, event_id):
    kind, data = recording.read(path)
    if kind == "raw":
        events = recording.raw_events(data, path)
        if event_id:
            events = events[np.isin(events[:, 2], event_id)]
        if not len(events):
            raise ValueError("no events to average" + (f" with id {event_id}" if event_id else ""))
        epochs = mne.Epochs(data, events, tmin=window[0], tmax=window[1], baseline=baseline,
                            event_id=None, proj=False, reject=None, preload=True,
                            verbose="error")
        if not len(epochs):
            raise ValueError("no event has the whole window inside the recording")
        return epochs.average()
    if kind == "epochs":
        data = data.load_data()
        if event_id:
            data = data[[k for k, v in data.event_id.items() if v in event_id]]
        evoked = data.average()
    else:
        evoked = data
    lo, hi = max(window[0], evoked.times[0]), min(window[1], evoked.times[-1])
    if lo >= hi:
        raise ValueError(f"the window {window[0]} to {window[1]} s is outside the response "
                         f"({evoked.times[0]:.3f} to {evoked.times[-1]:.3f} s)")
    # Evoked and epochs files keep the baseline they were saved with.
    return evoked.copy().crop(lo, hi)


def main(argv=None):
    p = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    p.add_argument("recording")
    p.add_argument("--info", required=True)
    p.add_argument("--out", required=True)
    p.add_argument("--frames-out", required=True)
    p.add_argument("--window", nargs=2, type=float, required=True, metavar=("TMIN", "TMAX"))
    p.add_argument("--baseline", nargs="*", default=[], metavar="S")
    p.add_argument("--event-id", nargs="*", type=int, default=[])
    p.add_argument("--step-ms", type=float, default=10.0)
    p.add_argument("--ch-type", choices=["auto", "mag", "grad"], default="auto")
    p.add_argument("--no-proj", dest="proj", action="store_false")
    args = p.parse_args(argv)
    baseline = tuple(_seconds(b) for b in args.baseline) if len(args.baseline) == 2 else None

    try:
        evoked = response(args.recording, args.window, baseline, args.event_id)
        if evoked.data.shape[1] > MAX_SAMPLES:
            evoked.resample(MAX_SAMPLES / (evoked.times[-1] - evoked.times[0]), verbose="error")
    except Exception as e:
        sys.exit(f"response.py: {args.recording}: {str(e).strip().splitlines()[-1]}")

    with open(args.info) as f:
        sensor = json.load(f).get("sensor_type") or "mag"
    shown = evoked.copy()
    if args.proj:
        shown.apply_proj(verbose="error")
    picks = mne.pick_types(shown.info, meg=sensor, exclude="bads")
    values = shown.data[picks] * SCALE[sensor]
    n = evoked.data.shape[1]
    step = max(1, int(round(args.step_ms / 1000 * evoked.info["sfreq"])))
    evoked.save(args.out, overwrite=True, verbose="error")
    with open(args.frames_out, "w") as f:
        f.write(f"--frames 0:{n - 1}:{step} --min {values.min() / 2:.6g} --max {values.max() / 2:.6g}\n")
    print(f"{args.recording}: {evoked.nave} averaged, {len(range(0, n, step))} frames",
          file=sys.stderr)


if __name__ == "__main__":
    main()
