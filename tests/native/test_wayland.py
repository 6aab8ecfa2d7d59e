"""The native program on desktops without a screensaver daemon. Wayland: a
headless sway run as an ordinary user (it refuses root), read back with grim,
keys through its virtual keyboard: drawn through the compositor, resting while
hidden, ended by a key or SIGTERM; the idle watch starting a show on each
output when the compositor says the seat is idle, and ending them on a key. A
compositor without a seat (weston's headless one) is refused with one line.
GNOME: the idle watch against a stand-in for its idle monitor on a private
session bus. Pictures under out/wayland."""
import os
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.append(os.path.join(HERE, "..", "win"))
from winenv import colours, mean_colour  # noqa: E402  the pictures' helpers
from test_hack import NOBODY, wait_for  # noqa: E402
from test_show import cpu_seconds, ends_within  # noqa: E402

PROGRAM = os.environ.get("BRISANE_NATIVE") or os.path.join(HERE, "../../build/native/src/native/brisane")
OUT = os.path.join(HERE, "../../out/wayland")


def shows_of(watch):
    """The shows a watch started (its children): their ids and arguments after the program."""
    p = subprocess.run(["pgrep", "-a", "-P", str(watch.pid)], stdout=subprocess.PIPE, text=True)
    return {int(pid): " ".join(words[1:]) for pid, *words in (line.split() for line in p.stdout.splitlines())}


class Session:
    """A compositor of its own, run as nobody, and its clients."""
    def __init__(self, compositor="sway", outputs=("1280x720",), scale=1):
        self.compositor, self.outputs, self.scale = compositor, outputs, scale

    def __enter__(self):
        self.clients = []
        self.home = tempfile.mkdtemp(prefix="brisane_wayland_")
        self.runtime = os.path.join(self.home, "run")
        os.mkdir(self.runtime, 0o700)
        for path in (self.home, self.runtime):
            os.chown(path, NOBODY.pw_uid, NOBODY.pw_gid)
        self.env = {"HOME": self.home, "XDG_RUNTIME_DIR": self.runtime, "XDG_CONFIG_HOME": self.home,
                    "ALSOFT_DRIVERS": "none", "PATH": os.environ["PATH"]}
        if self.compositor == "sway":
            config = os.path.join(self.home, "sway.conf")
            with open(config, "w") as f:
                for i, size in enumerate(self.outputs):
                    f.write(f"output HEADLESS-{i + 1} resolution {size} position {1000 * i} 0 scale {self.scale}\n")
            command = ["sway", "-c", config]
            extra = {"WLR_BACKENDS": "headless", "WLR_LIBINPUT_NO_DEVICES": "1", "WLR_RENDERER": "pixman",
                     "WLR_HEADLESS_OUTPUTS": str(len(self.outputs))}
        else:
            command, extra = ["weston", "--backend=headless-backend.so", "--socket=wayland-1"], {}
        words = [f"{k}={v}" for k, v in dict(self.env, **extra).items()]
        self.server = subprocess.Popen(["runuser", "-u", "nobody", "--", "env", "-i", *words, *command],
                                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        socket = lambda: [n for n in os.listdir(self.runtime) if n.startswith("wayland-") and "." not in n]
        if not wait_for(lambda: socket() and (self.compositor != "sway" or self.sway_socket()), 20, 0.1):
            raise RuntimeError(f"{self.compositor} did not start")
        self.env["WAYLAND_DISPLAY"] = socket()[0]
        if self.compositor == "sway":
            self.env["SWAYSOCK"] = self.sway_socket()
        return self

    def __exit__(self, *exc):
        for client in self.clients:
            if client.poll() is None:
                client.kill()
            client.communicate(timeout=10)
        self.server.terminate()
        self.server.wait()
        shutil.rmtree(self.home, ignore_errors=True)

    def sway_socket(self):
        found = [n for n in os.listdir(self.runtime) if n.startswith("sway-ipc.")]
        return os.path.join(self.runtime, found[0]) if found else None

    def start(self, command):
        """A client with only the session's environment (no X display)."""
        self.clients.append(subprocess.Popen(command, env=self.env, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                             text=True))
        return self.clients[-1]

    def run(self, *command):
        return subprocess.run(command, env=self.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                              timeout=30).returncode

    def shot(self, name, output=None):
        """The output's pixels (all outputs without one), saved under out/wayland."""
        os.makedirs(OUT, exist_ok=True)
        path = os.path.join(OUT, name + ".png")
        self.run("grim", *(["-o", output] if output else []), path)
        return path

    def drawn(self, name, output=None, seconds=60):
        """Waits for the scene on the output; its picture."""
        found = []
        def scene():
            found[:] = [self.shot(name, output)]
            return colours(found[0]) > 2000
        return found[0] if wait_for(scene, seconds, 0.5) else None

    def key(self):
        # The virtual keyboard must be there a while before its key: the seat
        # had none, and a show busy drawing asks for it only once it sees it.
        return self.run("wtype", "-s", "2500", "a")


class WaylandTests(unittest.TestCase):
    def test_drawn_at_the_outputs_pixels_resting_while_hidden_and_ended_by_sigterm_or_a_key(self):
        with Session(outputs=("1280x720",), scale=2) as session:
            show = session.start([PROGRAM, "--figures"])
            shot = session.drawn("show_scale2")
            self.assertTrue(shot, "no ship on the output")
            sky, sea = mean_colour(shot, "1280x120+0+0"), mean_colour(shot, "1280x120+0+600")
            self.assertGreater(sky[2], sky[0], "the sky is not blue")
            self.assertGreater(sea[2], sea[0], "the sea is not blue")
            self.assertGreater(sum(sky), sum(sea), "sky over sea: the top is the brighter")

            drawing = cpu_seconds(show.pid)
            time.sleep(3)
            drawing = (cpu_seconds(show.pid) - drawing) / 3
            self.assertEqual(session.run("swaymsg", "-q", "workspace", "2"), 0)
            time.sleep(1.5)
            hidden = cpu_seconds(show.pid)
            time.sleep(4)
            hidden = (cpu_seconds(show.pid) - hidden) / 4
            print(f"processor seconds a second: drawing {drawing:.3f}, hidden {hidden:.3f}")
            self.assertLess(hidden, min(0.05, drawing / 5), "it kept drawing while hidden")

            # Ended while its frame callbacks are kept back.
            show.terminate()
            self.assertEqual(ends_within(show, 1.0), 0, "SIGTERM while hidden did not end it within a second")
            figures = show.stdout.read()
            self.assertIn("size=1280x720", figures, "not drawn at the output's own pixels")

            session.run("swaymsg", "-q", "workspace", "1")
            show = session.start([PROGRAM])
            self.assertTrue(session.drawn("show_before_key"), "no ship on the output")
            self.assertEqual(session.key(), 0)
            self.assertEqual(ends_within(show, 5), 0, "a key did not end the show")

    def test_the_idle_watch_starts_a_show_on_each_output_and_a_key_ends_them(self):
        with Session(outputs=("640x480", "640x480")) as session:
            watch = session.start([PROGRAM, "--idle", "--idle-after", "2", "--camera-delay", "60"])
            self.assertTrue(wait_for(lambda: len(shows_of(watch)) == 2, 30, 0.1), "no show on idle")
            self.assertEqual(sorted(shows_of(watch).values()),
                             ["--monitor 1 --camera-delay 60", "--monitor 2 --camera-delay 60"])
            for output in ("HEADLESS-1", "HEADLESS-2"):
                self.assertTrue(session.drawn("idle_" + output, output), "no ship on " + output)

            self.assertEqual(session.key(), 0)
            self.assertTrue(wait_for(lambda: not shows_of(watch), 4, 0.05), "the shows outlived the key")
            self.assertIsNone(watch.poll(), "the watch ended with the shows")
            # Left alone again, the shows come back.
            self.assertTrue(wait_for(lambda: len(shows_of(watch)) == 2, 30, 0.1), "no show on the next idle")
            # However the watch ends, its shows go with it.
            shows = shows_of(watch)
            watch.kill()
            watch.wait()
            self.assertTrue(wait_for(lambda: not [p for p in shows if os.path.exists(f"/proc/{p}")], 5, 0.1),
                            "a show outlived its watch")
            self.assertIn("KDE idle protocol", watch.stderr.read())

    def test_a_compositor_without_a_seat_is_refused_with_one_line(self):
        with Session("weston") as session:
            show = session.start([PROGRAM, "--seconds", "2"])
            self.assertEqual(ends_within(show, 20), 1)
            self.assertEqual(show.stderr.read(), "brisane: the Wayland compositor offers no seat (keyboard and pointer), "
                             "which this SDL cannot run without, and there is no X server to draw through\n")


class GnomeIdleTests(unittest.TestCase):
    """On the test's X display, with a private session bus."""
    def setUp(self):
        self.bus = subprocess.Popen(["dbus-daemon", "--session", "--nofork", "--print-address=1"],
                                    stdout=subprocess.PIPE, text=True)
        self.env = dict(os.environ, DBUS_SESSION_BUS_ADDRESS=self.bus.stdout.readline().strip(), ALSOFT_DRIVERS="none")
        self.env.pop("WAYLAND_DISPLAY", None)
        self.work = tempfile.mkdtemp(prefix="brisane_gnome_")
        self.env["XDG_CONFIG_HOME"] = self.work

    def tearDown(self):
        self.bus.terminate()
        self.bus.communicate()
        shutil.rmtree(self.work, ignore_errors=True)

    def watch(self, *args):
        """The idle watch on the test's display, killed at the end if still running."""
        watch = subprocess.Popen([PROGRAM, "--idle", *args], env=self.env, stdout=subprocess.DEVNULL,
                                 stderr=subprocess.PIPE, text=True)
        self.addCleanup(lambda: watch.poll() is None and watch.kill())
        self.addCleanup(watch.stderr.close)
        return watch

    def test_the_watch_asks_gnomes_idle_monitor_and_ends_the_show_on_activity(self):
        nothing = self.watch()
        self.assertEqual(ends_within(nothing, 10), 1)
        self.assertRegex(nothing.stderr.read(), r"^brisane: this session tells no program when it goes idle .*\n$")

        touched = os.path.join(self.work, "touched")
        stand_in = subprocess.Popen(["/usr/bin/python3", os.path.join(HERE, "idle_monitor_standin.py"), touched],
                                    env=self.env, stdout=subprocess.PIPE, text=True)
        try:
            self.assertEqual(stand_in.stdout.readline().strip(), "ready")
            watch = self.watch("--idle-after", "3", "--no-sound")
            self.assertEqual(stand_in.stdout.readline().strip(), "idle watch 3000 ms")
            self.assertTrue(wait_for(lambda: len(shows_of(watch)) == 1, 20, 0.1), "no show on idle")
            self.assertEqual(list(shows_of(watch).values()), ["--no-sound"])
            with open(touched, "w"):
                pass
            self.assertTrue(wait_for(lambda: not shows_of(watch), 5, 0.05), "the show outlived the activity")
            watch.terminate()
            self.assertEqual(ends_within(watch, 5), 0)
            self.assertIn("GNOME's idle monitor", watch.stderr.read())
        finally:
            stand_in.terminate()
            stand_in.communicate()


if __name__ == "__main__":
    unittest.main()
