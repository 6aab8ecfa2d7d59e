#!/usr/bin/env python3
"""The show at desktop resolution (blitted to its window) with its frames
paced to the display's refresh rate, against the same build blitting as
fast as it can, in one Wine run.

    python3 -m bench.floor.pacing WIN64_BUILD [SECONDS] [--rounds N]

Runs show_figures.exe inside a 640x480 Wine virtual desktop, alternating
paced and unpaced runs of SECONDS (20 unless told) of two kinds: the show's
bare frame (clear and present, as fast as a graphics card that draws the
scene faster than the display refreshes), and the show's full frame (which
a software rasteriser draws far slower than that: pacing must not slow it).
Wine's Direct3D command thread is turned off for the runs (and put back):
it polls for work and would count its own spinning as the program's time.
Prints, as medians, frames presented a second, the program's processor
seconds a minute of show, and how both compare with the refresh rate the
display reports (target: within 5 %) and with the unpaced run. Prints
figures only. Needs an X display and a Wine prefix (WINEPREFIX); the
prefix's stored settings are put back.
"""
import os
import subprocess
import sys
import tempfile

from bench import benchlib

DESKTOP = "/desktop=brisane-pacing,640x480"


def main():
    p = benchlib.parser(__doc__, rounds=3)
    p.add_argument("build")
    p.add_argument("seconds", nargs="?", type=float, default=20.0)
    a = p.parse_args()
    build, seconds, rounds = os.path.abspath(a.build), a.seconds, a.rounds
    winenv = benchlib.wine_tests(build)
    reg, median = winenv.reg, benchlib.median

    # Mesa would hold each of Wine's presents to Xvfb's emulated refresh; a
    # blit to a window on Windows waits for nothing, which is what is measured.
    env = dict(os.environ, vblank_mode="0")

    def show(*extra):
        with tempfile.TemporaryFile(mode="w+") as out:
            subprocess.run([benchlib.WINE, "explorer", DESKTOP, os.path.join(build, "show_figures.exe"), str(seconds), *extra],
                           stdout=out, stderr=subprocess.DEVNULL, timeout=seconds + 300, env=env)
            out.seek(0)
            return benchlib.fields(out.read())

    direct3d = "HKCU\\Software\\Wine\\Direct3D"
    command_thread = reg("query", direct3d, "/v", "csmt")
    reg("add", direct3d, "/v", "csmt", "/t", "REG_DWORD", "/d", "0", "/f")
    kinds = {"bare unpaced": ["bare", "unpaced"], "bare paced": ["bare"], "scene unpaced": ["unpaced"],
             "scene paced": []}
    runs = {name: [] for name in kinds}
    try:
        with winenv.settings_kept():  # the desktop's resolution, blitted
            for _ in range(rounds):
                for name, extra in kinds.items():
                    runs[name].append(show(*extra))
    finally:
        was = [line.split()[-1] for line in command_thread[1].splitlines() if "csmt" in line]
        if command_thread[0] == 0 and was:
            reg("add", direct3d, "/v", "csmt", "/t", "REG_DWORD", "/d", str(int(was[0], 16)), "/f")
        else:
            reg("delete", direct3d, "/v", "csmt", "/f")
    for name, results in runs.items():
        if any(r.get("scene") != "1" or "cpu_s" not in r for r in results):
            print(f"pacing: a {name} run failed: {results}")
            return 1
    fps = {name: median([float(r["fps"]) for r in results]) for name, results in runs.items()}
    cpu = {name: median([float(r["cpu_s"]) * 60 / seconds for r in results]) for name, results in runs.items()}
    hz = int(runs["bare paced"][0]["paced_hz"])
    print(f"pacing: mode {runs['bare paced'][0]['mode']} at desktop resolution, the display reports {hz} Hz; "
          f"medians of {rounds} rounds of {seconds:g} s each")
    for name in runs:
        print(f"{name + ':':15s}{fps[name]:8.2f} frames presented a second, "
              f"{cpu[name]:6.1f} processor seconds a minute of show")
    for kind in ("bare", "scene"):
        paced, unpaced = kind + " paced", kind + " unpaced"
        print(f"{kind}: paced frames against the refresh rate {fps[paced] / hz:.3f}"
              + (" (target 0.95 to 1.05)" if fps[unpaced] > hz * 1.05 else " (slower than the display)")
              + f"; paced against unpaced: frames {fps[paced] / fps[unpaced]:.2f}, "
              f"processor time {cpu[paced] / cpu[unpaced]:.2f}")
    benchlib.print_load()
    return 0


if __name__ == "__main__":
    sys.exit(main())
