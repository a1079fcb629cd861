#!/usr/bin/env python3
"""Plays two brains against each other over the protocol and checks what they answer.

    tools/selfplay.py --games 4 --rule 2 --size 15 --timeout-turn 100
    tools/selfplay.py --size 20x15 --openings --engine2 "path/to/other-brain"
    tools/selfplay.py --swap2 --rule 1 --games 10 --swap2-check 4
    tools/selfplay.py --judge --games 1 --timeout-turn 5000 --timeout-match 100000

The tool keeps its own board, checks that every reply is an empty cell on the board,
adjudicates fives (rule 0: five or more; rule 1: exactly five; rule 2: exactly five for
black, five or more for white; black's forbidden moves are not adjudicated, an overline
by black under rule 2 is only reported; Caro as Gomocup's referee judges it, rule 8: more
than five, or exactly five not blocked at both ends, rule 9: exactly five not blocked at
both ends, where the board's edge blocks as an opponent's stone does; a five blocked at
both ends is only reported), detects a full board, and measures every reply's delay from
the moment its command was written. It also counts a brain's false win claims: a
decision whose reported value says won (at least 10000) in a game the brain then does
not win.

With --swap2 each game opens as a Swap2 manager opens it: SWAP2BOARD with no stones to
the first player, with its three stones to the second player, and, when that one adds
two stones, with the five stones to the first player again; the colours follow the
answers, and the game goes on with BOARD to the side to move.

With --judge each game is run the way the Gomocup judge runs it: both brains are started
afresh for the game, START and the judge's INFO lines (timeout_turn, timeout_match,
max_memory, game_type, rule, folder) are written at once without waiting for OK, and the
brain is suspended (SIGSTOP) right away. For each of its moves INFO time_left and BOARD
(its first move, with every stone so far) or TURN are written while it is suspended; then
it is resumed (SIGCONT), its reply is timed from the resume, and it is suspended again.
The match clock loses the whole seconds of each reply, as the judge counts them, and a
reply later than min(time left, timeout_turn) plus the judge's tolerance (--late-margin,
1000 ms by default here) is a fault.

Coordinates are the engine's: for a board of width W and height H (START W, or
RECTSTART W,H) a cell is x,y with 0 <= x < H and 0 <= y < W. The board is printed with
x down and y across.

Exit status 0 when every game went cleanly; 1 on an illegal reply, a reply later than
timeout_turn plus the margin, an ERROR or unexpected line, a crash or a hung engine.
"""

import argparse
import re
import sys
import time

from brain import DEFAULT_ENGINE, MOVE_RE, Brain, EngineDied, EngineHung, start_command

# Short openings as offsets from the centre (dx, dy); all fit a 7 by 7 board.
OPENINGS = [
    [(0, 0), (0, 1), (1, 1)],
    [(0, 0), (1, 1), (2, 0)],
    [(0, 0), (0, 1), (2, 2)],
    [(0, 0), (-1, 1), (1, 2)],
    [(0, 0), (1, 0), (-1, 2)],
    [(0, 0), (1, 1), (-1, 2), (2, -1)],
    [(0, 0), (-1, -1)],
    [(0, 0), (2, 1), (1, -1), (-1, 2), (0, 2)],
]

DIRECTIONS = [(0, 1), (1, 0), (-1, 1), (1, 1)]


def parse_size(text):
    if "x" in text.lower():
        w, h = text.lower().split("x", 1)
        return int(w), int(h)
    return int(text), int(text)


def runs(grid, height, width, x, y):
    """For each of the four directions, the run of the stone at (x, y): its length, and how
    many of its ends have the board's edge or an opponent's stone right past them (Caro's
    blocks)."""
    colour = grid[x][y]
    found = []
    for dx, dy in DIRECTIONS:
        length, blocked = 1, 0
        for sign in (1, -1):
            cx, cy = x + sign * dx, y + sign * dy
            while 0 <= cx < height and 0 <= cy < width and grid[cx][cy] == colour:
                length += 1
                cx += sign * dx
                cy += sign * dy
            if not (0 <= cx < height and 0 <= cy < width) or grid[cx][cy] != 0:
                blocked += 1
        found.append((length, blocked))
    return found


def run_lengths(grid, height, width, x, y):
    """Length of the run of the stone at (x, y) in each of the four directions."""
    return [length for length, _ in runs(grid, height, width, x, y)]


def blocked_ends(grid, height, width, x, y):
    """For each direction, how many ends of the run of the stone at (x, y) are blocked."""
    return [blocked for _, blocked in runs(grid, height, width, x, y)]


def caro_blocked_five(rule, lengths, blocked):
    """Whether under Caro the stone makes a five blocked at both ends (no win)."""
    return rule in (8, 9) and any(n == 5 and b == 2 for n, b in zip(lengths, blocked))


def judge(rule, colour, lengths, blocked=(0, 0, 0, 0)):
    """(wins, overline) for a stone of `colour` (1 black, 2 white) with these run lengths
    and, for Caro, these counts of blocked ends (blocked_ends)."""
    longest = max(lengths)
    if rule == 8:  # Caro, five or more: longer always wins, exactly five unless blocked at both ends
        return any(n > 5 or (n == 5 and b < 2) for n, b in zip(lengths, blocked)), False
    if rule == 9:  # Caro, exactly five not blocked at both ends; an overline is reported
        return any(n == 5 and b < 2 for n, b in zip(lengths, blocked)), longest > 5
    if rule == 0:
        return longest >= 5, False
    if rule == 1:
        return 5 in lengths, longest > 5
    if colour == 1:  # Renju, black: exactly five; an overline is reported, not adjudicated
        return 5 in lengths, longest > 5
    return longest >= 5, False


def five_points(grid, height, width, rule, colour):
    """The empty cells where a stone of `colour` would win."""
    cells = set()
    for x in range(height):
        row = grid[x]
        for y in range(width):
            if row[y] != 0:
                continue
            row[y] = colour
            if judge(rule, colour, run_lengths(grid, height, width, x, y), blocked_ends(grid, height, width, x, y))[0]:
                cells.add((x, y))
            row[y] = 0
    return cells


def board_text(grid, height, width, last=None):
    marks = {0: ".", 1: "X", 2: "O"}
    rows = ["     " + "".join(f"{y:3d}" for y in range(width))]
    for x in range(height):
        cells = []
        for y in range(width):
            m = marks[grid[x][y]]
            cells.append(f"[{m}]" if last == (x, y) else f" {m} ")
        rows.append(f"{x:3d}  " + "".join(cells))
    return "\n".join(rows)


def parse_swap2_answer(line):
    """A SWAP2BOARD answer: "SWAP", or a list of (x, y) cells ("x,y x,y ..."); None for
    anything else."""
    if line.strip() == "SWAP":
        return "SWAP"
    words = line.split()
    cells = []
    for word in words:
        m = MOVE_RE.match(word)
        if m is None:
            return None
        cells.append((int(m.group(1)), int(m.group(2))))
    return cells or None


# The answers each stage of Swap2 allows: cell counts, and whether SWAP is one.
SWAP2_ANSWERS = {0: ((3,), False), 3: ((1, 2), True), 5: ((1,), True)}


def swap2_answer_problem(answer, stage, stones, height, width):
    """Why an answer to SWAP2BOARD with `stage` stones is not legal, or None when it is:
    the right form for the stage, every cell on the board, empty and named once."""
    counts, swap_allowed = SWAP2_ANSWERS[stage]
    if answer is None:
        return "not an answer"
    if answer == "SWAP":
        return None if swap_allowed else "SWAP with no stones"
    if len(answer) not in counts:
        return f"{len(answer)} cells with {stage} stones"
    taken = set(stones)
    for x, y in answer:
        if not (0 <= x < height and 0 <= y < width):
            return f"{x},{y} off the board"
        if (x, y) in taken:
            return f"{x},{y} taken"
        taken.add((x, y))
    return None


def swap2_outcome(proposal, answer3, answer5=None):
    """The opening a Swap2 exchange ends in: (stones in play order, which player has black
    ("opener" or "other"), the options chosen (at 3 stones, and at 5 when it came to
    that), the player whose answer fixed the colours).
    proposal: the opener's three cells; answer3: the other player's answer to them;
    answer5: the opener's answer to the five stones, when answer3 added two."""
    if answer3 == "SWAP":
        return list(proposal), "other", ["3: SWAP"], "other"
    if len(answer3) == 1:
        return list(proposal) + answer3, "opener", ["3: one stone"], "other"
    five = list(proposal) + answer3
    if answer5 == "SWAP":
        return five, "opener", ["3: two stones", "5: SWAP"], "opener"
    return five + answer5, "other", ["3: two stones", "5: stone"], "opener"


def points(kind, colour):
    """The score of the player of `colour` (1 black, 2 white) in a game that ended in
    `kind`; None when the game has no result to score (forfeit, move cap)."""
    if kind == "draw":
        return 0.5
    if kind in ("black", "white"):
        return 1.0 if (kind == "black") == (colour == 1) else 0.0
    return None


def score_text(scores):
    """Wins, draws and losses, the mean score and twice its standard error."""
    n = len(scores)
    if n == 0:
        return "no games"
    wins, draws = scores.count(1.0), scores.count(0.5)
    mean = sum(scores) / n
    spread = (sum((p - mean) ** 2 for p in scores) / (n - 1)) ** 0.5 if n > 1 else 0.0
    return (f"{wins} wins, {draws} draws, {n - wins - draws} losses: "
            f"score {mean:.3f} +- {2 * spread / n ** 0.5:.3f} (2 standard errors, {n} games)")


def claims_win(lines):
    """Whether a decision's lines report a won value."""
    return any((v := summary_value(line)) is not None and v >= 10000 for line in lines)


def summary_value(line):
    """The evaluation of a decision's summary line (plain or show_detail form), or None."""
    m = re.match(r"^MESSAGE Speed: \d+ \| Evaluation: (-?\d+)", line)
    if m:
        return int(m.group(1))
    fields = line.split("|")
    if line.startswith("MESSAGE ") and len(fields) == 8 and fields[3].strip().endswith("ms"):
        try:
            return int(fields[7].split()[0])
        except (ValueError, IndexError):
            return None
    return None


class Stats:
    def __init__(self):
        self.results = {}
        self.wins = {}
        self.replies = 0
        self.illegal = 0
        self.late = 0
        self.late_unwaited = 0  # late even without the time spent waiting for a processor
        self.errors = 0
        self.unexpected = 0
        self.overlines = 0
        self.blocked_fives = 0  # Caro: fives blocked at both ends, which do not win
        self.claims = 0  # games and sides whose brain said it had won
        self.false_claims = 0  # of those, the ones that did not win
        self.missed_wins = 0
        self.missed_blocks = 0
        self.faults = []
        self.worst = (0.0, None)  # (seconds, description)
        self.delays = []  # (seconds, description)
        self.first_delays = []  # (seconds, description): each brain's first reply of a game
        self.peak_resident = {}  # engine name -> the largest VmHWM seen, bytes
        # Swap2
        self.swap2_answers = 0
        self.swap2_illegal = 0
        self.swap2_options = {}
        self.swap2_black = []      # black's points per scored game
        self.swap2_chooser = {}    # "chose black" / "chose white" -> the chooser's points
        self.swap2_values = []     # the checked value of each proposed opening
        self.swap2_proposals = []  # (engine, cells)
        self.swap2_delays = []     # seconds, per answer

    def result(self, key):
        self.results[key] = self.results.get(key, 0) + 1

    def fault(self, text):
        self.faults.append(text)
        print(f"FAULT: {text}")


class Match:
    def __init__(self, args):
        self.args = args
        self.width, self.height = parse_size(args.size)
        self.stats = Stats()
        self.commands = [args.engine1, args.engine2]
        self.names = ["engine1", "engine2"]
        self.brains = [None, None]
        self.used_ms = [0.0, 0.0]
        self.expect_ok = set()
        self.analyst = None  # the engine that values proposed Swap2 openings (--swap2-check)
        self.analyst_warm = False

    # Lines other than move replies: MESSAGE and ERROR are the only ones allowed
    # (and OK after START).
    def on_line(self, brain, line):
        args = self.args
        if line.startswith("MESSAGE"):
            if args.verbose:
                print(f"  {brain.name}: {line}")
        elif line.startswith("ERROR"):
            self.stats.errors += 1
            self.stats.fault(f"{brain.name} wrote {line!r}")
        elif line == "OK" and brain.name in self.expect_ok:
            if args.verbose:
                print(f"  {brain.name}: {line}")
        else:
            self.stats.unexpected += 1
            self.stats.fault(f"{brain.name} wrote an unexpected line {line!r}")

    def hard_timeout(self):
        return self.args.hard_timeout / 1000.0

    def launch(self):
        for i in range(2):
            self.brains[i] = Brain(self.commands[i], self.names[i], self.on_line)

    def new_game_as_judge(self, brain, index):
        """START and the judge's INFO lines in one go, then the brain is suspended at once:
        the OK comes whenever the brain gets to it."""
        args = self.args
        self.expect_ok.add(brain.name)
        self.used_ms[index] = 0.0
        infos = [f"INFO timeout_turn {args.timeout_turn}", f"INFO timeout_match {args.timeout_match}",
                 f"INFO max_memory {args.max_memory}", "INFO game_type 1", f"INFO rule {args.rule}",
                 "INFO folder ./"]
        own = getattr(args, "info1" if index == 0 else "info2", [])
        infos += [f"INFO {item.replace('=', ' ', 1)}" for item in args.info + own]
        brain.send(start_command(self.width, self.height), *infos)
        brain.suspend()

    def new_game(self, brain, index):
        args = self.args
        if args.judge:
            self.new_game_as_judge(brain, index)
            return
        self.expect_ok.add(brain.name)
        brain.send(start_command(self.width, self.height))
        _, line, _ = brain.wait_for(lambda l: l == "OK" or l.startswith("ERROR"), self.hard_timeout())
        self.expect_ok.discard(brain.name)
        if line != "OK":
            self.on_line(brain, line)
            raise EngineDied(f"{brain.name}: refused the start ({line})")
        self.used_ms[index] = 0.0
        infos = [f"INFO timeout_turn {args.timeout_turn}", f"INFO rule {args.rule}", "INFO game_type 1"]
        if args.timeout_match > 0:
            infos += [f"INFO timeout_match {args.timeout_match}", f"INFO time_left {args.timeout_match}"]
        own = getattr(args, "info1" if index == 0 else "info2", [])
        infos += [f"INFO {item.replace('=', ' ', 1)}" for item in args.info + own]
        brain.send(*infos)

    def opening_moves(self, game):
        if not self.args.openings:
            return []
        usable = []
        cx, cy = self.height // 2, self.width // 2
        for opening in OPENINGS:
            cells = [(cx + dx, cy + dy) for dx, dy in opening]
            if all(0 <= x < self.height and 0 <= y < self.width for x, y in cells):
                usable.append(cells)
        if not usable:
            return []
        return usable[(game // 2) % len(usable)]

    def timed_reply(self, brain, i, sent, stamp, sched_before, where):
        """Books a reply's delay: the match clock, the delay list, the late check. The
        judge allows min(time left, timeout_turn) and charges whole seconds."""
        args = self.args
        st = self.stats
        delay = stamp - sent
        limit = args.timeout_turn
        if args.judge:
            limit = min(limit, args.timeout_match - self.used_ms[i])
        sched_after = brain.sched_ms()
        sched = ""
        waited = 0.0
        if sched_before and sched_after:
            waited = (sched_after[1] - sched_before[1]) / 1000.0
            sched = (f", {sched_after[0] - sched_before[0]:.0f} ms on a processor "
                     f"({sched_after[2] - sched_before[2]:.0f} in the kernel), "
                     f"{waited * 1000.0:.0f} ms waiting for one")
        if args.judge:
            self.used_ms[i] += int(max(0.0, delay - 0.01)) * 1000
        else:
            self.used_ms[i] += delay * 1000.0
        st.replies += 1
        st.delays.append((delay, where + sched))
        if delay > st.worst[0]:
            st.worst = (delay, where)
        if delay * 1000.0 > limit + args.late_margin:
            st.late += 1
            if (delay - waited) * 1000.0 > limit + args.late_margin:
                st.late_unwaited += 1
            st.fault(f"{where}: reply after {delay * 1000.0:.0f} ms "
                     f"(limit {limit:.0f} + {args.late_margin}{sched})")
        return delay

    def send_time_left(self, brain, i):
        """INFO time_left as a manager computes it; returns the turn limit the engine
        works out from it (min(timeout_turn, time_left / 16))."""
        args = self.args
        if args.timeout_match > 0:
            left = max(0, int(args.timeout_match - self.used_ms[i]))
            brain.send(f"INFO time_left {left}")
            return min(args.timeout_turn, left // 16)
        return args.timeout_turn

    def swap2_ask(self, game, i, stones, values):
        """SWAP2BOARD with these stones to brain i; its answer when legal, otherwise None
        (a fault). values collects the engine's own value lines (SWAP2 WHITE VAL)."""
        st = self.stats
        brain = self.brains[i]
        limit = self.send_time_left(brain, i)
        sched_before = brain.sched_ms()
        sent = brain.send("SWAP2BOARD", *[f"{x},{y}" for x, y in stones], "DONE")
        stamp, line, others = brain.wait_for(lambda l: not l.startswith("MESSAGE"), self.hard_timeout())
        for other in others:
            m = re.match(r"^MESSAGE SWAP2 WHITE VAL:(-?\d+)", other)
            if m:
                values.append(int(m.group(1)))
        where = f"game {game + 1} swap2 at {len(stones)} stones ({brain.name})"
        delay = self.timed_reply(brain, i, sent, stamp, sched_before, where)
        st.swap2_answers += 1
        st.swap2_delays.append(delay)
        answer = parse_swap2_answer(line)
        problem = swap2_answer_problem(answer, len(stones), stones, self.height, self.width)
        if problem is not None:
            if line.startswith("ERROR"):
                self.on_line(brain, line)
            st.swap2_illegal += 1
            st.fault(f"{where}: illegal answer {line!r} ({problem})")
            return None, limit
        if self.args.verbose:
            print(f"  {brain.name}: {line}  ({delay * 1000.0:.0f} ms)")
        return answer, limit

    def check_opening(self, stones, limit):
        """The value, for white to move, that a search of --swap2-check times the
        proposal's time limit gives the proposed three stones (a separate engine process)."""
        args = self.args
        if self.analyst is None:
            self.analyst = Brain(args.engine1, "analyst", lambda brain, line: None)
        a = self.analyst
        a.send(start_command(self.width, self.height), f"INFO rule {args.rule}",
               f"INFO timeout_turn {max(1, int(args.swap2_check * limit))}",
               *[f"INFO {item.replace('=', ' ', 1)}" for item in args.info])
        a.wait_for(lambda l: l == "OK", self.hard_timeout())
        if not self.analyst_warm:  # the first search of a process is charged 200 ms
            a.send("BEGIN")
            a.wait_move(self.hard_timeout())
            a.send(start_command(self.width, self.height))
            a.wait_for(lambda l: l == "OK", self.hard_timeout())
            self.analyst_warm = True
        block = [f"{x},{y},{2 if k % 2 == 0 else 1}" for k, (x, y) in enumerate(stones)]
        a.send("BOARD", *block, "DONE")
        _, _, _, others = a.wait_move(self.hard_timeout() + args.swap2_check * limit / 1000.0)
        for line in others:
            v = summary_value(line)
            if v is not None:
                return v
        return None

    def swap2_opening(self, game):
        """The Swap2 exchange as a manager runs it. Returns (stones, brain index -> colour,
        description), or None when an answer was illegal (the game is then forfeited)."""
        args = self.args
        st = self.stats
        opener = 0 if args.no_swap else game % 2
        other = 1 - opener
        values = []
        proposal, limit = self.swap2_ask(game, opener, [], values)
        if proposal is None:
            return None
        st.swap2_proposals.append((self.names[opener], proposal))
        checked = self.check_opening(proposal, limit) if args.swap2_check > 0 else None
        if checked is not None:
            st.swap2_values.append(checked)
        answer3, _ = self.swap2_ask(game, other, proposal, values)
        if answer3 is None:
            return None
        answer5 = None
        if answer3 != "SWAP" and len(answer3) == 2:
            answer5, _ = self.swap2_ask(game, opener, proposal + answer3, values)
            if answer5 is None:
                return None
        moves, black, options, chooser = swap2_outcome(proposal, answer3, answer5)
        for option in options:
            st.swap2_options[option] = st.swap2_options.get(option, 0) + 1
        black_index = opener if black == "opener" else other
        colour_of = {black_index: 1, 1 - black_index: 2}
        chooser_index = opener if chooser == "opener" else other
        cells = lambda cs: " ".join(f"{x},{y}" for x, y in cs)
        text = f"swap2: {self.names[opener]} proposes {cells(proposal)}"
        if checked is not None:
            text += f" (value {checked} at {args.swap2_check:g}x)"
        text += f"; {self.names[other]} answers {answer3 if answer3 == 'SWAP' else cells(answer3)}"
        if answer5 is not None:
            text += f"; {self.names[opener]} answers {answer5 if answer5 == 'SWAP' else cells(answer5)}"
        if values:
            text += "; white values " + " ".join(str(v) for v in values)
        text += f"; {', '.join(options)}; {self.names[black_index]} black"
        return moves, colour_of, text, chooser_index

    def skip_game(self, game):
        """A game before --first-game: with --swap2 its opener is asked for its proposal,
        which is thrown away, so that the engine's count of proposals (and with it the
        openings it draws) goes on as in a run that played the game."""
        if not self.args.swap2:
            return
        opener = 0 if self.args.no_swap else game % 2
        brain = self.brains[opener]
        self.new_game(brain, opener)
        self.send_time_left(brain, opener)
        brain.send("SWAP2BOARD", "DONE")
        _, line, _ = brain.wait_for(lambda l: not l.startswith("MESSAGE"), self.hard_timeout())
        if self.args.verbose:
            print(f"game {game + 1}: skipped; {brain.name} would propose {line}")

    def play_game(self, game):
        """Plays one game; returns how it ended ("black", "white", "draw", "forfeit" or
        "unfinished")."""
        args = self.args
        st = self.stats
        for i in range(2):
            self.new_game(self.brains[i], i)
        swap2 = None
        if args.swap2:
            opening = self.swap2_opening(game)
            if opening is None:
                st.result("forfeit")
                print(f"game {game + 1}: result: forfeit, illegal Swap2 answer\n")
                return "forfeit"
            moves, colour_of, note, swap2 = opening
        else:
            swap = (game % 2 == 1) and not args.no_swap
            colour_of = {0: 2, 1: 1} if swap else {0: 1, 1: 2}  # brain index -> colour
            moves = self.opening_moves(game)
            note = ("opening " + " ".join(f"{x},{y}" for x, y in moves)) if moves else ""
        brain_of = {c: i for i, c in colour_of.items()}

        grid = [[0] * self.width for _ in range(self.height)]
        for k, (x, y) in enumerate(moves):
            grid[x][y] = k % 2 + 1
        known = [0, 0]  # moves each brain has been told of or has made
        claimed = {1: False, 2: False}  # colour -> a decision of its brain said won
        cells = self.width * self.height
        label = (f"game {game + 1}: {self.names[brain_of[1]]} black, {self.names[brain_of[2]]} white, "
                 f"rule {args.rule}, {self.width}x{self.height}")
        if note:
            label += ", " + note
        print(label)
        result = None
        last = moves[-1] if moves else None
        while result is None:
            if len(moves) >= cells:
                result = ("draw", "full board")
                break
            if args.max_moves and len(moves) >= args.max_moves:
                result = ("unfinished", f"move cap {args.max_moves}")
                break
            colour = len(moves) % 2 + 1
            i = brain_of[colour]
            brain = self.brains[i]
            self.send_time_left(brain, i)
            sched_before = brain.sched_ms()
            if args.judge:
                # Written while the brain is suspended; its time runs from the resume.
                if known[i] == 0:
                    block = [f"{x},{y},{1 if k % 2 + 1 == colour else 2}" for k, (x, y) in enumerate(moves)]
                    brain.send("BOARD", *block, "DONE")
                else:
                    brain.send(f"TURN {moves[-1][0]},{moves[-1][1]}")
                sent = brain.resume()
            elif not moves:
                sent = brain.send("BEGIN")
            elif known[i] == 0 and len(moves) > 1:
                block = [f"{x},{y},{1 if k % 2 + 1 == colour else 2}" for k, (x, y) in enumerate(moves)]
                sent = brain.send("BOARD", *block, "DONE")
            else:
                assert len(moves) - known[i] == 1
                x, y = moves[-1]
                sent = brain.send(f"TURN {x},{y}")
            own_fives = five_points(grid, self.height, self.width, args.rule, colour)
            their_fives = five_points(grid, self.height, self.width, args.rule, colour ^ 3)
            x, y, stamp, others = brain.wait_move(self.hard_timeout())
            if args.judge:
                brain.suspend()
            where = f"game {game + 1} move {len(moves) + 1} ({brain.name})"
            first_reply = known[i] == 0
            delay = self.timed_reply(brain, i, sent, stamp, sched_before, where)
            if first_reply:
                st.first_delays.append((delay, where))
            if args.verbose:
                print(f"  {brain.name}: {x},{y}  ({delay * 1000.0:.0f} ms)")
            if not (0 <= x < self.height and 0 <= y < self.width) or grid[x][y] != 0:
                st.illegal += 1
                why = "off the board" if not (0 <= x < self.height and 0 <= y < self.width) else "occupied"
                st.fault(f"{where}: illegal reply {x},{y} ({why})")
                result = ("forfeit", f"{brain.name} illegal reply {x},{y}")
                break
            if own_fives and (x, y) not in own_fives:
                st.missed_wins += 1
                st.fault(f"{where}: played {x},{y} while it had a five at "
                         + " ".join(f"{a},{b}" for a, b in sorted(own_fives)))
            elif their_fives and not own_fives and (x, y) not in their_fives:
                # Not a fault by itself: under Renju black may be unable to block on a forbidden point.
                st.missed_blocks += 1
                print(f"  note: {where}: played {x},{y} without blocking the opponent's five at "
                      + " ".join(f"{a},{b}" for a, b in sorted(their_fives)))
            grid[x][y] = colour
            moves.append((x, y))
            known[i] = len(moves)
            last = (x, y)
            lengths = run_lengths(grid, self.height, self.width, x, y)
            blocked = blocked_ends(grid, self.height, self.width, x, y)
            wins, overline = judge(args.rule, colour, lengths, blocked)
            if claims_win(others):
                claimed[colour] = True
            if overline:
                st.overlines += 1
                print(f"  note: {where}: {'black' if colour == 1 else 'white'} made an overline at {x},{y}"
                      + (" (no win)" if args.rule in (1, 9) else " (not adjudicated)"))
            if caro_blocked_five(args.rule, lengths, blocked):
                st.blocked_fives += 1
                print(f"  note: {where}: {'black' if colour == 1 else 'white'} made a five blocked at both ends "
                      f"at {x},{y} (no win)")
            if wins:
                result = ("black" if colour == 1 else "white", f"five at move {len(moves)} ({x},{y})")

        print(board_text(grid, self.height, self.width, last))
        # The game in the positions-file form (RULE WIDTH HEIGHT MOVES), to replay a move.
        print(f"moves: {args.rule} {self.width} {self.height} " + ";".join(f"{x},{y}" for x, y in moves))
        kind, detail = result
        for c, said in claimed.items():
            st.claims += said
            if said and kind != ("black" if c == 1 else "white"):
                st.false_claims += 1
                print(f"  note: {self.names[brain_of[c]]} ({'black' if c == 1 else 'white'}) claimed a win "
                      "and did not win")
        if kind in ("black", "white"):
            winner = self.names[brain_of[1 if kind == "black" else 2]]
            st.wins[winner] = st.wins.get(winner, 0) + 1
            print(f"result: {kind} ({winner}) wins, {detail}, {len(moves)} moves")
        else:
            print(f"result: {kind}, {detail}, {len(moves)} moves")
        st.result(kind)
        if swap2 is not None and points(kind, 1) is not None:
            chooser = swap2
            st.swap2_black.append(points(kind, 1))
            chose = "chose black" if colour_of[chooser] == 1 else "chose white"
            st.swap2_chooser.setdefault(chose, []).append(points(kind, colour_of[chooser]))
        print()
        return kind

    def close_brains(self, aborted):
        for i, brain in enumerate(self.brains):
            if brain is None:
                continue
            peak = brain.resident_peak_bytes()
            if peak is not None:
                self.stats.peak_resident[brain.name] = max(peak, self.stats.peak_resident.get(brain.name, 0))
            status = brain.close()
            if status is None:
                self.stats.fault(f"{brain.name} did not exit after END (killed)")
            elif status != 0 and not aborted:
                self.stats.fault(f"{brain.name} exited with status {status}")
            self.brains[i] = None

    def run(self):
        args = self.args
        if not args.judge:
            self.launch()
        aborted = None
        try:
            for game in range(args.first_game - 1):
                self.skip_game(game)
            for game in range(args.first_game - 1, args.games):
                if args.judge:  # the judge starts the brains afresh for every game
                    self.launch()
                self.play_game(game)
                if args.judge:
                    self.close_brains(None)
        except (EngineDied, EngineHung) as exc:
            aborted = str(exc)
            self.stats.fault(f"match stopped: {exc}")
        finally:
            if self.analyst is not None:
                self.analyst.close()
            self.close_brains(aborted)
        return self.summary()

    def summary(self):
        args = self.args
        st = self.stats
        played = sum(st.results.values())
        print("summary")
        print(f"  engines: engine1 = {args.engine1}; engine2 = {args.engine2}")
        print(f"  rule {args.rule}, board {self.width}x{self.height}, timeout_turn {args.timeout_turn} ms")
        print(f"  games: {played} of {args.games - args.first_game + 1}")
        print("  results: " + (", ".join(f"{k} {v}" for k, v in sorted(st.results.items())) or "none"))
        print("  wins: " + (", ".join(f"{k} {v}" for k, v in sorted(st.wins.items())) or "none"))
        print(f"  replies: {st.replies}, illegal {st.illegal}, late {st.late}, ERROR lines {st.errors}, "
              f"unexpected lines {st.unexpected}, overlines {st.overlines}")
        print(f"  missed fives {st.missed_wins}, unblocked fives {st.missed_blocks}")
        if args.rule in (8, 9):
            print(f"  fives blocked at both ends (no win): {st.blocked_fives}")
        print(f"  win claims: {st.claims} (games and sides), false: {st.false_claims}")
        print(f"  late replies still late without their wait for a processor: {st.late_unwaited} of {st.late}")
        if st.replies:
            worst, where = st.worst
            ms = sorted(d * 1000.0 for d, _ in st.delays)
            median = ms[len(ms) // 2]
            p99 = ms[min(len(ms) - 1, int(len(ms) * 0.99))]
            counted = "counted from the resume" if args.judge else "counted from the command"
            print(f"  delay ({counted}): worst {worst * 1000.0:.1f} ms ({where}), median {median:.1f} ms, "
                  f"99th percentile {p99:.1f} ms, limit {args.timeout_turn} + {args.late_margin} ms")
            if st.first_delays:
                first, where_first = max(st.first_delays)
                print(f"  first replies of a game: {len(st.first_delays)}, worst {first * 1000.0:.1f} ms "
                      f"({where_first})")
            over = [f"{d * 1000.0:.0f} ms {w}" for d, w in st.delays if d * 1000.0 > args.timeout_turn]
            if over:
                print(f"  replies over timeout_turn: {len(over)}: " + "; ".join(over[:12])
                      + (" ..." if len(over) > 12 else ""))
        for name, peak in sorted(st.peak_resident.items()):
            print(f"  peak resident size of {name}: {peak / 1048576.0:.1f} MiB")
        if args.swap2:
            self.swap2_summary()
        print(f"  faults: {len(st.faults)}")
        return 1 if st.faults else 0

    def swap2_summary(self):
        st = self.stats
        print(f"  swap2 answers: {st.swap2_answers}, illegal {st.swap2_illegal}")
        if st.swap2_delays:
            ms = sorted(d * 1000.0 for d in st.swap2_delays)
            print(f"  swap2 answer delays: median {ms[len(ms) // 2]:.1f} ms, worst {ms[-1]:.1f} ms")
        at = lambda stage: ", ".join(f"{k[3:]} {v}" for k, v in sorted(st.swap2_options.items())
                                     if k.startswith(stage)) or "none"
        print(f"  swap2 options at 3 stones: {at('3')}; at 5 stones: {at('5')}")
        print(f"  black: {score_text(st.swap2_black)}")
        for chose, scores in sorted(st.swap2_chooser.items()):
            print(f"  the player that fixed the colours and {chose}: {score_text(scores)}")
        chooser_all = [p for scores in st.swap2_chooser.values() for p in scores]
        print(f"  the player that fixed the colours, all games: {score_text(chooser_all)}")
        distinct = len({tuple(cells) for _, cells in st.swap2_proposals})
        print(f"  proposed openings: {len(st.swap2_proposals)}, {distinct} distinct")
        if st.swap2_values:
            v = st.swap2_values
            mean = sum(v) / len(v)
            sd = (sum((a - mean) ** 2 for a in v) / (len(v) - 1)) ** 0.5 if len(v) > 1 else 0.0
            ordered = sorted(v)
            print(f"  proposed openings' value for white at {self.args.swap2_check:g}x the time: mean {mean:.1f}, "
                  f"standard deviation {sd:.1f}, mean absolute {sum(abs(a) for a in v) / len(v):.1f}, "
                  f"median {ordered[len(v) // 2]}, range {ordered[0]}..{ordered[-1]} ({len(v)} openings)")


def make_parser():
    p = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    p.add_argument("--engine1", default=DEFAULT_ENGINE, help="command of the first engine (black in odd games)")
    p.add_argument("--engine2", default=DEFAULT_ENGINE, help="command of the second engine")
    p.add_argument("--games", type=int, default=2)
    p.add_argument("--first-game", type=int, default=1, metavar="N",
                   help="play games N to --games only, as the rest of a run stopped before game N; with --swap2 "
                        "the openers still make the skipped games' proposals, so the openings continue")
    p.add_argument("--rule", type=int, default=0, choices=[0, 1, 2, 8, 9])
    p.add_argument("--size", default="15", help="W or WxH (RECTSTART W,H when they differ)")
    p.add_argument("--timeout-turn", type=int, default=100, help="INFO timeout_turn, milliseconds")
    p.add_argument("--timeout-match", type=int, default=1000000,
                   help="INFO timeout_match; time_left is sent before every move (0: not sent)")
    p.add_argument("--max-moves", type=int, default=0, help="stop a game after this many stones (0: no cap)")
    p.add_argument("--openings", action="store_true", help="start games from fixed short openings (sent by BOARD)")
    p.add_argument("--no-swap", action="store_true",
                   help="engine1 plays black in every game (with --swap2: engine1 always opens)")
    p.add_argument("--swap2", action="store_true",
                   help="open every game by Swap2 (SWAP2BOARD), the engines alternating as the first player")
    p.add_argument("--swap2-check", type=float, default=0, metavar="FACTOR",
                   help="with --swap2: value each proposed opening with a third engine process searching "
                        "FACTOR times the proposal's time limit (0: not valued)")
    p.add_argument("--info", action="append", default=[], metavar="KEY=VALUE", help="extra INFO line for both")
    p.add_argument("--info1", action="append", default=[], metavar="KEY=VALUE", help="extra INFO line for engine1")
    p.add_argument("--info2", action="append", default=[], metavar="KEY=VALUE", help="extra INFO line for engine2")
    p.add_argument("--judge", action="store_true",
                   help="run every game the way the Gomocup judge does (fresh processes, suspended between moves)")
    p.add_argument("--max-memory", type=int, default=350 * 1024 * 1024,
                   help="with --judge: INFO max_memory, bytes (the judge's default 350 MiB)")
    p.add_argument("--late-margin", type=int, default=None,
                   help="milliseconds allowed beyond the turn limit (50; with --judge the judge's tolerance, 1000)")
    p.add_argument("--hard-timeout", type=int, default=0,
                   help="milliseconds after which a silent engine counts as hung (default 10 x timeout_turn + 5000)")
    p.add_argument("--verbose", action="store_true", help="show every line the engines write")
    return p


def main():
    p = make_parser()
    args = p.parse_args()
    if args.hard_timeout <= 0:
        args.hard_timeout = 10 * max(args.timeout_turn, 0) + 5000
    if args.timeout_match <= 0:
        args.timeout_match = 0
    if not 1 <= args.first_game <= max(args.games, 1):
        p.error("--first-game must lie between 1 and --games")
    if args.swap2 and args.openings:
        p.error("--swap2 and --openings exclude each other")
    if args.judge and args.swap2:
        p.error("--judge and --swap2 exclude each other")
    if args.late_margin is None:
        args.late_margin = 1000 if args.judge else 50
    sys.exit(Match(args).run())


if __name__ == "__main__":
    main()
