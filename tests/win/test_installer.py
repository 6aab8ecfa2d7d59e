"""The installer built beside the program, run silently: what it puts where and
what the uninstaller takes away and gives back."""
import filecmp
import os
import time

from winenv import SCR, SETTINGS_KEY, WineCase, reg, reg_value as value, run, set_setting

ARCH = "amd64" if os.path.basename(os.path.dirname(SCR)) != "win32" else "x86"
SETUP = os.path.join(os.path.dirname(SCR), f"Brisane-Setup-{ARCH}.exe")
DESKTOP = "HKCU\\Control Panel\\Desktop"
UNINSTALL = "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Brisane3DScreensaver"
PREVIOUS = "C:\\windows\\system32\\scrnsave.scr"


def set_value(key, name, data):
    if data is None:
        reg("delete", key, "/v", name, "/f")
    else:
        assert reg("add", key, "/v", name, "/t", "REG_SZ", "/d", data, "/f")[0] == 0


def unix_path(windows_path):
    return run("winepath", "-u", windows_path)[1].strip()


def exists(key):
    return reg("query", key)[0] == 0


class InstallerTests(WineCase):
    def setUp(self):
        super().setUp()
        self.assertTrue(os.path.exists(SETUP), f"the build makes {SETUP} (makensis from ./run setup)")
        for name in ("SCRNSAVE.EXE", "ScreenSaveActive"):
            self.addCleanup(set_value, DESKTOP, name, value(DESKTOP, name))
        self.addCleanup(reg, "delete", UNINSTALL, "/f")

    def install(self):
        self.assertEqual(run(SETUP, "/S", timeout=120)[0], 0)
        location = value(UNINSTALL, "InstallLocation")
        self.assertIsNotNone(location, "the uninstall entry names the folder")
        return location, unix_path(location)

    def uninstall(self, location, *switches):
        folder = unix_path(location)
        self.assertEqual(run(unix_path(location + "\\Uninstall.exe"), "/S", *switches, timeout=120)[0], 0)
        # The uninstaller runs on from a copy of itself so it can delete the original.
        deadline = time.monotonic() + 60
        while (os.path.exists(folder) or exists(UNINSTALL)) and time.monotonic() < deadline:
            time.sleep(0.5)
        self.assertFalse(os.path.exists(folder), "the program, the uninstaller and the folder are gone")
        self.assertFalse(exists(UNINSTALL), "the uninstall entry is gone")

    def test_silent_install_sets_the_screensaver_and_the_uninstaller_gives_the_old_one_back(self):
        set_value(DESKTOP, "SCRNSAVE.EXE", PREVIOUS)
        set_value(DESKTOP, "ScreenSaveActive", "0")
        location, folder = self.install()
        program = location + "\\Brisane.scr"
        self.assertTrue(location.lower().endswith("\\programs\\brisane") and " " not in location, location)
        self.assertTrue(filecmp.cmp(os.path.join(folder, "Brisane.scr"), SCR, shallow=False), "the build's program")
        self.assertEqual((value(DESKTOP, "SCRNSAVE.EXE"), value(DESKTOP, "ScreenSaveActive")), (program, "1"))
        self.assertEqual([value(UNINSTALL, k) for k in ("DisplayName", "UninstallString", "QuietUninstallString")],
                         ["Brisane 3D Screensaver", f'"{location}\\Uninstall.exe"', f'"{location}\\Uninstall.exe" /S'])

        set_setting("FlagNum", "2: 3")
        self.uninstall(location)
        self.assertEqual((value(DESKTOP, "SCRNSAVE.EXE"), value(DESKTOP, "ScreenSaveActive")), (PREVIOUS, "0"),
                         "the previous screensaver is back")
        self.assertTrue(exists("HKCU\\" + SETTINGS_KEY), "a silent uninstall keeps the settings")

    def test_uninstall_with_the_switch_removes_the_settings_and_leaves_a_newer_choice(self):
        set_value(DESKTOP, "SCRNSAVE.EXE", None)
        self.install()
        location, _ = self.install()  # over itself: what was there before the first install is kept
        self.assertEqual(value(UNINSTALL, "PreviousScreenSaver"), "")
        set_setting("FlagNum", "2: 3")
        self.uninstall(location, "/REMOVESETTINGS")
        self.assertFalse(exists("HKCU\\" + SETTINGS_KEY), "the switch removes the settings")
        self.assertIsNone(value(DESKTOP, "SCRNSAVE.EXE"), "no screensaver before, none after")

        # A screensaver the user chose after installing stays chosen.
        location, _ = self.install()
        set_value(DESKTOP, "SCRNSAVE.EXE", PREVIOUS)
        self.uninstall(location)
        self.assertEqual(value(DESKTOP, "SCRNSAVE.EXE"), PREVIOUS)
