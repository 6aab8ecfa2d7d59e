"""At 150 % display scaling (LogPixels 144) the DPI-aware program's dialogs
grow with their font and stay on the screen."""
from test_dialog import CAMERA_TITLE, drive
from winenv import CONFIG_TITLE, SCR, WineCase, driver, ends_within, fields, reg, run, screenshot, x_windows

DESKTOP = "HKCU\\Control Panel\\Desktop"
PER_MONITOR = 2  # DPI_AWARENESS_PER_MONITOR_AWARE


def window_info(title, timeout_ms=20000):
    code, out = run(driver("monitor_driver"), "window", title, str(timeout_ms))
    info = fields(out)
    if code != 0 or info.get("found") != "1":
        raise AssertionError(f"no window {title!r}: {out}")
    return info


class At144Dpi(WineCase):
    def setUp(self):
        super().setUp()
        self.assertEqual(reg("add", DESKTOP, "/v", "LogPixels", "/t", "REG_DWORD", "/d", "144", "/f")[0], 0)
        self.addCleanup(reg, "delete", DESKTOP, "/v", "LogPixels", "/f")  # every other test runs at 96

    def test_the_dialogs_are_per_monitor_aware_grow_with_their_font_and_stay_on_the_screen(self):
        p = self.launch(SCR, "/c")
        d = drive(CONFIG_TITLE, "dump:h")
        box = window_info(CONFIG_TITLE)
        screenshot("config_dialog_144dpi.png", x_windows("^" + CONFIG_TITLE + "$")[-1])
        drive(CONFIG_TITLE, "postclick:1036", f"dialog:{CAMERA_TITLE}")
        screenshot("camera_dialog_144dpi.png", x_windows("^" + CAMERA_TITLE + "$")[-1])
        drive(CAMERA_TITLE, "click:2")
        drive(CONFIG_TITLE, "click:2")
        self.assertEqual(ends_within(p, 10), 0)

        self.assertEqual(int(box["awareness"]), PER_MONITOR)
        left, top, right, bottom = (int(v) for v in box["rect"].split(","))
        self.assertTrue(0 <= left < right <= 1024 and 0 <= top < bottom <= 768, f"on the screen: {box['rect']}")
        width, height = (int(v) for v in d["h.client"].split(","))
        self.assertGreater(width, 318 * 3 // 2, "larger than at 96 DPI (318 x 271 there)")
        controls = {key.split(".")[1] for key in d if key.endswith(".rect")}
        self.assertGreater(len(controls), 30)
        for control in controls:
            x, y, w, h = (int(v) for v in d[f"h.{control}.rect"].split(","))
            self.assertTrue(0 <= x and 0 < w and x + w <= width and 0 <= y and 0 < h and y + h <= height,
                            f"control {control} at {x},{y} size {w} x {h} inside {width} x {height}")
