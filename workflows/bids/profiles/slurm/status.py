#!/usr/bin/python3
"""Tells Snakemake what became of a Slurm job: running, success or failed.

    status.py JOBID

Asks the accounting database (sacct) and, on clusters without one, the controller (scontrol),
which keeps a finished job for a few minutes (MinJobAge)."""

import subprocess
import sys

RUNNING = {"PENDING", "CONFIGURING", "RUNNING", "COMPLETING", "SUSPENDED", "REQUEUED",
           "RESIZING", "SIGNALING", "STAGE_OUT", "PREEMPTED"}


def state_from_sacct(job):
    done = subprocess.run(["sacct", "-j", job, "-X", "-n", "-P", "-o", "State"],
                          capture_output=True, text=True)
    lines = done.stdout.split()
    return lines[0].split()[0] if done.returncode == 0 and lines else None


def state_from_scontrol(job):
    done = subprocess.run(["scontrol", "-o", "show", "job", job], capture_output=True, text=True)
    for field in done.stdout.split():
        if field.startswith("JobState="):
            return field.split("=", 1)[1]
    if "Invalid job id" in done.stderr:
        return "FORGOTTEN"
    return None  # the controller did not answer: ask again later


def main(job):
    state = state_from_sacct(job) or state_from_scontrol(job)
    if state is None:
        return "running"
    # A job Slurm no longer knows ended long before this check, or never ran: waiting for it
    # would never end, and Snakemake redoes it on the next run.
    if state == "COMPLETED":
        return "success"
    return "running" if state in RUNNING else "failed"


if __name__ == "__main__":
    print(main(sys.argv[1]))
