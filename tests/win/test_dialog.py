"""The configuration dialog of `Brisane.scr /c`, worked through its controls
by a test program with the messages the controls send, then read back from
the registry."""
import os
import subprocess
import unittest

from test_display import device_table
from winenv import (CONFIG_TITLE, driver, ends_within, fields, reg, run, SCR, set_setting, SETTINGS_KEY,
                    start, unescape, WineCase, x_windows)

DIALOG_DRIVER = driver("dialog_driver")
CAMERA_TITLE = "Camera selection"
OUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "out")

FLAGS = ["Duskwright", "Load custom flag from file...", "Argentina", "Australia", "Brazil", "Canada", "Denmark",
         "EU", "Finland", "France", "Germany", "Greece", "Iceland", "Ireland", "Israel", "Italy", "Japan", "Mexico",
         "Netherlands", "New Zealand", "Norway", "Russia", "Spain", "Sweden", "Switzerland", "United Kingdom",
         "United States"]
PERIODS = ["1 min.", "5 min.", "10 min.", "15 min.", "30 min.", "60 min."]
# Camera boxes of the camera dialog, in setting order.
CAMERA_BOXES = [1038, 1039, 1041, 1042, 1044, 1043, 1040]

# Dialog-unit rectangles of the configuration dialog's controls.
LAYOUT = {1000: (10, 16, 232), 1012: (10, 45, 85, 10), 1001: (10, 57, 232), 1: (258, 16, 50, 14),
          2: (258, 40, 50, 14), 1024: (10, 86, 48, 10), 1025: (73, 86, 69, 10), 1026: (158, 86, 52, 10),
          1023: (220, 86, 79, 10), 1021: (10, 101, 49, 10), 1002: (169, 99, 127), 1042: (89, 115, 73, 9),
          1043: (165, 114, 135, 12), 1044: (10, 139, 62, 10), 1049: (89, 139, 71, 9), 1050: (165, 137, 135, 12),
          1051: (89, 150, 71, 9), 1052: (165, 149, 135, 12), 1047: (10, 174, 55, 10), 1045: (89, 174, 72, 11),
          1003: (169, 172, 127), 1039: (10, 198, 63, 10), 1040: (80, 198, 71, 9), 1041: (152, 197, 85, 12),
          1036: (240, 195, 68, 14), 1022: (10, 224, 63, 10), 1029: (90, 224, 49, 10), 1033: (146, 223, 155, 12),
          1027: (12, 250, 177, 10), 6: (258, 247, 50, 14)}


def drive(title, *steps):
    code, out = run(DIALOG_DRIVER, title, *steps)
    info = fields(out)
    if code != 0 or info.get("found") != "1":
        raise AssertionError(f"dialog_driver {steps} failed with {code}: {out}")
    return info


def stored():
    """Whether the key exists, and name -> (type, size, data) as stored, byte for byte."""
    code, out = run(driver("harness"), "regdump", SETTINGS_KEY)
    if code != 0:
        raise AssertionError(f"regdump failed with {code}: {out}")
    values = {}
    for line in out.splitlines():
        if line.startswith("value="):
            name, kind, size, text = line[len("value="):].split("|", 3)
            values[unescape(name)] = (int(kind), int(size), unescape(text))
    return "open=1" in out.splitlines(), values


def texts(values):
    """The stored texts; the program writes none with a terminator, the system may add one."""
    return {name: data.removesuffix("\0") for name, (_, _, data) in values.items()}


def screenshot(title, name):
    windows = x_windows("^" + title + "$")
    if not windows:
        raise AssertionError(f"no X window {title!r}")
    os.makedirs(OUT, exist_ok=True)
    path = os.path.abspath(os.path.join(OUT, name))
    subprocess.run(["import", "-window", windows[-1], path], check=True)
    return path


class DialogCase(WineCase):
    def open_dialog(self):
        p = start(SCR, "/c")
        self.processes.append(p)
        return p

    def assertLaidOut(self, d, name):
        """Every control where its dialog-unit rectangle puts it, at the dialog's scale."""
        width, height = (int(v) for v in d[f"{name}.client"].split(","))
        self.assertGreater(width, 318)
        scale = (width / 318, height / 271, width / 318, height / 271)
        for control, rect in LAYOUT.items():
            got = [int(v) for v in d[f"{name}.{control}.rect"].split(",")]
            for i, value in enumerate(rect):
                self.assertAlmostEqual(got[i], value * scale[i], delta=2.5, msg=f"{control} field {i}")
        return width

    def finish(self, p, button):
        drive(CONFIG_TITLE, f"click:{button}")
        self.assertEqual(ends_within(p, 10), 0)


class StartAndCancelTests(DialogCase):
    def test_start_shows_the_settings_and_cancel_leaves_the_registry_untouched(self):
        for name, text in [("DisableSound", "2: 1"), ("EnableLighting", "2: 0"), ("EnableFiring", "2: 0"),
                           ("GammaControl", "2: 75"), ("SwitchPeriod", "2: 30"), ("FlagNum", "2: 19"),
                           ("FiringPeriod", "2: 4"), ("DisableOnMouseActivate", "2: 1"), ("FlagPath", "3: C:\\f.jpg")]:
            set_setting(name, text)
        before = stored()
        p = self.open_dialog()
        d = drive(CONFIG_TITLE, "dump:a")
        shot = screenshot(CONFIG_TITLE, "config_dialog_96dpi.png")
        self.assertGreater(os.path.getsize(shot), 0)

        with self.subTest("caption and lists"):
            self.assertEqual(d["a.title"], CONFIG_TITLE)
            self.assertEqual([d[f"a.1002.item.{i}"] for i in range(int(d["a.1002.count"]))], FLAGS)
            self.assertEqual([d[f"a.1003.item.{i}"] for i in range(int(d["a.1003.count"]))], PERIODS)
            self.assertEqual(d["a.1002.sel"], "19")
            self.assertEqual(d["a.1003.sel"], "4")
        with self.subTest("labels"):
            self.assertEqual(d["a.1042.text"], "Gamma control: 1.25")
            self.assertEqual(d["a.1040.text"], "Camera delay: 30 sec")
            self.assertEqual(d["a.1049.text"], "Light delay: 1 min")
            self.assertEqual(d["a.1051.text"], "Change delay: 1 min")
        with self.subTest("trackbars"):
            for control, (low, high, pos) in {1033: (-5000, 0, 0), 1041: (5, 60, 30), 1043: (0, 100, 75),
                                              1050: (1, 60, 1), 1052: (1, 60, 1)}.items():
                self.assertEqual((int(d[f"a.{control}.min"]), int(d[f"a.{control}.max"]),
                                  int(d[f"a.{control}.pos"])), (low, high, pos), control)
                self.assertEqual(int(d[f"a.{control}.style"], 16) & 0x12, 0x10, "horizontal, no ticks")
        with self.subTest("inverted boxes and what they enable"):
            self.assertEqual(d["a.1022.checked"], "0", "sound is off")
            self.assertEqual(d["a.1023.checked"], "0", "mouse movement does not end the show")
            self.assertEqual((d["a.1033.enabled"], d["a.1029.enabled"]), ("0", "0"))
            for control in (1050, 1049, 1052, 1051, 1003, 1045):
                self.assertEqual(d[f"a.{control}.enabled"], "0", control)
            self.assertEqual(d["a.1001.enabled"], "0", "desktop settings: no mode choice")
        with self.subTest("layout in dialog units"):
            self.assertLaidOut(d, "a")
            # The scroll bar style goes to the list the control drops down.
            for control in (1000, 1001, 1002, 1003):
                self.assertEqual(int(d[f"a.{control}.style"], 16) & 0x103, 0x3, "drop-down list, unsorted")
            self.assertEqual(int(d["a.1036.exstyle"], 16) & 0x20000, 0x20000, "static edge")

        # Many changes, then Cancel: nothing of them reaches the registry.
        drive(CONFIG_TITLE, "click:1022", "click:1044", "click:1047", "click:1024", "click:1012",
              "select:1001:0", "select:1000:1", "select:1002:5", "select:1003:2", "pos:1043:10",
              "pos:1041:60", "pos:1033:-3000", "click:2")
        self.assertEqual(ends_within(p, 10), 0)
        self.assertEqual(stored(), before, "byte for byte as it was")

    def test_closing_the_window_saves_nothing(self):
        p = self.open_dialog()
        drive(CONFIG_TITLE, "click:1026", "pos:1043:0")
        subprocess.run(["xdotool", "search", "--name", "^" + CONFIG_TITLE + "$", "windowclose"],
                       stderr=subprocess.DEVNULL)
        if ends_within(p, 10) is None:
            # The window manager's close reaches the dialog as its system close.
            self.skipTest("no window manager to close the window")
        self.assertEqual(stored(), (False, {}))


class AcceptTests(DialogCase):
    def test_every_control_reaches_its_setting(self):
        p = self.open_dialog()
        d = drive(CONFIG_TITLE, "click:1022", "click:1023", "click:1024", "click:1025", "click:1026",
                  "click:1021", "click:1039", "click:1044", "click:1047", "click:1012",
                  "select:1002:24", "select:1003:5", "pos:1043:75", "pos:1050:10", "pos:1052:20",
                  "pos:1041:45", "pos:1033:-2500", "dump:b")
        self.assertEqual(d["b.1042.text"], "Gamma control: 1.25")
        self.assertEqual(d["b.1049.text"], "Light delay: 10 min")
        self.assertEqual(d["b.1051.text"], "Change delay: 20 min")
        self.assertEqual(d["b.1040.text"], "Camera delay: 45 sec")
        self.assertEqual(d["b.1033.enabled"], "0", "sound off greys out the volume")
        self.assertEqual(d["b.1050.enabled"], "0", "lighting off greys out its delays")
        self.assertEqual(d["b.1003.enabled"], "0", "firing off greys out the period")
        self.assertEqual(d["b.1001.enabled"], "1", "own mode: the mode list is open")
        self.finish(p, 1)
        _, values = stored()
        got = texts(values)
        expected = {"DisableSound": "2: 1", "DisableOnMouseActivate": "2: 1", "EnableLightmaps": "2: 0",
                    "EnableEnvWater": "2: 0", "EnableLensFlares": "2: 0", "ShowFPS": "2: 1", "RandomView": "2: 1",
                    "EnableLighting": "2: 0", "EnableFiring": "2: 0", "UseDesktopRes": "2: 0", "FlagNum": "2: 24",
                    "FiringPeriod": "2: 5", "GammaControl": "2: 75", "LightDelay": "2: 10", "ChangeDelay": "2: 20",
                    "SwitchPeriod": "2: 45", "MasterVolume": "2: -2500"}
        for name, text in expected.items():
            self.assertEqual(got.get(name), text, name)
        self.assertTrue(all(kind == 1 for kind, _, _ in values.values()), "all REG_SZ")

    def test_a_device_change_resets_the_mode_to_that_devices_default(self):
        info, devices = device_table()
        if len(devices) < 2:
            self.skipTest("one device only")
        p = self.open_dialog()
        # An own mode other than the default on the first device, then the second device.
        first_mode = len(devices[0]["modes"]) - 1
        d = drive(CONFIG_TITLE, "select:1000:0", "click:1012", f"select:1001:{first_mode}", "dump:x",
                  "select:1000:1", "dump:y")
        self.assertEqual(d["x.1001.sel"], str(first_mode))
        self.assertEqual(int(d["y.1001.count"]), len(devices[1]["modes"]))
        self.finish(p, 1)
        values = texts(stored()[1])
        self.assertEqual(values["DeviceNum"], "2: 1")
        self.assertEqual(values["ModeNum"], f"2: {devices[1]['default']}")
        self.assertEqual(values["UseDesktopRes"], "2: 0")
        self.assertEqual(d["y.1001.sel"], str(devices[1]["default"]))
        for i in range(len(devices)):
            if int(info[f"device.{i}.textures"]) < 2:
                with self.subTest("one texture at a time", device=i):
                    p = self.open_dialog()
                    d = drive(CONFIG_TITLE, f"select:1000:{i}", "dump:z")
                    self.assertEqual((d["z.1024.enabled"], d["z.1025.enabled"]), ("0", "0"))
                    self.finish(p, 1)
                    values = texts(stored()[1])
                    self.assertEqual((values["EnableLightmaps"], values["EnableEnvWater"]), ("2: 0", "2: 0"))


class ChooserAndCameraTests(DialogCase):
    def test_flag_chooser_opens_once_and_camera_dialog_stores_all_seven(self):
        p = self.open_dialog()
        d = drive(CONFIG_TITLE, "select:1002:1", "count:Open:1500")
        self.assertEqual(d["count.Open"], "1", "choosing the custom flag opens the chooser")
        drive("Open", "click:2")
        d = drive(CONFIG_TITLE, "select:1002:1", "count:Open:1500")
        self.assertEqual(d["count.Open"], "0", "already the custom flag: no second chooser")
        d = drive(CONFIG_TITLE, "select:1002:3", "select:1002:1", "count:Open:1500")
        self.assertEqual(d["count.Open"], "1", "another flag in between: it opens again")
        drive("Open", "click:2")

        drive(CONFIG_TITLE, "postclick:1036", f"dialog:{CAMERA_TITLE}")
        c = drive(CAMERA_TITLE, "dump:c")
        shot = screenshot(CAMERA_TITLE, "camera_dialog_96dpi.png")
        self.assertGreater(os.path.getsize(shot), 0)
        self.assertEqual([c[f"c.{box}.checked"] for box in CAMERA_BOXES], ["1"] * 7)
        self.assertEqual([c[f"c.{box}.text"] for box in CAMERA_BOXES], [f"Camera {i}" for i in range(1, 8)])
        drive(CAMERA_TITLE, *[f"click:{box}" for box in CAMERA_BOXES], "click:1")
        # Cancel of a second round keeps what the first OK stored in memory.
        drive(CONFIG_TITLE, "postclick:1036", f"dialog:{CAMERA_TITLE}", "click:1039", "click:2")
        self.finish(p, 1)
        values = texts(stored()[1])
        self.assertEqual([values[f"Camera{i}"] for i in range(1, 8)], ["2: 0"] * 7, "all seven cleared")
        self.assertEqual(values["FlagNum"], "2: 1")
        self.assertNotIn("FlagPath", values, "a cancelled choice sets no path")


class ScalingTests(DialogCase):
    def test_the_dialogs_scale_with_the_display_at_144_dpi(self):
        desktop = "HKCU\\Control Panel\\Desktop"
        self.assertEqual(reg("add", desktop, "/v", "LogPixels", "/t", "REG_DWORD", "/d", "144", "/f")[0], 0)
        try:
            p = self.open_dialog()
            d = drive(CONFIG_TITLE, "dump:h")
            screenshot(CONFIG_TITLE, "config_dialog_144dpi.png")
            drive(CONFIG_TITLE, "postclick:1036", f"dialog:{CAMERA_TITLE}")
            screenshot(CAMERA_TITLE, "camera_dialog_144dpi.png")
            drive(CAMERA_TITLE, "click:2")
            self.finish(p, 2)
        finally:
            reg("delete", desktop, "/v", "LogPixels", "/f")
        self.assertGreater(self.assertLaidOut(d, "h"), 318 * 7 // 4 * 13 // 10, "larger than at 96 DPI")
        self.assertEqual(stored(), (False, {}))


if __name__ == "__main__":
    unittest.main()
