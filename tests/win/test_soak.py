"""Two minutes of the real show with everything switched on: it must end
cleanly on a key, and neither its memory nor its handle and GDI counts may
keep growing once it has warmed up (./run soak MINUTES runs the long form)."""
import os
import unittest

from winenv import SCR
import soak


class SoakTest(unittest.TestCase):
    def test_two_minutes_with_volleys_fades_and_light_changes_grow_nothing(self):
        code, watched, grown, samples = soak.soak(os.path.dirname(SCR), minutes=2, interval=10, warmup=30)
        self.assertEqual(code, 0)
        self.assertGreaterEqual(len(watched), 6, samples)
        self.assertEqual(grown, [], samples)

    def test_growth_is_judged_on_peaks_of_the_later_half(self):
        steady = [(t, {"working_set_kb": 400000 + (30000 if t % 60 == 0 else 0), "handles": 64, "gdi": 74})
                  for t in range(30, 130, 10)]
        self.assertEqual(soak.growth(steady), [])
        leaking = [(t, {"working_set_kb": 400000, "handles": 64 + t, "gdi": 74}) for t in range(30, 130, 10)]
        self.assertEqual([g.split(":")[0] for g in soak.growth(leaking)], ["handles"])


if __name__ == "__main__":
    unittest.main()
