"""A short soak of the real show (./run soak MINUTES is the long one), and the growth rule it is judged by."""
import os
import sys
import unittest

from winenv import SCR
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools", "soak"))
import soak  # noqa: E402


class SoakTest(unittest.TestCase):
    def test_ninety_seconds_with_camera_switches_and_a_volley_grow_nothing(self):
        code, watched, grown, samples = soak.soak(os.path.dirname(SCR), minutes=1.5, interval=5, warmup=30)
        self.assertEqual(code, 0)
        self.assertGreaterEqual(len(watched), 6, samples)
        self.assertEqual(grown, [], samples)

    def test_growth_is_judged_on_peaks_of_the_later_half(self):
        steady = [(t, {"working_set_kb": 400000 + 30000 * (t % 60 == 0), "handles": 64, "gdi": 74})
                  for t in range(30, 130, 10)]
        self.assertEqual(soak.growth(steady), [], "a peak that comes back is no growth")
        leaking = [(t, {"working_set_kb": 400000, "handles": 64 + t, "gdi": 74 + t // 10}) for t in range(30, 130, 10)]
        self.assertEqual([g.split(":")[0] for g in soak.growth(leaking)], ["handles"], "a handle a second, not gdi")
