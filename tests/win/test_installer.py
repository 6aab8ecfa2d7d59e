"""The installer built beside the program, run silently under Wine: what it
puts where, the screensaver setting, the uninstall entry, and what the
uninstaller takes away and gives back."""
import filecmp
import os
import time
import unittest

from winenv import (clear_settings, ends_within, reg, run, SCR, set_setting, SETTINGS_KEY, SHOW_TITLE, start,
                    wait_for_x_window, WineCase, xdotool)

ARCH = "amd64" if os.path.basename(os.path.dirname(SCR)) != "win32" else "x86"
SETUP = os.path.join(os.path.dirname(SCR), f"Brisane-Setup-{ARCH}.exe")
DESKTOP = "HKCU\\Control Panel\\Desktop"
UNINSTALL = "HKCU\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Brisane3DScreensaver"
PREVIOUS = "C:\\windows\\system32\\scrnsave.scr"


def reg_value(key, name):
    """The value's data as reg.exe prints it, or None where there is none."""
    code, out = reg("query", key, "/v", name)
    if code != 0:
        return None
    for line in out.splitlines():
        parts = line.strip().split(None, 2)
        if len(parts) >= 2 and parts[0].lower() == name.lower() and parts[1].startswith("REG_"):
            return parts[2] if len(parts) == 3 else ""
    return None


def set_value(key, name, data):
    if data is None:
        reg("delete", key, "/v", name, "/f")
    else:
        assert reg("add", key, "/v", name, "/t", "REG_SZ", "/d", data, "/f")[0] == 0


def unix_path(windows_path):
    code, out = run("winepath", "-u", windows_path)
    assert code == 0, out
    return out.strip()


def key_exists(key):
    return reg("query", key)[0] == 0


class InstallerCase(WineCase):
    def setUp(self):
        super().setUp()
        self.assertTrue(os.path.exists(SETUP), f"the build makes {SETUP} (makensis from ./run setup)")
        self.saved = {name: reg_value(DESKTOP, name) for name in ("SCRNSAVE.EXE", "ScreenSaveActive")}
        self.folder = None

    def tearDown(self):
        super().tearDown()
        for name, data in self.saved.items():
            set_value(DESKTOP, name, data)
        reg("delete", UNINSTALL, "/f")
        if self.folder and os.path.isdir(self.folder):
            for name in os.listdir(self.folder):
                os.remove(os.path.join(self.folder, name))
            os.rmdir(self.folder)

    def install(self):
        code, out = run(SETUP, "/S", timeout=120)
        self.assertEqual(code, 0, out)
        location = reg_value(UNINSTALL, "InstallLocation")
        self.assertIsNotNone(location, "the uninstall entry names the folder")
        self.folder = unix_path(location)
        return location

    def uninstall(self, location, *switches):
        code, _ = run(unix_path(location + "\\Uninstall.exe"), "/S", *switches, timeout=120)
        self.assertEqual(code, 0)
        # The uninstaller runs on from a copy of itself so it can delete the
        # original: wait for its work to show.
        deadline = time.monotonic() + 60
        while (os.path.exists(self.folder) or key_exists(UNINSTALL)) and time.monotonic() < deadline:
            time.sleep(0.5)


class InstallTests(InstallerCase):
    def test_silent_install_sets_the_screensaver_and_the_uninstaller_gives_the_old_one_back(self):
        set_value(DESKTOP, "SCRNSAVE.EXE", PREVIOUS)
        set_value(DESKTOP, "ScreenSaveActive", "0")
        location = self.install()

        program = location + "\\Brisane.scr"
        self.assertTrue(location.lower().endswith("\\programs\\brisane"), location)
        self.assertNotIn(" ", location, "a bare path in the setting, without blanks")
        self.assertTrue(filecmp.cmp(unix_path(program), SCR, shallow=False), "the build's program, byte for byte")
        self.assertEqual(reg_value(DESKTOP, "SCRNSAVE.EXE"), program)
        self.assertEqual(reg_value(DESKTOP, "ScreenSaveActive"), "1")
        self.assertEqual(reg_value(UNINSTALL, "DisplayName"), "Brisane 3D Screensaver")
        self.assertEqual(reg_value(UNINSTALL, "UninstallString"), f'"{location}\\Uninstall.exe"')
        self.assertEqual(reg_value(UNINSTALL, "QuietUninstallString"), f'"{location}\\Uninstall.exe" /S')
        self.assertTrue(os.path.exists(unix_path(location + "\\Uninstall.exe")))

        # The show starts from the installed file, as the system would start it.
        p = start(unix_path(program), "/s")
        self.processes.append(p)
        wait_for_x_window("^" + SHOW_TITLE + "$")
        time.sleep(0.5)
        xdotool("key", "a")
        self.assertEqual(ends_within(p, 10), 0)

        set_setting("FlagNum", "2: 3")
        self.uninstall(location)
        self.assertFalse(os.path.exists(self.folder), "the program, the uninstaller and the folder are gone")
        self.assertFalse(key_exists(UNINSTALL), "the uninstall entry is gone")
        self.assertEqual(reg_value(DESKTOP, "SCRNSAVE.EXE"), PREVIOUS, "the previous screensaver is back")
        self.assertEqual(reg_value(DESKTOP, "ScreenSaveActive"), "0")
        self.assertTrue(key_exists("HKCU\\" + SETTINGS_KEY), "a silent uninstall keeps the settings")

    def test_uninstall_with_the_switch_removes_the_settings_and_leaves_a_newer_choice(self):
        set_value(DESKTOP, "SCRNSAVE.EXE", None)
        location = self.install()
        # Reinstalling over itself keeps what was there before the first install.
        location = self.install()
        self.assertEqual(reg_value(UNINSTALL, "PreviousScreenSaver"), "")
        set_setting("FlagNum", "2: 3")

        self.uninstall(location, "/REMOVESETTINGS")
        self.assertFalse(os.path.exists(self.folder))
        self.assertFalse(key_exists("HKCU\\" + SETTINGS_KEY), "the switch removes the settings")
        self.assertIsNone(reg_value(DESKTOP, "SCRNSAVE.EXE"), "no screensaver before, none after")

        # A screensaver the user chose after installing stays chosen.
        location = self.install()
        set_value(DESKTOP, "SCRNSAVE.EXE", PREVIOUS)
        self.uninstall(location)
        self.assertFalse(os.path.exists(self.folder))
        self.assertEqual(reg_value(DESKTOP, "SCRNSAVE.EXE"), PREVIOUS)
        clear_settings()


if __name__ == "__main__":
    unittest.main()
