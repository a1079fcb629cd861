#!/usr/bin/env python3
"""Runs `COMMAND bench` for every command given and compares their node counts.

    tools/bench_signature.py build/pbrain-zerin "/usr/lib/wine/wine64 build-windows/pbrain-zerin.exe"

The engine's bench searches a fixed set of positions to a fixed extent and prints, among
its lines, one "Nodes searched  : N" (the signature: builds of the same engine must
agree on it) and one "Nodes/second    : M". Each command is split like a shell line and
run with "bench" appended, no input and a time limit; its signature, speed and wall time
are printed.

Exit status 1 when an output has no signature line (or more than one) or two signatures
differ. Nothing else fails the check: other lines, CR LF line ends (a Windows build),
the speed and the exit status are only shown.
"""

import argparse
import re
import shlex
import subprocess
import sys
import time

SIGNATURE_RE = re.compile(r"^Nodes searched\s*:\s*(\d+)\s*$")
SPEED_RE = re.compile(r"^Nodes/second\s*:\s*(\d+)\s*$")


def read_bench(text):
    """(signature, speed, problem) from a bench's output: the node count or None, the
    speed or None, and what is wrong with the signature lines or None."""
    signatures, speeds = [], []
    for line in text.splitlines():
        line = line.rstrip("\r")
        m = SIGNATURE_RE.match(line)
        if m:
            signatures.append(int(m.group(1)))
        m = SPEED_RE.match(line)
        if m:
            speeds.append(int(m.group(1)))
    speed = speeds[0] if len(speeds) == 1 else None
    if not signatures:
        return None, speed, "no 'Nodes searched' line"
    if len(signatures) > 1:
        return None, speed, f"{len(signatures)} 'Nodes searched' lines"
    return signatures[0], speed, None


def run_bench(command, timeout):
    """Runs the command with "bench" appended; returns (output, seconds, a note on how it
    ended: empty after exit status 0)."""
    argv = shlex.split(command) + ["bench"]
    start = time.monotonic()
    try:
        done = subprocess.run(argv, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                              stderr=subprocess.PIPE, timeout=timeout)
        output = done.stdout
        note = f"exit status {done.returncode}" if done.returncode != 0 else ""
    except subprocess.TimeoutExpired as exc:
        output, note = exc.stdout or b"", f"stopped after {timeout:g} s"
    except OSError as exc:
        output, note = b"", f"cannot start: {exc}"
    return output.decode("utf-8", "replace"), time.monotonic() - start, note


def compare(commands, timeout):
    """Runs every command's bench, prints what each gave; returns the exit status."""
    signatures = []
    failed = False
    for command in commands:
        output, seconds, note = run_bench(command, timeout)
        signature, speed, problem = read_bench(output)
        print(f"{command}: nodes {signature if signature is not None else '?'}, "
              f"nodes/second {speed if speed is not None else '?'}, {seconds:.1f} s"
              + (f" ({note})" if note else ""))
        if problem:
            print(f"    PROBLEM: {problem}")
            failed = True
        else:
            signatures.append(signature)
    if len(set(signatures)) > 1:
        print(f"    PROBLEM: the node counts differ: {', '.join(map(str, signatures))}")
        failed = True
    return 1 if failed else 0


def main():
    p = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    p.add_argument("commands", nargs="+", help="engine command lines")
    p.add_argument("--timeout", type=float, default=600.0, help="seconds each bench may take")
    args = p.parse_args()
    sys.exit(compare(args.commands, args.timeout))


if __name__ == "__main__":
    main()
