"""The program at 150 % display scaling (144 DPI, the prefix's LogPixels).

The program declares itself DPI-aware, so the system hands it real pixels:
the show window, the display mode and the back buffer cover the whole screen,
and the configuration dialog grows with its font and stays on the screen.
"""
import os
import subprocess
import time
import unittest

from test_dialog import CONFIG_TITLE, drive, LAYOUT, screenshot
from winenv import driver, ends_within, fields, harness, reg, run, SCR, SHOW_TITLE, start, wait_for_x_window, \
    WineCase, xdotool

OUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "out")
DESKTOP = "HKCU\\Control Panel\\Desktop"
ROOT_COLOUR = bytes((255, 0, 255))
PER_MONITOR = 2  # DPI_AWARENESS_PER_MONITOR_AWARE


def window_info(title, timeout_ms=20000):
    code, out = run(driver("monitor_driver"), "window", title, str(timeout_ms))
    info = fields(out)
    if code != 0 or info.get("found") != "1":
        raise AssertionError(f"no window {title!r}: {out}")
    return info


class ManifestTests(unittest.TestCase):
    def test_the_system_reads_per_monitor_awareness_from_the_program(self):
        code, out = run(driver("monitor_driver"), "manifest", SCR)
        self.assertEqual(code, 0, out)
        settings = fields(out)
        # Windows 10 1607 and later read the first; older systems the second
        # ("true/pm": per monitor on 8.1, system-aware before it).
        self.assertEqual(settings["dpiAwareness"], "PerMonitorV2, PerMonitor")
        self.assertEqual(settings["dpiAware"], "true/pm")


class At144Dpi(WineCase):
    def setUp(self):
        super().setUp()
        code, out = reg("query", DESKTOP, "/v", "LogPixels")
        self.saved = out.split()[-1] if code == 0 else None
        self.assertEqual(reg("add", DESKTOP, "/v", "LogPixels", "/t", "REG_DWORD", "/d", "144", "/f")[0], 0)

    def tearDown(self):
        super().tearDown()
        # Every other test runs at the prefix's own scale.
        if self.saved is None:
            reg("delete", DESKTOP, "/v", "LogPixels", "/f")
        else:
            reg("add", DESKTOP, "/v", "LogPixels", "/t", "REG_DWORD", "/d", str(int(self.saved, 0)), "/f")

    def test_the_show_covers_the_whole_screen_in_real_pixels(self):
        subprocess.run(["xsetroot", "-solid", "#ff00ff"], check=True)
        try:
            p = start(SCR, "/s")
            self.processes.append(p)
            wait_for_x_window("^" + SHOW_TITLE + "$")
            shown = window_info(SHOW_TITLE)
            self.assertEqual(int(shown["awareness"]), PER_MONITOR, "the system gives the program real pixels")
            info = harness("inspect", "5000")
            self.assertEqual(info["screen"], "1024,768")
            self.assertEqual(info["rect"], "0,0,1024,768")
            self.assertEqual(info["client"], "1024,768")

            os.makedirs(OUT, exist_ok=True)
            path = os.path.abspath(os.path.join(OUT, "show_144dpi.png"))
            deadline = time.monotonic() + 60
            while True:
                subprocess.run(["import", "-window", "root", path], check=True)
                data = subprocess.run(["convert", path, "-depth", "8", "rgb:-"], check=True,
                                      capture_output=True).stdout
                pixels = [data[i:i + 3] for i in range(0, len(data), 3)]
                uncovered = pixels.count(ROOT_COLOUR)
                if (uncovered == 0 and len(set(pixels)) > 2000) or time.monotonic() > deadline:
                    break
                time.sleep(1)
            self.assertEqual(len(pixels), 1024 * 768)
            self.assertEqual(uncovered, 0, "no part of the screen is left uncovered")
            self.assertGreater(len(set(pixels)), 2000, "the show's picture, not a blank window")
            xdotool("key", "a")
            self.assertEqual(ends_within(p, 10), 0)
        finally:
            subprocess.run(["xsetroot", "-def"], check=False)

    def test_the_dialog_grows_with_its_font_and_stays_on_the_screen(self):
        p = start(SCR, "/c")
        self.processes.append(p)
        d = drive(CONFIG_TITLE, "dump:h")
        box = window_info(CONFIG_TITLE)
        screenshot(CONFIG_TITLE, "config_dialog_144dpi_whole.png")
        drive(CONFIG_TITLE, "click:2")
        self.assertEqual(ends_within(p, 10), 0)

        self.assertEqual(int(box["awareness"]), PER_MONITOR)
        left, top, right, bottom = (int(v) for v in box["rect"].split(","))
        self.assertTrue(0 <= left < right <= 1024 and 0 <= top < bottom <= 768, f"on the screen: {box['rect']}")
        width, height = (int(v) for v in d["h.client"].split(","))
        self.assertGreater(width, 318 * 3 // 2, "larger than at 96 DPI")
        for control in LAYOUT:
            x, y, w, h = (int(v) for v in d[f"h.{control}.rect"].split(","))
            self.assertTrue(0 <= x and 0 < w and x + w <= width and 0 <= y and 0 < h and y + h <= height,
                            f"control {control} at {x},{y} size {w} x {h} inside {width} x {height}")


if __name__ == "__main__":
    unittest.main()
