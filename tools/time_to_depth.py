#!/usr/bin/env python3
"""Time to a fixed depth with different thread counts, through the protocol.

    nice -n -10 tools/time_to_depth.py --threads 1,2 --rounds 3
    tools/time_to_depth.py --threads 1,2,4 --depth 8 --sets bench/positions/positions.txt

One engine process per thread count stays up for a round; for each position of each set
the processes get it in turn (so 1, 2 and 4 threads meet the same load, position by
position; the order rotates from round to round). Each decision runs with INFO max_node -1
(no time or node limit) and INFO max_depth D, so it ends when the depth is complete;
its time is the engine's own (the summary line's milliseconds, from the decision's start
to its reply). The hash tables are cleared while the engine waits, after START, so the
clear is not timed. Decisions that end before depth D (a win found, a single move that
does not lose) count with the time they took, for every thread count alike. A position
found in more than one set (the project's benchmark file begins with the 42 positions of
the shared file) is searched once per round and counted in each set. Each process first
makes one untimed decision, which pays for the process's first table build and helper
threads.

At the end, per set and thread count: the total time of each round, the mean, and the
ratio of one thread's mean to it (how many times sooner the depth is reached), with the
load average seen during the run. Measure with both cores free, or at a raised priority
over other work: a second thread that waits for a processor only slows. Where the kernel
groups processes by session (autogroup, /proc/sys/kernel/sched_autogroup_enabled 1), a
process's nice value only ranks it within its own session and every busy session gets an
equal share of the processors: --autogroup-nice -10 (as root) runs the measurement in a
session of its own with that priority, which is what raises it over other sessions' work.
"""

import argparse
import os
import re
import statistics
import sys
import time

from brain import DEFAULT_ENGINE, Brain, start_command
from run_positions import parse_positions

REPO_ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
DEFAULT_SETS = [os.path.join(REPO_ROOT, "bench", "positions", "positions.txt"),
                os.path.join(os.path.dirname(REPO_ROOT), "shared", "positions", "positions.txt")]

# The plain summary: expanded share | depth | depth reached | T ms | ... ; then the best line.
SUMMARY_RE = re.compile(r"^MESSAGE [\d.]+ \| (\d+) \| -?\d+ \| (\d+)ms \|")
# Long enough for the idle search thread to clear the default 192 MiB of tables.
CLEAR_WAIT_S = 0.4
# Each process's untimed first decision: rule, width, height, moves.
WARM_UP = (0, 15, 15, [(7, 7), (7, 8), (8, 8)])


def decide(brain, rule, width, height, moves, depth, hard_timeout):
    """(milliseconds, depth, move) of one decision on a fresh game."""
    brain.send(start_command(width, height))
    brain.wait_for(lambda l: l == "OK", 10.0)
    time.sleep(CLEAR_WAIT_S)
    side = len(moves) % 2 + 1
    block = [f"{x},{y},{1 if k % 2 + 1 == side else 2}" for k, (x, y) in enumerate(moves)]
    brain.send(f"INFO rule {rule}", "INFO max_node -1", f"INFO max_depth {depth}", "BOARD", *block, "DONE")
    x, y, _, others = brain.wait_move(hard_timeout)
    for line in others:
        m = SUMMARY_RE.match(line)
        if m:
            return int(m.group(2)), int(m.group(1)), f"{x},{y}"
    raise SystemExit(f"no summary line among {others!r}")


def raise_session_priority(nice):
    """A session of this process's own (its engines inherit it) and the priority of its
    scheduling group."""
    try:
        os.setsid()
    except OSError:  # already a session leader
        pass
    try:
        with open("/proc/self/autogroup", "w") as f:
            f.write(str(nice))
    except OSError as exc:
        raise SystemExit(f"cannot set the session's priority: {exc}")
    with open("/proc/self/autogroup") as f:
        print(f"scheduling group: {f.read().strip()}", flush=True)


def main():
    p = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    p.add_argument("--engine", default=DEFAULT_ENGINE)
    p.add_argument("--threads", default="1,2",
                   help="comma-separated thread counts (the first is the reference); COUNT:PATH runs another"
                        " engine binary with COUNT threads (a build before a change, say)")
    p.add_argument("--depth", type=int, default=8)
    p.add_argument("--rounds", type=int, default=3)
    p.add_argument("--sets", action="append", default=[], metavar="FILE", help="positions file (repeatable)")
    p.add_argument("--only", default="", help="comma-separated position numbers (1-based) of every set")
    p.add_argument("--info", action="append", default=[], metavar="KEY=VALUE", help="extra INFO line for all")
    p.add_argument("--hard-timeout", type=int, default=600, help="seconds before a silent engine counts as hung")
    p.add_argument("--verbose", action="store_true", help="a line per decision")
    p.add_argument("--autogroup-nice", type=int, default=None, metavar="N",
                   help="run in a new session whose scheduling group gets nice N (-10 needs root)")
    args = p.parse_args()
    if args.autogroup_nice is not None:
        raise_session_priority(args.autogroup_nice)

    # Each entry: its label as given, and its engine and thread count.
    counts = [v for v in args.threads.split(",") if v]
    engine_of = {c: (c.split(":", 1)[1] if ":" in c else args.engine) for c in counts}
    threads_of = {c: int(c.split(":", 1)[0]) for c in counts}
    sets = args.sets or DEFAULT_SETS
    wanted = {int(v) for v in args.only.split(",") if v}
    suites = []
    for path in sets:
        positions = parse_positions(path)
        suites.append((os.path.basename(os.path.dirname(os.path.dirname(path))) + "/" + os.path.basename(path),
                       [p for i, p in enumerate(positions, 1) if not wanted or i in wanted]))
    # Each distinct position once: index[key] = its place in `distinct`.
    distinct, index = [], {}
    for _, positions in suites:
        for number, rule, width, height, moves in positions:
            key = (rule, width, height, tuple(moves))
            if key not in index:
                index[key] = len(distinct)
                distinct.append((number, rule, width, height, moves))
    times = {c: [[] for _ in distinct] for c in counts}  # per position, one time per round
    loads = []
    started = time.monotonic()
    for rnd in range(args.rounds):
        order = counts[rnd % len(counts):] + counts[:rnd % len(counts)]
        brains = {}
        for c in order:
            brains[c] = Brain(engine_of[c], f"{c} threads")
            brains[c].send(f"INFO thread_num {threads_of[c]}", *[f"INFO {item.replace('=', ' ', 1)}" for item in args.info])
            decide(brains[c], *WARM_UP, min(args.depth, 4), args.hard_timeout)
        sums = {c: 0 for c in counts}
        for i, (number, rule, width, height, moves) in enumerate(distinct):
            for c in order:
                ms, depth, move = decide(brains[c], rule, width, height, moves, args.depth, args.hard_timeout)
                sums[c] += ms
                times[c][i].append(ms)
                if args.verbose:
                    print(f"round {rnd + 1} #{i + 1} threads {c}: {ms} ms depth {depth} move {move}", flush=True)
        for b in brains.values():
            b.close()
        loads.append(os.getloadavg()[0])
        print(f"round {rnd + 1}: " + ", ".join(f"{c} threads {sums[c] / 1000:.1f} s" for c in counts),
              f"(load average {loads[-1]:.2f})", flush=True)

    print(f"\nTime to depth {args.depth}, {args.rounds} rounds, load average {min(loads):.2f} to {max(loads):.2f}, "
          f"{(time.monotonic() - started) / 60:.1f} minutes")
    reference = counts[0]
    for name, positions in suites:
        print(f"{name} ({len(positions)} positions)")
        members = [index[(rule, width, height, tuple(moves))] for _, rule, width, height, moves in positions]
        runs_of = {c: [sum(times[c][i][r] for i in members) for r in range(args.rounds)] for c in counts}
        base = statistics.mean(runs_of[reference])
        for c in counts:
            runs = runs_of[c]
            mean = statistics.mean(runs)
            # Per position, the ratio of the medians over the rounds.
            ratios = [max(1, statistics.median(times[reference][i])) / max(1, statistics.median(times[c][i]))
                      for i in members]
            print(f"  {c} threads: " + " ".join(f"{r / 1000:.1f}" for r in runs) +
                  f" s, mean {mean / 1000:.1f} s, {base / mean:.2f} times sooner than {reference}"
                  f" (per position: median ratio {statistics.median(ratios):.2f},"
                  f" geometric mean {statistics.geometric_mean(ratios):.2f})")
    return 0


if __name__ == "__main__":
    sys.exit(main())
