"""Running the Windows build under Wine (inside ./run test: DISPLAY, WINEPREFIX
and a persistent wineserver) and driving it from the X side."""
import contextlib
import os
import re
import subprocess
import sys
import tempfile
import time
import unittest

WINE = "/usr/lib/wine/wine64"
SCR = os.environ.get("BRISANE_SCR", "")
ASSETS = os.environ.get("BRISANE_ASSETS", "")  # where the build took the generated files from
HARNESS, DISPLAY_DRIVER = (os.path.join(os.environ.get("BRISANE_DRIVERS", ""), name + ".exe")
                           for name in ("harness", "display_driver"))
OUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "out")
SETTINGS_KEY = r"Control Panel\Desktop\ScreenSaver.Brisane 3D Screensaver"
SHOW_TITLE = "Brisane 3D Screensaver"
SHOW_WINDOW = "^" + SHOW_TITLE + "$"
CONFIG_TITLE = "Brisane 3D Screensaver 1.0 Configuration"
SUPPORT_LINE = "\n\nIf you see this message then please contact us at support@duskwright.example\n"
DESKTOP = "/desktop=brisane-display,1024x768"


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


# What Wine's start.exe prints when, on a busy machine, it fails to create
# the process (about one start in 700 here): the program never ran, so running
# it again is safe. A missing program says "File not found" instead.
NOT_STARTED = "ShellExecuteEx failed: Internal error"


def run(program, *args, desktop=False, timeout=90):
    """(exit code, output) of a Windows program run to its end, in a virtual
    desktop (where modes can change) if asked. Output goes through a file: a
    desktop's own process may inherit and hold a pipe."""
    line = [WINE, "explorer", DESKTOP, program, *args] if desktop else [WINE, program, *args]
    for attempt in range(3):
        with tempfile.TemporaryFile(mode="w+") as out:
            code = subprocess.run(line, stdout=out, stderr=subprocess.DEVNULL, timeout=timeout).returncode
            out.seek(0)
            text = out.read()
        if code == 0 or NOT_STARTED not in text:
            break
        time.sleep(0.5 * (attempt + 1))
    return code, text


def finish(program, *args, **kwargs):
    """(exit code, key=value lines) of a program run to its end."""
    code, out = run(program, *args, **kwargs)
    return code, fields(out)


def fields(text):
    return dict(line.split("=", 1) for line in text.splitlines() if "=" in line)


def unescape(text):
    return re.sub(r"\\(x[0-9a-f]{2}|.)", lambda m: {
        "n": "\n", "r": "\r", "t": "\t", "\\": "\\"}.get(m.group(1), None)
        or chr(int(m.group(1)[1:], 16)), text)


def x_windows(title_regex):
    """Visible X windows whose title matches (Wine's top-level windows carry theirs)."""
    return subprocess.run(["xdotool", "search", "--onlyvisible", "--name", title_regex], capture_output=True,
                          text=True).stdout.split()


def wait_for_x_window(title_regex, timeout=30.0):
    deadline = time.monotonic() + timeout
    while not x_windows(title_regex):
        if time.monotonic() > deadline:
            raise AssertionError(f"no window titled {title_regex!r} within {timeout} s")
        time.sleep(0.1)


def xdotool(*args):
    subprocess.run(["xdotool", *args], check=True)


def screenshot(name, window="root"):
    os.makedirs(OUT, exist_ok=True)
    path = os.path.abspath(os.path.join(OUT, name))
    subprocess.run(["import", "-window", window, path], check=True)
    return path


def rgb(path, crop=None):
    """The pixels of a picture, or of a WxH+X+Y part of it, as (r, g, b) triples."""
    raw = subprocess.run(["convert", path] + (["-crop", crop, "+repage"] if crop else []) + ["-depth", "8", "rgb:-"],
                         stdout=subprocess.PIPE, check=True).stdout
    return [tuple(raw[i:i + 3]) for i in range(0, len(raw), 3)]


def colours(path, crop=None):
    return len(set(rgb(path, crop)))


def mean_colour(path, crop=None):
    pixels = rgb(path, crop)
    return tuple(sum(channel) / len(pixels) for channel in zip(*pixels))


def difference(a, b, crop=None):
    """Mean absolute difference of two pictures (or of the same part of both), 0 to 255."""
    pa, pb = rgb(a, crop), rgb(b, crop)
    return sum(abs(x - y) for p, q in zip(pa, pb) for x, y in zip(p, q)) / (3 * len(pa))


def regdump():
    """Whether the settings key exists, and name -> (type, text without the system's terminator), as stored."""
    code, out = run(HARNESS, "regdump", SETTINGS_KEY)
    if code != 0:
        raise AssertionError(f"regdump failed with {code}: {out}")
    values = {}
    for line in out.splitlines():
        if line.startswith("value="):
            name, kind, _, text = line[len("value="):].split("|", 3)
            values[unescape(name)] = (int(kind), unescape(text).removesuffix("\0"))
    return "open=1" in out.splitlines(), values


def device_table(desktop=False):
    """display_driver list: its fields, and per device its modes and default and desktop mode indices."""
    code, info = finish(DISPLAY_DRIVER, "list", desktop=desktop)
    if code != 0:
        raise AssertionError(f"display_driver list ended with {code}")
    devices = [{"modes": [tuple(int(v) for v in m.split("x")) for m in info[f"device.{i}.modes"].split(",")],
                "default": int(info[f"device.{i}.default"]), "desktop": int(info[f"device.{i}.desktop"])}
               for i in range(int(info["devices"]))]
    return info, devices


def sound_tap(folder):
    """An environment whose default ALSA device pipes what Wine's ALSA driver
    plays into alsa_tap.py, and a function giving [(arrival time, rms)] so far."""
    levels, config = os.path.join(folder, "levels.txt"), os.path.join(folder, "asound.conf")
    tap = os.path.join(os.path.dirname(os.path.abspath(__file__)), "alsa_tap.py")
    with open(config, "w") as f:
        f.write(f"""pcm.!default {{ type plug; slave {{ pcm "tap"; format S16_LE; rate 44100; channels 2 }} }}
pcm.tap {{ type file; slave.pcm "null"; file "|{sys.executable} {tap} {levels}"; format "raw" }}
""")

    def heard():
        if not os.path.exists(levels):
            return []
        with open(levels) as f:
            return [(float(t), float(r)) for t, r, _ in (line.split() for line in f if line.strip())]
    return dict(os.environ, ALSA_CONFIG_PATH="/usr/share/alsa/alsa.conf:" + config), heard


def audio_driver(name):
    """Wine's audio driver for the programs started from now on ("" for none, None for the default)."""
    key = r"HKCU\Software\Wine\Drivers"
    if name is None:
        reg("delete", key, "/v", "Audio", "/f")
    elif reg("add", key, "/v", "Audio", "/t", "REG_SZ", "/d", name, "/f")[0] != 0:
        raise AssertionError("cannot choose Wine's audio driver")


def reg(*args):
    return run("reg", *args)


def clear_settings():
    reg("delete", "HKCU\\" + SETTINGS_KEY, "/f")


@contextlib.contextmanager
def settings_kept():
    """No stored settings while it runs, and what was stored put back after."""
    saved = os.path.join(tempfile.mkdtemp(), "settings.reg")
    had_settings = reg("export", "HKCU\\" + SETTINGS_KEY, windows_path(saved), "/y")[0] == 0
    try:
        clear_settings()
        yield
    finally:
        clear_settings()
        if had_settings:
            reg("import", windows_path(saved))


def set_setting(name, text):
    if reg("add", "HKCU\\" + SETTINGS_KEY, "/v", name, "/t", "REG_SZ", "/d", text, "/f")[0] != 0:
        raise AssertionError(f"reg add {name} failed")


def set_settings(**values):
    for name, value in values.items():
        set_setting(name, f"2: {value}")


def reg_value(key, name):
    """reg.exe's print of the value's data, or None."""
    for _ in range(3):  # Wine now and then hands back a run's output empty
        code, out = reg("query", key, "/v", name)
        if out.strip():
            break
    for line in out.splitlines() if code == 0 else []:
        parts = line.strip().split(None, 2)
        if len(parts) >= 2 and parts[0].lower() == name.lower() and parts[1].startswith("REG_"):
            return parts[2] if len(parts) == 3 else ""
    return None


def stored(name):
    return reg_value("HKCU\\" + SETTINGS_KEY, name)


def ends_within(process, seconds):
    """The exit code, or None if the process is still running then."""
    try:
        return process.wait(timeout=seconds)
    except subprocess.TimeoutExpired:
        return None


class WineCase(unittest.TestCase):
    """Starts from no stored settings, and stops what it started."""

    def setUp(self):
        clear_settings()
        self.processes = []

    def tearDown(self):
        for p in self.processes:
            if p.poll() is None:
                p.kill()
                p.wait()
            if p.stdout:
                p.stdout.close()
        clear_settings()

    def launch(self, program, *args, **kwargs):
        """Starts a Windows program, stopped at the end of the test."""
        p = subprocess.Popen([WINE, program, *args], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True,
                             **kwargs)
        self.processes.append(p)
        return p

    def start_show(self, **kwargs):
        p = self.launch(SCR, "/s", **kwargs)
        wait_for_x_window(SHOW_WINDOW)
        return p

    def shot_when_drawn(self, name, timeout=120):
        """A screenshot once the show's frame holds the scene (many colours)."""
        deadline = time.monotonic() + timeout
        while True:
            path = screenshot(name)
            if colours(path) > 2000 or time.monotonic() > deadline:
                return path
            time.sleep(0.5)

    def answer_fatal(self, text):
        """The fatal box, with its error icon and that text: OK pressed."""
        code, box = finish(HARNESS, "answer", "Error!", "20000", "1")
        if not box:  # the harness itself did not start (seen once on a loaded machine): it printed nothing
            code, box = finish(HARNESS, "answer", "Error!", "20000", "1")
        self.assertEqual((code, box.get("found"), box.get("icon")), (0, "1", "1"), box)
        self.assertEqual(unescape(box["text"]), text + SUPPORT_LINE)
