"""The guns' volley, the sun's glow and flare and the lanterns' glows in the
show's own window under Wine, through the fire driver; the frames it writes
are kept under out/fire as PNG pictures."""
import os
import subprocess
import unittest

from test_display import finish, OUT, windows_path
from winenv import driver, set_setting, WineCase

FIRE_DRIVER = driver("fire_driver")
FIRE_OUT = os.path.join(OUT, "fire")
ONLY_STILL_CAMERA = {f"Camera{i}": 1 if i == 4 else 0 for i in range(1, 8)}


def read_ppm(path):
    with open(path, "rb") as f:
        data = f.read()
    parts = data.split(maxsplit=4)
    assert parts[0] == b"P6" and parts[3] == b"255", path
    return int(parts[1]), int(parts[2]), parts[4]


def as_png(ppm, name):
    png = os.path.join(FIRE_OUT, name)
    subprocess.run(["convert", ppm, png], check=True)
    return png


def brightness(picture, x0, y0, x1, y1):
    """Mean of red + green + blue over a box of the picture."""
    width, height, pixels = picture
    x0, y0, x1, y1 = max(0, x0), max(0, y0), min(width, x1), min(height, y1)
    total = 0
    for y in range(y0, y1):
        row = pixels[(y * width + x0) * 3:(y * width + x1) * 3]
        total += sum(row)
    return total / max(1, (x1 - x0) * (y1 - y0))


def count(picture, test, band=None):
    """Pixels for which test(r, g, b) holds, in rows band[0]..band[1]."""
    width, height, pixels = picture
    top, bottom = band or (0, height)
    n = 0
    for i in range(top * width * 3, bottom * width * 3, 3):
        if test(pixels[i], pixels[i + 1], pixels[i + 2]):
            n += 1
    return n


def white_hot(r, g, b):
    return r > 250 and g > 245 and b > 200


def smoky(r, g, b):
    # The grey smoke over a teal and yellow hull: light and without colour.
    return max(r, g, b) - min(r, g, b) < 14 and 110 < r < 235


class FireCase(WineCase):
    def run_driver(self, command, settings, *args):
        for name, value in settings.items():
            set_setting(name, f"2: {value}")
        os.makedirs(FIRE_OUT, exist_ok=True)
        code, info = finish(FIRE_DRIVER, command, windows_path(FIRE_OUT), *args, timeout=240)
        self.assertEqual(code, 0, info)
        return info


class VolleyTests(FireCase):
    def volley(self, side):
        info = self.run_driver("volley", {**ONLY_STILL_CAMERA, "EnableFiring": 1, "FiringPeriod": 0}, side)
        self.assertEqual(info["period"], "60000", "FiringPeriod 0 is one minute")
        self.assertEqual(info["portsopen"], "1")
        # Started 50 s back, the schedule opens the ports at once and fires ten seconds later.
        self.assertAlmostEqual(int(info["volley.ms"]), 10000, delta=1500)
        for gun in range(1, 9):
            self.assertGreater(float(info[f"gun.{gun}.out"]), 5.0, f"gun {gun} ran out through its port")
        frames = [{key: int(info[f"frame.{i}.{key}"]) for key in ("ms", "flashes", "particles", "firing", "saved")}
                  for i in range(int(info["saved"]))]
        self.assertTrue(all(f["saved"] for f in frames))
        return frames

    def check_side(self, side):
        frames = self.volley(side)
        self.assertGreater(max(f["flashes"] for f in frames), 0, "a frame caught a muzzle flash")
        self.assertLessEqual(max(f["flashes"] for f in frames), 8)
        self.assertGreater(max(f["particles"] for f in frames), 0)
        self.assertLess(frames[-1]["particles"], max(f["particles"] for f in frames), "the smoke dies away")

        path = lambda i: os.path.join(FIRE_OUT, f"{side}_{i}.ppm")
        flash = max(range(len(frames)), key=lambda i: (frames[i]["flashes"], -i))
        # The frame half a second after the volley holds most smoke.
        smoke = min(range(len(frames)), key=lambda i: abs(frames[i]["ms"] - 900))
        last = min(range(len(frames)), key=lambda i: (frames[i]["particles"], -i))
        as_png(path(flash), f"volley_{side}_flash.png")
        as_png(path(smoke), f"volley_{side}_smoke.png")
        as_png(path(last), f"volley_{side}_after.png")
        band = (250, 560)  # the hull between the waterline and the rail
        # The muzzles' rows, above the sea's sparkle and the sun's flare sprites
        # (measured: none of their white-hot pixels lie in these rows).
        muzzles = (300, 480)
        after = read_ppm(path(last))
        flashed = count(read_ppm(path(flash)), white_hot, muzzles)
        self.assertGreater(flashed, count(after, white_hot, muzzles) + 20, "a white-hot flash at a muzzle")
        smoked = count(read_ppm(path(smoke)), smoky, band)
        self.assertGreater(smoked, count(after, smoky, band) + 500, "grey smoke over the hull")
        for i in range(len(frames)):
            os.remove(path(i))

    def test_both_broadsides_fire_with_flashes_and_smoke(self):
        self.check_side("port")
        self.check_side("starboard")


class GlowTests(FireCase):
    def test_the_sun_throws_its_glow_and_seven_flare_sprites_on_the_line_through_the_centre(self):
        shots = {}
        for flares in (1, 0):
            info = self.run_driver("sun", {**ONLY_STILL_CAMERA, "EnableLensFlares": flares})
            shots[flares] = info
            as_png(os.path.join(FIRE_OUT, "sun.ppm"), "sun.png" if flares else "sun_without_flare.png")
            shots[f"picture{flares}"] = read_ppm(os.path.join(FIRE_OUT, "sun.ppm"))
        info = shots[1]
        self.assertEqual(info["flares"], "7")
        self.assertEqual(info["sun.onscreen"], "1")
        self.assertEqual(info["sun.intensity"], "255", "full in daylight with the sun in view")
        self.assertNotIn("flares", shots[0], "no flare without EnableLensFlares")
        x, y = round(float(info["sun.x"])), round(float(info["sun.y"]))
        width, height, _ = shots["picture1"]
        on, off = shots["picture1"], shots["picture0"]
        self.assertGreater(brightness(on, x - 40, y - 40, x + 40, y + 40),
                           brightness(off, x - 40, y - 40, x + 40, y + 40) + 60, "the sun's glow")
        # The flare sprite at t = 0.72 on the line to the mirror point.
        mx, my = width - x, height - y
        fx, fy = round(x + 0.72 * (mx - x)), round(y + 0.72 * (my - y))
        self.assertGreater(brightness(on, fx - 30, fy - 30, fx + 30, fy + 30),
                           brightness(off, fx - 30, fy - 30, fx + 30, fy + 30) + 15, "a flare sprite")
        os.remove(os.path.join(FIRE_OUT, "sun.ppm"))

    def test_at_night_the_lanterns_glow(self):
        info = self.run_driver("night", {**ONLY_STILL_CAMERA, "ChangeDelay": 60})
        self.assertEqual(info["daylight"], "0.000", "the light cycle stands at night")
        self.assertEqual(info["lanterns"], "2")
        self.assertEqual(info["sun.maximum"], "0", "no sun at night")
        self.assertEqual(info["plain"], "1")
        glowing = read_ppm(os.path.join(FIRE_OUT, "night.ppm"))
        plain = read_ppm(os.path.join(FIRE_OUT, "night_without_glows.ppm"))
        as_png(os.path.join(FIRE_OUT, "night.ppm"), "night.png")
        as_png(os.path.join(FIRE_OUT, "night_without_glows.ppm"), "night_without_glows.png")
        for i in range(2):
            self.assertEqual(info[f"lantern.{i}.onscreen"], "1")
            self.assertGreater(int(info[f"lantern.{i}.intensity"]), 200, "seen, so at full strength")
            x, y = round(float(info[f"lantern.{i}.x"])), round(float(info[f"lantern.{i}.y"]))
            # The next frame without the glows: only the glow adds light around the lantern.
            # Close to it, so the flag waving nearby between the two frames does not count
            # (measured: +70 to +150 over the lantern, noise of a few units beyond).
            self.assertGreater(brightness(glowing, x - 10, y - 10, x + 10, y + 10),
                               brightness(plain, x - 10, y - 10, x + 10, y + 10) + 20, (x, y))
        for name in ("night.ppm", "night_without_glows.ppm"):
            os.remove(os.path.join(FIRE_OUT, name))

    def test_without_lens_flares_there_are_no_glows(self):
        info = self.run_driver("night", {**ONLY_STILL_CAMERA, "ChangeDelay": 60, "EnableLensFlares": 0})
        self.assertEqual(info["lanterns"], "0", "the lanterns' set is there, empty")
        self.assertNotIn("flares", info, "no flare")
        for name in ("night.ppm", "night_without_glows.ppm"):
            os.remove(os.path.join(FIRE_OUT, name))

if __name__ == "__main__":
    unittest.main()
