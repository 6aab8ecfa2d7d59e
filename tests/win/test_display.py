"""The display brought up through DirectDraw 7 / Direct3D 7 under Wine: the
device table, the show's scene at desktop resolution and in a full-screen
mode (with its frame rates), and what a failed bring-up leaves behind."""
import os
import subprocess
import tempfile
import time
import unittest

from winenv import (driver, ends_within, fields, HARNESS, SCR, set_setting, SHOW_TITLE, SUPPORT_LINE,
                    unescape, wait_for_x_window, WINE, WineCase, x_windows, xdotool)

DISPLAY_DRIVER = driver("display_driver")


def windows_path(path):
    """A Unix path as a Windows program sees it."""
    return "Z:" + os.path.abspath(path).replace("/", "\\")


DISPLAY_DRIVER_WIN = windows_path(DISPLAY_DRIVER)
OUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "out")
DESKTOP = "/desktop=brisane-display,1024x768"
SCENE_TIMEOUT = 120  # the scene loads before the first frame; slow on a busy machine


def command(program, args, desktop):
    """Wine's command line for a program, inside a virtual desktop if asked
    (where modes can change); the exit code stays the program's own."""
    return [WINE, "explorer", DESKTOP, program, *args] if desktop else [WINE, program, *args]


def launch(program, *args, desktop=False):
    return subprocess.Popen(command(program, args, desktop), stdout=subprocess.PIPE,
                            stderr=subprocess.DEVNULL, text=True)


def finish(program, *args, desktop=False, timeout=90):
    # Output through a file: a desktop's own process may inherit and hold a pipe.
    with tempfile.TemporaryFile(mode="w+") as out:
        p = subprocess.run(command(program, args, desktop), stdout=out, stderr=subprocess.DEVNULL,
                           timeout=timeout)
        out.seek(0)
        return p.returncode, fields(out.read())


def display_size():
    out = subprocess.run(["xdotool", "getdisplaygeometry"], stdout=subprocess.PIPE, text=True).stdout.split()
    return int(out[0]), int(out[1])


def screenshot(name):
    os.makedirs(OUT, exist_ok=True)
    path = os.path.abspath(os.path.join(OUT, name))
    subprocess.run(["import", "-window", "root", path], check=True)
    return path


def colours(path, crop=None):
    """Distinct colours of a picture, or of a WxH+X+Y part of it."""
    args = ["convert", path] + (["-crop", crop, "+repage"] if crop else []) + ["-format", "%k", "info:"]
    return int(subprocess.run(args, stdout=subprocess.PIPE, text=True, check=True).stdout)


def mean_colour(path, crop):
    text = subprocess.run(["convert", path, "-crop", crop, "+repage", "-scale", "1x1!", "-format",
                           "%[fx:int(255*r)],%[fx:int(255*g)],%[fx:int(255*b)]", "info:"],
                          stdout=subprocess.PIPE, text=True, check=True).stdout
    return tuple(int(v) for v in text.split(","))


def thumbnail(path, crop):
    return subprocess.run(["convert", path, "-crop", crop, "+repage", "-scale", "64x48!", "-depth", "8", "rgb:-"],
                          stdout=subprocess.PIPE, check=True).stdout


def screenshot_of_scene(name, width, height, timeout=SCENE_TIMEOUT):
    """Screenshots until the show's frame (the top-left WIDTHxHEIGHT) holds a
    picture rather than one flat colour; the last one is kept in out/NAME."""
    deadline = time.monotonic() + timeout
    crop = f"{width}x{height}+0+0"
    while True:
        shot = screenshot(name)
        if colours(shot, crop) > 1000 or time.monotonic() > deadline:
            return shot, crop
        time.sleep(1)


def parse_colour(text):
    return tuple(int(v) for v in text.split(","))


def device_table(desktop=False):
    code, info = finish(DISPLAY_DRIVER, "list", desktop=desktop)
    if code != 0:
        raise AssertionError(f"display_driver list ended with {code}")
    devices = []
    for i in range(int(info["devices"])):
        modes = [tuple(int(v) for v in m.split("x")) for m in info[f"device.{i}.modes"].split(",")]
        devices.append({"name": info[f"device.{i}.name"], "modes": modes,
                        "default": int(info[f"device.{i}.default"]), "desktop": int(info[f"device.{i}.desktop"]),
                        "tnlhal": info[f"device.{i}.tnlhal"] == "1", "windowed": info[f"device.{i}.windowed"] == "1"})
    return info, devices


class DisplayCase(WineCase):
    def inspect(self, desktop):
        code, info = finish(HARNESS, "inspect", "5000", desktop=desktop)
        self.assertEqual(code, 0)
        return info

    def assert_sky_over_sea(self, top, bottom, where):
        # A blue sky above, a blue-green sea below: the ship's scene through
        # its first camera, in the light of day.
        self.assertGreater(top[2], top[0] + 15, f"a sky-blue top in {where}: {top}")
        self.assertGreater(bottom[2], bottom[0] + 15, f"a sea-blue bottom in {where}: {bottom}")
        self.assertGreater(bottom[1], bottom[0] + 15, f"a sea-green bottom in {where}: {bottom}")

    def assert_scene_shot(self, shot, crop, width, height):
        self.assertGreater(colours(shot, crop), 1000, f"a picture, not a flat fill: {shot}")
        band = height // 10
        self.assert_sky_over_sea(mean_colour(shot, f"{width}x{band}+0+0"),
                                 mean_colour(shot, f"{width}x{band}+0+{height - band}"), shot)

    def assert_scene_frames(self, info, label):
        """What display_driver frames reports of the show's own frames."""
        self.assertEqual(info["scene"], "1")
        self.assertEqual(info["readback"], "0")
        self.assertGreater(int(info["distinct"]), 1000, "the back buffer holds the scene")
        self.assert_sky_over_sea(parse_colour(info["top"]), parse_colour(info["bottom"]), "the back buffer")
        self.assertGreater(int(info["frames"]), 0)
        self.assertGreater(int(info["clear.frames"]), 0)
        self.assertEqual(info["cleanup"], "0", "nothing else holds the device or DirectDraw")
        print(f"\n  {label}: {info['fps']} frames/s with the scene ({info['frames']} in {info['seconds']} s), "
              f"{info['clear.fps']} frames/s cleared only; ratio {info['ratio']}; "
              f"set-up {info['setup.seconds']} s")

    def answer_box(self, desktop):
        code, box = finish(HARNESS, "answer", "Error!", "20000", "1", desktop=desktop)
        self.assertEqual(code, 0)
        self.assertEqual(box["found"], "1", "the fatal box appears")
        self.assertEqual(box["icon"], "1")
        return unescape(box["text"])


class DeviceTableTests(DisplayCase):
    def test_lists_wines_hardware_devices_with_the_screen_mode(self):
        info, devices = device_table()
        self.assertGreaterEqual(len(devices), 1)
        self.assertGreaterEqual(int(info["enumerated"]), len(devices))
        width, height = display_size()
        for device in devices:
            with self.subTest(device=device["name"]):
                self.assertTrue(device["modes"])
                self.assertEqual(device["modes"], sorted(device["modes"]), "width, height, depth order")
                self.assertTrue(all(bits in (16, 24, 32) for _, _, bits in device["modes"]))
                self.assertEqual(device["modes"][device["desktop"]], (width, height, 32))
        current = devices[int(info["current"])]
        self.assertTrue(current["windowed"])
        self.assertTrue(current["tnlhal"], "Wine offers a T&L HAL, which the default prefers")
        self.assertEqual(info["setting.DeviceNum"], info["current"])
        self.assertEqual(int(info["setting.ModeNum"]), current["desktop"])
        self.assertEqual(info["setting.UseDesktopRes"], "1")

    def test_a_virtual_desktop_offers_many_modes_and_640x480x32_is_the_default(self):
        info, devices = device_table(desktop=True)
        current = devices[int(info["current"])]
        self.assertGreater(len(current["modes"]), 10)
        self.assertEqual(current["modes"][current["default"]], (640, 480, 32))
        self.assertEqual(current["modes"][current["desktop"]], (1024, 768, 32))

    def test_a_stored_device_that_is_gone_falls_back_to_the_default(self):
        set_setting("DeviceNum", "2: 7")
        set_setting("UseDesktopRes", "2: 0")
        info, devices = device_table()
        self.assertEqual(info["setting.DeviceNum"], info["current"])
        self.assertEqual(info["setting.UseDesktopRes"], "1")


class FrameTests(DisplayCase):
    def test_show_at_desktop_resolution_draws_the_scene_through_camera01(self):
        width, height = display_size()
        p = launch(SCR, "/s")
        self.processes.append(p)
        wait_for_x_window("^" + SHOW_TITLE + "$")
        shot, crop = screenshot_of_scene("show_camera01.png", width, height)
        self.assert_scene_shot(shot, crop, width, height)
        time.sleep(1.5)
        later = screenshot("show_camera01_later.png")
        self.assertNotEqual(thumbnail(shot, crop), thumbnail(later, crop), "the camera flies its path")
        self.assertEqual(self.inspect(False)["screen"], f"{width},{height}", "the mode is never changed")
        xdotool("key", "a")
        self.assertEqual(ends_within(p, 10), 0)

    def test_frames_are_blitted_at_desktop_resolution(self):
        code, info = finish(DISPLAY_DRIVER, "frames", "4")
        self.assertEqual(code, 0)
        width, height = display_size()
        self.assertEqual(info["desktopres"], "1")
        self.assertEqual(info["screen"], f"0,0,{width},{height}")
        self.assert_scene_frames(info, f"desktop {width}x{height}")
        self.assertEqual(float(info["screenscale"]), round(height / 768, 4), "scaled by the picture shown")

    def test_full_screen_mode_from_the_registry(self):
        info, devices = device_table(desktop=True)
        modes = devices[int(info["current"])]["modes"]
        set_setting("UseDesktopRes", "2: 0")
        set_setting("ModeNum", f"2: {modes.index((800, 600, 32))}")

        code, frames = finish(DISPLAY_DRIVER, "frames", "4", desktop=True)
        self.assertEqual(code, 0)
        self.assertEqual(frames["desktopres"], "0")
        self.assertEqual(frames["mode"], "800x600x32")
        self.assertEqual(frames["screen"], "0,0,800,600")
        self.assert_scene_frames(frames, "full screen 800x600")

        # Through the driver's "run", which waits and reports the exit code.
        with tempfile.TemporaryFile(mode="w+") as out:
            p = subprocess.Popen(command(DISPLAY_DRIVER, ["run", windows_path(SCR), "/s"], True), stdout=out,
                                 stderr=subprocess.DEVNULL)
            self.processes.append(p)
            shot, crop = screenshot_of_scene("show_camera01_800x600.png", 800, 600)
            self.assert_scene_shot(shot, crop, 800, 600)
            self.assertLess(colours(shot, "224x768+800+0"), 10, "the frame is 800x600, not the desktop's 1024x768")
            xdotool("key", "a")
            self.assertEqual(ends_within(p, 15), 0)
            out.seek(0)
            self.assertEqual(fields(out.read()).get("exit"), "0", "a key ends the full-screen show with 0")
        self.assertEqual(finish(HARNESS, "inspect", "1000")[1]["screen"], "1024,768", "the desktop's mode is back")


class LostDisplayTests(DisplayCase):
    """The display taken away under the show (a mode change by someone else,
    as the secure desktop or a remote session do) ends it as any input does:
    the surfaces are not restored, the show closes cleanly with exit code 0."""

    def assert_ends_cleanly(self, info):
        self.assertEqual(info["change"], "0", "someone else changed the mode")
        self.assertEqual(info["lost"], "1", "which took the show's surfaces away")
        self.assertGreaterEqual(int(info["frames"]), 3)
        self.assertEqual(info["quit"], "1", "the show ended by itself")
        self.assertEqual(info["quitcode"], "0")
        self.assertEqual(info["window"], "0")
        self.assertEqual(info["show"], "0", "the scene and its textures were released")
        self.assertEqual(info["device"], "0")
        self.assertEqual(info["exit"], "0")

    def test_a_mode_change_under_the_show_at_desktop_resolution_ends_it_cleanly(self):
        code, info = finish(DISPLAY_DRIVER, "run", DISPLAY_DRIVER_WIN, "lost", "800", "600", desktop=True)
        self.assertEqual(code, 0)
        self.assert_ends_cleanly(info)

    def test_a_mode_change_under_the_full_screen_show_ends_it_cleanly(self):
        info, devices = device_table(desktop=True)
        modes = devices[int(info["current"])]["modes"]
        set_setting("UseDesktopRes", "2: 0")
        set_setting("ModeNum", f"2: {modes.index((800, 600, 32))}")
        code, info = finish(DISPLAY_DRIVER, "run", DISPLAY_DRIVER_WIN, "lost", "640", "480", desktop=True)
        self.assertEqual(code, 0)
        self.assert_ends_cleanly(info)
        self.assertEqual(finish(HARNESS, "inspect", "1000")[1]["screen"], "1024,768", "the desktop's mode is back")


class BringUpFailureTests(DisplayCase):
    def test_a_mode_the_display_refuses_is_fatal(self):
        before = display_size()
        p = launch(DISPLAY_DRIVER, "badmode")
        self.processes.append(p)
        text = self.answer_box(False)
        self.assertEqual(text, "FATAL ERROR in InitDirectDraw(): SetDisplayMode call failed, hr = 2147500033"
                         + SUPPORT_LINE, "E_NOTIMPL, as Wine answers for a size the screen lacks")
        self.assertEqual(ends_within(p, 10), 1)
        self.assertEqual(display_size(), before)

    def test_a_failure_after_the_mode_change_gives_the_desktop_its_mode_back(self):
        # The desktop's launcher does not pass exit codes on; the driver's "run" does.
        code, info = finish(DISPLAY_DRIVER, "run", DISPLAY_DRIVER_WIN, "eightbit", desktop=True)
        self.assertEqual(code, 0)
        self.assertEqual(info["exit"], "1")
        self.assertEqual(info["changed"], "800,600", "the mode had changed before the failure")
        self.assertEqual(unescape(info["box"]), "FATAL ERROR in InitDirect3D(): RGBBitCount <= 8, hr = 0" + SUPPORT_LINE)
        self.assertEqual(info["screen.atbox"], "1024,768", "the box is shown on the desktop in its own mode")

    def test_a_fatal_error_while_frames_run_keeps_its_box_over_the_mouse(self):
        p = launch(DISPLAY_DRIVER, "fatalframe")
        self.processes.append(p)
        wait_for_x_window("^Error!$", SCENE_TIMEOUT)
        # Movement that would end a running show must not take the box with it.
        for x, y in ((100, 100), (600, 400), (300, 500), (700, 200)):
            xdotool("mousemove", str(x), str(y))
            time.sleep(0.3)
        self.assertTrue(x_windows("^Error!$"), "the box is still up after the mouse moved")
        self.assertIsNone(p.poll(), "the process waits for the box")
        text = self.answer_box(False)
        self.assertEqual(text, "FATAL ERROR in renderReflection(): SetRenderTarget failed, hr = 2289435074"
                         + SUPPORT_LINE)
        self.assertEqual(ends_within(p, 10), 1)


if __name__ == "__main__":
    unittest.main()
