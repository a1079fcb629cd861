#!/usr/bin/env python3
"""Builds the engine's Swap2 book: three-stone openings (black, white, black) near the
centre that the engine's own longer searches find even for white to move.

    tools/swap2_book.py --rule 1 --size 15 --out book/swap2.txt
    tools/swap2_book.py --sample 40 --screen-low -10000 --screen-high 10000 \\
        --deep-nodes 800,3200,6400 --keep-all --out /tmp/pilot.txt   # every value, for a look

Stages:
1. Candidates: every opening whose three cells lie in the --area by --area square
   around the centre, one per class of the square board's eight symmetries (the two
   black stones count as one set), drawn at random (--seed) down to --sample of them.
2. Screen: each candidate searched once with --screen-nodes; kept when white's value
   lies in [--screen-low, --screen-high]. Short searches see white better off than
   longer ones do, so the window need not be centred on 0.
3. Deep: the kept candidates searched with the budgets of --deep-nodes in turn, each
   budget on those whose values so far lie within +-(--margin); an opening enters the
   book when all of its values do, and (with --min-mean) when their mean is at least that.

Every search is a fresh engine process given the three stones by BOARD, white to move,
with INFO max_node (units of 1024 nodes), a fixed hash_size and a turn time far beyond
the budget, so the same binary always finds the same values. --cache keeps every value
found (a tab-separated file), so that a rerun or a wider run only searches what is new.
--jobs runs that many searches at once. --check BOOK searches a book's openings again with
the --deep-nodes budgets and reports the values (to see how they hold at other budgets).

The book lists one line per opening: RULE WIDTH HEIGHT and the cells x,y of black's
first stone, white's stone and black's second stone, then white's values at the deep
budgets, in their order (the header names them). The engine reads the file as it was
built into it.
"""

import argparse
import concurrent.futures
import os
import random
import sys
import threading
import time

from brain import DEFAULT_ENGINE, Brain, EngineDied, EngineHung, start_command
from selfplay import summary_value

REPO_ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
DEFAULT_BOOK = os.path.join(REPO_ROOT, "book", "swap2.txt")
TURN_MS = 100000000  # far beyond any budget: only the node budget ends a search


def symmetries(width, height):
    """The maps of a cell (x, y) that take the board onto itself: eight on a square
    board, four on a rectangle."""
    hx, wy = height - 1, width - 1
    maps = [lambda x, y: (x, y), lambda x, y: (hx - x, y), lambda x, y: (x, wy - y),
            lambda x, y: (hx - x, wy - y)]
    if width == height:
        maps += [lambda x, y: (y, x), lambda x, y: (wy - y, x), lambda x, y: (y, hx - x),
                 lambda x, y: (wy - y, hx - x)]
    return maps


def canonical(opening, maps):
    """The class representative of an opening (black, white, black): the smallest image,
    black's stones as a sorted pair."""
    best = None
    for f in maps:
        b1, w, b2 = (f(*c) for c in opening)
        key = (min(b1, b2), w, max(b1, b2))
        if best is None or key < best:
            best = key
    return best


def candidates(width, height, area):
    """One opening per symmetry class with all three cells in the area square."""
    cx, cy = height // 2, width // 2
    low = -(area // 2)
    square = [(cx + dx, cy + dy) for dx in range(low, low + area) for dy in range(low, low + area)
              if 0 <= cx + dx < height and 0 <= cy + dy < width]
    maps = symmetries(width, height)
    seen = set()
    for i, b1 in enumerate(square):
        for b2 in square[i + 1:]:
            for w in square:
                if w in (b1, b2):
                    continue
                seen.add(canonical((b1, w, b2), maps))
    return sorted(seen)


def cell_text(c):
    return f"{c[0]},{c[1]}"


def opening_text(opening):
    return " ".join(cell_text(c) for c in opening)


class Searcher:
    """White's value of openings under node budgets, with the cache."""

    def __init__(self, args):
        self.args = args
        self.width, self.height = parse_size(args.size)
        self.lock = threading.Lock()
        self.cache = {}
        self.searched = 0
        self.nodes_ms = []  # (nodes, milliseconds) of the searches made in this run
        if args.cache and os.path.exists(args.cache):
            with open(args.cache) as f:
                for line in f:
                    fields = line.rstrip("\n").split("\t")
                    if len(fields) == 6 and not line.startswith("#"):
                        self.cache[tuple(fields[:5])] = int(fields[5])

    def key(self, opening, budget):
        a = self.args
        return (str(a.rule), a.size, opening_text(opening), str(budget), str(a.hash_size))

    def value(self, opening, budget):
        key = self.key(opening, budget)
        with self.lock:
            if key in self.cache:
                return self.cache[key]
        v = self.search(opening, budget)
        with self.lock:
            self.cache[key] = v
            self.searched += 1
            if self.args.cache:
                with open(self.args.cache, "a") as f:
                    f.write("\t".join(key) + f"\t{v}\n")
        return v

    def search(self, opening, budget):
        a = self.args
        brain = Brain(a.engine, "book")
        try:
            brain.send(f"INFO rule {a.rule}", f"INFO hash_size {a.hash_size}", f"INFO max_node {budget}",
                       f"INFO timeout_turn {TURN_MS}", start_command(self.width, self.height))
            brain.wait_for(lambda l: l == "OK", 30.0)
            # White is to move: its stone is the engine's own (1), black's the opponent's (2).
            block = [f"{x},{y},{1 if k == 1 else 2}" for k, (x, y) in enumerate(opening)]
            brain.send("BOARD", *block, "DONE")
            _, _, _, others = brain.wait_move(a.hard_timeout)
        finally:
            brain.close()
        for line in others:
            v = summary_value(line)
            if v is not None:
                fields = line.split("|")
                try:
                    ms, speed = int(fields[3].strip()[:-2]), int(fields[5])
                    with self.lock:
                        self.nodes_ms.append((ms * speed, ms))
                except (ValueError, IndexError):
                    pass
                return v
        raise EngineDied(f"no summary line for {opening_text(opening)}")


def parse_size(text):
    if "x" in text:
        w, h = text.split("x")
        return int(w), int(h)
    return int(text), int(text)


def run_all(searcher, jobs, work):
    """work: list of (opening, budget); returns their values in order."""
    with concurrent.futures.ThreadPoolExecutor(max_workers=jobs) as pool:
        futures = [pool.submit(searcher.value, o, b) for o, b in work]
        done = 0
        for f in concurrent.futures.as_completed(futures):
            done += 1
            if done % 50 == 0:
                print(f"  {done}/{len(work)} searched", file=sys.stderr, flush=True)
        return [f.result() for f in futures]


def read_book(path, rule, width, height):
    """The openings of a book file for the rule and board, with their stored values."""
    rows = []
    with open(path) as f:
        for line in f:
            fields = line.split()
            if not fields or fields[0].startswith("#"):
                continue
            if (int(fields[0]), int(fields[1]), int(fields[2])) != (rule, width, height):
                continue
            cells = tuple(tuple(int(v) for v in c.split(",")) for c in fields[3:6])
            rows.append((cells, [int(v) for v in fields[6:]]))
    return rows


def check_book(args, searcher, deep, width, height):
    rows = read_book(args.check, args.rule, width, height)
    values = run_all(searcher, args.jobs, [(o, b) for o, _ in rows for b in deep])
    print("opening\tstored\t" + "\t".join(str(b) for b in deep))
    for i, (o, stored) in enumerate(rows):
        vs = values[i * len(deep):(i + 1) * len(deep)]
        print(f"{opening_text(o)}\t{'/'.join(str(v) for v in stored)}\t" + "\t".join(str(v) for v in vs))
    for k, b in enumerate(deep):
        vs = [values[i * len(deep) + k] for i in range(len(rows))]
        n = len(vs)
        if n == 0:
            continue
        mean = sum(vs) / n
        sd = (sum((v - mean) ** 2 for v in vs) / (n - 1)) ** 0.5 if n > 1 else 0.0
        inside = sum(abs(v) <= args.margin for v in vs)
        print(f"at {b}: {n} openings, mean {mean:.1f}, standard deviation {sd:.1f}, "
              f"{inside} within +-{args.margin}, {sum(v < 0 for v in vs)} below 0")
    return 0


def main():
    p = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    p.add_argument("--engine", default=DEFAULT_ENGINE)
    p.add_argument("--rule", type=int, default=1)
    p.add_argument("--size", default="15", help="W or WxH")
    p.add_argument("--area", type=int, default=7, help="side of the square around the centre the stones lie in")
    p.add_argument("--sample", type=int, default=0, help="openings drawn from the candidates (0: all)")
    p.add_argument("--seed", type=int, default=1)
    p.add_argument("--screen-nodes", type=int, default=200, help="the screening search's budget, units of 1024 nodes")
    p.add_argument("--screen-low", type=int, default=-40)
    p.add_argument("--screen-high", type=int, default=120)
    p.add_argument("--deep-nodes", default="3200,6400", help="the deep searches' budgets, comma-separated")
    p.add_argument("--margin", type=int, default=30, help="every deep value within +-margin")
    p.add_argument("--min-mean", type=int, default=None,
                   help="keep only openings whose deep values have at least this mean")
    p.add_argument("--keep-all", action="store_true",
                   help="search every screened opening at every budget and list all values on stderr")
    p.add_argument("--hash-size", type=int, default=262144)
    p.add_argument("--jobs", type=int, default=2)
    p.add_argument("--cache", default="", help="tab-separated file of every value found, read and extended")
    p.add_argument("--hard-timeout", type=float, default=600.0, help="seconds one search may take")
    p.add_argument("--out", default=DEFAULT_BOOK)
    p.add_argument("--check", metavar="BOOK",
                   help="search the openings of BOOK (of --rule and --size) with the --deep-nodes budgets "
                        "and report their values; nothing is written")
    args = p.parse_args()
    deep = [int(b) for b in args.deep_nodes.split(",") if b]
    width, height = parse_size(args.size)
    searcher = Searcher(args)
    started = time.monotonic()
    if args.check:
        return check_book(args, searcher, deep, width, height)

    pool = candidates(width, height, args.area)
    rng = random.Random(args.seed)
    if 0 < args.sample < len(pool):
        pool = sorted(rng.sample(pool, args.sample))
    print(f"{len(pool)} candidate openings", file=sys.stderr)

    screened = run_all(searcher, args.jobs, [(o, args.screen_nodes) for o in pool])
    kept = [o for o, v in zip(pool, screened) if args.screen_low <= v <= args.screen_high]
    print(f"{len(kept)} within [{args.screen_low}, {args.screen_high}] at {args.screen_nodes}", file=sys.stderr)

    # Budget after budget, each on the openings still within the margin: the later,
    # longer searches only see the few that the earlier ones found even.
    rows = [(o, []) for o in kept]
    for budget in deep:
        values = run_all(searcher, args.jobs, [(o, budget) for o, _ in rows])
        rows = [(o, vs + [v]) for (o, vs), v in zip(rows, values) if args.keep_all or abs(v) <= args.margin]
        print(f"{len(rows)} within +-{args.margin} at {budget}", file=sys.stderr)
    if args.keep_all:
        rows = [(o, vs) for o, vs in rows if all(abs(v) <= args.margin for v in vs)]
    if args.min_mean is not None:
        rows = [(o, vs) for o, vs in rows if sum(vs) >= args.min_mean * len(vs)]
        print(f"{len(rows)} with a mean of at least {args.min_mean}", file=sys.stderr)

    screen_of = dict(zip(pool, screened))
    with open(args.out, "w") as f:
        f.write("# Swap2 openings of the engine: three stones (black, white, black), white to move,\n"
                "# found even by the engine's own searches. Made by tools/swap2_book.py:\n")
        f.write(f"#   --rule {args.rule} --size {args.size} --area {args.area} --sample {args.sample} "
                f"--seed {args.seed} --screen-nodes {args.screen_nodes} --screen-low {args.screen_low} "
                f"--screen-high {args.screen_high} --deep-nodes {args.deep_nodes} --margin {args.margin} "
                + (f"--min-mean {args.min_mean} " if args.min_mean is not None else "")
                + f"--hash-size {args.hash_size}\n")
        f.write(f"# {len(pool)} candidates, {len(kept)} screened in, {len(rows)} kept.\n")
        f.write("# RULE WIDTH HEIGHT BLACK WHITE BLACK, then white's value at "
                + ", ".join(f"{b}" for b in deep) + " (units of 1024 nodes)\n")
        for o, vs in rows:
            f.write(f"{args.rule} {width} {height} {opening_text(o)} " + " ".join(str(v) for v in vs) + "\n")
    if args.keep_all:  # every value, as a table on stderr
        for o in kept:
            vs = [searcher.cache[searcher.key(o, b)] for b in deep]
            print(f"{opening_text(o)}\t{screen_of[o]}\t" + "\t".join(str(v) for v in vs), file=sys.stderr)
    nodes = sum(n for n, _ in searcher.nodes_ms)
    ms = sum(m for _, m in searcher.nodes_ms)
    speed = f", {nodes / ms * 1000 / 1e6:.2f} M nodes/s" if ms else ""
    print(f"{len(rows)} openings written to {args.out}; {searcher.searched} searches in "
          f"{time.monotonic() - started:.0f} s{speed}", file=sys.stderr)
    return 0


if __name__ == "__main__":
    sys.exit(main())
