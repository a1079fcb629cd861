#!/usr/bin/env python3
"""A match between two engine configurations: the same or different binaries, each with
its own INFO settings, from random short openings played with the colours both ways.

    tools/match.py --games 200 --timeout-turn 100 --info1 thread_num=2
    tools/match.py --engine2 path/to/other --info2 hash_size=65536 --rule 1

Each pair of games starts from the same opening (--stones cells drawn at random, with a
fixed --seed, in the --area by --area square around the centre, black first), engine1
black in the first game of the pair and white in the second. The self-play tool's
checks apply (legal replies, fives by rule, timing); at the end engine1's score with
twice its standard error. Exit status 1 on any fault.
"""

import argparse
import random
import sys

from brain import DEFAULT_ENGINE
from selfplay import Match, points, score_text


def draw_opening(rng, width, height, area, stones):
    cx, cy = height // 2, width // 2
    low = -(area // 2)
    square = [(cx + dx, cy + dy) for dx in range(low, low + area) for dy in range(low, low + area)
              if 0 <= cx + dx < height and 0 <= cy + dy < width]
    return rng.sample(square, stones)


class Pairing(Match):
    def __init__(self, args):
        args.openings = True
        args.swap2 = False
        args.swap2_check = 0
        args.no_swap = False
        super().__init__(args)
        self.rng = random.Random(args.seed)
        self.opening = []
        self.scores = []  # engine1's points per scored game

    def new_game(self, brain, index):
        super().new_game(brain, index)
        own = self.args.info1 if index == 0 else self.args.info2
        brain.send(*[f"INFO {item.replace('=', ' ', 1)}" for item in own])

    def opening_moves(self, game):
        if game % 2 == 0:
            a = self.args
            self.opening = draw_opening(self.rng, self.width, self.height, a.area, a.stones)
        return list(self.opening)

    def play_game(self, game):
        kind = super().play_game(game)
        own = points(kind, 1 if game % 2 == 0 else 2)  # engine1 is black in even games
        if own is not None:
            self.scores.append(own)
        return kind

    def summary(self):
        status = super().summary()
        a = self.args
        print(f"  engine1 ({' '.join(a.info1) or 'defaults'}) against engine2 ({' '.join(a.info2) or 'defaults'}): "
              f"{score_text(self.scores)}")
        return status


def make_parser():
    p = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    p.add_argument("--engine1", default=DEFAULT_ENGINE)
    p.add_argument("--engine2", default=DEFAULT_ENGINE)
    p.add_argument("--info1", action="append", default=[], metavar="KEY=VALUE", help="INFO line for engine1 only")
    p.add_argument("--info2", action="append", default=[], metavar="KEY=VALUE", help="INFO line for engine2 only")
    p.add_argument("--info", action="append", default=[], metavar="KEY=VALUE", help="INFO line for both")
    p.add_argument("--games", type=int, default=200)
    p.add_argument("--rule", type=int, default=0, choices=[0, 1, 2])
    p.add_argument("--size", default="15")
    p.add_argument("--stones", type=int, default=4, help="stones of each opening")
    p.add_argument("--area", type=int, default=5, help="side of the square around the centre they come from")
    p.add_argument("--seed", type=int, default=1)
    p.add_argument("--timeout-turn", type=int, default=100)
    p.add_argument("--timeout-match", type=int, default=0)
    p.add_argument("--max-moves", type=int, default=0)
    p.add_argument("--judge", action="store_true",
                   help="run every game the way the Gomocup judge does (fresh processes, suspended between moves)")
    p.add_argument("--max-memory", type=int, default=350 * 1024 * 1024,
                   help="with --judge: INFO max_memory, bytes (the judge's default 350 MiB)")
    p.add_argument("--late-margin", type=int, default=50)
    p.add_argument("--hard-timeout", type=int, default=0)
    p.add_argument("--verbose", action="store_true")
    # The self-play options a match does not offer: every game from the first, colours
    # swapped within each pair, the openings drawn here.
    p.set_defaults(first_game=1, no_swap=False, openings=None, swap2=False, swap2_check=0)
    return p


def main():
    p = make_parser()
    args = p.parse_args()
    if args.hard_timeout <= 0:
        args.hard_timeout = 10 * max(args.timeout_turn, 0) + 5000
    sys.exit(Pairing(args).run())


if __name__ == "__main__":
    main()
