"""Running the Windows build under Wine and driving it from the X side.

The tests run inside ./run test, which provides DISPLAY (its own Xvfb), a
WINEPREFIX under the build folder and a persistent wineserver.
"""
import os
import re
import subprocess
import time
import unittest

WINE = "/usr/lib/wine/wine64"
SCR = os.environ.get("BRISANE_SCR", "")
DRIVERS = os.environ.get("BRISANE_DRIVERS", "")


def driver(name):
    """Path of one of the Windows test drivers (tests/win/drivers/NAME.cpp)."""
    return os.path.join(DRIVERS, name + ".exe")


HARNESS = driver("harness")
FATAL_DRIVER = driver("fatal_driver")
SETTINGS_DRIVER = driver("settings_driver")

SETTINGS_KEY = r"Control Panel\Desktop\ScreenSaver.Brisane 3D Screensaver"
SHOW_TITLE = "Brisane 3D Screensaver"
CONFIG_TITLE = "Brisane 3D Screensaver 1.0 Configuration"
SUPPORT_LINE = "\n\nIf you see this message then please contact us at support@duskwright.example\n"


def start(program, *args):
    """Starts a Windows program; returns its Popen (the exit code is the program's)."""
    return subprocess.Popen([WINE, program, *args], stdout=subprocess.PIPE,
                            stderr=subprocess.DEVNULL, text=True)


def run(program, *args, timeout=60):
    """Runs a Windows program to its end; returns (exit code, stdout)."""
    p = subprocess.run([WINE, program, *args], stdout=subprocess.PIPE,
                       stderr=subprocess.DEVNULL, text=True, timeout=timeout)
    return p.returncode, p.stdout


def fields(text):
    """key=value lines as a dict; repeated keys keep the last."""
    out = {}
    for line in text.splitlines():
        key, sep, value = line.partition("=")
        if sep:
            out[key] = value
    return out


def harness(*args, timeout=60):
    code, out = run(HARNESS, *args, timeout=timeout)
    if code != 0:
        raise AssertionError(f"harness {args} failed with {code}: {out}")
    return fields(out)


def answer(title, button=1, timeout_ms=20000):
    """Reads the message box or dialog with that title and presses a button."""
    return harness("answer", title, str(timeout_ms), str(button))


def unescape(text):
    return re.sub(r"\\(x[0-9a-f]{2}|.)", lambda m: {
        "n": "\n", "r": "\r", "t": "\t", "\\": "\\"}.get(m.group(1), None)
        or chr(int(m.group(1)[1:], 16)), text)


def x_windows(title_regex):
    """X windows whose title matches (top-level windows of Wine carry their titles)."""
    p = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", title_regex],
                       stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
    return p.stdout.split()


def wait_for_x_window(title_regex, timeout=30.0):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        found = x_windows(title_regex)
        if found:
            return found
        time.sleep(0.1)
    raise AssertionError(f"no window titled {title_regex!r} within {timeout} s")


def xdotool(*args):
    subprocess.run(["xdotool", *args], check=True)


def reg(*args):
    """Wine's reg.exe in the same prefix; returns (exit code, stdout)."""
    return run("reg", *args)


def clear_settings():
    reg("delete", "HKCU\\" + SETTINGS_KEY, "/f")


def set_setting(name, text):
    code, out = reg("add", "HKCU\\" + SETTINGS_KEY, "/v", name, "/t", "REG_SZ", "/d", text, "/f")
    if code != 0:
        raise AssertionError(f"reg add {name} failed: {out}")


def ends_within(process, seconds):
    """The exit code if the process ends within the time, else None."""
    try:
        return process.wait(timeout=seconds)
    except subprocess.TimeoutExpired:
        return None


def stop(process):
    if process.poll() is None:
        process.kill()
        process.wait()


class WineCase(unittest.TestCase):
    """Starts from no stored settings, and stops what it started."""

    def setUp(self):
        clear_settings()
        self.processes = []

    def tearDown(self):
        for p in self.processes:
            stop(p)
            if p.stdout:
                p.stdout.close()
        clear_settings()
