#!/usr/bin/env python3
"""The show against the bare Direct3D program, in one Wine run.

    bench/floor/compare.py WIN64_BUILD [SECONDS] [TRIANGLES]

Runs floor.exe (bring-up at the desktop's resolution, then clear, TRIANGLES
lit two-stage triangles from system memory, flip; 128000 unless told, what
the show draws a frame) and the show's own window code (display_driver
figures) full screen at the same 1024x768, and prints the three ratios:
first frame (target at most 1.2), frames a second (at least 1.0) and peak
memory (at most 1.1). Prints figures only. Needs an X display of 1024x768
and a Wine prefix (WINEPREFIX) with its wineserver running; the prefix's
stored settings are put back.
"""
import os
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
WINE = "/usr/lib/wine/wine64"


def fields(text):
    return dict(line.split("=", 1) for line in text.splitlines() if "=" in line)


def run(program, *args, timeout=300):
    with tempfile.TemporaryFile(mode="w+") as out:
        subprocess.run([WINE, program, *map(str, args)], stdout=out, stderr=subprocess.DEVNULL, timeout=timeout)
        out.seek(0)
        return fields(out.read())


def main():
    if len(sys.argv) < 2:
        print(__doc__)
        return 2
    build = os.path.abspath(sys.argv[1])
    seconds = float(sys.argv[2]) if len(sys.argv) > 2 else 10.0
    triangles = int(sys.argv[3]) if len(sys.argv) > 3 else 128000
    os.environ.setdefault("BRISANE_SCR", os.path.join(build, "Brisane.scr"))
    os.environ.setdefault("BRISANE_DRIVERS", os.path.join(build, "tests", "win"))
    sys.path.insert(0, os.path.join(HERE, "..", "..", "tests", "win"))
    from test_display import DISPLAY_DRIVER, device_table
    from winenv import SETTINGS_KEY, clear_settings, reg, set_setting

    key = "HKCU\\" + SETTINGS_KEY
    saved = os.path.join(tempfile.mkdtemp(), "settings.reg")
    had_settings = reg("export", key, "Z:" + saved.replace("/", "\\"), "/y")[0] == 0
    try:
        clear_settings()
        info, devices = device_table(desktop=False)
        modes = devices[int(info["current"])]["modes"]
        set_setting("UseDesktopRes", "2: 0")
        set_setting("ModeNum", f"2: {modes.index((1024, 768, 32))}")
        floor = run(os.path.join(build, "floor.exe"), triangles, seconds)
        show = run(DISPLAY_DRIVER, "figures", seconds)
    finally:
        clear_settings()
        if had_settings:
            reg("import", "Z:" + saved.replace("/", "\\"))
    if "fps" not in floor or show.get("scene") != "1":
        print(f"compare: a run failed: floor {floor}, show {show}")
        return 1
    print(f"floor: {floor['triangles']} triangles a frame; first frame {floor['first_frame_s']} s, "
          f"{floor['fps']} frames/s, peak {floor['peak_memory_mb']} MB")
    print(f"show:  mode {show['mode']}; first frame {show['first_frame_s']} s, {show['fps']} frames/s, "
          f"peak {show['peak_memory_mb']} MB")
    ratio = lambda key: float(show[key]) / float(floor[key])
    print(f"first frame ratio {ratio('first_frame_s'):.2f} (target at most 1.2); "
          f"frames/s ratio {ratio('fps'):.2f} (at least 1.0); "
          f"peak memory ratio {ratio('peak_memory_mb'):.2f} (at most 1.1)")
    with open("/proc/loadavg", encoding="ascii") as load:
        print(f"machine load average: {load.read().split()[0]} on {os.cpu_count()} CPUs")
    return 0


if __name__ == "__main__":
    sys.exit(main())
