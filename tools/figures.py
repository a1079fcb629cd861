#!/usr/bin/env python3
"""The measurements of docs/figures.md: speed and depth at one second per move, and memory.

    tools/figures.py                       # both tables, the positions docs/figures.md names
    tools/figures.py --only 4,6 --runs 3   # some positions
    tools/figures.py --memory-only

Speed and depth: for each position (line numbers of bench/positions/positions.txt) a fresh
engine process first makes one short decision (START 15, INFO timeout_turn 50, one stone),
as it would have in a game, then gets START, INFO rule R, INFO timeout_turn 1000, zrhashclear
and BOARD with the position; the figures are the fields of the summary line
`MESSAGE A | depth | reached | Nms | B | speed | ...`. A run counts only when the engine waited
less than --max-wait ms for a processor during the decision (from /proc/PID/task/*/schedstat),
and each position is repeated until --runs such runs (at most 3 x --runs attempts), so other
work on the machine shows as discarded runs rather than as slow figures.

Memory: the peak resident size (VmHWM) of a fresh process after one one-second decision on
three positions (one of each rule), with the default hash_size and with hash_size 4096 (sent
before anything else, as a manager sends its settings).

The load average is printed with each table. Linux only (reads /proc).
"""

import argparse
import os
import re
import sys
import time

from brain import DEFAULT_ENGINE, Brain, start_command
from run_positions import parse_positions

REPO_ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BENCH_POSITIONS = os.path.join(REPO_ROOT, "bench", "positions", "positions.txt")
# Positions the engine does not decide within a second (others end early with a proven
# result and show a meaningless speed); one to three of each rule.
SPEED_POSITIONS = [4, 6, 7, 19, 21, 27, 34, 37, 38]
MEMORY_POSITIONS = [6, 21, 37]
SUMMARY_RE = re.compile(r"^MESSAGE [\d.]+ \| (\d+) \| (-?\d+) \| (\d+)ms \| [\d.]+ \| (\d+) \|")
RULE_NAMES = {0: "0 free-style", 1: "1 standard", 2: "2 Renju"}


def board_lines(moves):
    """BOARD with the moves in game order, the side to move's stones as 1."""
    lines = ["BOARD"]
    for i, (x, y) in enumerate(moves):
        lines.append(f"{x},{y},{1 if i % 2 == len(moves) % 2 else 2}")
    lines.append("DONE")
    return lines


def load_average():
    with open("/proc/loadavg") as f:
        return " ".join(f.read().split()[:3])


def one_decision(engine, position, infos):
    """A fresh process: the warm-up decision, then the position. Returns (reply, summary
    fields or None, processor wait in ms, VmHWM bytes)."""
    _, rule, width, height, moves = position
    brain = Brain(engine, "engine")
    try:
        # Settings first, as a manager sends them, so that the tables are never of another size.
        brain.send(*infos, "START 15", "INFO timeout_turn 50", "BEGIN")
        brain.wait_move(30)
        brain.drain(0.2)
        brain.send(start_command(width, height), f"INFO rule {rule}", "INFO timeout_turn 1000", "zrhashclear")
        brain.drain(0.5)  # the clear runs while the engine waits
        before = brain.sched_ms()
        brain.send(*board_lines(moves))
        x, y, _, others = brain.wait_move(30)
        after = brain.sched_ms()
        wait = after[1] - before[1] if before and after else float("nan")
        fields = None
        for line in others:
            m = SUMMARY_RE.match(line)
            if m:
                fields = tuple(int(g) for g in m.groups())
        return f"{x},{y}", fields, wait, brain.resident_peak_bytes()
    finally:
        brain.close()


def speed_table(args, positions):
    print(f"## Speed and depth at one second per move (load average {load_average()} at the start)\n")
    print("| Position | Rule | Board | Moves | Reply | Depth-reached | Speed (nodes/ms) | Runs discarded |")
    print("|---|---|---|---|---|---|---|---|")
    for number in args.only:
        p = positions[number]
        kept, discarded, replies = [], 0, set()
        for _ in range(3 * args.runs):
            reply, fields, wait, _ = one_decision(args.engine, p, [])
            if fields is None or not wait < args.max_wait:
                discarded += 1
                continue
            replies.add(reply)
            kept.append(fields)
            if len(kept) == args.runs:
                break
        depth = ", ".join(f"{d}-{r}" for d, r, _, _ in kept)
        speed = ", ".join(str(s) for _, _, _, s in kept)
        print(f"| {number} | {RULE_NAMES.get(p[1], p[1])} | {p[2]}x{p[3]} | {len(p[4])} | {' '.join(sorted(replies))} "
              f"| {depth} | {speed} | {discarded} |", flush=True)
    print(f"\nLoad average at the end: {load_average()}\n")


def memory_table(args, positions):
    print(f"## Memory (load average {load_average()})\n")
    print("| hash_size | Position | Peak resident (VmHWM) |")
    print("|---|---|---|")
    for label, infos in (("default", []), ("4096", ["INFO hash_size 4096"])):
        for number in MEMORY_POSITIONS:
            _, _, _, peak = one_decision(args.engine, positions[number], infos)
            print(f"| {label} | {number} | {peak / 1024:,.0f} KiB ({peak / 2**20:.1f} MiB) |", flush=True)
    print()


def main():
    p = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    p.add_argument("--engine", default=DEFAULT_ENGINE)
    p.add_argument("--only", default=",".join(str(n) for n in SPEED_POSITIONS),
                   help="comma-separated line numbers of bench/positions/positions.txt")
    p.add_argument("--runs", type=int, default=3, help="kept runs per position")
    p.add_argument("--max-wait", type=float, default=30.0, help="ms of processor wait above which a run is discarded")
    p.add_argument("--memory-only", action="store_true")
    p.add_argument("--speed-only", action="store_true")
    args = p.parse_args()
    args.only = [int(n) for n in args.only.split(",") if n]
    positions = {number: pos for pos in parse_positions(BENCH_POSITIONS) for number in [pos[0]]}
    if not os.path.exists("/proc/loadavg"):
        sys.exit("figures.py reads /proc: Linux only")
    started = time.monotonic()
    if not args.memory_only:
        speed_table(args, positions)
    if not args.speed_only:
        memory_table(args, positions)
    print(f"({time.monotonic() - started:.0f} s)")


if __name__ == "__main__":
    main()
