"""The native program as a screensaver daemon's display mode: the real daemon
starts it when the screen blanks and it ends at once when the screen comes
back; a stop in the middle of its start ends it cleanly. Each on an X server of its own, without
access control, as the daemon runs as an ordinary user (it launches no hack
as root)."""
import os
import pwd
import subprocess
import tempfile
import time
import unittest

BRISANE = os.environ.get("BRISANE_NATIVE", "")
OUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "out", "hack")
NOBODY = pwd.getpwnam("nobody")


def catches_sigterm(pid):
    with open(f"/proc/{pid}/status", encoding="ascii") as status:
        caught = next(line for line in status if line.startswith("SigCgt:"))
    return int(caught.split()[1], 16) >> (15 - 1) & 1 == 1


class Xvfb:
    """An X server of its own; with host, a nested one showing two 640x480
    monitors side by side, as the daemon sees a desktop of two."""
    def __init__(self, host=None):
        self.host = host

    def __enter__(self):
        for number in range(140, 200):
            if not os.path.exists(f"/tmp/.X{number}-lock"):
                break
        self.display = f":{number}"
        if self.host:
            command = ["Xephyr", self.display, "+xinerama", "-screen", "640x480", "-screen", "640x480"]
        else:
            command = ["Xvfb", self.display, "-screen", "0", "640x480x24"]
        self.server = subprocess.Popen(command + ["-nolisten", "tcp", "-ac"], stdout=subprocess.DEVNULL,
                                       stderr=subprocess.DEVNULL,
                                       env=dict(os.environ, DISPLAY=self.host.display) if self.host else None)
        for _ in range(100):
            if subprocess.run(["xdpyinfo", "-display", self.display], stdout=subprocess.DEVNULL,
                              stderr=subprocess.DEVNULL).returncode == 0:
                return self
            time.sleep(0.1)
        raise RuntimeError("Xvfb did not start")

    def __exit__(self, *exc):
        self.server.terminate()
        self.server.wait()

    def colours(self, name, crop=""):
        """Saves the screen under out/hack and gives its number of colours (in crop, "[WxH+X+Y]")."""
        path = os.path.join(OUT, name + ".png")
        subprocess.run(["import", "-display", self.display, "-window", "root", path], stderr=subprocess.DEVNULL)
        p = subprocess.run(["identify", "-format", "%k", path + crop], stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                           text=True)
        return int(p.stdout or 0)


def hacks(display):
    """Process ids of the program drawing on display, or one of its screens
    (other tests run it on theirs)."""
    p = subprocess.run(["pgrep", "-f", "^" + BRISANE], stdout=subprocess.PIPE, text=True)
    def on_display(pid):
        try:
            with open(f"/proc/{pid}/environ", "rb") as f:
                return any(v == f"DISPLAY={display}".encode() or v.startswith(f"DISPLAY={display}.".encode())
                           for v in f.read().split(b"\0"))
        except OSError:
            return False
    return [pid for pid in p.stdout.split() if on_display(pid)]


def wait_for(condition, seconds, step=0.05):
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        if condition():
            return True
        time.sleep(step)
    return condition()


class HackTests(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        os.makedirs(OUT, exist_ok=True)

    def blank_with_the_daemon(self, x, name, monitors, args="", blanked=lambda: None):
        """Blanks x's screen with the real daemon, every monitor with a run of
        the program, and calls blanked; gives what the runs said."""
        with tempfile.TemporaryDirectory() as home, tempfile.TemporaryFile("w+") as said:
            os.chmod(home, 0o755)
            with open(os.path.join(home, ".xscreensaver"), "w") as f:
                f.write(f"mode: one\nselected: 0\ntimeout: 1:00:00\nlock: False\nfade: False\nunfade: False\n"
                        f"splash: False\nprograms: \"Brisane\" {BRISANE} --root --no-settings-file {args} \\n\n")
            for path in (home, os.path.join(home, ".xscreensaver")):
                os.chown(path, NOBODY.pw_uid, NOBODY.pw_gid)
            as_user = ["runuser", "-u", "nobody", "--", "env", f"HOME={home}", f"DISPLAY={x.display}"]
            # No sound device opens, so each run that tries says so.
            daemon = subprocess.Popen(as_user + ["ALSOFT_DRIVERS=none", "xscreensaver", "-no-splash"],
                                      stdout=subprocess.DEVNULL, stderr=said)
            try:
                command = lambda *a: subprocess.run(as_user + ["xscreensaver-command", *a], stdout=subprocess.DEVNULL,
                                                    stderr=subprocess.DEVNULL).returncode == 0
                self.assertTrue(wait_for(lambda: command("-time"), 20, 0.2), "the daemon did not come up")
                started = time.monotonic()
                self.assertTrue(command("-activate"))
                halves = [f"[640x480+{640 * i}+0]" for i in range(monitors)] if monitors > 1 else [""]
                self.assertTrue(wait_for(lambda: all(x.colours(name, h) > 2000 for h in halves), 90, 0.2),
                                "no ship on every blanked monitor")
                print(f"from -activate to the ship on the screen: {time.monotonic() - started:.2f} s")
                self.assertEqual(len(hacks(x.display)), monitors, "a run of the program a monitor")
                blanked()
                self.assertTrue(command("-deactivate"))
                self.assertTrue(wait_for(lambda: not hacks(x.display), 1.0),
                                "the program outlived the blanking by a second")
            finally:
                daemon.terminate()
                daemon.wait()
                for pid in hacks(x.display):
                    subprocess.run(["kill", "-9", pid])
            said.seek(0)
            return said.read()

    def test_the_daemon_starts_it_on_blanking_and_it_ends_at_once_on_unblanking(self):
        with Xvfb() as x:
            said = self.blank_with_the_daemon(x, "daemon", 1)
        self.assertEqual(said.count("no sound device"), 1, said)

    def test_on_two_monitors_two_views_and_one_sound(self):
        """The tour of a flying and a still camera: the second monitor begins
        on the still one, so its sky holds while the first's moves."""
        moved = []

        def blanked():
            shots = [(os.path.join(OUT, f"daemon_two_{i}.png"), x.colours(f"daemon_two_{i}"), time.sleep(3))[0]
                     for i in range(2)]
            for left in (0, 640):
                p = subprocess.run(["compare", "-metric", "RMSE", *(f"{s}[600x150+{left + 20}+0]" for s in shots),
                                    "null:"], stderr=subprocess.PIPE, text=True)
                moved.append(float(p.stderr.split("(")[1].rstrip(")")))
        with Xvfb() as host, Xvfb(host) as x:
            said = self.blank_with_the_daemon(x, "daemon_two", 2, "--cameras 1,4", blanked)
        print("the skies moved by", moved)
        self.assertEqual(said.count("no sound device"), 1, "only one run opens sound: " + said)
        self.assertGreater(moved[0], 0.12, "a flying camera on the first monitor")
        self.assertLess(moved[1], moved[0] / 2, "the still camera on the second (only its clouds move)")

    def test_a_stop_in_the_middle_of_the_start_ends_it_cleanly(self):
        with Xvfb() as x:
            for delay in (0.0, 0.3, 1.0):
                hack = subprocess.Popen([BRISANE, "-window", "320x240"], env=dict(os.environ, DISPLAY=x.display),
                                        stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
                # Before the program takes SIGTERM (while its libraries load) the
                # signal's default ends it: the start begins once it is caught.
                self.assertTrue(wait_for(lambda: catches_sigterm(hack.pid), 30, 0.01), "SIGTERM never caught")
                time.sleep(delay)
                hack.terminate()
                started = time.monotonic()
                self.assertEqual(hack.wait(timeout=30), 0, hack.stderr.read())
                print(f"stopped {delay:.2f} s into the start: gone {time.monotonic() - started:.2f} s later")


if __name__ == "__main__":
    unittest.main()
