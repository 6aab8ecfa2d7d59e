"""The configuration dialog (no switch, or /c), worked through its controls
with the messages they send, then read back from the registry byte for byte."""
from winenv import (CONFIG_TITLE, HARNESS, SCR, WineCase, device_table, ends_within, fields, regdump, run, screenshot,
                    set_setting, x_windows)

CAMERA_TITLE = "Camera selection"
CAMERA_BOXES = [1038, 1039, 1041, 1042, 1044, 1043, 1040]  # in setting order


def drive(title, *steps):
    code, out = run(HARNESS, "dialog", title, *steps)
    info = fields(out)
    if code != 0 or info.get("found") != "1":
        raise AssertionError(f"harness dialog {steps} failed with {code}: {out}")
    return info


def texts():
    return {name: text for name, (_, text) in regdump()[1].items()}


class DialogTests(WineCase):
    def finish(self, p, button):
        drive(CONFIG_TITLE, f"click:{button}")
        self.assertEqual(ends_within(p, 10), 0)

    def test_it_shows_the_stored_settings_and_cancel_leaves_the_registry_untouched(self):
        for name, text in [("DisableSound", "2: 1"), ("EnableLighting", "2: 0"), ("EnableFiring", "2: 0"),
                           ("GammaControl", "2: 75"), ("SwitchPeriod", "2: 30"), ("FlagNum", "2: 19"),
                           ("FiringPeriod", "2: 4"), ("DisableOnMouseActivate", "2: 1"), ("FlagPath", "3: C:\\f.jpg")]:
            set_setting(name, text)
        before = regdump()
        p = self.launch(SCR)
        d = drive(CONFIG_TITLE, "dump:a")
        screenshot("config_dialog_96dpi.png", x_windows("^" + CONFIG_TITLE + "$")[-1])
        self.assertEqual(x_windows("^Brisane 3D Screensaver$"), [], "no show behind the dialog")
        width, height = (int(v) for v in d["a.client"].split(","))
        for key in (k for k in d if k.endswith(".rect")):  # every control inside the dialog
            x, y, w, h = (int(v) for v in d[key].split(","))
            self.assertTrue(0 <= x < x + w <= width and 0 <= y < y + h <= height, f"{key} {d[key]} in {width}x{height}")
        # Whole entries across processes, in the program's order.
        flags = [d[f"a.1002.item.{i}"] for i in range(int(d["a.1002.count"]))]
        self.assertEqual((len(flags), flags[:3], flags[-1]),
                         (27, ["Duskwright", "Load custom flag from file...", "Argentina"], "United States"))
        self.assertEqual([d[f"a.1003.item.{i}"] for i in range(6)], [f"{m} min." for m in (1, 5, 10, 15, 30, 60)])
        self.assertEqual((d["a.1002.sel"], d["a.1003.sel"]), ("19", "4"))
        self.assertEqual([d[f"a.{c}.text"] for c in (1042, 1040, 1049, 1051)],
                         ["Gamma control: 1.25", "Camera delay: 30 sec", "Light delay: 1 min", "Change delay: 1 min"])
        for control, (low, high, pos) in {1033: (-5000, 0, 0), 1041: (5, 60, 30), 1043: (0, 100, 75),
                                          1050: (1, 60, 1), 1052: (1, 60, 1)}.items():
            self.assertEqual([int(d[f"a.{control}.{k}"]) for k in ("min", "max", "pos")], [low, high, pos], control)
            self.assertEqual(int(d[f"a.{control}.style"], 16) & 0x12, 0x10, "horizontal, no ticks")
        for control in (1000, 1001, 1002, 1003):
            self.assertEqual(int(d[f"a.{control}.style"], 16) & 0x103, 0x3, "drop-down list, unsorted")
        # Inverted boxes, and what the settings grey out.
        self.assertEqual((d["a.1022.checked"], d["a.1023.checked"]), ("0", "0"))
        for control in (1033, 1029, 1050, 1049, 1052, 1051, 1003, 1045, 1001):
            self.assertEqual(d[f"a.{control}.enabled"], "0", control)

        drive(CONFIG_TITLE, "click:1022", "click:1044", "click:1047", "click:1024", "click:1012",
              "select:1001:0", "select:1000:1", "select:1002:5", "select:1003:2", "pos:1043:10",
              "pos:1041:60", "pos:1033:-3000", "click:2")
        self.assertEqual(ends_within(p, 10), 0)
        self.assertEqual(regdump(), before, "Cancel stores nothing")

    def test_every_control_reaches_its_setting_and_ok_keeps_the_rest(self):
        set_setting("Camera3", "2: 0x0")
        set_setting("Unknown", "7: 5")
        flag = "3: C:\\" + "f" * 300 + "\\flag.jpg"  # a long path stored again whole
        set_setting("FlagPath", flag)
        p = self.launch(SCR, "/c")
        d = drive(CONFIG_TITLE, "click:1022", "click:1023", "click:1024", "click:1025", "click:1026",
                  "click:1021", "click:1039", "click:1044", "click:1047", "click:1012",
                  "select:1002:24", "select:1003:5", "pos:1043:75", "pos:1050:10", "pos:1052:20",
                  "pos:1041:45", "pos:1033:-2500", "dump:b")
        self.assertEqual([d[f"b.{c}.text"] for c in (1042, 1049, 1051, 1040)],
                         ["Gamma control: 1.25", "Light delay: 10 min", "Change delay: 20 min", "Camera delay: 45 sec"])
        # Sound, lighting and firing off grey out theirs; an own mode opens the mode list.
        self.assertEqual([d[f"b.{c}.enabled"] for c in (1033, 1050, 1003, 1001)], ["0", "0", "0", "1"])
        self.finish(p, 1)
        _, values = regdump()
        # Camera3 read as a number and written in decimal; the others left alone.
        expected = {"DisableSound": "2: 1", "DisableOnMouseActivate": "2: 1", "EnableLightmaps": "2: 0",
                    "EnableEnvWater": "2: 0", "EnableLensFlares": "2: 0", "ShowFPS": "2: 1", "RandomView": "2: 1",
                    "EnableLighting": "2: 0", "EnableFiring": "2: 0", "UseDesktopRes": "2: 0", "FlagNum": "2: 24",
                    "FiringPeriod": "2: 5", "GammaControl": "2: 75", "LightDelay": "2: 10", "ChangeDelay": "2: 20",
                    "SwitchPeriod": "2: 45", "MasterVolume": "2: -2500",
                    "Camera3": "2: 0", "Unknown": "7: 5", "FlagPath": flag}
        self.assertEqual({name: values.get(name, (1, None))[1] for name in expected}, expected)
        self.assertTrue(all(kind == 1 for kind, _ in values.values()), "all REG_SZ")

    def test_a_device_change_resets_the_mode_to_that_devices_default(self):
        info, devices = device_table()
        if len(devices) < 2:
            self.skipTest("one device only")
        p = self.launch(SCR, "/c")
        last = len(devices[0]["modes"]) - 1
        d = drive(CONFIG_TITLE, "select:1000:0", "click:1012", f"select:1001:{last}", "dump:x", "select:1000:1",
                  "dump:y")
        self.assertEqual(d["x.1001.sel"], str(last))
        self.assertEqual((int(d["y.1001.count"]), d["y.1001.sel"]), (len(devices[1]["modes"]),
                                                                     str(devices[1]["default"])))
        self.finish(p, 1)
        values = texts()
        self.assertEqual([values[k] for k in ("DeviceNum", "ModeNum", "UseDesktopRes")],
                         ["2: 1", f"2: {devices[1]['default']}", "2: 0"])

    def test_flag_chooser_opens_once_and_camera_dialog_stores_all_seven(self):
        p = self.launch(SCR, "/c")
        counts = []
        for steps in (["select:1002:1"], ["select:1002:1"], ["select:1002:3", "select:1002:1"]):
            counts.append(drive(CONFIG_TITLE, *steps, "count:Open:1500")["count.Open"])
            if counts[-1] == "1":
                drive("Open", "click:2")
        self.assertEqual(counts, ["1", "0", "1"], "again only after another flag")

        drive(CONFIG_TITLE, "postclick:1036", f"dialog:{CAMERA_TITLE}")
        c = drive(CAMERA_TITLE, "dump:c")
        self.assertEqual([c[f"c.{box}.checked"] for box in CAMERA_BOXES], ["1"] * 7)
        self.assertEqual([c[f"c.{box}.text"] for box in CAMERA_BOXES], [f"Camera {i}" for i in range(1, 8)])
        drive(CAMERA_TITLE, *[f"click:{box}" for box in CAMERA_BOXES], "click:1")
        # Cancel of a second round keeps what the first OK stored in memory.
        drive(CONFIG_TITLE, "postclick:1036", f"dialog:{CAMERA_TITLE}", "click:1039", "click:2")
        self.finish(p, 1)
        values = texts()
        self.assertEqual([values[f"Camera{i}"] for i in range(1, 8)], ["2: 0"] * 7)
        self.assertEqual(values["FlagNum"], "2: 1")
        self.assertNotIn("FlagPath", values, "a cancelled choice sets no path")
