"""The full-screen show on two monitors side by side.

Xvfb cannot place two monitors side by side, so this test starts its own X
server: Xorg with the dummy video driver, one 1824 x 768 screen split by
RandR into a 1024 x 768 primary monitor and an 800 x 600 one to its right.
Wine learns its monitors when its first program starts, so the test runs
Wine in a copy of the test prefix with its own wineserver; the Xvfb and the
prefix of every other test are left alone.
"""
import os
import shutil
import subprocess
import tempfile
import time
import unittest

from winenv import SCR, WINE, driver, ends_within, fields

OUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "out")
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


def free_display():
    for number in range(70, 100):
        if not os.path.exists(f"/tmp/.X{number}-lock") and not os.path.exists(f"/tmp/.X11-unix/X{number}"):
            return number
    raise AssertionError("no free X display number between :70 and :99")


def root_pixels(env, path):
    """Screenshot of the whole X screen to path; returns (width, height, RGB bytes)."""
    subprocess.run(["import", "-window", "root", path], env=env, check=True)
    size = subprocess.run(["identify", "-format", "%w %h", path], check=True, capture_output=True,
                          text=True).stdout.split()
    data = subprocess.run(["convert", path, "-depth", "8", "rgb:-"], check=True, capture_output=True).stdout
    return int(size[0]), int(size[1]), data


def colour_count(image, rect, colour):
    """Pixels of that exact colour inside rect (x, y, width, height)."""
    width, _, data = image
    x, y, w, h = rect
    target = bytes(colour)
    count = 0
    for row in range(y, y + h):
        line = data[(row * width + x) * 3:(row * width + x + w) * 3]
        count += sum(1 for i in range(0, len(line), 3) if line[i:i + 3] == target)
    return count


class TwoMonitors(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.tmp = tempfile.mkdtemp(prefix="brisane-monitors-")
        conf = os.path.join(cls.tmp, "xorg.conf")
        with open(conf, "w") as f:
            f.write(XORG_CONF)
        cls.number = free_display()
        cls.log = os.path.join(cls.tmp, "xorg.log")
        cls.xorg = subprocess.Popen(["Xorg", f":{cls.number}", "-config", conf, "-logfile", cls.log, "-noreset",
                                     "-nolisten", "tcp", "+extension", "RANDR"],
                                    stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        cls.env = dict(os.environ, DISPLAY=f":{cls.number}")
        try:
            cls.wait_for_x()
            for step in (["--addmode", "DUMMY1", "800x600"],
                         ["--output", "DUMMY1", "--mode", "800x600", "--right-of", "DUMMY0"]):
                subprocess.run(["xrandr", *step], env=cls.env, check=True)
            # A full query probes the outputs again; without it the server's
            # current state, which Wine reads, may still list DUMMY1 as off.
            subprocess.run(["xrandr"], env=cls.env, check=True, stdout=subprocess.DEVNULL)
            cls.env["WINEPREFIX"] = cls.prefix_copy()
            subprocess.run([WINESERVER, "-p"], env=cls.env, check=True)
            subprocess.run([WINE, "wineboot"], env=cls.env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                           stderr=subprocess.DEVNULL, timeout=120)
            cls.wait_for_two_monitors()
        except BaseException:
            cls.tearDownClass()
            raise

    @classmethod
    def tearDownClass(cls):
        if "WINEPREFIX" in cls.env:
            subprocess.run([WINESERVER, "-k"], env=cls.env, stderr=subprocess.DEVNULL)
        cls.xorg.terminate()
        try:
            cls.xorg.wait(timeout=10)
        except subprocess.TimeoutExpired:
            cls.xorg.kill()
            cls.xorg.wait()
        shutil.rmtree(cls.tmp, ignore_errors=True)

    @classmethod
    def wait_for_x(cls):
        deadline = time.monotonic() + 20
        while time.monotonic() < deadline:
            if cls.xorg.poll() is not None:
                break
            if subprocess.run(["xdpyinfo"], env=cls.env, stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL).returncode == 0:
                return
            time.sleep(0.2)
        log = open(cls.log, errors="replace").read()[-3000:] if os.path.exists(cls.log) else ""
        raise AssertionError(f"Xorg with the dummy driver did not start on :{cls.number}:\n{log}")

    @classmethod
    def wait_for_two_monitors(cls):
        """Wine's first program may still see the monitors the prefix last knew; ask until it sees these."""
        deadline = time.monotonic() + 30
        while True:
            out = subprocess.run([WINE, driver("monitor_driver")], env=cls.env, capture_output=True, text=True,
                                 timeout=60).stdout
            monitors = [line for line in out.splitlines() if line.startswith("monitor=")]
            if monitors == ["monitor=0,0,1024,768,1", "monitor=1024,0,1824,600,0"]:
                return
            if time.monotonic() > deadline:
                raise AssertionError(f"Wine does not see the two monitors: {out}")
            time.sleep(1)

    @staticmethod
    def prefix_copy():
        """The test prefix, copied once: its own wineserver sees this X server's monitors."""
        source = os.environ["WINEPREFIX"]
        copy = source.rstrip("/") + "-monitors"
        marker = ".brisane-ready"
        ready = os.path.join(copy, marker)
        wanted = open(os.path.join(source, marker)).read() if os.path.exists(os.path.join(source, marker)) else "?"
        if not os.path.exists(ready) or open(ready).read() != wanted:
            shutil.rmtree(copy, ignore_errors=True)
            subprocess.run(["cp", "-a", source, copy], check=True)
        return copy

    def setUp(self):
        self.xdotool("mousemove", str(SECOND[0] + 300), str(SECOND[1] + 300))
        subprocess.run(["xsetroot", "-solid", "#%02x%02x%02x" % ROOT_COLOUR], env=self.env, check=True)
        self.shows = []

    def tearDown(self):
        for p in self.shows:
            if p.poll() is None:
                p.kill()
                p.wait()

    def xdotool(self, *args):
        subprocess.run(["xdotool", *args], env=self.env, check=True)

    def monitors(self):
        out = subprocess.run(["xrandr", "--listmonitors"], env=self.env, check=True, capture_output=True,
                             text=True).stdout
        return out.splitlines()[0]

    def program_windows(self):
        """Visible X windows of the program (the show and its covers)."""
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

    def start_show(self):
        p = subprocess.Popen([WINE, SCR, "/s"], env=self.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.shows.append(p)
        return p

    def wait_until_covered(self, name):
        """Polls screenshots until neither monitor shows the root's colour; returns the last one's counts."""
        os.makedirs(OUT, exist_ok=True)
        path = os.path.abspath(os.path.join(OUT, name))
        deadline = time.monotonic() + 60
        while True:
            image = root_pixels(self.env, path)
            left = [colour_count(image, m, ROOT_COLOUR) for m in (PRIMARY, SECOND)]
            # The show is up once its frames are drawn: a picture of many colours.
            colours = len({image[2][i:i + 3] for i in range(0, 1024 * 3 * 768, 3 * 7)})
            if (left == [0, 0] and colours > 1000) or time.monotonic() > deadline:
                return left, image

    def test_both_monitors_covered_and_a_key_ends_the_show(self):
        self.assertEqual(self.monitors(), "Monitors: 2")
        before = root_pixels(self.env, os.path.join(self.tmp, "before.png"))
        self.assertEqual([colour_count(before, m, ROOT_COLOUR) for m in (PRIMARY, SECOND)],
                         [1024 * 768, 800 * 600], "the uncovered screen shows the root's colour")

        p = self.start_show()
        left, image = self.wait_until_covered("monitors_show.png")
        self.assertEqual(left, [0, 0], "no pixel of the root's colour on either monitor")
        self.assertIsNone(p.poll(), "the show keeps running")
        self.assertEqual(self.program_windows(), [PRIMARY, SECOND], "the show on the primary, a cover beside it")
        # The cover is black; the show is a picture.
        self.assertEqual(colour_count(image, SECOND, (0, 0, 0)), 800 * 600)

        self.xdotool("key", "a")
        self.assertEqual(ends_within(p, 10), 0)
        self.assertEqual(self.program_windows(), [], "every window is gone")

    def test_the_cover_is_topmost_pointerless_and_passes_movement_to_the_show(self):
        # Under Wine the exclusive display mostly confines the real pointer to
        # the primary monitor (and where it does not, Wine's pointer grab may
        # swallow the motion), so movement over the cover is posted to it.
        p = self.start_show()
        left, _ = self.wait_until_covered("monitors_show_posted.png")
        self.assertEqual(left, [0, 0])
        out = subprocess.run([WINE, driver("monitor_driver"), "cover", "5000"], env=self.env, capture_output=True,
                             text=True, timeout=60).stdout
        cover = fields(out)
        self.assertEqual(cover.get("found"), "1", out)
        self.assertEqual(cover["rect"], "1024,0,1824,600")
        exstyle = int(cover["exstyle"], 16)
        self.assertTrue(exstyle & WS_EX_TOPMOST, cover["exstyle"])
        self.assertTrue(exstyle & WS_EX_NOACTIVATE, "never takes the activation from the show")
        self.assertEqual(cover["cursor"], "0", "no pointer over the cover")
        self.assertIsNone(ends_within(p, 1.0), "looking at the cover ends nothing")

        subprocess.run([WINE, driver("monitor_driver"), "cover", "5000", "100,100", "140,120"], env=self.env,
                       capture_output=True, timeout=60)
        self.assertEqual(ends_within(p, 10), 0)
        self.assertEqual(self.program_windows(), [], "every window is gone")


if __name__ == "__main__":
    unittest.main()
