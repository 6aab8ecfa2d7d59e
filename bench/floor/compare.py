#!/usr/bin/env python3
"""The show against the bare Direct3D program, in one Wine run.

    python3 -m bench.floor.compare WIN64_BUILD [SECONDS] [TRIANGLES] [--before OTHER_WIN64_BUILD] [--rounds N]

Runs floor.exe (bring-up at the desktop's resolution, then clear, TRIANGLES
lit two-stage triangles from system memory, flip; 128000 unless told, what
the show draws a frame) and the show's own window code (show_figures.exe)
full screen at the same 1024x768, and prints the three ratios:
first frame (target at most 1.2), frames a second (at least 0.8) and peak
memory (at most 1.15). With --before, the other build's show runs in the
same rounds, so a change is measured against what it replaced on the same
machine at the same time. Rounds alternate the programs, each round
starting with the next one, and report medians; the show's figures go to
the run's closing table (BRISANE_BENCH_FIGURES).
Prints figures only. Needs an X display of 1024x768 and a Wine prefix
(WINEPREFIX) with its wineserver running; the prefix's stored settings are
put back.
"""
import os
import sys

from bench import benchlib


def main():
    p = benchlib.parser(__doc__, rounds=1)
    p.add_argument("build")
    p.add_argument("seconds", nargs="?", type=float, default=10.0)
    p.add_argument("triangles", nargs="?", type=int, default=128000)
    p.add_argument("--before", help="another win64 build whose show runs in the same rounds")
    a = p.parse_args()
    build = os.path.abspath(a.build)
    rounds = a.rounds
    shows = [("show", build)]
    if a.before:
        shows.insert(0, ("before", os.path.abspath(a.before)))
    results = {"floor": []}
    results.update({name: [] for name, _ in shows})
    programs = [("floor", lambda: benchlib.measure([benchlib.WINE, os.path.join(build, "floor.exe"), a.triangles,
                                                   a.seconds]))]
    programs += [(name, lambda show_build=show_build: benchlib.run_show(show_build, a.seconds))
                 for name, show_build in shows]
    with benchlib.show_mode(build):
        for round_index in range(rounds):
            for name, run in benchlib.rotated(programs, round_index):
                results[name].append(run())
    for name, runs in results.items():
        if any(("fps" not in r) or (name != "floor" and not benchlib.show_ran(r)) for r in runs):
            print(f"compare: a run of {name} failed: {runs}")
            return 1
    figure = lambda name, key: benchlib.median([float(r[key]) for r in results[name]])
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
              f"frames/s ratio {ratio('fps'):.2f} (at least 0.8); "
              f"peak memory ratio {ratio('peak_memory_mb'):.2f} (at most 1.15)")
    benchlib.record(**{f"wine_{key}": f"{figure('show', key)}" for key in ("first_frame_s", "fps", "peak_memory_mb")},
                    **{f"d3d_floor_{key}": f"{figure('floor', key)}" for key in ("first_frame_s", "fps", "peak_memory_mb")},
                    wine_rounds=rounds)
    benchlib.print_load([r for runs in results.values() for r in runs])
    return 0


if __name__ == "__main__":
    sys.exit(main())
