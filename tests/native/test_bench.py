"""The bench's closing table and its rounds: every targeted figure is listed
with the right verdict at its target's edge, and the rounds rotate fairly."""
import os
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
from bench import benchlib, summary  # noqa: E402

JPEG_OUTPUT = """picture                       bytes    ours MP/s libjpeg MP/s    ratio
4:2:0 q90 baseline           243545        111.8        281.4     0.40
speed ratio ours / libjpeg-turbo: 0.91 0.90 0.89
"""


def table(figures, jpeg=JPEG_OUTPUT, instructions="instructions: 1500000 a frame (300 and 1500 frames)\n"):
    return {row[0]: row for row in summary.rows(figures, jpeg, instructions)}


class SummaryTest(unittest.TestCase):
    def test_each_ratio_is_judged_in_its_own_direction_at_its_edge(self):
        at_edge = {"native_fps": "8", "floor_gl_fps": "10",  # 0.8: at least 0.8
                   "native_first_frame_s": "1.2", "floor_gl_first_frame_s": "1.0",  # at most 1.2
                   "native_rss_peak_mb": "115", "floor_gl_rss_peak_mb": "100",  # at most 1.15
                   "wine_fps": "7.9", "d3d_floor_fps": "10",  # 0.79
                   "wine_first_frame_s": "1.21", "d3d_floor_first_frame_s": "1.0",
                   "wine_peak_memory_mb": "116", "d3d_floor_peak_memory_mb": "100"}
        rows = table(at_edge)
        verdicts = [rows[f"{who} {what}"][-1] for who in ("native", "Windows program")
                    for what in ("frames a second", "first frame (s)", "peak memory (MB)")]
        self.assertEqual(verdicts, ["met"] * 3 + ["not met"] * 3)
        self.assertEqual(rows["native frames a second"][3], "0.80")
        # The reference is the floor, not the other way round.
        self.assertEqual(rows["native frames a second"][2], "10.00 floor_gl")
        # JPEG: 0.91 and 0.90 reach 0.9, 0.89 does not; in 4:2:0, 4:4:4, progressive order.
        self.assertEqual([rows[f"JPEG decode {k}"][3:] for k in ("4:2:0", "4:4:4", "progressive")],
                         [("0.91", "at least 0.9", "met"), ("0.90", "at least 0.9", "met"),
                          ("0.89", "at least 0.9", "not met")])
        self.assertEqual(rows["show's instructions a frame"][1:2] + rows["show's instructions a frame"][-1:],
                         ("1.50 M", "met"))
        self.assertEqual(table({}, instructions="instructions: 1500001 a frame")["show's instructions a frame"][-1],
                         "not met")

    def test_a_figure_not_measured_is_listed_as_such(self):
        rows = summary.rows({"native_fps": "10"}, None, "instructions: valgrind is not installed\n")
        self.assertEqual(len(rows), len(summary.RATIOS) + len(summary.JPEG_KINDS) + 1)
        self.assertEqual([r[0] for r in rows if r[1] == "not measured"], [r[0] for r in rows])
        self.assertTrue(all(r[-1] == "-" for r in rows))

    def test_the_figures_file_keeps_the_last_value_of_a_key(self):
        with tempfile.TemporaryDirectory() as folder:
            path = os.path.join(folder, "figures.txt")
            os.environ["BRISANE_BENCH_FIGURES"] = path
            try:
                benchlib.record(native_fps="9.5", floor_gl_fps="40")
                benchlib.record(native_fps="10.5")
            finally:
                del os.environ["BRISANE_BENCH_FIGURES"]
            benchlib.record(native_fps="99")  # no file named: nothing written
            self.assertEqual(summary.read_figures(path), {"native_fps": "10.5", "floor_gl_fps": "40"})


class RoundsTest(unittest.TestCase):
    def test_each_program_leads_once_and_what_follows_the_first_changes_every_round(self):
        programs = ["wine", "native", "floor_gl"]
        rounds = [benchlib.rotated(programs, i) for i in range(3)]
        self.assertTrue(all(sorted(r) == sorted(programs) for r in rounds))
        self.assertEqual(sorted(r[0] for r in rounds), sorted(programs))
        after_wine = [r[r.index("wine") + 1] if r[-1] != "wine" else None for r in rounds]
        self.assertEqual(len(set(after_wine)), 3, f"after the Wine show: {after_wine} in {rounds}")
        self.assertEqual(benchlib.rotated(programs, 0), programs)
        # Two programs simply take turns.
        self.assertEqual([benchlib.rotated(["floor", "show"], i) for i in range(3)],
                         [["floor", "show"], ["show", "floor"], ["floor", "show"]])
        self.assertEqual(benchlib.rotated([], 1), [])

class GalliumWorkTest(unittest.TestCase):
    """A stand-in driver writes each counter's readings where the bench asks."""

    def work(self, readings):
        script = ("import os\n"
                  f"for name, values in {readings!r}.items():\n"
                  "    open(os.path.join(os.environ['GALLIUM_HUD_DUMP_DIR'], name), 'w').write(values)\n"
                  "print('frames=1')\n")
        return benchlib.gallium_work([sys.executable, "-c", script])

    def test_the_first_reading_holds_the_start_and_is_left_out(self):
        full = {"samples_passed": "900\n10\n30\n20\n", "ps_invocations": "5\n40\n", "primitives_generated": "7\n3\n3\n"}
        self.assertEqual(self.work(full), {"samples_passed": 20.0, "ps_invocations": 40.0, "primitives_generated": 3.0})

    def test_a_driver_without_counters_gives_nothing(self):
        self.assertEqual(self.work({"samples_passed": "1\n2\n"}), {})
        self.assertEqual(self.work({"samples_passed": "1\n", "ps_invocations": "1\n", "primitives_generated": "1\n"}), {})


if __name__ == "__main__":
    unittest.main()
