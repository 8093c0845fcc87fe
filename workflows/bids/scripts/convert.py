#!/usr/bin/python3
"""Converts one recording through the bridge into the conversion cache and describes it.

    convert.py RECORDING --out INFO.json --render PROGRAM --cache FOLDER [--ch-type T] [--no-proj]

The conversion is the render program's own (it keeps the result in FOLDER, its XDG_CACHE_HOME),
so every later picture of the recording reads it from there. INFO.json is written whatever
happens: {"ok": true, facts for the pages} or {"ok": false, "reason": the one-line message};
the exit status is 0 unless INFO.json cannot be written.
"""

import argparse
import json
import os
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))


def _last_line(text):
    lines = [line.strip() for line in text.splitlines() if line.strip()]
    return lines[-1] if lines else ""


def convert(args):
    """None when the program opened the recording, else its one-line reason."""
    env = dict(os.environ, XDG_CACHE_HOME=os.path.abspath(args.cache))
    options = (["--ch-type", args.ch_type] if args.ch_type != "auto" else []) + \
        ([] if args.proj else ["--no-proj"])
    with tempfile.TemporaryDirectory() as tmp:
        cmd = [args.render, "--recording", args.recording, *options, "--size", "64x64",
               "--out", os.path.join(tmp, "check.png")]
        try:
            done = subprocess.run(cmd, env=env, capture_output=True, text=True)
        except OSError as e:
            return f"cannot run {args.render}: {e.strerror}"
    sys.stderr.write(done.stderr)
    if done.returncode == 0:
        return None
    return _last_line(done.stderr) or f"{args.render} exited with status {done.returncode}"


def describe(args):
    """What the pages say of a recording, read with MNE-Python."""
    import mne
    import recording

    kind, data = recording.read(args.recording)
    info = data.info
    counts = {t: len(mne.pick_types(info, meg=t, exclude=[])) for t in ("mag", "grad")}
    counts["eeg"] = len(mne.pick_types(info, meg=False, eeg=True, exclude=[]))
    meg_names = {info["ch_names"][i] for i in mne.pick_types(info, meg=True, exclude=[])}
    facts = {
        "kind": kind,
        "channels": counts,
        "bad": sorted(set(info["bads"]) & meg_names),
        "sensor_type": args.ch_type if args.ch_type != "auto" else
        ("mag" if counts["mag"] else "grad"),
        "projectors": [p["desc"] for p in info["projs"]],
        "projectors_applied": bool(info["projs"]) and
        (args.proj or all(p["active"] for p in info["projs"])),
        "sfreq": float(info["sfreq"]),
    }
    if kind == "raw":
        facts["duration"] = float(data.times[-1]) if data.n_times else 0.0
        facts["events"] = int(len(recording.raw_events(data, args.recording)))
        facts["response"] = facts["events"] > 0
        facts["compensation_grade"] = data.compensation_grade
    elif kind == "evoked":
        facts.update(condition=data.comment, nave=int(data.nave), response=True,
                     duration=float(data.times[-1] - data.times[0]))
    else:
        facts.update(epochs=len(data.events), response=True,
                     duration=float(data.times[-1] - data.times[0]))
    return facts


def main(argv=None):
    p = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    p.add_argument("recording")
    p.add_argument("--out", required=True)
    p.add_argument("--render", required=True)
    p.add_argument("--cache", required=True)
    p.add_argument("--ch-type", choices=["auto", "mag", "grad"], default="auto")
    p.add_argument("--no-proj", dest="proj", action="store_false")
    args = p.parse_args(argv)

    result = {"recording": args.recording}
    reason = convert(args)
    if reason:
        result.update(ok=False, reason=reason)
    else:
        result["ok"] = True
        try:
            result.update(describe(args))
        except Exception as e:  # the pictures are still made; the page says what is missing
            result["note"] = f"MNE-Python could not describe it: {_last_line(str(e))}"
    os.makedirs(os.path.dirname(os.path.abspath(args.out)), exist_ok=True)
    with open(args.out + ".part", "w") as f:
        json.dump(result, f, indent=1)
    os.replace(args.out + ".part", args.out)
    print(f"{args.recording}: " + ("converted" if result["ok"] else result["reason"]),
          file=sys.stderr)


if __name__ == "__main__":
    main()
