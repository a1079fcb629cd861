#!/usr/bin/env python3
"""How white's searched value of a Swap2 opening predicts the game: the data behind the
engine's Swap2 thresholds.

    tools/swap2_calibrate.py --games 200 --rule 1 --timeout-turn 100

Per game it draws three stones (black, white, black) at random in the square of side
--area around the centre, sends them to the first engine with SWAP2BOARD and reads
white's value from its `MESSAGE SWAP2 WHITE VAL:v` line (the search that decides its
answer), then has the two engines play the game on from the three stones, white to
move, with the self-play tool's checks. At the end, white's score by value range.
"""

import argparse
import random
import re
import sys

from brain import DEFAULT_ENGINE
from selfplay import Match, points, score_text

# Upper ends of the value ranges reported (the last range is open).
BOUNDS = [-150, -100, -60, -30, 0, 30, 60, 100, 150]


def draw_opening(rng, width, height, area):
    """Three distinct cells in the area by area square around the centre."""
    cx, cy = height // 2, width // 2
    low = -(area // 2)
    square = [(cx + dx, cy + dy) for dx in range(low, low + area) for dy in range(low, low + area)
              if 0 <= cx + dx < height and 0 <= cy + dy < width]
    return rng.sample(square, 3)


def value_range(v):
    for i, bound in enumerate(BOUNDS):
        if v < bound:
            return i
    return len(BOUNDS)


def range_text(i):
    if i == 0:
        return f"below {BOUNDS[0]}"
    if i == len(BOUNDS):
        return f"{BOUNDS[-1]} and above"
    return f"{BOUNDS[i - 1]} to {BOUNDS[i] - 1}"


class Calibration(Match):
    def __init__(self, args):
        args.openings = True
        args.swap2 = False
        args.swap2_check = 0
        super().__init__(args)
        self.rng = random.Random(args.seed)
        self.stones = None
        self.rows = []  # (white's value, white's points)

    def opening_moves(self, game):
        return list(self.stones)

    def white_value(self, stones):
        brain = self.brains[0]
        self.new_game(brain, 0)
        brain.send("SWAP2BOARD", *[f"{x},{y}" for x, y in stones], "DONE")
        _, _, others = brain.wait_for(lambda l: not l.startswith("MESSAGE"), self.hard_timeout())
        for line in others:
            m = re.match(r"^MESSAGE SWAP2 WHITE VAL:(-?\d+)", line)
            if m:
                return int(m.group(1))
        return None

    def play_game(self, game):
        self.stones = draw_opening(self.rng, self.width, self.height, self.args.area)
        value = self.white_value(self.stones)
        kind = super().play_game(game)
        white = points(kind, 2)
        if value is not None and white is not None:
            self.rows.append((value, white))
            print(f"calibration: value {value}, white scores {white}\n")
        return kind

    def summary(self):
        status = super().summary()
        print("white's score by white's value at three stones")
        by_range = {}
        for v, p in self.rows:
            by_range.setdefault(value_range(v), []).append(p)
        for i in sorted(by_range):
            print(f"  {range_text(i):>16}: {score_text(by_range[i])}")
        if len(self.rows) > 2:
            n = len(self.rows)
            mv = sum(v for v, _ in self.rows) / n
            mp = sum(p for _, p in self.rows) / n
            sxx = sum((v - mv) ** 2 for v, _ in self.rows)
            slope = sum((v - mv) * (p - mp) for v, p in self.rows) / sxx if sxx else 0.0
            print(f"  least squares: score = {mp:.3f} + {slope:.5f} * (value - {mv:.1f}); "
                  f"score 0.5 at value {mv + (0.5 - mp) / slope:.0f}" if slope else "  no slope")
        return status


def main():
    p = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    p.add_argument("--engine1", default=DEFAULT_ENGINE, help="the engine whose values are read")
    p.add_argument("--engine2", default=DEFAULT_ENGINE)
    p.add_argument("--games", type=int, default=100)
    p.add_argument("--rule", type=int, default=1, choices=[0, 1, 2])
    p.add_argument("--size", default="15")
    p.add_argument("--area", type=int, default=5, help="side of the square around the centre the stones come from")
    p.add_argument("--seed", type=int, default=1, help="seed of the openings drawn")
    p.add_argument("--timeout-turn", type=int, default=100)
    p.add_argument("--timeout-match", type=int, default=1000000)
    p.add_argument("--max-moves", type=int, default=0)
    p.add_argument("--info", action="append", default=[], metavar="KEY=VALUE")
    p.add_argument("--late-margin", type=int, default=50)
    p.add_argument("--hard-timeout", type=int, default=0)
    p.add_argument("--verbose", action="store_true")
    args = p.parse_args()
    args.no_swap = False
    if args.hard_timeout <= 0:
        args.hard_timeout = 10 * max(args.timeout_turn, 0) + 5000
    sys.exit(Calibration(args).run())


if __name__ == "__main__":
    main()
