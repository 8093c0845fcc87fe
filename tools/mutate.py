#!/usr/bin/env python3
"""Seeds the faults of tools/mutants.txt one at a time and says which ones the tests catch.

Each fault is applied to its file, the build folder rebuilt and the whole CTest suite run until
a test fails; the file is put back whatever happens (also on Ctrl-C). The tests a fault names
under "first" run first, so a caught fault costs seconds; only a fault that slips through costs
a whole run. A fault is caught when any test fails or times out.

    tools/mutate.py [--build build] [--only NAME,...] [--list] [--json results.json]

The tests must pass without faults first; the script checks that (--no-baseline skips it).
"""

import argparse
import json
import re
import signal
import subprocess
import sys
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parent.parent


def read_mutants(path):
    mutants, current = [], None
    for number, line in enumerate(path.read_text().splitlines(), 1):
        if not line.strip() or line.startswith("#"):
            continue
        if line.startswith("@ "):
            name, _, what = line[2:].partition(":")
            current = {"name": name.strip(), "what": what.strip(), "first": "", "line": number}
            mutants.append(current)
        elif current is None:
            sys.exit(f"{path}:{number}: a fault starts with '@ name: what goes wrong'")
        elif line.startswith(("file:", "first:")):
            key, _, value = line.partition(":")
            current[key] = value.strip()
        elif line.startswith(("- ", "+ ")):
            current["old" if line[0] == "-" else "new"] = line[2:]
        else:
            sys.exit(f"{path}:{number}: cannot read '{line}'")
    for m in mutants:
        missing = [k for k in ("file", "old", "new") if k not in m]
        if missing:
            sys.exit(f"{path}:{m['line']}: fault {m['name']} lacks {', '.join(missing)}")
    return mutants


def run(command, **kw):
    return subprocess.run(command, cwd=ROOT, text=True, capture_output=True, **kw)


def failed_test(output):
    """The first test CTest names as failed (typed tests' names hold spaces)."""
    match = re.search(r"^\s*\d+ - (.+) \([^()]+\)$", output.partition("tests FAILED:")[2], re.M)
    return match.group(1) if match else "a test CTest does not name"


def ctest(build, args):
    """None when every test passed, else the test that failed."""
    result = run(["ctest", "--test-dir", str(build), "-j2", "--stop-on-failure",
                  "--timeout", "900", *args])
    return failed_test(result.stdout + result.stderr) if result.returncode != 0 else None


def try_mutant(m, build):
    """'caught by TEST', 'slipped through' or 'not applied: why'."""
    path = ROOT / m["file"]
    if not path.is_file():
        return f"not applied: there is no {m['file']}"
    original = path.read_text()
    if original.count(m["old"]) != 1:
        return f"not applied: the text is in {m['file']} {original.count(m['old'])} times"
    path.write_text(original.replace(m["old"], m["new"]))
    try:
        built = run(["cmake", "--build", str(build), "-j2"])
        if built.returncode != 0:
            return "not applied: the fault does not build"
        if m["first"]:
            caught = ctest(build, ["-R", m["first"]])
            if caught:
                return f"caught by {caught}"
        caught = ctest(build, [])
        return f"caught by {caught}" if caught else "slipped through"
    finally:
        path.write_text(original)


def _stop(*_):
    # A kill must still put the file back: an exception reaches try_mutant's finally.
    raise KeyboardInterrupt


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--build", default="build", help="CMake build folder (default build)")
    parser.add_argument("--mutants", default=str(ROOT / "tools" / "mutants.txt"))
    parser.add_argument("--only", help="comma-separated fault names")
    parser.add_argument("--list", action="store_true", help="list the faults and stop")
    parser.add_argument("--json", help="write each fault's verdict to this file")
    parser.add_argument("--no-baseline", action="store_true",
                        help="skip the first run of the tests without faults")
    args = parser.parse_args()
    build = Path(args.build).resolve()
    mutants = read_mutants(Path(args.mutants))
    if args.only:
        wanted = set(args.only.split(","))
        unknown = wanted - {m["name"] for m in mutants}
        if unknown:
            sys.exit(f"mutate: no fault named {', '.join(sorted(unknown))}")
        mutants = [m for m in mutants if m["name"] in wanted]
    if args.list:
        found = 0
        for m in mutants:
            path = ROOT / m["file"]
            times = path.read_text().count(m["old"]) if path.is_file() else 0
            found += times == 1
            mark = "" if times == 1 else f"  [the text is there {times} times]"
            print(f"{m['name']:28} {m['file']:38} {m['what']}{mark}")
        return 0 if found == len(mutants) else 1
    signal.signal(signal.SIGTERM, _stop)
    if run(["cmake", "--build", str(build), "-j2"]).returncode != 0:
        sys.exit(f"mutate: {build} does not build without faults; fix that first")
    # A test that fails anyway would count every fault as caught.
    failing = None if args.no_baseline else ctest(build, [])
    if failing:
        sys.exit(f"mutate: {failing} fails without faults; fix that first")
    print(f"mutate: {len(mutants)} faults, tests of {build}", flush=True)
    verdicts, caught = {}, 0
    for k, m in enumerate(mutants, 1):
        start = time.monotonic()
        verdict = try_mutant(m, build)
        verdicts[m["name"]] = verdict
        caught += verdict.startswith("caught")
        print(f"[{k}/{len(mutants)}] {m['name']}: {verdict} ({time.monotonic() - start:.0f} s)",
              flush=True)
    run(["cmake", "--build", str(build), "-j2"])
    if args.json:
        Path(args.json).write_text(json.dumps(verdicts, indent=1) + "\n")
    not_applied = [n for n, v in verdicts.items() if v.startswith("not applied")]
    print(f"mutate: the tests catch {caught} of {len(mutants)} faults")
    if not_applied:
        print(f"mutate: {len(not_applied)} could not be applied: {', '.join(not_applied)}")
    return 1 if not_applied else 0


if __name__ == "__main__":
    sys.exit(main())
