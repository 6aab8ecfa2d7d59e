"""What the show sounds like, heard through Wine's ALSA driver.

The show's process gets an ALSA configuration whose default device is a
plug (to 44.1 kHz 16-bit stereo) into the file plugin over the null device;
the file plugin pipes the stream into alsa_tap.py, which logs the level of
every 0.1 s of sound with the time it arrived. Wine is told to use its ALSA
driver, or no audio driver at all.
"""
import os
import subprocess
import sys
import tempfile
import time
import unittest

from winenv import (ends_within, reg, SCR, set_setting, SETTINGS_KEY, SHOW_TITLE, wait_for_x_window, WineCase,
                    WINE, xdotool)

DRIVERS_KEY = r"HKCU\Software\Wine\Drivers"
TAP = os.path.join(os.path.dirname(os.path.abspath(__file__)), "alsa_tap.py")
SILENCE = 0.002  # RMS under this (about -54 dBFS) counts as silence


def alsa_config(folder):
    levels = os.path.join(folder, "levels.txt")
    path = os.path.join(folder, "asound.conf")
    with open(path, "w") as f:
        f.write(f"""
pcm.!default {{
  type plug
  slave {{ pcm "brisane_tap"; format S16_LE; rate 44100; channels 2 }}
}}
pcm.brisane_tap {{
  type file
  slave.pcm "null"
  file "|{sys.executable} {TAP} {levels}"
  format "raw"
}}
""")
    return path, levels


def read_levels(path):
    """[(seconds since start, rms, peak)] of what the tap heard."""
    if not os.path.exists(path):
        return []
    with open(path) as f:
        return [(float(t), float(r), int(p)) for t, r, p in (line.split() for line in f if line.strip())]


class SoundCase(WineCase):
    def setUp(self):
        super().setUp()
        self.folder = tempfile.TemporaryDirectory(prefix="brisane_sound_")
        self.config, self.levels_path = alsa_config(self.folder.name)
        self.use_audio_driver("alsa")

    def tearDown(self):
        super().tearDown()
        reg("delete", DRIVERS_KEY, "/v", "Audio", "/f")
        self.folder.cleanup()

    def use_audio_driver(self, name):
        code, out = reg("add", DRIVERS_KEY, "/v", "Audio", "/t", "REG_SZ", "/d", name, "/f")
        self.assertEqual(code, 0, out)

    def run_show(self, seconds):
        """Runs the show for that long, ends it with a key; returns (exit code, levels)."""
        env = dict(os.environ, ALSA_CONFIG_PATH="/usr/share/alsa/alsa.conf:" + self.config)
        self.started = time.time()
        p = subprocess.Popen([WINE, SCR, "/s"], env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.processes.append(p)
        wait_for_x_window("^" + SHOW_TITLE + "$")
        time.sleep(seconds)
        self.assertIsNone(p.poll(), "the show keeps running")
        xdotool("key", "a")
        code = ends_within(p, 15)
        time.sleep(0.5)  # the tap writes its last lines
        return code, [(t - self.started, r, peak) for t, r, peak in read_levels(self.levels_path)]

    def stored(self, name):
        code, out = reg("query", "HKCU\\" + SETTINGS_KEY, "/v", name)
        return out if code == 0 else None


class SoundTests(SoundCase):
    def test_the_loops_sound_from_the_first_seconds_and_go_on(self):
        code, levels = self.run_show(12)
        self.assertEqual(code, 0)
        self.assertTrue(levels, "the show opened the sound device")
        heard = [(t, r) for t, r, _ in levels if r > SILENCE]
        self.assertTrue(heard, "something was heard")
        first = heard[0][0]
        # Wine starts in about 3 s; the scene loads and the first frame,
        # which starts the loops, is drawn by software.
        self.assertLess(first, 12.0, f"the loops start within the first seconds (at {first:.1f} s)")
        # From then on the two loops never stop: every second has sound.
        last = levels[-1][0]
        for second in range(int(first) + 1, int(last) - 1):
            window = [r for t, r, _ in levels if second <= t < second + 1]
            if window:
                self.assertGreater(max(window), SILENCE * 5, f"sound at {second} s")
        median = sorted(r for _, r in heard)[len(heard) // 2]
        print(f"\nfirst sound at {first:.1f} s after launch; median RMS {median:.4f}; "
              f"{len(levels)} blocks up to {last:.1f} s", file=sys.stderr)
        self.assertIsNone(self.stored("DisableSound"), "nothing written to the registry")

    def test_a_volley_adds_loud_shots_at_about_a_minute(self):
        set_setting("EnableFiring", "2: 1")
        set_setting("FiringPeriod", "2: 0")
        # The ambient sounds turned right down (the shots keep full volume),
        # so whatever is loud is a shot, wherever the tour puts the listener.
        set_setting("MasterVolume", "2: -5000")
        code, levels = self.run_show(75)
        self.assertEqual(code, 0)
        self.assertTrue(levels, "the sound device was opened")
        loud = [(t, r, peak) for t, r, peak in levels if r > 0.05]
        self.assertTrue(loud, "the shots are heard")
        first, last = loud[0][0], loud[-1][0]
        ambient = max(r for t, r, _ in levels if t < first - 1)
        print(f"\nshots from {first:.1f} s to {last:.1f} s after launch, loudest RMS "
              f"{max(r for _, r, _ in loud):.3f}, peak {max(p for _, _, p in loud)}; "
              f"quiet ambient up to RMS {ambient:.4f} before", file=sys.stderr)
        # The volley comes a minute after the start, its eight shots within
        # a few seconds of each other.
        self.assertGreater(first, 50.0)
        self.assertLess(first, 70.0)
        self.assertLess(last - first, 6.0)
        self.assertLess(ambient, 0.01, "nothing as loud before the volley")

    def test_sound_turned_off_brings_no_device_up(self):
        set_setting("DisableSound", "2: 1")
        code, levels = self.run_show(8)
        self.assertEqual(code, 0)
        self.assertEqual(levels, [], "the sound device was never opened")
        self.assertIn("2: 1", self.stored("DisableSound"))

    def test_without_an_audio_driver_the_show_runs_silently_and_leaves_the_setting(self):
        self.use_audio_driver("")
        set_setting("DisableSound", "2: 0")
        code, levels = self.run_show(8)
        self.assertEqual(code, 0, "ends on a key as always")
        self.assertEqual(levels, [], "no device, nothing played")
        self.assertIn("2: 0", self.stored("DisableSound"), "the user's choice is kept")

    def test_a_broken_sound_setup_is_no_device_either(self):
        # ALSA itself fails to open the default device.
        with open(self.config, "w") as f:
            f.write('pcm.!default { type nonexistent_plugin }\n')
        code, levels = self.run_show(6)
        self.assertEqual(code, 0)
        self.assertEqual(levels, [])
        self.assertIsNone(self.stored("DisableSound"))


if __name__ == "__main__":
    unittest.main()
