#!/usr/bin/env python3
"""Checks of the tools' own judgement: who wins under each rule, and which report fields
count as times. Run: python3 tools/test_tools.py"""

import contextlib
import io
import os
import shlex
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from bench_signature import compare, read_bench  # noqa: E402
from check_layers import crossings  # noqa: E402
from run_positions import without_times  # noqa: E402
import match  # noqa: E402
import selfplay  # noqa: E402
from selfplay import (blocked_ends, claims_win, five_points, judge, parse_swap2_answer, points,  # noqa: E402
                      run_lengths, score_text, summary_value, swap2_answer_problem, swap2_outcome)
from swap2_book import canonical, candidates, symmetries  # noqa: E402
from swap2_calibrate import draw_opening, value_range  # noqa: E402
from soak import schedule  # noqa: E402


def grid_with(height, width, stones):
    grid = [[0] * width for _ in range(height)]
    for (x, y), colour in stones.items():
        grid[x][y] = colour
    return grid


class LayerCheck(unittest.TestCase):
    def test_only_includes_reaching_up_are_listed(self):
        import tempfile
        with tempfile.TemporaryDirectory() as src:
            files = {
                "core/a.h": '#include "core/b.h"\n',
                "board/board.h": '#include "core/a.h"\n#include <vector>\n',
                "threats/t.cpp": '#include "board/board.h"\n  # include "search/worker.h"\n',
                "protocol/p.cpp": '#include "control/game.h"\n#include "threats/t.h"\n',
            }
            for name, text in files.items():
                os.makedirs(os.path.join(src, os.path.dirname(name)), exist_ok=True)
                with open(os.path.join(src, name), "w") as f:
                    f.write(text)
            found = crossings(src)
        self.assertEqual(len(found), 1)
        self.assertTrue(found[0].startswith("threats/t.cpp:2: threats includes"), found[0])


class Adjudication(unittest.TestCase):
    def test_run_lengths_follow_each_direction(self):
        # A diagonal of four through (5, 5) and a column of two.
        stones = {(2, 2): 1, (3, 3): 1, (4, 4): 1, (5, 5): 1, (6, 5): 1}
        grid = grid_with(15, 15, stones)
        self.assertEqual(run_lengths(grid, 15, 15, 5, 5), [1, 2, 1, 4])

    def test_anti_diagonal_on_a_rectangular_board(self):
        # Height 6, width 10: x below 6, y below 10; the run ends at the board's edge.
        stones = {(5, 3): 2, (4, 4): 2, (3, 5): 2, (2, 6): 2, (1, 7): 2}
        grid = grid_with(6, 10, stones)
        self.assertEqual(run_lengths(grid, 6, 10, 3, 5)[2], 5)

    def test_overline_by_rule(self):
        six = [6, 1, 1, 1]
        self.assertEqual(judge(0, 1, six), (True, False))
        self.assertEqual(judge(1, 1, six), (False, True))
        self.assertEqual(judge(1, 2, six), (False, True))
        self.assertEqual(judge(2, 1, six), (False, True))  # black's overline: reported, no win
        self.assertEqual(judge(2, 2, six), (True, False))  # white wins with six under Renju

    def test_five_beside_an_overline_still_wins(self):
        self.assertEqual(judge(1, 1, [6, 5, 1, 1]), (True, True))
        self.assertEqual(judge(2, 1, [6, 5, 1, 1]), (True, True))

    def test_five_points_skip_cells_that_make_an_overline(self):
        # Row 7, y = 0..6: . X X X X . X  -- (7, 5) joins six, (7, 0) makes exactly five.
        stones = {(7, 1): 1, (7, 2): 1, (7, 3): 1, (7, 4): 1, (7, 6): 1}
        grid = grid_with(15, 15, stones)
        self.assertEqual(five_points(grid, 15, 15, 0, 1), {(7, 0), (7, 5)})
        self.assertEqual(five_points(grid, 15, 15, 1, 1), {(7, 0)})
        self.assertEqual(five_points(grid, 15, 15, 2, 1), {(7, 0)})
        grid = grid_with(15, 15, {k: 2 for k in stones})
        self.assertEqual(five_points(grid, 15, 15, 2, 2), {(7, 0), (7, 5)})


# Caro as Gomocup's referee judges it: a run of exactly five with the edge or an opponent's
# stone right past each end does not win; under 8 a longer run always wins, under 9 never.
class CaroAdjudication(unittest.TestCase):
    def test_blocked_ends_count_stones_and_the_edge(self):
        # Row 7: O X X X X X . -- one end against white, the other open.
        stones = {(7, 2): 2, (7, 3): 1, (7, 4): 1, (7, 5): 1, (7, 6): 1, (7, 7): 1}
        grid = grid_with(15, 15, stones)
        self.assertEqual(blocked_ends(grid, 15, 15, 7, 5)[0], 1)
        grid[7][8] = 2
        self.assertEqual(blocked_ends(grid, 15, 15, 7, 5)[0], 2)
        # Column 0 from the edge: (0, 0)..(4, 0), the edge past (0, 0).
        grid = grid_with(15, 15, {(x, 0): 1 for x in range(5)})
        self.assertEqual(blocked_ends(grid, 15, 15, 2, 0)[1], 1)
        grid[5][0] = 2
        self.assertEqual(blocked_ends(grid, 15, 15, 2, 0)[1], 2)

    def test_five_blocked_at_both_ends_does_not_win(self):
        for rule in (8, 9):
            self.assertEqual(judge(rule, 1, [5, 1, 1, 1], [1, 0, 0, 0]), (True, False))
            self.assertEqual(judge(rule, 2, [5, 1, 1, 1], [0, 0, 0, 0]), (True, False))
            self.assertEqual(judge(rule, 1, [5, 1, 1, 1], [2, 0, 0, 0])[0], False)
            # Another direction's open five still wins.
            self.assertEqual(judge(rule, 1, [5, 5, 1, 1], [2, 1, 0, 0])[0], True)

    def test_overline_by_caro_rule(self):
        self.assertEqual(judge(8, 1, [6, 1, 1, 1], [2, 0, 0, 0]), (True, False))  # longer always wins
        self.assertEqual(judge(9, 1, [6, 1, 1, 1], [0, 0, 0, 0]), (False, True))  # never under 9
        self.assertEqual(judge(9, 1, [6, 5, 1, 1], [0, 1, 0, 0]), (True, True))

    def test_five_points_leave_out_blocked_fives(self):
        # Row 7: O X X X X . O  -- (7, 5) completes a five between two white stones; row 9
        # along the edge: X X X X . with nothing past (9, 4), then white at (9, 5).
        stones = {(7, 0): 2, (7, 1): 1, (7, 2): 1, (7, 3): 1, (7, 4): 1, (7, 6): 2,
                  (9, 0): 1, (9, 1): 1, (9, 2): 1, (9, 3): 1}
        grid = grid_with(15, 15, stones)
        self.assertEqual(five_points(grid, 15, 15, 0, 1), {(7, 5), (9, 4)})
        for rule in (8, 9):
            self.assertEqual(five_points(grid, 15, 15, rule, 1), {(9, 4)})
        grid[9][5] = 2  # the edge past (9, 0), white past (9, 4)
        for rule in (8, 9):
            self.assertEqual(five_points(grid, 15, 15, rule, 1), set())
        # Six: (7, 5) with a black stone in place of white at (7, 6) and (7, 7) white.
        grid[7][6], grid[7][7] = 1, 2
        self.assertEqual(five_points(grid, 15, 15, 8, 1), {(7, 5)})
        self.assertEqual(five_points(grid, 15, 15, 9, 1), set())

    def test_win_claims(self):
        self.assertTrue(claims_win(["MESSAGE 0.5 | 5 | 100 | 12ms | 0.0 | 7 | 9 | 10000 "]))
        self.assertFalse(claims_win(["MESSAGE 0.5 | 5 | 100 | 12ms | 0.0 | 7 | 9 | -10000 :-(", "MESSAGE x"]))


class MatchOptions(unittest.TestCase):
    def test_a_match_carries_every_option_a_self_play_run_reads(self):
        # A match runs the self-play tool's game loop, which reads its own options.
        own = vars(match.make_parser().parse_args([]))
        missing = set(vars(selfplay.make_parser().parse_args([]))) - set(own)
        self.assertEqual(missing, set())


class Swap2Answers(unittest.TestCase):
    def test_parsing(self):
        self.assertEqual(parse_swap2_answer("SWAP"), "SWAP")
        self.assertEqual(parse_swap2_answer("7,7 7,8 8,8"), [(7, 7), (7, 8), (8, 8)])
        self.assertEqual(parse_swap2_answer("12,3"), [(12, 3)])
        for bad in ["", "swap", "SWAP 7,7", "7,7,1", "7, 7", "-1,3", "7;7 8,8", "OK", "ERROR x"]:
            self.assertIsNone(parse_swap2_answer(bad), bad)

    def test_each_stage_allows_its_own_forms(self):
        three = [(7, 7), (7, 8), (8, 8)]
        five = three + [(6, 6), (9, 9)]
        legal = [([], [(7, 7), (7, 8), (8, 8)]), (three, "SWAP"), (three, [(6, 6)]),
                 (three, [(6, 6), (9, 9)]), (five, "SWAP"), (five, [(0, 14)])]
        for stones, answer in legal:
            self.assertIsNone(swap2_answer_problem(answer, len(stones), stones, 15, 15), (stones, answer))
        illegal = [([], "SWAP"), ([], [(7, 7), (7, 8)]), (three, [(1, 1), (2, 2), (3, 3)]),
                   (five, [(6, 6), (9, 9)]), (three, None)]
        for stones, answer in illegal:
            self.assertIsNotNone(swap2_answer_problem(answer, len(stones), stones, 15, 15), (stones, answer))

    def test_cells_must_be_on_the_board_free_and_distinct(self):
        three = [(7, 7), (7, 8), (8, 8)]
        self.assertIn("off the board", swap2_answer_problem([(15, 0)], 3, three, 15, 15))
        # Height 10, width 20: x below 10, y below 20.
        self.assertIsNone(swap2_answer_problem([(9, 19)], 3, three, 10, 20))
        self.assertIn("off the board", swap2_answer_problem([(19, 9)], 3, three, 10, 20))
        self.assertIn("taken", swap2_answer_problem([(7, 8)], 3, three, 15, 15))
        self.assertIn("taken", swap2_answer_problem([(6, 6), (6, 6)], 3, three, 15, 15))
        self.assertIn("taken", swap2_answer_problem([(1, 1), (2, 2), (1, 1)], 0, [], 15, 15))

    def test_colours_follow_the_answers(self):
        proposal = [(7, 7), (7, 8), (8, 8)]
        # The second player takes black: the opener is white and moves next.
        self.assertEqual(swap2_outcome(proposal, "SWAP"), (proposal, "other", ["3: SWAP"], "other"))
        # The second player stays white and plays the fourth stone: the opener is black.
        self.assertEqual(swap2_outcome(proposal, [(6, 6)]),
                         (proposal + [(6, 6)], "opener", ["3: one stone"], "other"))
        # Two more stones: the opener chooses.
        pair = [(6, 6), (9, 9)]
        self.assertEqual(swap2_outcome(proposal, pair, "SWAP"),
                         (proposal + pair, "opener", ["3: two stones", "5: SWAP"], "opener"))
        self.assertEqual(swap2_outcome(proposal, pair, [(5, 5)]),
                         (proposal + pair + [(5, 5)], "other", ["3: two stones", "5: stone"], "opener"))

    def test_points_and_score(self):
        self.assertEqual([points("black", 1), points("black", 2), points("draw", 2), points("white", 2)],
                         [1.0, 0.0, 0.5, 1.0])
        self.assertIsNone(points("forfeit", 1))
        self.assertIsNone(points("unfinished", 2))
        text = score_text([1.0, 1.0, 0.5, 0.0])
        self.assertTrue(text.startswith("2 wins, 1 draws, 1 losses: score 0.625 +- "), text)
        self.assertEqual(score_text([]), "no games")

    def test_summary_value(self):
        self.assertEqual(summary_value("MESSAGE 14.0 | 6 | 10 | 70ms | 3.9 | 865 | 5 | -28 "), -28)
        self.assertEqual(summary_value("MESSAGE 9.7 | 3 | 3 | 204ms | 4.7 | 5 | 5 | 10000 :-)"), 10000)
        self.assertEqual(summary_value("MESSAGE Speed: 679 | Evaluation: -65 "), -65)
        self.assertIsNone(summary_value("MESSAGE [8,9] [7,9] [7,8] "))
        self.assertIsNone(summary_value("MESSAGE SWAP2 WHITE VAL:-97 DEPTH:6 TIME:35ms NODE:0m [6,6]"))


class Swap2Calibration(unittest.TestCase):
    def test_openings_are_three_cells_of_the_area_around_the_centre(self):
        import random
        rng = random.Random(3)
        for _ in range(50):
            cells = draw_opening(rng, 20, 15, 5)  # height 15, width 20: centre 7,10
            self.assertEqual(len(set(cells)), 3)
            for x, y in cells:
                self.assertTrue(5 <= x <= 9 and 8 <= y <= 12, (x, y))

    def test_value_ranges(self):
        self.assertEqual(value_range(-1000), 0)
        self.assertEqual(value_range(-1), value_range(-29))
        self.assertNotEqual(value_range(-1), value_range(0))
        self.assertEqual(value_range(10000), value_range(150))


class Swap2Book(unittest.TestCase):
    def test_symmetries_map_the_board_onto_itself(self):
        for width, height, count in ((15, 15, 8), (20, 15, 4)):
            maps = symmetries(width, height)
            self.assertEqual(len(maps), count)
            cells = [(x, y) for x in range(height) for y in range(width)]
            images = {tuple(f(*c) for c in cells) for f in maps}
            self.assertEqual(len(images), count)
            for image in images:
                self.assertEqual(sorted(image), cells)

    def test_one_candidate_per_class_of_openings(self):
        # Every opening of the 3 by 3 square (black, white, black) is the image of exactly
        # one candidate, with its black stones in either order.
        maps = symmetries(15, 15)
        pool = candidates(15, 15, 3)
        square = [(x, y) for x in range(6, 9) for y in range(6, 9)]
        images = {}
        for k, (b1, w, b2) in enumerate(pool):
            for f in maps:
                for first, second in ((b1, b2), (b2, b1)):
                    images.setdefault((f(*first), f(*w), f(*second)), set()).add(k)
        for b1 in square:
            for b2 in square:
                for w in square:
                    if len({b1, b2, w}) == 3:
                        self.assertEqual(len(images[(b1, w, b2)]), 1, (b1, w, b2))
                        self.assertIn(canonical((b1, w, b2), maps), pool)
        self.assertEqual(len(images), 9 * 8 * 7)


class TimeFields(unittest.TestCase):
    def test_plain_summary_keeps_everything_but_time_and_speed(self):
        line = "MESSAGE 20.2 | 5 | 21 | 1410ms | 2.8 | 12 | 4 | 10000 :-)"
        self.assertEqual(without_times(line), "MESSAGE 20.2 | 5 | 21 | *ms | 2.8 | * | 4 | 10000 :-)")

    def test_detail_lines(self):
        self.assertEqual(without_times("MESSAGE DETAIL DEPTH:5-21 VAL:-3 TIME:431ms NODE:0m [7,L]"),
                         "MESSAGE DETAIL DEPTH:5-21 VAL:-3 TIME:*ms NODE:0m [7,L]")
        self.assertEqual(without_times("MESSAGE Complexity: 20.2, 2.8 | Depth: 5-21 | Time: 432ms | Node: 0m"),
                         "MESSAGE Complexity: 20.2, 2.8 | Depth: 5-21 | Time: *ms | Node: 0m")
        self.assertEqual(without_times("MESSAGE Speed: 42 | Evaluation: -10000 :-("),
                         "MESSAGE Speed: * | Evaluation: -10000 :-(")

    def test_best_line_is_left_alone(self):
        line = "MESSAGE [9,12] [8,5] [6,7] "
        self.assertEqual(without_times(line), line)


class SoakSchedule(unittest.TestCase):
    def test_pairs_share_a_board_and_rule_and_the_second_restarts(self):
        plan = schedule(200)
        self.assertEqual(len(plan), 200)
        for first, second in zip(plan[0::2], plan[1::2]):
            self.assertEqual(first[:3], second[:3])
            self.assertFalse(first[3])
            self.assertTrue(second[3])

    def test_every_rule_and_every_side_from_5_to_24_square_and_rectangular(self):
        plan = schedule(200)
        self.assertEqual({rule for rule, _, _, _ in plan}, {0, 1, 2})
        squares = {w for _, w, h, _ in plan if w == h}
        self.assertEqual(squares, set(range(5, 25)))
        rectangles = {(w, h) for _, w, h, _ in plan if w != h}
        self.assertGreaterEqual(len(rectangles), 10)
        sides = {w for w, _ in rectangles} | {h for _, h in rectangles}
        self.assertEqual(min(sides), 5)
        self.assertEqual(max(sides), 24)
        for rule in range(3):  # each rule meets square and rectangular boards
            self.assertTrue(any(r == rule and w == h for r, w, h, _ in plan))
            self.assertTrue(any(r == rule and w != h for r, w, h, _ in plan))


def fake_bench(text, status=0):
    """A command line that writes text and exits with status (the "bench" appended to it
    becomes the shell's $0)."""
    return "sh -c " + shlex.quote(f"printf '%s' {shlex.quote(text)}; exit {status}")


class BenchSignature(unittest.TestCase):
    def test_signature_and_speed_among_other_lines_with_either_line_end(self):
        text = "Position 1\r\nNodes searched  : 123456\r\nNodes/second    : 789\r\nTotal time\r\n"
        self.assertEqual(read_bench(text), (123456, 789, None))
        self.assertEqual(read_bench(text.replace("\r\n", "\n")), (123456, 789, None))

    def test_missing_or_repeated_signature_is_a_problem(self):
        self.assertIsNotNone(read_bench("Nodes/second    : 789\n")[2])
        self.assertIsNotNone(read_bench("")[2])
        self.assertIsNotNone(read_bench("Nodes searched  : 1\nNodes searched  : 1\n")[2])
        # Another line that merely mentions the count is not the signature.
        self.assertIsNotNone(read_bench("Nodes searched  : 12 (3 positions)\n")[2])

    def compare_quietly(self, commands):
        with contextlib.redirect_stdout(io.StringIO()):
            return compare(commands, timeout=30)

    def test_only_a_difference_or_a_missing_line_fails(self):
        same = fake_bench("Nodes searched  : 5\nNodes/second    : 100\n")
        windows = fake_bench("Nodes searched  : 5\r\nNodes/second    : 90\r\n", status=3)
        self.assertEqual(self.compare_quietly([same, windows]), 0)
        self.assertEqual(self.compare_quietly([same, fake_bench("Nodes searched  : 6\n")]), 1)
        self.assertEqual(self.compare_quietly([same, fake_bench("Nodes/second    : 100\n")]), 1)
        self.assertEqual(self.compare_quietly([same, "/nonexistent/pbrain-none"]), 1)


if __name__ == "__main__":
    unittest.main()
