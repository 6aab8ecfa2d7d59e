#!/usr/bin/env python3
"""Frame rates of the show under Wine, at 800x600 and 1024x768, each against
the bare frame (clear and present only) measured in the same process.

    bench/floor/show_fps.py WIN64_BUILD [SECONDS]

Runs the program's own window, scene and frames through display_driver (built
with the program's resources) inside a 1024x768 Wine virtual desktop: full
screen at 800x600 and 1024x768 (flipped), and at desktop resolution
(blitted). Prints the figures; asserts nothing about speed. Needs an X display
and a Wine prefix (WINEPREFIX); the prefix's stored settings are put back.
"""
import os
import subprocess
import sys
import tempfile


def main():
    if len(sys.argv) < 2:
        print(__doc__)
        return 2
    build = os.path.abspath(sys.argv[1])
    seconds = sys.argv[2] if len(sys.argv) > 2 else "10"
    os.environ.setdefault("BRISANE_SCR", os.path.join(build, "Brisane.scr"))
    os.environ.setdefault("BRISANE_DRIVERS", os.path.join(build, "tests", "win"))
    os.environ.setdefault("WINEDEBUG", "-all")
    sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tests", "win"))
    from winenv import DISPLAY_DRIVER, SETTINGS_KEY, clear_settings, device_table, finish, reg, set_setting

    key = "HKCU\\" + SETTINGS_KEY
    saved = os.path.join(tempfile.mkdtemp(), "settings.reg")
    had_settings = reg("export", key, "Z:" + saved.replace("/", "\\"), "/y")[0] == 0
    try:
        clear_settings()
        info, devices = device_table(desktop=True)
        modes = devices[int(info["current"])]["modes"]
        runs = [("full screen 800x600", (800, 600, 32)), ("full screen 1024x768", (1024, 768, 32)),
                ("desktop resolution 1024x768", None)]
        for label, mode in runs:
            clear_settings()
            if mode:
                set_setting("UseDesktopRes", "2: 0")
                set_setting("ModeNum", f"2: {modes.index(mode)}")
            code, f = finish(DISPLAY_DRIVER, "frames", seconds, desktop=True, timeout=300)
            if code != 0 or f.get("scene") != "1":
                print(f"{label}: the driver failed ({code}) {f}")
                continue
            print(f"{label} ({f['mode']}): {f['fps']} frames/s with the scene, {f['clear.fps']} frames/s bare; "
                  f"ratio {f['ratio']} ({f['frames']} and {f['clear.frames']} frames in {seconds} s each; "
                  f"scene set-up {f['setup.seconds']} s)")
    finally:
        clear_settings()
        if had_settings:
            reg("import", "Z:" + saved.replace("/", "\\"))
    with open("/proc/loadavg", encoding="ascii") as load:
        print(f"machine load average: {load.read().split()[0]} on {os.cpu_count()} CPUs")
    return 0


if __name__ == "__main__":
    sys.exit(main())
