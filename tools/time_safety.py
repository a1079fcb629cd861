#!/usr/bin/env python3
"""Measures how late the engine's replies come against timeout_turn and time_left.

    tools/time_safety.py                       # both parts, the default amounts
    tools/time_safety.py --turns 50,100 --decisions 100
    tools/time_safety.py --part time_left --time-left 1000,300
    tools/time_safety.py --part turn --turns 100,1000 --info thread_num=4

Part turn: for each timeout_turn value, one fresh engine process plays games against a
fast partner (the same binary with a small node budget) until it has made the given
number of decisions that searched (replies without a search, such as the opening move
or a forced block, come at once and are counted apart). Games go through START and
RESTART on 15x15, 20x20, 24x24 and 20x15 boards with rules 0, 1, 2; the engine plays
white in the first game, so the process's first reply is a search, and each game's
first decision is among them. Every reply is timed from the write of its command to the
moment its line is read. Reported per timeout_turn: the percentiles and the worst delay
of the searching replies, how many replies came later than timeout_turn + 30 ms, the
number and worst of all replies, the process's first reply, the worst first reply of a
later game, and, for the worst reply, the engine's time on a processor, in the kernel
and waiting for a processor (from /proc), to tell a busy machine from a slow engine.

Part time_left: games in which the engine's match clock is small. Before every move
the engine gets INFO time_left with the match time less what its replies took so far,
as a manager computes it, and timeout_turn is left large. To have as many moves as a
board allows, a game goes on past a five until the board is full (or --max-moves): the
engine answers every move all the same. It must never use more than its match time. Reported per
game: the match time, the moves made, the time used, the least time left, and the
slowest reply.

Exit status 1 when a reply came later than timeout_turn + 30 ms or a match clock ran
out; 0 otherwise. Run it on an otherwise quiet machine: a busy one shows up as time
waiting for a processor.
"""

import argparse
import re
import sys

from brain import DEFAULT_ENGINE, Brain, EngineDied, EngineHung, start_command
from selfplay import judge, run_lengths

MARGIN_MS = 30
# The summary line before a move: "MESSAGE A | depth | reached | Tms | ..."; a decision
# taken without a search (the opening move, a forced block, a won position) reports 0 ms
# and depth 0.
SUMMARY_RE = re.compile(r"^MESSAGE [\d.]+ \| (\d+) \| -?\d+ \| (-?\d+)ms")
GAMES = [(0, 15, 15), (1, 20, 20), (2, 24, 24), (0, 20, 15), (2, 15, 15), (1, 24, 24)]


def percentile(sorted_values, p):
    return sorted_values[min(len(sorted_values) - 1, int(len(sorted_values) * p / 100.0))]


class Player:
    """The engine under measurement and its partner, playing one game at a time."""

    def __init__(self, args, infos):
        self.args = args
        self.engine = Brain(args.engine, "engine")
        self.partner = Brain(args.engine, "partner")
        self.infos = infos
        self.size = None

    def close(self):
        status = self.engine.close()
        self.partner.close()
        return status

    def new_game(self, rule, width, height):
        restart = self.size == (width, height)
        self.size = (width, height)
        self.engine.send("RESTART" if restart else start_command(width, height))
        self.engine.wait_for(lambda l: l == "OK", 60)
        self.engine.send(f"INFO rule {rule}", *self.infos)
        self.partner.send(start_command(width, height))
        self.partner.wait_for(lambda l: l == "OK", 60)
        self.partner.send(f"INFO rule {rule}", "INFO timeout_turn 1000", "INFO max_node 16",
                          "INFO hash_size 16384")

    def play(self, rule, width, height, engine_black, on_reply, before_move=None, max_moves=0, to_full=False):
        """Plays one game; on_reply(ms, sched_before, sched_after, number, searched) for each
        of the engine's replies, searched telling whether the engine's summary reports a
        search. With to_full the game goes on past a five until the board is
        full (or max_moves), which gives the most moves a board allows. Returns the number
        of stones played."""
        self.new_game(rule, width, height)
        grid = [[0] * width for _ in range(height)]
        moves = []
        engine_colour = 1 if engine_black else 2
        number = 0
        while len(moves) < width * height and not (max_moves and len(moves) >= max_moves):
            colour = len(moves) % 2 + 1
            mine = colour == engine_colour
            brain = self.engine if mine else self.partner
            if mine and before_move:
                before_move()
            before = brain.sched_ms() if mine else None
            sent = brain.send(f"TURN {moves[-1][0]},{moves[-1][1]}" if moves else "BEGIN")
            x, y, stamp, others = brain.wait_move(60)
            if mine:
                searched = False
                for line in others:
                    m = SUMMARY_RE.match(line)
                    if m:
                        searched = int(m.group(1)) > 0 or int(m.group(2)) > 0
                on_reply((stamp - sent) * 1000.0, before, brain.sched_ms(), number, searched)
                number += 1
            if not (0 <= x < height and 0 <= y < width) or grid[x][y]:
                raise EngineDied(f"{brain.name}: illegal reply {x},{y}")
            grid[x][y] = colour
            moves.append((x, y))
            if not to_full and judge(rule, colour, run_lengths(grid, height, width, x, y))[0]:
                break
        return len(moves)


def sched_text(before, after):
    if not before or not after:
        return ""
    return (f"{after[0] - before[0]:.0f} ms on a processor, {after[2] - before[2]:.0f} in the kernel, "
            f"{after[1] - before[1]:.0f} waiting")


def turn_part(args):
    failed = False
    print(f"timeout_turn: delays in ms of the replies that searched (limit timeout_turn + {MARGIN_MS}); "
          f"all: every reply")
    print(f"{'turn':>6} {'n':>5} {'median':>7} {'90%':>7} {'99%':>7} {'worst':>7} {'late':>5} "
          f"{'all n':>6} {'worst':>7} {'first':>7} {'game 1st':>8}  worst reply")
    for turn in args.turns:
        player = Player(args, [f"INFO timeout_turn {turn}"] + args.infos)
        searched = []
        every = []
        firsts = []
        worst = (0.0, "")
        game = 0
        try:
            while len(searched) < args.decisions:
                rule, width, height = GAMES[game % len(GAMES)]

                def on_reply(ms, before, after, number, did_search, game=game):
                    nonlocal worst
                    every.append(ms)
                    if did_search:
                        searched.append(ms)
                    if number == 0:
                        firsts.append(ms)
                    if ms > worst[0]:
                        worst = (ms, f"game {game + 1} reply {number + 1}: {sched_text(before, after)}")

                # White first: the process's first reply is then a search.
                player.play(rule, width, height, game % 2 == 1, on_reply)
                game += 1
        finally:
            status = player.close()
        ms = sorted(searched)
        late = sum(1 for d in every if d > turn + MARGIN_MS)
        failed |= late > 0 or status != 0
        later_firsts = max(firsts[1:]) if len(firsts) > 1 else 0.0
        print(f"{turn:>6} {len(ms):>5} {percentile(ms, 50):>7.1f} {percentile(ms, 90):>7.1f} "
              f"{percentile(ms, 99):>7.1f} {ms[-1]:>7.1f} {late:>5} {len(every):>6} {max(every):>7.1f} "
              f"{firsts[0]:>7.1f} {later_firsts:>8.1f}  {worst[1]}", flush=True)
    return failed


def time_left_part(args):
    failed = False
    print("time_left: match clocks (ms)")
    print(f"{'match':>6} {'board':>7} {'rule':>4} {'moves':>5} {'used':>8} {'least left':>10} {'slowest':>8}")
    for match in args.time_left:
        for rule, width, height in [(0, 24, 24), (1, 15, 15), (2, 20, 20)]:
            player = Player(args, ["INFO timeout_turn 30000", f"INFO timeout_match {match}"] + args.infos)
            used = 0.0
            least = float(match)
            slowest = 0.0

            def before_move():
                player.engine.send(f"INFO time_left {max(0, int(match - used))}")

            def on_reply(ms, before, after, number, searched):
                nonlocal used, least, slowest
                used += ms
                least = min(least, match - used)
                slowest = max(slowest, ms)

            try:
                moves = player.play(rule, width, height, True, on_reply, before_move, args.max_moves, True)
            finally:
                player.close()
            mine = (moves + 1) // 2
            failed |= used > match
            print(f"{match:>6} {width:>3}x{height:<3} {rule:>4} {mine:>5} {used:>8.1f} {least:>10.1f} "
                  f"{slowest:>8.1f}" + ("  RAN OUT" if used > match else ""), flush=True)
    return failed


def main():
    p = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    p.add_argument("--engine", default=DEFAULT_ENGINE)
    p.add_argument("--part", choices=["turn", "time_left", "both"], default="both")
    p.add_argument("--turns", default="50,100,200,500,1000", help="timeout_turn values, ms")
    p.add_argument("--decisions", type=int, default=150, help="decisions per timeout_turn value")
    p.add_argument("--time-left", default="1000,300,100", help="match times for the time_left part, ms")
    p.add_argument("--max-moves", type=int, default=0, help="stones per time_left game at most (0: to the end)")
    p.add_argument("--info", action="append", default=[], metavar="KEY=VALUE",
                   help="extra INFO line for the measured engine, e.g. thread_num=4")
    args = p.parse_args()
    args.infos = [f"INFO {item.replace('=', ' ', 1)}" for item in args.info]
    args.turns = [int(v) for v in args.turns.split(",")]
    args.time_left = [int(v) for v in args.time_left.split(",")]
    failed = False
    try:
        if args.part in ("turn", "both"):
            failed |= turn_part(args)
        if args.part in ("time_left", "both"):
            failed |= time_left_part(args)
    except (EngineDied, EngineHung) as exc:
        print(f"stopped: {exc}")
        failed = True
    sys.exit(1 if failed else 0)


if __name__ == "__main__":
    main()
