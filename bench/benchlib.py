"""What the benches share: their command lines, rounds and medians, a program
measured from outside, the machine's load line, the Windows show run under
Wine, and the figures a bench hands to the run's closing table
(BRISANE_BENCH_FIGURES). The benches run as modules from the checkout's root
(python3 -m bench.floor.compare ...)."""
import argparse
import contextlib
import os
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
WINE = "/usr/lib/wine/wine64"


def parser(doc, rounds):
    """A command line with the benches' --rounds N (at least 1; ROUNDS unless told)."""
    p = argparse.ArgumentParser(description=doc, formatter_class=argparse.RawDescriptionHelpFormatter)

    def at_least_one(text):
        return max(1, int(text))
    p.add_argument("--rounds", type=at_least_one, default=rounds, help=f"alternating rounds ({rounds} unless told)")
    return p


def median(values):
    values = sorted(values)
    return values[len(values) // 2]


def fields(text):
    """key=value words from anywhere in a program's output."""
    return dict(word.split("=", 1) for word in text.split() if "=" in word)


def wait4(process, timeout):
    """os.wait4 on a Popen, within timeout seconds: its resource usage."""
    deadline = time.monotonic() + timeout
    while True:
        pid, status, usage = os.wait4(process.pid, os.WNOHANG)
        if pid:
            process.returncode = os.waitstatus_to_exitcode(status)
            return usage
        if time.monotonic() > deadline:
            raise subprocess.TimeoutExpired(process.args, timeout)
        time.sleep(0.02)


def machine_busy_s():
    """Processor seconds the whole machine has spent working since boot."""
    with open("/proc/stat", encoding="ascii") as stat:
        ticks = [int(t) for t in stat.readline().split()[1:9]]  # guest time is in user's already
    return (sum(ticks) - ticks[3] - ticks[4]) / os.sysconf("SC_CLK_TCK")  # less idle and iowait


def measure(command, timeout=300, env=None):
    """A program run to its end: its key=value figures, with its exit code
    (exit), its peak resident memory as the system saw it from outside
    (rss_peak_mb), the processor seconds it used (cpu_s), and how many
    processors everything else on the machine kept busy meanwhile
    (others_cores): the same way for every program measured."""
    with tempfile.TemporaryFile(mode="w+") as out:
        busy, start = machine_busy_s(), time.monotonic()
        process = subprocess.Popen([str(part) for part in command], stdout=out, stderr=subprocess.DEVNULL, env=env)
        try:
            usage = wait4(process, timeout)
        finally:
            if process.returncode is None:
                process.kill()
                process.wait()
        busy, elapsed = machine_busy_s() - busy, time.monotonic() - start
        out.seek(0)
        result = fields(out.read())
    cpu = usage.ru_utime + usage.ru_stime
    result["exit"] = str(process.returncode)
    result["rss_peak_mb"] = f"{usage.ru_maxrss / 1024:.1f}"
    result.setdefault("cpu_s", f"{cpu:.3f}")
    result["others_cores"] = f"{max(0.0, busy - cpu) / elapsed:.2f}" if elapsed > 0 else "0"
    return result


# Mesa's Gallium drivers (llvmpipe among them) count their own work when
# asked through GALLIUM_HUD, and write each counter's value a frame, once a
# second, to a file of its name: pixels that passed the depth test, fragment
# shader invocations (llvmpipe's cost follows these: it shades whole 4x4
# blocks, so small triangles cost more than the pixels they cover) and
# triangles.
GALLIUM_COUNTERS = ("samples_passed", "ps_invocations", "primitives_generated")


def gallium_work(command, env=None, timeout=300):
    """The drawing work a frame of one run of a program that prints
    key=value figures, by the GL driver's own counters: the median of each
    counter's readings after the first (which holds the start), or {} when
    the driver keeps no such counters (not a Gallium driver)."""
    with tempfile.TemporaryDirectory() as dump:
        hud = dict(env if env is not None else os.environ, GALLIUM_HUD_VISIBLE="false", GALLIUM_HUD_PERIOD="1",
                   GALLIUM_HUD_DUMP_DIR=dump, GALLIUM_HUD=",".join(c.replace("_", "-") for c in GALLIUM_COUNTERS))
        measure(command, timeout=timeout, env=hud)
        work = {}
        for counter in GALLIUM_COUNTERS:
            try:
                with open(os.path.join(dump, counter), encoding="ascii") as readings:
                    values = [float(v) for v in readings.read().split()][1:]
            except (OSError, ValueError):
                return {}
            if not values:
                return {}
            work[counter] = median(values)
        return work


def rotated(items, round_index):
    """The programs of one round. Each round another program goes first and
    the rest follow in the list's order, backwards on odd rounds: in as many
    rounds as there are programs each goes first once, and for three, what
    follows the first listed (a Wine show, whose leftovers linger a while)
    is another program, or nothing, each round. No order then favours one."""
    items = list(items)
    if not items:
        return items
    lead = (-round_index) % len(items)
    rest = items[:lead] + items[lead + 1:]
    return [items[lead]] + (rest[::-1] if round_index % 2 else rest)


def record(**figures):
    """key=value figures for the run's closing table, appended to the file
    BRISANE_BENCH_FIGURES names (nothing when it names none)."""
    path = os.environ.get("BRISANE_BENCH_FIGURES")
    if not path:
        return
    with open(path, "a", encoding="utf-8") as out:
        for key, value in figures.items():
            out.write(f"{key}={value}\n")


def load_average():
    with open("/proc/loadavg", encoding="ascii") as load:
        return float(load.read().split()[0])


def print_load(runs=()):
    """The machine's load beside the figures, which it skews, and (given the
    measured runs) how many processors other work kept busy during them."""
    line = f"machine load average: {load_average():.2f} on {os.cpu_count()} CPUs"
    others = [float(r["others_cores"]) for r in runs if "others_cores" in r]
    if others:
        line += (f"; other work during the runs: median {median(others):.2f}, "
                 f"most {max(others):.2f} processors busy")
    print(line)


def wine_tests(build):
    """The Wine tests' helpers (tests/win/winenv.py), pointed at a win64 build."""
    os.environ.setdefault("BRISANE_SCR", os.path.join(build, "Brisane.scr"))
    os.environ.setdefault("BRISANE_DRIVERS", os.path.join(build, "tests", "win"))
    sys.path.insert(0, os.path.join(ROOT, "tests", "win"))
    import winenv
    return winenv


@contextlib.contextmanager
def show_mode(build, width=1024, height=768):
    """The prefix's stored settings cleared but for the show's mode, full
    screen at width x height, while it runs; what was stored is put back."""
    winenv = wine_tests(build)
    with winenv.settings_kept():
        info, devices = winenv.device_table(desktop=False)
        modes = devices[int(info["current"])]["modes"]
        winenv.set_setting("UseDesktopRes", "2: 0")
        winenv.set_setting("ModeNum", f"2: {modes.index((width, height, 32))}")
        yield


def run_show(build, seconds):
    """One run of the build's show under Wine (inside show_mode): its figures."""
    return measure([WINE, os.path.join(build, "show_figures.exe"), seconds])


def show_ran(result):
    return "fps" in result and result.get("scene") == "1"
