#!/usr/bin/env python3
"""The native show against the Wine show and against a bare OpenGL program.

    bench/native/compare_native.py WIN64_BUILD NATIVE_BUILD [SECONDS] [TRIANGLES] [--rounds N]

Runs, in rounds that alternate them, at the same 1024x768: the Windows show
under Wine (full screen, as bench/floor/compare.py runs it), the native
program (brisane --window 1024x768 --seconds S --figures, default settings)
and floor_gl (TRIANGLES lit, textured triangles a frame, 128000 unless told,
what the show draws a frame). Peak memory is each process's peak resident
size as the system counts it from outside (wait4), the same for all three.
Prints medians and the ratios with their targets: native against Wine (first
frame at most 0.5, frames a second at least 1.5, peak memory at most 0.6) and
native against the floor (first frame at most 1.2, frames a second at least
0.9). Prints figures only. Needs an X display of 1024x768, a Wine prefix
(WINEPREFIX) with its wineserver running; the prefix's stored settings are
put back, and the native program's settings file is not touched.
"""
import os
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "floor"))
import compare  # noqa: E402  the Wine show's measurement

WIDTH, HEIGHT = 1024, 768


def figures(text):
    """key=value words from anywhere in the output."""
    return dict(word.split("=", 1) for word in text.split() if "=" in word)


def run_native(program, *args, env=None, timeout=300):
    """A native program's figures, with first_frame_s, fps and rss_peak_mb
    made from what it printed and from wait4."""
    with tempfile.TemporaryFile(mode="w+") as out:
        process = subprocess.Popen([program, *map(str, args)], stdout=out, stderr=subprocess.DEVNULL, env=env)
        try:
            _, _, usage = compare.wait4(process, timeout)
        finally:
            if process.returncode is None:
                process.kill()
                process.wait()
        out.seek(0)
        result = figures(out.read())
    result["exit"] = str(process.returncode)
    try:
        frames, seconds = int(result["frames"]), float(result["seconds"])
        result["first_frame_s"] = f"{float(result['first_frame_ms']) / 1000:.3f}"
        # Frames after the first over the time from the first to the last.
        result["fps"] = f"{(frames - 1) / seconds:.2f}" if frames > 1 and seconds > 0 else "0"
    except (KeyError, ValueError):
        result.pop("fps", None)
    result["rss_peak_mb"] = f"{usage.ru_maxrss / 1024:.1f}"
    return result


def ran(result):
    return result.get("exit") == "0" and float(result.get("fps", 0)) > 0


def main():
    args = sys.argv[1:]
    rounds = compare.take_rounds(args, 1)
    if len(args) < 2:
        print(__doc__)
        return 2
    win64, native_build = map(os.path.abspath, args[:2])
    seconds = float(args[2]) if len(args) > 2 else 10.0
    triangles = int(args[3]) if len(args) > 3 else 128000
    native = os.path.join(native_build, "src", "platform", "native", "brisane")
    floor = os.path.join(native_build, "bench", "native", "floor_gl")
    size = f"{WIDTH}x{HEIGHT}"

    have_native = os.access(native, os.X_OK)
    results = {"native": [], "wine": [], "floor_gl": []}
    if not have_native:
        del results["native"]
    with tempfile.TemporaryDirectory() as config, compare.show_mode(win64, WIDTH, HEIGHT):
        # No settings file: the defaults, as the Wine show runs with none stored.
        env = dict(os.environ, XDG_CONFIG_HOME=config)
        for _ in range(rounds):
            results["wine"].append(compare.run_show(win64, seconds))
            if have_native:
                results["native"].append(run_native(native, "--window", size, "--seconds", seconds, "--figures",
                                                    env=env))
            results["floor_gl"].append(run_native(floor, size, triangles, seconds))

    failed = [name for name, runs in results.items()
              if any(not (compare.show_ran(r) if name == "wine" else ran(r)) for r in runs)]
    for name in failed:
        print(f"compare_native: a run of {name} failed: {results[name]}")
    if failed:
        return 1

    def figure(name, key):
        return compare.median([float(r[key]) for r in results[name]])

    medians = f" (medians of {rounds} rounds)" if rounds > 1 else ""
    print(f"native figures at {size}, {triangles} triangles a frame for the floor{medians}:")
    print(f"  {'':9s} {'first frame':>12s} {'frames/s':>9s} {'peak memory':>12s}")
    for name in results:
        print(f"  {name + ':':9s} {figure(name, 'first_frame_s'):10.3f} s {figure(name, 'fps'):9.2f} "
              f"{figure(name, 'rss_peak_mb'):9.1f} MB")
    if not have_native:
        print(f"  native:   no program at {native}")
        return 1

    def ratios(against, first_most, fps_least, memory_most=None):
        ratio = lambda key: figure("native", key) / figure(against, key)
        line = (f"  native / {against + ':':9s} first frame {ratio('first_frame_s'):.2f} (target at most {first_most}), "
                f"frames/s {ratio('fps'):.2f} (at least {fps_least})")
        if memory_most is not None:
            line += f", peak memory {ratio('rss_peak_mb'):.2f} (at most {memory_most})"
        print(line)

    ratios("wine", 0.5, 1.5, 0.6)
    ratios("floor_gl", 1.2, 0.9)
    compare.print_load()
    return 0


if __name__ == "__main__":
    sys.exit(main())
