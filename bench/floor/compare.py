#!/usr/bin/env python3
"""The show against the bare Direct3D program, in one Wine run.

    bench/floor/compare.py WIN64_BUILD [SECONDS] [TRIANGLES] [--before OTHER_WIN64_BUILD] [--rounds N]

Runs floor.exe (bring-up at the desktop's resolution, then clear, TRIANGLES
lit two-stage triangles from system memory, flip; 128000 unless told, what
the show draws a frame) and the show's own window code (show_figures.exe)
full screen at the same 1024x768, and prints the three ratios:
first frame (target at most 1.2), frames a second (at least 1.0) and peak
memory (at most 1.1). With --before, the other build's show runs in the
same rounds, so a change is measured against what it replaced on the same
machine at the same time. Rounds alternate the programs and report medians.
Prints figures only. Needs an X display of 1024x768 and a Wine prefix
(WINEPREFIX) with its wineserver running; the prefix's stored settings are
put back.
"""
import contextlib
import os
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
WINE = "/usr/lib/wine/wine64"


def fields(text):
    return dict(line.split("=", 1) for line in text.splitlines() if "=" in line)


def run(program, *args, timeout=300):
    """The program's figures, with its peak resident memory as the system saw
    it from outside (rss_peak_mb), the same way for every program measured."""
    with tempfile.TemporaryFile(mode="w+") as out:
        process = subprocess.Popen([WINE, program, *map(str, args)], stdout=out, stderr=subprocess.DEVNULL)
        try:
            _, _, usage = wait4(process, timeout)
        finally:
            if process.returncode is None:
                process.kill()
                process.wait()
        out.seek(0)
        result = fields(out.read())
        result["rss_peak_mb"] = f"{usage.ru_maxrss / 1024:.1f}"
        return result


def wait4(process, timeout):
    """os.wait4 on a Popen, within timeout seconds: (pid, status, rusage)."""
    deadline = time.monotonic() + timeout
    while True:
        pid, status, usage = os.wait4(process.pid, os.WNOHANG)
        if pid:
            process.returncode = os.waitstatus_to_exitcode(status)
            return pid, status, usage
        if time.monotonic() > deadline:
            raise subprocess.TimeoutExpired(process.args, timeout)
        time.sleep(0.02)


def median(values):
    values = sorted(values)
    return values[len(values) // 2]


def show_program(build):
    # Older builds measured the show with the display test driver.
    own = os.path.join(build, "show_figures.exe")
    return [own] if os.path.exists(own) else [os.path.join(build, "tests", "win", "display_driver.exe"), "figures"]


@contextlib.contextmanager
def show_mode(build, width=1024, height=768):
    """The prefix's stored settings cleared but for the show's mode, full
    screen at width x height, while it runs; what was stored is put back."""
    os.environ.setdefault("BRISANE_SCR", os.path.join(build, "Brisane.scr"))
    os.environ.setdefault("BRISANE_DRIVERS", os.path.join(build, "tests", "win"))
    sys.path.insert(0, os.path.join(HERE, "..", "..", "tests", "win"))
    from winenv import device_table, set_setting, settings_kept

    with settings_kept():
        info, devices = device_table(desktop=False)
        modes = devices[int(info["current"])]["modes"]
        set_setting("UseDesktopRes", "2: 0")
        set_setting("ModeNum", f"2: {modes.index((width, height, 32))}")
        yield


def run_show(build, seconds):
    """One run of the build's show under Wine (inside show_mode): its figures."""
    return run(*show_program(build), seconds)


def show_ran(result):
    return "fps" in result and result.get("scene") == "1"


def take_rounds(args, default):
    """The value of --rounds N (at least 1), taken out of args; default without it."""
    if "--rounds" not in args:
        return default
    i = args.index("--rounds")
    rounds = max(1, int(args[i + 1]))
    del args[i:i + 2]
    return rounds


def print_load():
    """The machine's load beside the figures, which it skews."""
    with open("/proc/loadavg", encoding="ascii") as load:
        print(f"machine load average: {load.read().split()[0]} on {os.cpu_count()} CPUs")


def main():
    args = [a for a in sys.argv[1:]]
    options = {}
    for name in ("--before", "--rounds"):
        if name in args:
            i = args.index(name)
            options[name] = args[i + 1]
            del args[i:i + 2]
    if not args:
        print(__doc__)
        return 2
    build = os.path.abspath(args[0])
    seconds = float(args[1]) if len(args) > 1 else 10.0
    triangles = int(args[2]) if len(args) > 2 else 128000
    before = os.path.abspath(options["--before"]) if "--before" in options else None
    rounds = max(1, int(options.get("--rounds", 1)))
    shows = [("show", build)]
    if before:
        shows.insert(0, ("before", before))
    results = {"floor": []}
    results.update({name: [] for name, _ in shows})
    with show_mode(build):
        for _ in range(rounds):
            results["floor"].append(run(os.path.join(build, "floor.exe"), triangles, seconds))
            for name, show_build in shows:
                results[name].append(run_show(show_build, seconds))
    for name, runs in results.items():
        if any(("fps" not in r) or (name != "floor" and not show_ran(r)) for r in runs):
            print(f"compare: a run of {name} failed: {runs}")
            return 1
    figure = lambda name, key: median([float(r[key]) for r in results[name]])
    print(f"floor: {results['floor'][0]['triangles']} triangles a frame; first frame {figure('floor', 'first_frame_s'):.3f} s, "
          f"{figure('floor', 'fps'):.2f} frames/s, peak {figure('floor', 'peak_memory_mb'):.1f} MB "
          f"({figure('floor', 'set_up_memory_mb'):.1f} MB when set up)"
          + (f" (medians of {rounds} rounds)" if rounds > 1 else ""))
    for name, _ in shows:
        ratio = lambda key: figure(name, key) / figure("floor", key)
        set_up = f"set up {figure(name, 'set_up_s'):.3f} s, " if "set_up_s" in results[name][0] else ""
        print(f"{name + ':':7s} mode {results[name][0]['mode']}; {set_up}"
              f"first frame {figure(name, 'first_frame_s'):.3f} s, "
              f"{figure(name, 'fps'):.2f} frames/s, peak {figure(name, 'peak_memory_mb'):.1f} MB"
              + (f" ({figure(name, 'set_up_memory_mb'):.1f} MB when set up)" if "set_up_memory_mb" in results[name][0]
                 else ""))
        print(f"{'':7s} first frame ratio {ratio('first_frame_s'):.2f} (target at most 1.2); "
              f"frames/s ratio {ratio('fps'):.2f} (at least 1.0); "
              f"peak memory ratio {ratio('peak_memory_mb'):.2f} (at most 1.1)")
    print_load()
    return 0


if __name__ == "__main__":
    sys.exit(main())
