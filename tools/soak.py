#!/usr/bin/env python3
"""Soak test: one engine process plays many games in a row against a second process.

    tools/soak.py                                  # 200 games at 20 ms per move
    tools/soak.py --games 30 --timeout-turn 50
    tools/soak.py --engine path/to/brain --partner path/to/other-brain

The soaked engine is started once and kept for every game. Games come in pairs on the
same board and rule with the colours swapped: the first game of a pair starts with
START n (square) or RECTSTART W,H, the second with RESTART. Rules 0, 1 and 2 take turns
from pair to pair, and the pairs go through every square size from 5 to 24 and a fixed
set of rectangles with sides from 5 to 24. Each game is played to a five or a full
board. The partner is a second engine process (by default the same binary, with small
hash tables), started afresh with START for every game.

Before every move the soaked engine gets INFO time_left with what a manager would send
(timeout_match less the time its replies took), so the match clock is realistic but
never binding by default (--timeout-match).

What it reports about the soaked engine:
- crashes and hangs (the soak stops there), and whether it exits with status 0 on END;
- illegal replies (a move off the board or on a stone), ERROR lines and lines of no
  known form;
- every reply's delay from the write of its command: worst, percentiles, how many went
  over timeout_turn and over timeout_turn + 30 ms, the worst first moves of a game, and
  the soaked process's time waiting for a processor during the worst reply (from /proc),
  to tell a busy machine from a slow engine;
- resident memory (VmRSS from /proc) before the first command, after the first game and
  at the end, the peak, and the hash tables' size for the hash_size in force: at the
  end the process must not hold more than its start plus the hash tables plus --rss-slack.

Exit status 1 on a crash, a hang, an illegal reply, an ERROR or unknown line, memory
beyond the bound, or an unclean exit; 0 otherwise. Replies over the limit are reported,
not failed, unless --fail-late is given.
"""

import argparse
import os
import sys
import time

from brain import DEFAULT_ENGINE, Brain, EngineDied, EngineHung, start_command
from selfplay import judge, run_lengths

DEFAULT_HASH_SIZE = 524288
BYTES_PER_HASH_UNIT = 384  # 2 transposition tables x 128 + 4 threat tables x 32
TIME_MARGIN_MS = 30

# Rectangles (width, height), each side 5..24, alternating with the squares.
RECTANGLES = [(20, 15), (5, 24), (24, 5), (7, 12), (15, 20), (24, 19), (9, 6), (6, 9),
              (13, 21), (21, 13), (5, 8), (11, 5), (24, 23), (23, 24), (10, 17), (17, 10),
              (8, 22), (22, 8), (12, 16), (16, 12)]


def schedule(games):
    """(rule, width, height, restart) for each game."""
    plan = []
    squares = list(range(5, 25))
    pair = 0
    while len(plan) < games:
        rule = pair % 3
        if pair % 2 == 0:
            side = squares[(pair // 2) % len(squares)]
            width = height = side
        else:
            width, height = RECTANGLES[(pair // 2) % len(RECTANGLES)]
        plan.append((rule, width, height, False))
        plan.append((rule, width, height, True))
        pair += 1
    return plan[:games]


def rss_kib(pid):
    """VmRSS and VmHWM of a process in KiB, from /proc; (None, None) when unavailable."""
    rss = hwm = None
    try:
        with open(f"/proc/{pid}/status") as f:
            for line in f:
                if line.startswith("VmRSS:"):
                    rss = int(line.split()[1])
                elif line.startswith("VmHWM:"):
                    hwm = int(line.split()[1])
    except OSError:
        pass
    return rss, hwm


def percentile(sorted_values, p):
    if not sorted_values:
        return 0.0
    return sorted_values[min(len(sorted_values) - 1, int(len(sorted_values) * p / 100.0))]


class Soak:
    def __init__(self, args):
        self.args = args
        self.faults = []
        self.illegal = 0
        self.errors = 0
        self.unknown = 0
        self.delays = []  # (ms, where, ms waiting for a processor)
        self.first_delays = []  # the soaked engine's first reply of each game
        self.results = {}
        self.rss = {}
        self.rss_peak = 0
        self.expect_ok = False
        self.games_done = 0
        self.crashed = None

    def fault(self, text):
        self.faults.append(text)
        print(f"FAULT: {text}", flush=True)

    def on_soaked_line(self, brain, line):
        if line.startswith("MESSAGE"):
            return
        if line == "OK" and self.expect_ok:
            return
        if line.startswith("ERROR"):
            self.errors += 1
            self.fault(f"soaked engine wrote {line!r}")
        else:
            self.unknown += 1
            self.fault(f"soaked engine wrote a line of no known form {line!r}")

    def on_partner_line(self, brain, line):
        if not (line.startswith("MESSAGE") or line == "OK"):
            print(f"  note: partner wrote {line!r}")

    def sample_rss(self, label):
        rss, hwm = rss_kib(self.soaked.proc.pid)
        if rss is not None:
            self.rss[label] = rss
            self.rss_peak = max(self.rss_peak, hwm or rss)
        return rss

    def start_soaked_game(self, rule, width, height, restart):
        args = self.args
        brain = self.soaked
        self.expect_ok = True
        brain.send("RESTART" if restart else start_command(width, height))
        _, line, _ = brain.wait_for(lambda l: l == "OK" or l.startswith("ERROR"), args.hard_timeout)
        self.expect_ok = False
        if line != "OK":
            self.on_soaked_line(brain, line)
            raise EngineDied(f"soaked engine refused the start ({line})")
        brain.send(f"INFO timeout_turn {args.timeout_turn}", f"INFO rule {rule}",
                   f"INFO timeout_match {args.timeout_match}", f"INFO time_left {args.timeout_match}",
                   "INFO game_type 1", *[f"INFO {kv.replace('=', ' ', 1)}" for kv in args.info])

    def start_partner_game(self, rule, width, height):
        args = self.args
        brain = self.partner
        brain.send(start_command(width, height))
        brain.wait_for(lambda l: l == "OK" or l.startswith("ERROR"), args.hard_timeout)
        brain.send(f"INFO timeout_turn {args.timeout_turn}", f"INFO rule {rule}",
                   *[f"INFO {kv.replace('=', ' ', 1)}" for kv in args.partner_info])

    def play(self, game, rule, width, height, restart):
        args = self.args
        soaked_colour = 1 if game % 2 == 0 else 2
        self.start_soaked_game(rule, width, height, restart)
        self.start_partner_game(rule, width, height)
        grid = [[0] * width for _ in range(height)]
        moves = []
        used_ms = 0.0
        first_reply = True
        result = "draw (full board)"
        while len(moves) < width * height:
            colour = len(moves) % 2 + 1
            soaked_to_move = colour == soaked_colour
            brain = self.soaked if soaked_to_move else self.partner
            if soaked_to_move:
                brain.send(f"INFO time_left {max(0, int(args.timeout_match - used_ms))}")
                before = brain.sched_ms()
            if moves:
                x, y = moves[-1]
                sent = brain.send(f"TURN {x},{y}")
            else:
                sent = brain.send("BEGIN")
            x, y, stamp, others = brain.wait_move(args.hard_timeout)
            ms = (stamp - sent) * 1000.0
            where = f"game {game + 1} move {len(moves) + 1} (rule {rule}, {width}x{height})"
            if soaked_to_move:
                after = brain.sched_ms()
                waited = after[1] - before[1] if before and after else 0.0
                used_ms += ms
                if ms > args.timeout_turn + TIME_MARGIN_MS:
                    # Enough to replay the position (tools/run_positions.py form) and the
                    # engine's own account of the reply.
                    kernel = (f", {after[0] - before[0]:.0f} ms on a processor, {after[2] - before[2]:.0f} in the "
                              f"kernel" if before and after else "")
                    where += (f" [{rule} {width} {height} " + ";".join(f"{a},{b}" for a, b in moves) + "]" +
                              f"{kernel}; " + " / ".join(others[-2:]))
                self.delays.append((ms, where, waited))
                if first_reply:
                    self.first_delays.append((ms, where, waited))
                    first_reply = False
            if not (0 <= x < height and 0 <= y < width) or grid[x][y] != 0:
                why = "off the board" if not (0 <= x < height and 0 <= y < width) else "on a stone"
                if soaked_to_move:
                    self.illegal += 1
                    self.fault(f"{where}: illegal reply {x},{y} ({why})")
                else:
                    print(f"  note: {where}: the partner replied {x},{y} ({why})")
                result = "forfeit"
                break
            grid[x][y] = colour
            moves.append((x, y))
            wins, _ = judge(rule, colour, run_lengths(grid, height, width, x, y))
            if wins:
                result = "soaked engine wins" if soaked_to_move else "partner wins"
                break
        self.results[result] = self.results.get(result, 0) + 1
        if args.verbose:
            print(f"game {game + 1}: rule {rule}, {width}x{height}, {'RESTART' if restart else 'START'}, "
                  f"{len(moves)} moves, {result}", flush=True)

    def run(self):
        args = self.args
        self.soaked = Brain(args.engine, "soaked", self.on_soaked_line)
        self.partner = Brain(args.partner, "partner", self.on_partner_line)
        time.sleep(0.2)
        self.sample_rss("start")
        plan = schedule(args.games)
        began = time.monotonic()
        try:
            for game, (rule, width, height, restart) in enumerate(plan):
                self.play(game, rule, width, height, restart)
                self.games_done += 1
                rss = self.sample_rss(f"after game {game + 1}")
                if game == 0:
                    self.rss["after the first game"] = rss
                if not args.verbose and (game + 1) % 20 == 0:
                    print(f"{game + 1} games, {time.monotonic() - began:.0f} s, RSS {rss} KiB", flush=True)
        except (EngineDied, EngineHung) as exc:
            self.crashed = str(exc)
            self.fault(f"soak stopped: {exc}")
        self.sample_rss("end")
        status = self.soaked.close()
        if status is None:
            self.fault("soaked engine did not exit after END (killed)")
        elif status != 0:
            self.fault(f"soaked engine exited with status {status}")
        self.partner.close()
        return self.report(status, time.monotonic() - began)

    def report(self, status, seconds):
        args = self.args
        print()
        print("soak summary")
        print(f"  engine: {args.engine}; partner: {args.partner}")
        print(f"  games: {self.games_done} of {args.games} in {seconds:.0f} s; timeout_turn {args.timeout_turn} ms")
        print("  results: " + ", ".join(f"{k} {v}" for k, v in sorted(self.results.items())))
        print(f"  crashes or hangs: {1 if self.crashed else 0}" + (f" ({self.crashed})" if self.crashed else ""))
        print(f"  exit status after END: {status}")
        print(f"  illegal replies: {self.illegal}; ERROR lines: {self.errors}; lines of no known form: {self.unknown}")
        if self.delays:
            ms = sorted(d for d, _, _ in self.delays)
            worst = max(self.delays)
            limit = args.timeout_turn
            over = sum(1 for d in ms if d > limit)
            over_margin = [(d, w, q) for d, w, q in self.delays if d > limit + TIME_MARGIN_MS]
            print(f"  replies: {len(ms)}; delay median {percentile(ms, 50):.1f} ms, 90% {percentile(ms, 90):.1f}, "
                  f"99% {percentile(ms, 99):.1f}, 99.9% {percentile(ms, 99.9):.1f}, "
                  f"worst {worst[0]:.1f} ms ({worst[1]}, {worst[2]:.0f} ms waiting for a processor)")
            print(f"  over timeout_turn ({limit} ms): {over}; over timeout_turn + {TIME_MARGIN_MS} ms: "
                  f"{len(over_margin)}")
            for d, w, q in sorted(over_margin, reverse=True)[:10]:
                print(f"    {d:.1f} ms at {w} ({q:.0f} ms waiting for a processor)")
            firsts = sorted(d for d, _, _ in self.first_delays)
            print(f"  first reply of a game: median {percentile(firsts, 50):.1f} ms, worst {firsts[-1]:.1f} ms")
        hash_size = args.hash_size
        hash_kib = (hash_size * BYTES_PER_HASH_UNIT + (4 << 20)) // 1024  # with the alignment slack
        start = self.rss.get("start")
        first = self.rss.get("after the first game")
        end = self.rss.get("end")
        print(f"  resident memory (KiB): start {start}, after the first game {first}, end {end}, "
              f"peak {self.rss_peak}; hash tables {hash_size * BYTES_PER_HASH_UNIT // 1024} KiB "
              f"(hash_size {hash_size})")
        if start is not None and end is not None:
            bound = start + hash_kib + args.rss_slack * 1024
            growth = end - first if first is not None else 0
            print(f"  end - start = {end - start} KiB, bound {bound - start} KiB (hash tables + "
                  f"{args.rss_slack} MiB); end - after the first game = {growth} KiB")
            if end > bound:
                self.fault(f"resident memory {end} KiB at the end exceeds start + hash tables + slack ({bound} KiB)")
        if args.fail_late and self.delays and any(d > args.timeout_turn + TIME_MARGIN_MS for d, _, _ in self.delays):
            self.fault("replies later than timeout_turn + 30 ms")
        print(f"  faults: {len(self.faults)}")
        return 1 if self.faults else 0


def main():
    p = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    p.add_argument("--engine", default=DEFAULT_ENGINE, help="command of the soaked engine")
    p.add_argument("--partner", default=DEFAULT_ENGINE, help="command of the partner engine")
    p.add_argument("--games", type=int, default=200)
    p.add_argument("--timeout-turn", type=int, default=20, help="INFO timeout_turn for both, milliseconds")
    p.add_argument("--timeout-match", type=int, default=100000000, help="INFO timeout_match of the soaked engine")
    p.add_argument("--info", action="append", default=[], metavar="KEY=VALUE",
                   help="extra INFO line for the soaked engine every game (hash_size=N also sets the memory bound)")
    p.add_argument("--partner-info", action="append", default=None, metavar="KEY=VALUE",
                   help="extra INFO line for the partner (default hash_size=65536)")
    p.add_argument("--rss-slack", type=int, default=8, help="MiB allowed beyond start + hash tables")
    p.add_argument("--hard-timeout", type=float, default=10.0, help="seconds of silence that count as a hang")
    p.add_argument("--fail-late", action="store_true", help="exit status 1 on replies later than timeout_turn + 30 ms")
    p.add_argument("--verbose", action="store_true", help="one line per game")
    args = p.parse_args()
    if args.partner_info is None:
        args.partner_info = ["hash_size=65536"]
    args.hash_size = DEFAULT_HASH_SIZE
    for kv in args.info:
        key, _, value = kv.partition("=")
        if key == "hash_size":
            args.hash_size = max(1, int(value))
    sys.exit(Soak(args).run())


if __name__ == "__main__":
    main()
