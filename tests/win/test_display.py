"""The program's display, window and frame code under Wine's DirectDraw 7 and
Direct3D 7, through display_driver (which carries the program's resources)."""
import subprocess
import tempfile
import time

from winenv import (DESKTOP, DISPLAY_DRIVER, HARNESS, SCR, WINE, WineCase, colours, device_table, difference,
                    ends_within, fields, finish, mean_colour, screenshot, set_settings, wait_for_x_window, windows_path,
                    x_windows, xdotool)

DISPLAY_DRIVER_WIN = windows_path(DISPLAY_DRIVER)


def full_screen_800x600():
    info, devices = device_table(desktop=True)
    set_settings(UseDesktopRes=0, ModeNum=devices[int(info["current"])]["modes"].index((800, 600, 32)))


class DisplayTests(WineCase):
    def test_full_screen_mode_from_the_registry_and_the_desktop_mode_back(self):
        full_screen_800x600()
        code, info = finish(DISPLAY_DRIVER, "frames", "2", desktop=True)
        self.assertEqual([code] + [info.get(k) for k in ("scene", "desktopres", "mode", "screen")],
                         [0, "1", "0", "800x600x32", "0,0,800,600"])
        self.assertGreater(min(int(info["frames"]), int(info["clear.frames"])), 0)
        self.assertEqual(info["cleanup"], "0", "nothing else holds the device or DirectDraw")
        # The program itself, through the driver's "run", which reports the exit code.
        out = tempfile.TemporaryFile(mode="w+")
        self.addCleanup(out.close)
        p = subprocess.Popen([WINE, "explorer", DESKTOP, DISPLAY_DRIVER, "run", windows_path(SCR), "/s"],
                             stdout=out, stderr=subprocess.DEVNULL)
        self.processes.append(p)
        shot = self.shot_when_drawn("show_800x600.png")
        # The first camera by day: a blue sky above a blue-green sea.
        (r, _, b), (sr, sg, sb) = mean_colour(shot, "800x60+0+0"), mean_colour(shot, "800x60+0+540")
        self.assertTrue(b > r + 15 and sb > sr + 15 and sg > sr + 15, (r, b, sr, sg, sb))
        self.assertLess(colours(shot, "224x768+800+0"), 10, "the frame is 800x600, not the desktop's 1024x768")
        xdotool("key", "a")
        self.assertEqual(ends_within(p, 15), 0)
        out.seek(0)
        self.assertEqual(fields(out.read()).get("exit"), "0", "a key ends the full-screen show with 0")
        self.assertEqual(finish(HARNESS, "inspect", "1000")[1]["screen"], "1024,768", "the desktop's mode is back")

    def test_the_display_off_stops_the_frames_until_it_is_back(self):
        p = self.launch(DISPLAY_DRIVER, "displayoff", stdin=subprocess.PIPE)
        self.shot_when_drawn("display_on.png")
        moved = {}
        for state in ("off", "on"):
            p.stdin.write(state + "\n")
            p.stdin.flush()
            self.assertEqual(p.stdout.readline().strip(), "state=" + state)
            moved[state] = difference(*(screenshot(f"display_{state}_{i}.png") for i in range(2) if not time.sleep(1)))
        p.stdin.close()
        self.assertEqual(ends_within(p, 15), 0)
        self.assertLess(moved["off"], 0.05, "the picture holds: no frames while the display is off")
        self.assertGreater(moved["on"], 0.5, "frames again once it is back")

    def test_a_mode_change_under_the_full_screen_show_ends_it_cleanly(self):
        # Someone else (the secure desktop, a remote session) takes the display.
        full_screen_800x600()
        code, info = finish(DISPLAY_DRIVER, "run", DISPLAY_DRIVER_WIN, "lost", desktop=True)
        self.assertEqual((code, info["change"], info["lost"]), (0, "0", "1"), "the surfaces were taken away")
        self.assertGreaterEqual(int(info["frames"]), 3)
        self.assertEqual([info[k] for k in ("quit", "quitcode", "window", "show", "device", "exit")],
                         ["1", "0", "0", "0", "0", "0"], "ended by itself, window, scene and device released")
        self.assertEqual(finish(HARNESS, "inspect", "1000")[1]["screen"], "1024,768", "the desktop's mode is back")

    def test_a_failure_after_the_mode_change_gives_the_desktop_its_mode_back(self):
        code, info = finish(DISPLAY_DRIVER, "run", DISPLAY_DRIVER_WIN, "eightbit", desktop=True)
        self.assertEqual((code, info["exit"], info["changed"]), (0, "1", "800,600"), "failed after the mode change")
        self.assertEqual(info["box"], r"FATAL ERROR in InitDirect3D(): RGBBitCount <= 8, hr = 0\n\nIf you see this "
                         r"message then please contact us at support@duskwright.example\n")
        self.assertEqual(info["screen.atbox"], "1024,768", "the box is shown on the desktop in its own mode")

    def test_a_fatal_error_while_frames_run_keeps_its_box_over_the_mouse(self):
        p = self.launch(DISPLAY_DRIVER, "fatalframe")
        wait_for_x_window("^Error!$", 120)
        # Movement that would end a running show must not take the box with it.
        for x, y in ((100, 100), (600, 400), (300, 500), (700, 200)):
            xdotool("mousemove", str(x), str(y))
            time.sleep(0.3)
        self.assertTrue(x_windows("^Error!$"), "the box is still up after the mouse moved")
        self.assertIsNone(p.poll(), "the process waits for the box")
        self.answer_fatal("FATAL ERROR in renderReflection(): SetRenderTarget failed, hr = 2289435074")
        self.assertEqual(ends_within(p, 10), 1)

    def test_a_refused_show_window_keeps_its_box_until_it_is_read(self):
        p = self.launch(DISPLAY_DRIVER, "refused")
        wait_for_x_window("^Error!$", 20)
        self.assertIsNone(ends_within(p, 1.0), "the box waits to be read")
        self.answer_fatal("FATAL ERROR in InitWindow(): CreateWindow return NULL")
        self.assertEqual(ends_within(p, 10), 1)
