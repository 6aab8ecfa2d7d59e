#!/usr/bin/env python3
"""The closing table of ./run bench: every figure of the targets, each beside
its target, from one run.

    python3 -m bench.summary FIGURES [--jpeg JPEG_OUTPUT] [--instructions INSTRUCTIONS_OUTPUT]

FIGURES holds the key=value lines the comparisons recorded
(bench.benchlib.record); JPEG_OUTPUT is what bench/jpeg/jpeg_bench printed,
INSTRUCTIONS_OUTPUT what bench/show_frame/instructions.sh printed. A figure
the run could not measure is listed as such, never left out. Exits 0 either
way: the table reports, it does not judge the run.
"""
import argparse
import re
import sys

# (figure, program key, reference key, reference's name, at least / at most, target, decimals)
RATIOS = [
    ("native frames a second", "native_fps", "floor_gl_fps", "floor_gl", "at least", 0.8, 2),
    ("native first frame (s)", "native_first_frame_s", "floor_gl_first_frame_s", "floor_gl", "at most", 1.2, 3),
    ("native peak memory (MB)", "native_rss_peak_mb", "floor_gl_rss_peak_mb", "floor_gl", "at most", 1.15, 0),
    ("Windows program frames a second", "wine_fps", "d3d_floor_fps", "D3D7 floor", "at least", 0.8, 2),
    ("Windows program first frame (s)", "wine_first_frame_s", "d3d_floor_first_frame_s", "D3D7 floor", "at most", 1.2,
     3),
    ("Windows program peak memory (MB)", "wine_peak_memory_mb", "d3d_floor_peak_memory_mb", "D3D7 floor", "at most",
     1.15, 0),
]
JPEG_KINDS = ["4:2:0", "4:4:4", "progressive"]
JPEG_TARGET = 0.9
INSTRUCTIONS_TARGET = 1.5e6


def read_figures(path):
    figures = {}
    with open(path, encoding="utf-8") as lines:
        for line in lines:
            key, sep, value = line.strip().partition("=")
            if sep:
                figures[key] = value  # a later run of the same comparison wins
    return figures


def jpeg_ratios(text):
    """The decoder's speed ratios against libjpeg-turbo, in JPEG_KINDS order,
    from jpeg_bench's closing line; None when it printed none."""
    match = re.search(r"speed ratio ours / libjpeg-turbo:\s*([0-9.]+)\s+([0-9.]+)\s+([0-9.]+)", text)
    return [float(match.group(i)) for i in (1, 2, 3)] if match else None


def instructions(text):
    match = re.search(r"instructions:\s*(-?[0-9]+) a frame", text)
    return int(match.group(1)) if match else None


def met(value, sense, target):
    return value >= target if sense == "at least" else value <= target


def rows(figures, jpeg_text, instructions_text):
    """(figure, ours, reference, ratio, target, verdict) rows, as text."""
    out = []
    for name, ours_key, ref_key, ref_name, sense, target, decimals in RATIOS:
        try:
            ours, ref = float(figures[ours_key]), float(figures[ref_key])
            ratio = ours / ref
        except (KeyError, ValueError, ZeroDivisionError):
            out.append((name, "not measured", "", "", f"{sense} {target}", "-"))
            continue
        out.append((name, f"{ours:.{decimals}f}", f"{ref:.{decimals}f} {ref_name}", f"{ratio:.2f}", f"{sense} {target}",
                    "met" if met(ratio, sense, target) else "not met"))
    ratios = jpeg_ratios(jpeg_text) if jpeg_text is not None else None
    for i, kind in enumerate(JPEG_KINDS):
        name = f"JPEG decode {kind}"
        if ratios is None:
            out.append((name, "not measured", "", "", f"at least {JPEG_TARGET}", "-"))
        else:
            out.append((name, "", "libjpeg-turbo", f"{ratios[i]:.2f}", f"at least {JPEG_TARGET}",
                        "met" if ratios[i] >= JPEG_TARGET else "not met"))
    count = instructions(instructions_text) if instructions_text is not None else None
    name = "show's instructions a frame"
    if count is None:
        out.append((name, "not measured", "", "", f"at most {INSTRUCTIONS_TARGET / 1e6:g} M", "-"))
    else:
        out.append((name, f"{count / 1e6:.2f} M", "null device", "", f"at most {INSTRUCTIONS_TARGET / 1e6:g} M",
                    "met" if count <= INSTRUCTIONS_TARGET else "not met"))
    return out


def main():
    p = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    p.add_argument("figures")
    p.add_argument("--jpeg")
    p.add_argument("--instructions")
    a = p.parse_args()

    def text(path):
        if not path:
            return None
        try:
            with open(path, encoding="utf-8", errors="replace") as f:
                return f.read()
        except OSError:
            return None

    try:
        figures = read_figures(a.figures)
    except OSError:
        figures = {}
    table = rows(figures, text(a.jpeg), text(a.instructions))
    header = ("figure", "ours", "against", "ratio", "target", "")
    widths = [max(len(r[i]) for r in table + [header]) for i in range(len(header))]
    print("bench summary (same-run figures; frame rates, first frames and memory are medians of "
          f"{figures.get('native_rounds', '?')} native and {figures.get('wine_rounds', '?')} Windows "
          "alternating rounds):")
    for r in [header] + table:
        print("  " + "  ".join(cell.ljust(w) if i == 0 else cell.rjust(w) for i, (cell, w) in enumerate(zip(r, widths)))
              .rstrip())
    if "native_cpu_ms_frame" in figures and "floor_gl_cpu_ms_frame" in figures:
        print(f"  processor time a frame: native {float(figures['native_cpu_ms_frame']):.1f} ms, floor_gl "
              f"{float(figures['floor_gl_cpu_ms_frame']):.1f} ms")
    if "others_cores" in figures:
        print(f"  other work on the machine during the rounds: median {figures['others_cores']} processors busy")
    return 0


if __name__ == "__main__":
    sys.exit(main())
