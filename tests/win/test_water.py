"""The sea under Wine, through the program's own window code: the waves move
between two frames a second apart, the ship rides them, and the sea mirrors
the ship only with the environment water on. Pictures under out/water/."""
import os
import subprocess
import unittest

from test_display import DISPLAY_DRIVER, OUT, DisplayCase, finish, windows_path
from winenv import set_setting

WATER_OUT = os.path.join(OUT, "water")


def png(ppm):
    """The saved back buffer as a PNG beside it."""
    path = ppm[:-4] + ".png"
    subprocess.run(["convert", ppm, path], check=True)
    os.remove(ppm)
    return path


def difference(a, b, crop):
    """Mean absolute difference of a WxH+X+Y part of two pictures, 0 to 255."""
    out = subprocess.run(["compare", "-metric", "MAE", "-extract", crop, a, b, "null:"],
                         stderr=subprocess.PIPE, text=True).stderr
    return float(out.split("(")[1].rstrip(")")) * 255


def mean(path, crop):
    text = subprocess.run(["convert", path, "-crop", crop, "+repage", "-scale", "1x1!", "-format",
                           "%[fx:int(255*r)],%[fx:int(255*g)],%[fx:int(255*b)]", "info:"],
                          stdout=subprocess.PIPE, text=True, check=True).stdout
    return tuple(int(v) for v in text.split(","))


def point(info, name):
    return tuple(int(v) for v in info[name + ".screen"].split(","))


def pose(info, name):
    return [float(v) for v in info[name + ".pose"].split(",")]


class SeaTests(DisplayCase):
    @classmethod
    def setUpClass(cls):
        os.makedirs(WATER_OUT, exist_ok=True)

    def run_sea(self, name):
        prefix = os.path.join(WATER_OUT, name)
        code, info = finish(DISPLAY_DRIVER, "sea", windows_path(prefix), timeout=300)
        self.assertEqual(code, 0, info)
        for shot in ("a", "b", "plain"):
            self.assertEqual(info[shot + ".saved"], "1", f"{shot} read back")
        return info, {shot: png(f"{prefix}-{shot}.ppm") for shot in ("a", "b", "plain")}

    def test_the_sea_moves_mirrors_the_ship_and_carries_it(self):
        # The still camera beside the ship, the tour held, day light.
        for i in range(1, 8):
            set_setting(f"Camera{i}", "2: 1" if i == 4 else "2: 0")
        set_setting("EnableEnvWater", "2: 1")
        set_setting("EnableLightmaps", "2: 1")
        info, shots = self.run_sea("sea")
        self.assertEqual(info["mirror"], "1")
        self.assertEqual(info["plain.mirror"], "0")
        print(f"\n  {info['mirror.fps']} frames/s with the sea mirroring the ship, {info['plain.fps']} without "
              f"(ratio {info['mirror.ratio']}); pose {info['a.pose']} then {info['b.pose']}; {shots}")

        # Where the ship meets the water on the screen: under it its mirror
        # image, beside it open sea.
        points = [point(info, f"point{i}") for i in (1, 2, 3)]
        left, right = min(x for x, _ in points), max(x for x, _ in points)
        waterline = max(y for _, y in points)
        self.assertLess(right + 335, 1024, f"the ship's stern leaves room for open sea: {points}")
        under = f"{right - left - 80}x80+{left + 15}+{waterline + 50}"
        beside = f"240x80+{right + 95}+{waterline + 50}"
        sky = f"300x200+{1024 - 300}+0"

        # The camera stands still, so the sky does; the sea does not.
        self.assertLess(difference(shots["a"], shots["b"], sky), 1.0, "a still camera")
        self.assertGreater(difference(shots["a"], shots["b"], beside), 3.0, f"the waves move: {shots}")

        # The ship rides them: its height and tilt change, around 2 units
        # down and 5 degrees of heel.
        a, b = pose(info, "a"), pose(info, "b")
        self.assertNotEqual(a, b)
        for p in (a, b):
            self.assertTrue(-5.5 < p[2] < 1.5, f"heave {p[2]}")
            self.assertTrue(0.0 < p[4] < 0.2, f"heel {p[4]}")

        def contrast(shot):
            m, o = mean(shot, under), mean(shot, beside)
            return sum(abs(x - y) for x, y in zip(m, o))

        # With the mirror the water under the ship shows it (dark hull, pale
        # sails) and differs from the open sea; without, it is sea like the rest.
        self.assertGreater(contrast(shots["a"]), 20, f"the ship mirrored below it: {shots['a']}")
        self.assertGreater(contrast(shots["b"]), 20, f"the ship mirrored below it: {shots['b']}")
        self.assertLess(contrast(shots["plain"]), 10, f"no mirror image: {shots['plain']}")

if __name__ == "__main__":
    unittest.main()
