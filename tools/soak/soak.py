#!/usr/bin/env python3
"""A long run of the real show, watched for growth.

    tools/soak/soak.py WIN64_BUILD MINUTES [--interval SECONDS] [--warmup SECONDS]

Runs Brisane.scr /s with a volley every minute, one-minute light changes,
a camera switch every 5 s and the frame rate shown, and samples the
process's resident memory, kernel handles and GDI objects at every interval
(a minute unless told). It fails when a figure keeps growing once the show
has warmed up: the highest value of the later half of the samples above the
highest of the earlier half by more than the figure's tolerance. The stored
settings are put back afterwards. Needs an X display and a Wine prefix
(WINEPREFIX) with a running wineserver.
"""
import argparse
import os
import subprocess
import sys
import tempfile
import time

WINENV = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tests", "win")

# How much later samples may exceed earlier ones before it counts as growth:
# memory moves with smoke and textures in flight, counts by a few handles.
TOLERANCE = {"working_set_kb": lambda first: first * 0.03 + 16384, "handles": lambda first: 8,
             "gdi": lambda first: 8}

SOAK_SETTINGS = {
    "ShowFPS": "2: 1", "EnableFiring": "2: 1", "FiringPeriod": "2: 0", "EnableLighting": "2: 1",
    "LightDelay": "2: 1", "ChangeDelay": "2: 1", "SwitchPeriod": "2: 5", "RandomView": "2: 0",
    **{f"Camera{i}": "2: 1" for i in range(1, 8)},
}


def sample(wine, proc_stats):
    out = subprocess.run([wine, proc_stats, "Brisane.scr"], stdout=subprocess.PIPE,
                         stderr=subprocess.DEVNULL, text=True, timeout=60).stdout
    values = dict(line.split("=", 1) for line in out.splitlines() if "=" in line)
    if values.get("found") != "1":
        return None
    return {k: int(values[k]) for k in ("working_set_kb", "handles", "gdi")}


def growth(samples):
    """The figures whose later half peaks above the earlier half's peak."""
    grown = []
    half = len(samples) // 2
    if half == 0:
        return grown
    for key, tolerance in TOLERANCE.items():
        first = max(s[key] for _, s in samples[:half])
        later = max(s[key] for _, s in samples[half:])
        if later > first + tolerance(first):
            grown.append(f"{key}: {first} -> {later}")
    return grown


def soak(build, minutes, interval, warmup, wine="/usr/lib/wine/wine64"):
    """Runs the show; returns (exit code, samples after warm-up, figures that grew, all samples)."""
    sys.path.insert(0, WINENV)
    os.environ.setdefault("BRISANE_SCR", os.path.join(build, "Brisane.scr"))
    from winenv import SETTINGS_KEY, clear_settings, reg, set_setting

    key = "HKCU\\" + SETTINGS_KEY
    saved = os.path.join(tempfile.mkdtemp(), "settings.reg")
    had_settings = reg("export", key, "Z:" + saved.replace("/", "\\"), "/y")[0] == 0
    proc_stats = os.path.join(build, "proc_stats.exe")
    samples = []
    try:
        clear_settings()
        for name, text in SOAK_SETTINGS.items():
            set_setting(name, text)
        show = subprocess.Popen([wine, os.path.join(build, "Brisane.scr"), "/s"],
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        start = time.monotonic()
        end = start + minutes * 60
        next_sample = start + interval
        while time.monotonic() < end and show.poll() is None:
            time.sleep(max(0.0, min(next_sample, end) - time.monotonic()))
            if time.monotonic() >= next_sample:
                figures = sample(wine, proc_stats)
                if figures is None:
                    break
                t = time.monotonic() - start
                samples.append((t, figures))
                print(f"soak: {t:7.1f} s  resident {figures['working_set_kb'] / 1024:7.1f} MB  "
                      f"handles {figures['handles']:5d}  gdi {figures['gdi']:5d}", flush=True)
                next_sample += interval
        alive = show.poll() is None
        if alive:
            subprocess.run(["xdotool", "key", "Escape"], check=False)
        try:
            code = show.wait(timeout=30)
        except subprocess.TimeoutExpired:
            show.kill()
            code = None
        if not alive:
            print(f"soak: the show ended by itself with {code}", flush=True)
            code = code if code not in (0, None) else -1
    finally:
        clear_settings()
        if had_settings:
            reg("import", "Z:" + saved.replace("/", "\\"))
    watched = [(t, s) for t, s in samples if t >= warmup]
    return code, watched, growth(watched), samples


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("build")
    parser.add_argument("minutes", type=float)
    parser.add_argument("--interval", type=float, default=60.0)
    parser.add_argument("--warmup", type=float, default=None, help="seconds not judged (default: two intervals)")
    args = parser.parse_args()
    warmup = args.warmup if args.warmup is not None else 2 * args.interval
    code, watched, grown, _ = soak(os.path.abspath(args.build), args.minutes, args.interval, warmup)
    print(f"soak: exit code {code}; {len(watched)} samples judged after {warmup:.0f} s")
    for line in grown:
        print(f"soak: keeps growing: {line}")
    ok = code == 0 and len(watched) >= 2 and not grown
    print("soak: PASS" if ok else "soak: FAIL")
    return 0 if ok else 1


if __name__ == "__main__":
    sys.exit(main())
