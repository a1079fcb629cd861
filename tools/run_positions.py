#!/usr/bin/env python3
"""Runs the engine on a file of positions, one fresh process per position.

    tools/run_positions.py --max-node 50 --out run1.tsv
    tools/run_positions.py --max-node 50 --compare run1.tsv

Each line of the positions file is "RULE WIDTH HEIGHT MOVES", MOVES being "x,y" pairs
joined by ";" in the order played (black first). For each position the tool sends
START (or RECTSTART), INFO rule, INFO max_node, INFO timeout_turn, optionally INFO
max_depth and further INFO lines, then BOARD with the moves (1 for the side to move's
stones, 2 for the other's) and DONE, and prints the reply, the summary line, the best
line and the wall time of the reply.

With a node budget and a generous timeout_turn the engine's choice must not depend on
time, so two runs must agree on everything but times: --out writes a run's results with
the time fields blanked, --compare checks a run against such a file (exit status 1 on a
difference). An illegal reply (off the board or on a stone) also gives exit status 1.
"""

import argparse
import os
import re
import sys

from brain import DEFAULT_ENGINE, Brain, EngineDied, EngineHung, start_command

# The positions from other games, in the folder beside the checkout.
DEFAULT_POSITIONS = os.path.join(os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__)))),
                                 "shared", "positions", "positions.txt")

# Fields that measure time rather than the search: blanked before comparing.
TIME_PATTERNS = [
    (re.compile(r"TIME:\d+ms"), "TIME:*ms"),
    (re.compile(r"Time: \d+ms"), "Time: *ms"),
    (re.compile(r"Speed: \d+"), "Speed: *"),
    # The plain summary: A | depth | reached | Tms | B | speed | radius | evaluation mood
    (re.compile(r"^(MESSAGE [\d.]+ \| \d+ \| -?\d+ \| )-?\d+ms( \| [\d.]+ \| )-?\d+( \|)"), r"\1*ms\2*\3"),
]


def without_times(line):
    for pattern, repl in TIME_PATTERNS:
        line = pattern.sub(repl, line)
    return line


def parse_positions(path):
    positions = []
    with open(path) as f:
        for number, raw in enumerate(f, 1):
            text = raw.strip()
            if not text or text.startswith("#"):
                continue
            fields = text.split()
            if len(fields) not in (3, 4):
                raise SystemExit(f"{path}:{number}: expected RULE WIDTH HEIGHT MOVES")
            rule, width, height = (int(v) for v in fields[:3])
            moves = []
            if len(fields) == 4:
                for pair in fields[3].split(";"):
                    if pair:
                        x, y = pair.split(",")
                        moves.append((int(x), int(y)))
            positions.append((number, rule, width, height, moves))
    return positions


def run_one(args, rule, width, height, moves):
    """Returns (reply, summary, bestline, all MESSAGE lines, milliseconds, problems)."""
    brain = Brain(args.engine, "engine")
    problems = []
    try:
        brain.send(start_command(width, height))
        _, line, _ = brain.wait_for(lambda l: l == "OK" or l.startswith("ERROR"), 10.0)
        if line != "OK":
            return None, "", "", [], 0.0, [f"start refused: {line}"]
        infos = [f"INFO rule {rule}", f"INFO max_node {args.max_node}", f"INFO timeout_turn {args.timeout_turn}"]
        if args.max_depth is not None:
            infos.append(f"INFO max_depth {args.max_depth}")
        if args.show_detail:
            infos.append("INFO show_detail 1")
        infos += [f"INFO {item.replace('=', ' ', 1)}" for item in args.info]
        brain.send(*infos)
        side = len(moves) % 2 + 1
        block = [f"{x},{y},{1 if k % 2 + 1 == side else 2}" for k, (x, y) in enumerate(moves)]
        sent = brain.send("BOARD", *block, "DONE")
        x, y, stamp, others = brain.wait_move(args.hard_timeout / 1000.0)
        ms = (stamp - sent) * 1000.0
    except (EngineDied, EngineHung) as exc:
        brain.close()
        return None, "", "", [], 0.0, [str(exc)]
    brain.close()
    messages = []
    for line in others:
        if line.startswith("ERROR"):
            problems.append(line)
        elif not line.startswith("MESSAGE"):
            problems.append(f"unexpected line {line!r}")
        messages.append(line)
    taken = set(moves)
    if not (0 <= x < height and 0 <= y < width):
        problems.append(f"reply {x},{y} off the board")
    elif (x, y) in taken:
        problems.append(f"reply {x},{y} on a stone")
    # The summary is the line before the best line, which is the last MESSAGE line
    # (the block line comes after it only with show_detail and blocked cells).
    plain = [l for l in messages if l.startswith("MESSAGE") and not l.startswith(("MESSAGE REALTIME", "MESSAGE DETAIL"))]
    bestline = plain[-1] if plain else ""
    summary = plain[-2] if len(plain) >= 2 else ""
    if args.show_detail and len(plain) >= 3:
        summary = plain[-3] + " / " + plain[-2]
    return f"{x},{y}", summary, bestline, messages, ms, problems


def main():
    p = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    p.add_argument("--positions", default=DEFAULT_POSITIONS)
    p.add_argument("--engine", default=DEFAULT_ENGINE)
    p.add_argument("--max-node", type=int, default=50, help="INFO max_node (units of 1024 nodes)")
    p.add_argument("--max-depth", type=int, default=None, help="INFO max_depth")
    p.add_argument("--timeout-turn", type=int, default=100000, help="INFO timeout_turn, milliseconds")
    p.add_argument("--show-detail", action="store_true", help="INFO show_detail 1 (compares the detail lines too)")
    p.add_argument("--info", action="append", default=[], metavar="KEY=VALUE", help="extra INFO line")
    p.add_argument("--only", default="", help="comma-separated position numbers (1-based, in file order)")
    p.add_argument("--out", help="write the results, times blanked, to this file")
    p.add_argument("--compare", help="compare with a file written by --out")
    p.add_argument("--hard-timeout", type=int, default=600000, help="milliseconds before a silent engine counts as hung")
    p.add_argument("--verbose", action="store_true", help="show every MESSAGE line")
    args = p.parse_args()

    positions = parse_positions(args.positions)
    wanted = {int(v) for v in args.only.split(",") if v}
    records = []
    failures = 0
    for index, (number, rule, width, height, moves) in enumerate(positions, 1):
        if wanted and index not in wanted:
            continue
        reply, summary, bestline, messages, ms, problems = run_one(args, rule, width, height, moves)
        print(f"#{index} rule {rule} {width}x{height} {len(moves)} moves: {reply}  {ms:.0f} ms")
        print(f"    {summary}")
        print(f"    {bestline}")
        if args.verbose:
            for line in messages:
                print(f"      {line}")
        for problem in problems:
            print(f"    PROBLEM: {problem}")
        failures += bool(problems)
        transcript = " // ".join(without_times(l) for l in messages)
        records.append((str(index), str(reply), without_times(summary), bestline, transcript))

    if args.out:
        with open(args.out, "w") as f:
            for rec in records:
                f.write("\t".join(rec) + "\n")

    differences = 0
    if args.compare:
        earlier = {}
        with open(args.compare) as f:
            for raw in f:
                fields = raw.rstrip("\n").split("\t")
                earlier[fields[0]] = fields
        for rec in records:
            old = earlier.get(rec[0])
            if old is None:
                print(f"#{rec[0]}: not in {args.compare}")
                differences += 1
                continue
            for name, a, b in zip(("reply", "summary", "best line", "lines"), old[1:], rec[1:]):
                if a != b:
                    differences += 1
                    print(f"#{rec[0]}: {name} differs:\n    before: {a}\n    now:    {b}")
        print(f"compared {len(records)} positions with {args.compare}: {differences} differences")

    print(f"{len(records)} positions, {failures} with problems")
    sys.exit(1 if failures or differences else 0)


if __name__ == "__main__":
    main()
