#!/usr/bin/env python3
"""Stalls of the machine itself: time a program neither runs nor waits for a processor.

    python3 tools/wake_stalls.py --rounds 3000
    python3 tools/wake_stalls.py --rounds 6000 --busy-ms 70 &  tools/match.py ...

A child process stands in for a brain: it reads a line, computes for --busy-ms on the
processor, and writes a line; the tool times each round from its write to the reply, as
selfplay.py and match.py time a move (brain.py), and reads the child's processor time and its
wait for a processor from /proc/PID/schedstat. A round whose time exceeds the two by more than
--margin ms was lost to something outside the child: it takes no lock and writes nothing but
its reply, so the time most likely went to waking it or the tool on a processor that was not
running (on a virtual machine, one its host did not run). A brain's late reply with the same
signature (little processor time, no wait for one) is the machine's, not the brain's: run
this beside a match to see how often the machine does it. Exit status 1 on any stall.
"""

import argparse
import sys
import time

from brain import Brain

# The stand-in brain: computes for its argument's milliseconds per line read, then replies.
CHILD = r"""
import sys, time
busy = float(sys.argv[1]) / 1000
for line in sys.stdin:
    if line.strip() == "END":
        break
    start = time.monotonic()
    while time.monotonic() - start < busy:
        pass
    sys.stdout.write("done\n")
    sys.stdout.flush()
"""


def main():
    p = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    p.add_argument("--rounds", type=int, default=3000)
    p.add_argument("--busy-ms", type=float, default=70.0, help="the child's computing per round")
    p.add_argument("--pause-ms", type=float, default=30.0, help="idle time between rounds (the opponent's move)")
    p.add_argument("--margin", type=float, default=50.0, help="ms beyond processor and wait time that count as a stall")
    args = p.parse_args()

    # Timed as the match tools time a brain: from the write to the reader thread's stamp.
    child = Brain([sys.executable, "-c", CHILD, str(args.busy_ms)], "stand-in")
    if child.sched_ms() is None:
        child.close()
        sys.exit("no /proc/PID/task/*/schedstat here: the tool needs Linux")
    done = lambda line: line == "done"
    stalls = []
    worst = 0.0
    started = time.monotonic()
    try:
        child.send("go")  # untimed: the child's own start-up
        child.wait_for(done, 10.0)
        for i in range(args.rounds):
            run0, wait0, _ = child.sched_ms()
            written = child.send("go")
            stamp, _, _ = child.wait_for(done, 10.0)
            run1, wait1, _ = child.sched_ms()
            elapsed = (stamp - written) * 1000
            worst = max(worst, elapsed)
            if elapsed - (run1 - run0) - (wait1 - wait0) > args.margin:
                stalls.append((i + 1, elapsed, run1 - run0, wait1 - wait0))
            time.sleep(args.pause_ms / 1000)
    finally:
        child.close()
    minutes = (time.monotonic() - started) / 60
    print(f"{args.rounds} rounds of {args.busy_ms:.0f} ms in {minutes:.1f} minutes, worst round {worst:.0f} ms, "
          f"stalls over {args.margin:.0f} ms: {len(stalls)}")
    for i, elapsed, run, wait in stalls:
        print(f"  round {i}: {elapsed:.0f} ms, {run:.0f} ms on a processor, {wait:.0f} ms waiting for one")
    sys.exit(1 if stalls else 0)


if __name__ == "__main__":
    main()
