"""The show as a whole under Wine: the camera tour through black, the
frame-rate text, and the light going from day to night."""
import os
import subprocess
import tempfile
import time
import unittest

from test_display import DISPLAY_DRIVER, DisplayCase, colours, finish, mean_colour, screenshot
from winenv import SCR, SHOW_TITLE, ends_within, set_setting, start, wait_for_x_window, xdotool

SHOW_WINDOW = "^" + SHOW_TITLE + "$"


def yellow_pixels(path, crop):
    """Pixels of a WxH+X+Y part that are clearly yellow (the frame-rate text)."""
    raw = subprocess.run(["convert", path, "-crop", crop, "+repage", "-depth", "8", "rgb:-"],
                         stdout=subprocess.PIPE, check=True).stdout
    return sum(1 for i in range(0, len(raw), 3) if raw[i] > 200 and raw[i + 1] > 200 and raw[i + 2] < 90)


def magenta_pixels(path):
    raw = subprocess.run(["convert", path, "-depth", "8", "rgb:-"], stdout=subprocess.PIPE, check=True).stdout
    return sum(1 for i in range(0, len(raw), 3) if raw[i] > 180 and raw[i + 1] < 90 and raw[i + 2] > 180)


def brightness(path):
    r, g, b = mean_colour(path, "1024x768+0+0")
    return (r + g + b) / 3


def difference_in(a, b, crop):
    cropped = []
    for path in (a, b):
        out = path + ".crop.png"
        subprocess.run(["convert", path, "-crop", crop, "+repage", out], check=True)
        cropped.append(out)
    return difference(*cropped)


def difference(a, b):
    """Mean absolute difference of two screenshots, 0 to 255."""
    out = subprocess.run(["compare", "-metric", "MAE", a, b, "null:"], stderr=subprocess.PIPE, text=True).stderr
    return float(out.split("(")[1].rstrip(")")) * 255


class TourCase(DisplayCase):
    def start_show(self):
        p = start(SCR, "/s")
        self.processes.append(p)
        wait_for_x_window(SHOW_WINDOW)
        return p

    def shot_when_drawn(self, name, timeout=60):
        """A screenshot once the show's frame holds the scene."""
        deadline = time.monotonic() + timeout
        while True:
            path = screenshot(name)
            if colours(path) > 2000 or time.monotonic() > deadline:
                return path
            time.sleep(0.5)

    def end(self, p):
        xdotool("key", "Escape")
        self.assertEqual(ends_within(p, 10), 0)


class TourTests(TourCase):
    def test_the_director_goes_to_the_next_camera_through_black(self):
        set_setting("SwitchPeriod", "2: 5")
        code, info = finish(DISPLAY_DRIVER, "tour", "9")
        self.assertEqual(code, 0)
        self.assertEqual(info["camera.0"], "Camera01")
        self.assertEqual(info["camera.1"], "Camera02", "the next camera of the list")
        self.assertLess(int(info["camera.1.ms"]), 7000, "within 7 s with a 5 s period")
        self.assertEqual(info["lowest"], "0.000", "the picture went black on the way")

    def test_the_viewpoint_changes_and_the_frame_rate_is_shown(self):
        set_setting("SwitchPeriod", "2: 5")
        set_setting("ShowFPS", "2: 1")
        p = self.start_show()
        first = self.shot_when_drawn("tour_first.png")
        time.sleep(8)
        later = screenshot("tour_later.png")
        self.assertGreater(difference(first, later), 20, f"another viewpoint: {first} {later}")
        # 26 pixels tall at 768 lines, 23 below the top.
        self.assertGreater(yellow_pixels(later, "200x50+0+10"), 40, f"the yellow frame-rate text: {later}")
        self.assertLess(yellow_pixels(later, "600x300+300+400"), 40, "yellow only where the text is")
        self.end(p)


class FlagTests(TourCase):
    def still_camera(self):
        for i in range(1, 8):
            set_setting(f"Camera{i}", "2: 1" if i == 4 else "2: 0")

    def flag_shot(self, name):
        p = self.start_show()
        path = self.shot_when_drawn(name)
        time.sleep(1)
        path = screenshot(name)
        self.end(p)
        return path

    def test_the_ship_flies_the_chosen_flag(self):
        self.still_camera()
        own = self.flag_shot("flag_own.png")
        set_setting("FlagNum", "2: 26")
        chosen = self.flag_shot("flag_26.png")
        # The flags are small at the mastheads: the upper part of the picture
        # changes, the rest stays as it was.
        self.assertGreater(difference_in(own, chosen, "1024x200+0+0"), 0.5, f"{own} {chosen}")

    def test_a_custom_flag_file_and_a_damaged_one(self):
        self.still_camera()
        with tempfile.TemporaryDirectory() as folder:
            flag = os.path.join(folder, "flag.jpg")
            subprocess.run(["convert", "-size", "96x64", "xc:magenta", flag], check=True)
            set_setting("FlagNum", "2: 1")
            set_setting("FlagPath", "3: Z:" + flag.replace("/", "\\"))
            custom = self.flag_shot("flag_custom.png")
            self.assertGreater(magenta_pixels(custom), 60, f"the magenta flag flies: {custom}")
            with open(flag, "wb") as f:
                f.write(b"\xff\xd8\xff\xe0 not a picture")
            damaged = self.flag_shot("flag_damaged.png")
            self.assertEqual(magenta_pixels(damaged), 0, f"the scene's own flag instead: {damaged}")
            self.assertGreater(colours(damaged), 2000, "and the show runs")


class LightTests(TourCase):
    def test_the_light_goes_from_day_to_night(self):
        # No hold, and a change of one minute (a stored 0 counts as one).
        set_setting("ChangeDelay", "2: 0")
        set_setting("LightDelay", "2: 0")
        for i in range(1, 8):
            set_setting(f"Camera{i}", "2: 1" if i == 4 else "2: 0")  # the still camera
        p = self.start_show()
        day = brightness(self.shot_when_drawn("light_day.png"))
        time.sleep(28)
        dusk = brightness(screenshot("light_dusk.png"))
        time.sleep(36)
        night_shot = screenshot("light_night.png")
        night = brightness(night_shot)
        self.assertLess(dusk, day - 10, f"darker at dusk: {day:.0f} -> {dusk:.0f}")
        self.assertLess(night, dusk - 10, f"darker at night: {dusk:.0f} -> {night:.0f}")
        self.end(p)


if __name__ == "__main__":
    unittest.main()
