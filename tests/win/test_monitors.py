"""The full-screen show on two monitors side by side: Xorg with the dummy
driver (Xvfb cannot place two monitors), one 1824 x 768 screen split by RandR
into a 1024 x 768 primary and an 800 x 600 monitor to its right. Wine learns
its monitors when its first program starts, so this runs in a copy of the
test prefix with its own wineserver."""
import os
import shutil
import subprocess
import tempfile
import time
import unittest

from winenv import HARNESS, OUT, SCR, WINE, ends_within, fields

ROOT_COLOUR = (255, 0, 255)
PRIMARY = (0, 0, 1024, 768)        # x, y, width, height
SECOND = (1024, 0, 800, 600)
WINESERVER = "/usr/lib/wine/wineserver"
WS_EX_TOPMOST, WS_EX_NOACTIVATE = 0x00000008, 0x08000000

XORG_CONF = """\
Section "Device"
  Identifier "dummy"
  Driver "dummy"
  VideoRam 64000
EndSection
Section "Monitor"
  Identifier "monitor"
  HorizSync 5.0-1000.0
  VertRefresh 5.0-200.0
EndSection
Section "Screen"
  Identifier "screen"
  Device "dummy"
  Monitor "monitor"
  DefaultDepth 24
  SubSection "Display"
    Depth 24
    Virtual 1824 768
  EndSubSection
EndSection
"""


def root_pixels(env, path):
    """(width, RGB bytes) of the whole X screen, saved to path."""
    subprocess.run(["import", "-window", "root", path], env=env, check=True)
    width = subprocess.run(["identify", "-format", "%w", path], check=True, capture_output=True, text=True).stdout
    return int(width), subprocess.run(["convert", path, "-depth", "8", "rgb:-"], check=True, capture_output=True).stdout


def colour_count(image, rect, colour):
    width, data = image
    x, y, w, h = rect
    lines = (data[(row * width + x) * 3:(row * width + x + w) * 3] for row in range(y, y + h))
    return sum(1 for line in lines for i in range(0, len(line), 3) if line[i:i + 3] == bytes(colour))


class TwoMonitors(unittest.TestCase):
    def setUp(self):
        tmp = tempfile.mkdtemp(prefix="brisane-monitors-")
        self.addCleanup(shutil.rmtree, tmp, ignore_errors=True)
        self.before = os.path.join(tmp, "before.png")
        with open(os.path.join(tmp, "xorg.conf"), "w") as f:
            f.write(XORG_CONF)
        number = next(n for n in range(70, 100) if not os.path.exists(f"/tmp/.X11-unix/X{n}"))
        log = os.path.join(tmp, "xorg.log")
        xorg = subprocess.Popen(["Xorg", f":{number}", "-config", os.path.join(tmp, "xorg.conf"), "-logfile", log,
                                 "-noreset", "-nolisten", "tcp", "+extension", "RANDR"],
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.addCleanup(lambda: (xorg.terminate(), xorg.wait()))
        self.env = dict(os.environ, DISPLAY=f":{number}")
        deadline = time.monotonic() + 20
        while subprocess.run(["xdpyinfo"], env=self.env, capture_output=True).returncode != 0:
            if xorg.poll() is not None or time.monotonic() > deadline:
                raise AssertionError(f"Xorg with the dummy driver did not start: {open(log).read()[-3000:]}")
            time.sleep(0.2)
        for step in (["--addmode", "DUMMY1", "800x600"],
                     ["--output", "DUMMY1", "--mode", "800x600", "--right-of", "DUMMY0"]):
            subprocess.run(["xrandr", *step], env=self.env, check=True)
        # A full query probes the outputs again: Wine may otherwise read DUMMY1 as off.
        subprocess.run(["xrandr"], env=self.env, check=True, stdout=subprocess.DEVNULL)
        source = os.environ["WINEPREFIX"]
        self.env["WINEPREFIX"] = copy = source.rstrip("/") + "-monitors"
        marker = lambda prefix: open(os.path.join(prefix, ".brisane-ready")).read()  # noqa: E731
        if not os.path.exists(os.path.join(copy, ".brisane-ready")) or marker(copy) != marker(source):
            shutil.rmtree(copy, ignore_errors=True)
            subprocess.run(["cp", "-a", source, copy], check=True)
        subprocess.run([WINESERVER, "-p"], env=self.env, check=True)
        self.addCleanup(subprocess.run, [WINESERVER, "-k"], env=self.env, stderr=subprocess.DEVNULL)
        subprocess.run([WINE, "wineboot"], env=self.env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, timeout=120)
        # The first program may still see the monitors the prefix last knew.
        deadline = time.monotonic() + 30
        while True:
            out = subprocess.run([WINE, HARNESS, "monitors"], env=self.env, capture_output=True, text=True,
                                 timeout=60).stdout
            if [line for line in out.splitlines() if line.startswith("monitor=")] == [
                    "monitor=0,0,1024,768,1", "monitor=1024,0,1824,600,0"]:
                break
            if time.monotonic() > deadline:
                raise AssertionError(f"Wine does not see the two monitors: {out}")
            time.sleep(1)
        self.xdotool("mousemove", str(SECOND[0] + 300), str(SECOND[1] + 300))
        subprocess.run(["xsetroot", "-solid", "#%02x%02x%02x" % ROOT_COLOUR], env=self.env, check=True)

    def xdotool(self, *args):
        subprocess.run(["xdotool", *args], env=self.env, check=True)

    def program_windows(self):
        p = subprocess.run(["xdotool", "search", "--onlyvisible", "--classname", "brisane.scr"], env=self.env,
                           capture_output=True, text=True)
        found = []
        for window in p.stdout.split():
            geometry = subprocess.run(["xdotool", "getwindowgeometry", "--shell", window], env=self.env,
                                      capture_output=True, text=True).stdout
            g = dict(line.split("=", 1) for line in geometry.split())
            if int(g.get("WIDTH", 0)) > 1:  # not the 1 x 1 helper windows Wine makes
                found.append((int(g["X"]), int(g["Y"]), int(g["WIDTH"]), int(g["HEIGHT"])))
        return sorted(found)

    def cover(self, *points):
        out = subprocess.run([WINE, HARNESS, "monitors", "cover", "5000", *points], env=self.env,
                             capture_output=True, text=True, timeout=60).stdout
        return fields(out)

    def test_both_monitors_covered_and_movement_over_the_cover_ends_the_show(self):
        monitors = subprocess.run(["xrandr", "--listmonitors"], env=self.env, check=True, capture_output=True,
                                  text=True).stdout
        self.assertEqual(monitors.splitlines()[0], "Monitors: 2")
        before = root_pixels(self.env, self.before)
        self.assertEqual([colour_count(before, m, ROOT_COLOUR) for m in (PRIMARY, SECOND)], [1024 * 768, 800 * 600])

        p = subprocess.Popen([WINE, SCR, "/s"], env=self.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.addCleanup(lambda: p.poll() is None and (p.kill(), p.wait()))
        os.makedirs(OUT, exist_ok=True)
        deadline = time.monotonic() + 60
        while True:
            image = root_pixels(self.env, os.path.abspath(os.path.join(OUT, "monitors_show.png")))
            left = [colour_count(image, m, ROOT_COLOUR) for m in (PRIMARY, SECOND)]
            colours = len({image[1][i:i + 3] for i in range(0, 1024 * 3 * 768, 3 * 7)})
            if (left == [0, 0] and colours > 1000) or time.monotonic() > deadline:
                break
        self.assertEqual(left, [0, 0], "no pixel of the root's colour")
        self.assertEqual(self.program_windows(), [PRIMARY, SECOND], "the show on the primary, a cover beside it")
        self.assertEqual(colour_count(image, SECOND, (0, 0, 0)), 800 * 600, "a black cover")

        cover = self.cover()
        self.assertEqual(cover.get("found"), "1", cover)
        self.assertEqual(cover["rect"], "1024,0,1824,600")
        self.assertEqual(int(cover["exstyle"], 16) & (WS_EX_TOPMOST | WS_EX_NOACTIVATE), WS_EX_TOPMOST | WS_EX_NOACTIVATE)
        self.assertEqual(cover["cursor"], "0", "no pointer over the cover")
        self.assertIsNone(ends_within(p, 1.0), "looking at the cover ends nothing")
        # Wine's exclusive display confines the real pointer: movement is posted to the cover.
        self.cover("100,100", "140,120")
        self.assertEqual(ends_within(p, 10), 0)
        self.assertEqual(self.program_windows(), [], "every window is gone")
