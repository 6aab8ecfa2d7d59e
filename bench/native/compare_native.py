#!/usr/bin/env python3
"""The native show against the Wine show and against a bare OpenGL program.

    python3 -m bench.native.compare_native WIN64_BUILD NATIVE_BUILD [SECONDS] [TRIANGLES] [--rounds N]

Runs, in rounds that alternate them, at the same 1024x768: the Windows show
under Wine (full screen, as bench.floor.compare runs it), the native
program (brisane --window 1024x768 --seconds S --figures, default settings)
and floor_gl (TRIANGLES lit, textured triangles a frame, 128000 unless told,
what the show draws a frame). Peak memory is each process's peak resident
size as the system counts it from outside (wait4), the same for all three.
Each round starts one program further along, so none always follows the
same other. Prints medians and the ratios with their targets: native against
Wine (first frame at most 0.5, frames a second at least 1.5, peak memory at
most 0.6) and native against the floor (first frame at most 1.2, frames a
second at least 0.8, peak memory at most 1.15), with the processor time each
native program spent a frame, which other work on the machine skews far
less than the frame rate, and (one more run each, untimed) the work a frame
each native program gave the renderer by the Gallium driver's own counters: pixels
that passed the depth test, fragment shader runs and triangles. The native figures go to the run's closing table
(BRISANE_BENCH_FIGURES). Prints figures only. Needs an X display of
1024x768, a Wine prefix (WINEPREFIX) with its wineserver running; the
prefix's stored settings are put back, and the native program's settings
file is not touched.
"""
import os
import sys
import tempfile

from bench import benchlib

WIDTH, HEIGHT = 1024, 768


def run_native(program, *args, env=None):
    """A native program's figures, with first_frame_s and fps made from what
    it printed (frames after the first over the time from the first to the
    last) and its processor milliseconds a frame over the whole run."""
    result = benchlib.measure([program, *args], env=env)
    try:
        frames, seconds = int(result["frames"]), float(result["seconds"])
        result["first_frame_s"] = f"{float(result['first_frame_ms']) / 1000:.3f}"
        result["fps"] = f"{(frames - 1) / seconds:.2f}" if frames > 1 and seconds > 0 else "0"
        result["cpu_ms_frame"] = f"{float(result['cpu_s']) * 1000 / frames:.1f}" if frames > 0 else "0"
    except (KeyError, ValueError):
        result.pop("fps", None)
    return result


def ran(result):
    return result.get("exit") == "0" and float(result.get("fps", 0)) > 0


def print_work(work):
    """What each program made the renderer do a frame, and the native
    program's work against the floor's, which its processor time follows."""
    if not work or not all(work.values()):
        print("  work a frame: the GL driver keeps no counters (not a Gallium driver)")
        return
    labels = {"samples_passed": "pixels drawn", "ps_invocations": "shader runs", "primitives_generated": "triangles"}
    print("  work a frame, by the GL driver's own counters (one more run each):")
    print(f"  {'':19s}" + "".join(f"{label:>14s}" for label in labels.values()))
    for name, counts in work.items():
        print(f"  {name + ':':19s}" + "".join(f"{counts[c]:14.0f}" for c in labels))
    print(f"  {'native / floor_gl:':19s}" + "".join(f"{work['native'][c] / work['floor_gl'][c]:14.2f}" for c in labels))


def main():
    p = benchlib.parser(__doc__, rounds=1)
    p.add_argument("win64")
    p.add_argument("native_build")
    p.add_argument("seconds", nargs="?", type=float, default=10.0)
    p.add_argument("triangles", nargs="?", type=int, default=128000)
    a = p.parse_args()
    win64, native_build = os.path.abspath(a.win64), os.path.abspath(a.native_build)
    seconds, triangles, rounds = a.seconds, a.triangles, a.rounds
    native = os.path.join(native_build, "src", "native", "brisane")
    floor = os.path.join(native_build, "bench", "native", "floor_gl")
    size = f"{WIDTH}x{HEIGHT}"

    have_native = os.access(native, os.X_OK)
    results = {"wine": [], "native": [], "floor_gl": []}
    if not have_native:
        del results["native"]
    with tempfile.TemporaryDirectory() as config, benchlib.show_mode(win64, WIDTH, HEIGHT):
        # No settings file: the defaults, as the Wine show runs with none stored.
        env = dict(os.environ, XDG_CONFIG_HOME=config)
        programs = {"wine": lambda: benchlib.run_show(win64, seconds),
                    "native": lambda: run_native(native, "--window", size, "--seconds", seconds, "--figures", env=env),
                    "floor_gl": lambda: run_native(floor, size, triangles, seconds, env=env)}
        for round_index in range(rounds):
            for name in benchlib.rotated(results, round_index):
                results[name].append(programs[name]())
    # One more run of each native program with the driver counting its work,
    # not timed. (Wine's GL ends without writing the counts out.)
    work = {"native": benchlib.gallium_work([native, "--window", size, "--seconds", seconds, "--figures"], env=env),
            "floor_gl": benchlib.gallium_work([floor, size, triangles, seconds], env=env)} if have_native else {}

    failed = [name for name, runs in results.items()
              if any(not (benchlib.show_ran(r) if name == "wine" else ran(r)) for r in runs)]
    for name in failed:
        print(f"compare_native: a run of {name} failed: {results[name]}")
    if failed:
        return 1

    def figure(name, key):
        return benchlib.median([float(r[key]) for r in results[name]])

    medians = f" (medians of {rounds} rounds)" if rounds > 1 else ""
    print(f"native figures at {size}, {triangles} triangles a frame for the floor{medians}:")
    print(f"  {'':9s} {'first frame':>12s} {'frames/s':>9s} {'peak memory':>12s} {'processor a frame':>18s}")
    for name in results:
        cpu = f"{figure(name, 'cpu_ms_frame'):15.1f} ms" if name != "wine" else ""
        print(f"  {name + ':':9s} {figure(name, 'first_frame_s'):10.3f} s {figure(name, 'fps'):9.2f} "
              f"{figure(name, 'rss_peak_mb'):9.1f} MB {cpu}")
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

    print_work(work)
    ratios("wine", 0.5, 1.5, 0.6)
    ratios("floor_gl", 1.2, 0.8, 1.15)
    print(f"  native / floor_gl: processor time a frame {figure('native', 'cpu_ms_frame') / figure('floor_gl', 'cpu_ms_frame'):.2f}")
    benchlib.record(**{f"{name}_{key}": f"{figure(name, key)}" for name in ("native", "floor_gl")
                       for key in ("first_frame_s", "fps", "rss_peak_mb", "cpu_ms_frame")}, native_rounds=rounds,
                    others_cores=f"{benchlib.median([float(r['others_cores']) for runs in results.values() for r in runs]):.2f}")
    benchlib.print_load([r for runs in results.values() for r in runs])
    return 0


if __name__ == "__main__":
    sys.exit(main())
