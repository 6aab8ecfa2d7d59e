"""The native program under the test's X display, no Wine: each launch checks
what it can and ends the show one of the ways a user does."""
import ctypes
import os
import subprocess
import tempfile
import time
import sys
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "win"))
from winenv import colours, difference, mean_colour, rgb, xdotool  # noqa: E402  the pictures' helpers
PROGRAM = os.environ.get("BRISANE_NATIVE") or os.path.join(HERE, "../../build/native/src/native/brisane")
OUT = os.path.join(HERE, "../../out/native")

# Only the still camera beside the ship, so the picture holds still but for
# the sea, the rigging and the sky's light.
STILL_CAMERA = "".join(f"Camera{i}=2: {int(i == 4)}\n" for i in range(1, 8))


def screenshot(name):
    os.makedirs(OUT, exist_ok=True)
    path = os.path.abspath(os.path.join(OUT, name))
    subprocess.run(["import", "-window", "root", path], check=True)
    return path


class XWindow:
    """A plain X window of another program, as a daemon or a dialog gives one."""
    def __init__(self, width, height):
        self.x = ctypes.CDLL("libX11.so.6")
        self.x.XOpenDisplay.restype = ctypes.c_void_p
        self.x.XDefaultRootWindow.restype = self.x.XCreateSimpleWindow.restype = ctypes.c_ulong
        self.display = ctypes.c_void_p(self.x.XOpenDisplay(None))
        root = ctypes.c_ulong(self.x.XDefaultRootWindow(self.display))
        self.id = self.x.XCreateSimpleWindow(self.display, root, 0, 0, width, height, 0, ctypes.c_ulong(0),
                                             ctypes.c_ulong(0))
        self.call("XMapWindow")

    def call(self, name, *args):
        getattr(self.x, name)(self.display, ctypes.c_ulong(self.id), *args)
        self.x.XSync(self.display, 0)


def screen_saver_on():
    """Whether the X server's own screen saver is on (idle for the time xset gave it)."""
    class Info(ctypes.Structure):
        _fields_ = [("window", ctypes.c_ulong), ("state", ctypes.c_int), ("kind", ctypes.c_int)] + \
                   [(name, ctypes.c_ulong) for name in ("til_or_since", "idle", "event_mask")]
    x, xss = ctypes.CDLL("libX11.so.6"), ctypes.CDLL("libXss.so.1")
    x.XOpenDisplay.restype = ctypes.c_void_p
    x.XDefaultRootWindow.restype = ctypes.c_ulong
    display, info = ctypes.c_void_p(x.XOpenDisplay(None)), Info()
    xss.XScreenSaverQueryInfo(display, ctypes.c_ulong(x.XDefaultRootWindow(display)), ctypes.byref(info))
    x.XCloseDisplay(display)
    return info.state == 1


def cpu_seconds(pid):
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")


def ends_within(process, seconds):
    """The exit code, or None if the process is still running then."""
    try:
        return process.wait(timeout=seconds)
    except subprocess.TimeoutExpired:
        return None


class NativeShowTests(unittest.TestCase):
    def setUp(self):
        self.config = tempfile.TemporaryDirectory(prefix="brisane_native_")
        self.settings_path = os.path.join(self.config.name, "brisane", "brisane.conf")
        self.processes = []
        xdotool("mousemove", "5", "5")

    def tearDown(self):
        for p in self.processes:
            if p.poll() is None:
                p.kill()
            p.communicate()
        self.config.cleanup()

    def write_settings(self, data):
        os.makedirs(os.path.dirname(self.settings_path), exist_ok=True)
        with open(self.settings_path, "wb") as f:
            f.write(data)

    def start(self, *args, **env):
        env = dict(os.environ, XDG_CONFIG_HOME=self.config.name, **env)
        p = subprocess.Popen([PROGRAM, *args], env=env, stdout=subprocess.PIPE, stderr=subprocess.PIPE, text=True)
        self.processes.append(p)
        return p

    def shot_when_drawn(self, process, name, timeout=120):
        """A screenshot once the frame holds the scene (many colours)."""
        deadline = time.monotonic() + timeout
        while True:
            self.assertIsNone(process.poll(), "the show ended before it was drawn")
            path = screenshot(name)
            if colours(path) > 2000 or time.monotonic() > deadline:
                return path
            time.sleep(0.5)

    def finished(self, process, seconds=10):
        """Exit code, standard output and standard error once the process has ended."""
        out, err = process.communicate(timeout=seconds)
        return process.returncode, out, err

    def test_a_damaged_settings_file_still_shows_the_ship_and_only_a_key_ends_it(self):
        damaged = (b"# edited by hand\nShowFPS=2: 1\nDisableOnMouseActivate=2: 1\n" + STILL_CAMERA.encode() +
                   b"SwitchPeriod=2: oops\n\x00\xff\xfe binary junk\n[unclosed\nGammaControl=2: 0\n")
        self.write_settings(damaged)
        p = self.start()
        first = self.shot_when_drawn(p, "show_first.png")
        time.sleep(1.5)
        later = screenshot("show_later.png")

        self.assertGreater(colours(later), 2000, "the scene, not a cleared frame")
        self.assertGreater(sum(mean_colour(later)) / 3, 30, "not black")
        self.assertGreater(difference(first, later, "1024x150+0+618"), 1.5, "the sea moves")
        self.assertLess(difference(first, later, "300x150+724+0"), 1.0, "a still camera")
        pixels = rgb(later)
        yellow = [i for i, (r, g, b) in enumerate(pixels) if r > 200 and g > 200 and b < 90]
        self.assertGreater(len(yellow), 40, "the yellow frame-rate text")
        self.assertTrue(all(i % 1024 < 200 and 10 <= i // 1024 < 60 for i in yellow), "only where the text is")

        xdotool("key", "F10")
        xdotool("key", "alt+x")
        for step in ("10", "200"):  # relative: moves through the input extension, as a hand's are
            xdotool("mousemove_relative", step, "0")
            time.sleep(0.2)
        self.assertIsNone(ends_within(p, 1.0), "F10, Alt combinations and mouse moves (turned off) end nothing")
        xdotool("key", "a")
        code, _, err = self.finished(p)
        self.assertEqual(code, 0, err)
        self.assertIn("line 13: damaged section heading", err, "the user is told what was skipped")
        with open(self.settings_path, "rb") as f:
            self.assertEqual(f.read(), damaged, "the file is left as it was")

    def test_a_mouse_move_ends_it_and_nothing_is_written(self):
        p = self.start()
        self.shot_when_drawn(p, "show_default.png")
        xdotool("mousemove", "300", "300")
        time.sleep(0.3)
        xdotool("mousemove_relative", "1", "0")
        code, _, err = self.finished(p)
        self.assertEqual(code, 0)
        self.assertIn(err, ("", "brisane: no sound device: the show runs silent\n"), "one line of ours, if any")
        self.assertFalse(os.path.exists(os.path.dirname(self.settings_path)), "nothing written without --save")

    def test_another_programs_window_is_followed_as_it_grows_and_when_it_goes(self):
        self.assertEqual(self.finished(self.start("--window-id", "0x7fffff"))[::2],
                         (1, "brisane: no X window 0x7fffff to draw on (--window-id or $XSCREENSAVER_WINDOW)\n"))
        window = XWindow(320, 240)
        p = self.start("--window-id", str(window.id))
        self.shot_when_drawn(p, "embedded_small.png")
        window.call("XResizeWindow", 640, 480)
        time.sleep(3)
        grown = screenshot("embedded_grown.png")
        self.assertGreater(colours(grown, "320x240+320+0"), 1000, "the picture fills the grown window")
        window.call("XDestroyWindow")
        code, _, err = self.finished(p, 5)
        self.assertEqual(code, 0, err)
        self.assertNotIn("X Error", err)

    def test_a_flag_path_that_would_block_is_passed_over(self):
        fifo = os.path.join(self.config.name, "flag.jpg")
        os.mkfifo(fifo)
        code, _, err = self.finished(self.start("--window", "320x240", "--seconds", "1", "--flag-file", fifo), 60)
        self.assertEqual(code, 0, err)
        self.assertIn("flag.jpg: not a file that can be read at once; the ship flies its own flag", err)

    def test_unseen_it_rests_and_seen_again_it_draws_at_the_rate_asked(self):
        p = self.start("--window", "320x240", "--max-fps", "10", "--figures")
        self.shot_when_drawn(p, "rest_before.png")
        shown = subprocess.check_output(["xdotool", "search", "--name", "^Brisane 3D Screensaver$"], text=True).split()[0]
        for hide, show, seconds in ((["windowunmap", shown], ["windowmap", shown], 10), (None, None, 4)):
            cover = None
            if hide:
                xdotool(*hide)
            else:
                cover = XWindow(1024, 768)  # over the whole screen
            time.sleep(0.5)
            before = cpu_seconds(p.pid)
            time.sleep(seconds)
            self.assertLess(cpu_seconds(p.pid) - before, 0.01 * seconds, "resting, unmapped or covered")
            xdotool(*show) if show else cover.call("XDestroyWindow")
        time.sleep(1)
        shots = [screenshot(f"rest_after_{i}.png") for i in range(2) if not time.sleep(1)]
        self.assertGreater(difference(*shots, "320x240+352+264"), 0.5, "drawing again")
        subprocess.run(["xset", "s", "1", "0"], check=True)
        self.addCleanup(subprocess.run, ["xset", "s", "off"])
        time.sleep(2)
        self.assertTrue(screen_saver_on(), "drawing, it does not hold the display awake")
        p.terminate()
        self.assertEqual(ends_within(p, 1), 0)
        frames, seconds = (float(f.split("=")[1]) for f in p.stdout.read().split()[1:3])
        self.assertLessEqual(frames, 10 * seconds + 2, "at most the 10 frames a second asked for")

    def test_full_screen_ends_when_another_window_takes_the_keyboard(self):
        p = self.start()
        self.shot_when_drawn(p, "show_focus.png")
        root = subprocess.check_output(["xwininfo", "-root"], text=True).split("Window id: ")[1].split()[0]
        xdotool("windowfocus", root)
        self.assertEqual(ends_within(p, 5), 0, "as the Windows program ends when it loses activation")


if __name__ == "__main__":
    unittest.main()
