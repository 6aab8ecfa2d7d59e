"""The screensaver's run modes and what ends the show, driven through Wine."""
import os
import subprocess
import time
import unittest

from test_resources import assets_dir
from winenv import (answer, CONFIG_TITLE, driver, ends_within, fields, harness, HARNESS, reg, run, SCR,
                    set_setting, SETTINGS_KEY, SHOW_TITLE, start, SUPPORT_LINE, wait_for_x_window, WineCase,
                    x_windows, xdotool)

WS_POPUP, WS_CHILD, WS_VISIBLE = 0x80000000, 0x40000000, 0x10000000
SHOW_WINDOW = "^" + SHOW_TITLE + "$"


class ShowCase(WineCase):
    def start_show(self, *args):
        p = start(SCR, *args)
        self.processes.append(p)
        wait_for_x_window(SHOW_WINDOW)
        time.sleep(0.5)  # let the loop settle into drawing frames
        return p

    def assert_full_screen(self, info):
        self.assertEqual(info["found"], "1")
        self.assertEqual(info["class"], "WindowsScreenSaverClass")
        self.assertEqual(info["title"], SHOW_TITLE)
        self.assertEqual(int(info["classstyle"], 16), 0x80B)
        style = int(info["style"], 16)
        self.assertTrue(style & WS_POPUP, info["style"])
        self.assertFalse(style & WS_CHILD, info["style"])
        self.assertTrue(style & WS_VISIBLE, info["style"])
        self.assertEqual(int(info["exstyle"], 16) & 0x00000008, 0, "not topmost by its own choice")
        width, height = info["screen"].split(",")
        self.assertEqual(info["rect"], f"0,0,{width},{height}", "covers the primary screen")
        self.assertEqual(info["parent"], "0")

    def assert_ends_by_key(self, p, key="a"):
        xdotool("key", key)
        start_time = time.monotonic()
        code = ends_within(p, 10)
        elapsed = time.monotonic() - start_time
        self.assertEqual(code, 0)
        # The key is read between frames; under the software rasteriser of
        # the test machine one frame of the ship takes up to a second or two.
        self.assertLess(elapsed, 4.0, "the show ends within a frame or two of the key")


class FullScreenTests(ShowCase):
    def test_slash_s_covers_the_screen_and_a_key_ends_it(self):
        p = self.start_show("/s")
        self.assert_full_screen(harness("inspect", "5000"))
        self.assertIsNone(p.poll(), "the show keeps running on its own")
        self.assert_ends_by_key(p)

    def test_other_command_lines_start_the_show(self):
        for args in (["/P", "123"], ["/S"], ["-s"], ["/p"], ["/a"]):
            with self.subTest(args=args):
                p = self.start_show(*args)
                self.assert_full_screen(harness("inspect", "5000"))
                self.assert_ends_by_key(p, "Escape")


class InputTests(ShowCase):
    def test_system_keys_do_not_end_the_show(self):
        p = self.start_show("/s")
        xdotool("key", "F10")
        xdotool("key", "alt+x")
        self.assertIsNone(ends_within(p, 1.5), "F10 and Alt combinations are ignored")
        self.assert_ends_by_key(p, "space")

    def test_a_mouse_move_ends_the_show(self):
        p = self.start_show("/s")
        xdotool("mousemove", "300", "300")
        time.sleep(0.3)
        xdotool("mousemove_relative", "1", "0")
        self.assertEqual(ends_within(p, 6), 0)

    def test_mouse_moves_are_ignored_when_the_user_said_so(self):
        set_setting("DisableOnMouseActivate", "2: 1")
        p = self.start_show("/s")
        for x in (200, 210, 420, 600):
            xdotool("mousemove", str(x), "300")
            time.sleep(0.2)
        self.assertIsNone(ends_within(p, 1.0), "the show goes on while the mouse moves")
        self.assert_ends_by_key(p)

    def test_losing_activation_ends_the_show(self):
        p = self.start_show("/s")
        thief = start(HARNESS, "activate", "3000")
        self.processes.append(thief)
        self.assertEqual(ends_within(p, 5), 0)


class PreviewTests(ShowCase):
    def test_preview_is_a_child_filling_the_host_window(self):
        info = harness("preview", SCR, "320", "240")
        self.assertEqual(info["found"], "1")
        self.assertEqual(info["child.class"], "WindowsScreenSaverClass")
        self.assertEqual(info["child.getparent"], info["host"])
        style = int(info["child.style"], 16)
        self.assertTrue(style & WS_CHILD)
        self.assertFalse(style & WS_POPUP)
        self.assertEqual(info["child.client"], "320,240")
        self.assertEqual(info["alive"], "1", "the preview survives repainting")
        self.assertEqual(x_windows(SHOW_WINDOW), [], "no full-screen window in preview")
        self.assertEqual(info["exit"], "0", "closing the host ends the preview cleanly")

    def test_preview_paints_the_picture_at_its_own_size_from_the_top_left(self):
        # The program's window code in a driver that carries the program's
        # resources: a preview child of another process is not read back here.
        width, height = 152, 112
        code, out = run(driver("preview_driver"), "320", "240", str(width), str(height))
        self.assertEqual(code, 0, out)
        info = fields(out)
        self.assertEqual(info["found"], "1")
        self.assertEqual(info["client"], "320,240")
        shown = bytes.fromhex(info["pixels"])
        self.assertEqual(len(shown), width * height * 3)
        self.assertGreater(len({shown[i:i + 3] for i in range(0, len(shown), 3)}), 200, "a picture, not a flat fill")
        # The same picture decoded by another decoder; rounding may differ a little.
        expected = subprocess.run(["convert", os.path.join(assets_dir(), "jpeg_150.jpg"), "-depth", "8", "bgr:-"],
                                  check=True, capture_output=True).stdout
        self.assertEqual(len(expected), len(shown), "the picture is 152 x 112")
        mean_error = sum(abs(a - b) for a, b in zip(shown, expected)) / len(shown)
        self.assertLess(mean_error, 4.0)
        self.assertEqual(info.get("exit"), "0", "closing the host ends the preview's loop")

    def test_preview_of_a_window_that_does_not_exist_is_fatal(self):
        p = start(SCR, "/p", "1234567")
        self.processes.append(p)
        box = answer("Error!")
        self.assertEqual(box["found"], "1")
        self.assertEqual(box["text"].replace("\\n", "\n"),
                         "FATAL ERROR in InitWindow(): CreateWindow return NULL" + SUPPORT_LINE)
        self.assertEqual(ends_within(p, 10), 1)


class ConfigurationTests(ShowCase):
    def test_configuration_opens_the_dialog_and_ends_with_zero(self):
        for args in ([], ["/c"], ["/c:1234"]):
            with self.subTest(args=args):
                p = start(SCR, *args)
                self.processes.append(p)
                dialog = answer(CONFIG_TITLE, button=2)
                self.assertEqual(dialog["found"], "1")
                self.assertEqual(dialog["button"], "Cancel")
                self.assertEqual(x_windows(SHOW_WINDOW), [], "no show window behind the dialog")
                self.assertEqual(ends_within(p, 10), 0)

    def test_ok_keeps_what_was_stored(self):
        set_setting("SwitchPeriod", "2: 0x10")
        set_setting("Unknown", "7: 5")
        p = start(SCR, "/c")
        self.processes.append(p)
        self.assertEqual(answer(CONFIG_TITLE, button=1)["button"], "OK")
        self.assertEqual(ends_within(p, 10), 0)
        code, out = reg("query", "HKCU\\" + SETTINGS_KEY)
        self.assertEqual(code, 0, "accepting the dialog keeps the key")
        self.assertIn("2: 16", out, "read as a number, written back in decimal")
        self.assertIn("7: 5", out, "values it cannot read are left alone")


if __name__ == "__main__":
    unittest.main()
