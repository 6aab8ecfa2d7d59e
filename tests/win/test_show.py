"""The show as the system starts it (Brisane.scr /s), seen and heard: each
launch checks what it can and ends the show one of the ways a user does."""
import os
import tempfile
import time

from winenv import (HARNESS, SHOW_TITLE, WineCase, audio_driver, difference, ends_within, fields, finish, mean_colour,
                    rgb, screenshot, set_setting, set_settings, sound_tap, stored, xdotool)

SILENCE = 0.002  # RMS under this (about -54 dBFS) counts as silence
WS_POPUP, WS_CHILD, WS_VISIBLE, WS_EX_TOPMOST = 0x80000000, 0x40000000, 0x10000000, 0x8


def contrast_under_the_ship(shot):
    """How far the water under the ship (the still camera's view) differs from the open sea beside it."""
    under, beside = mean_colour(shot, "360x80+260+620"), mean_colour(shot, "200x80+780+620")
    return sum(abs(a - b) for a, b in zip(under, beside))


class ShowTests(WineCase):
    def setUp(self):
        super().setUp()
        self.folder = tempfile.TemporaryDirectory(prefix="brisane_sound_")
        self.env, self.levels = sound_tap(self.folder.name)
        audio_driver("alsa")

    def tearDown(self):
        super().tearDown()
        audio_driver(None)
        self.folder.cleanup()

    def show(self):
        self.started = time.time()
        p = self.start_show(env=self.env)
        time.sleep(0.5)  # into drawing frames
        return p

    def heard(self, p):
        """[(seconds since launch, rms)] once the show has ended with 0."""
        self.assertEqual(ends_within(p, 10), 0)
        time.sleep(0.5)  # the tap writes its last lines
        return [(t - self.started, r) for t, r in self.levels()]

    def test_the_show_covers_the_screen_draws_and_sounds_and_a_key_ends_it(self):
        # Only the still camera beside the ship, so the view holds; the frame rate shown; a custom flag.
        set_settings(ShowFPS=1, FlagNum=1, EnableEnvWater=1, **{f"Camera{i}": int(i == 4) for i in range(1, 8)})
        flag = os.path.join(self.folder.name, "f" * 200, "flag.jpg")  # a stored path longer than 200 bytes
        os.mkdir(os.path.dirname(flag))
        magick = ["convert", "-size", "96x64", "xc:magenta", flag]
        self.assertEqual(os.spawnvp(os.P_WAIT, magick[0], magick), 0)
        set_setting("FlagPath", "3: Z:" + flag.replace("/", "\\"))
        p = self.show()

        info = finish(HARNESS, "inspect", "5000")[1]
        self.assertEqual((info["class"], info["title"], info["parent"]), ("WindowsScreenSaverClass", SHOW_TITLE, "0"))
        self.assertEqual(int(info["classstyle"], 16), 0x80B)
        self.assertEqual(int(info["style"], 16) & (WS_POPUP | WS_CHILD | WS_VISIBLE), WS_POPUP | WS_VISIBLE)
        self.assertEqual(int(info["exstyle"], 16) & WS_EX_TOPMOST, 0)
        self.assertEqual(info["rect"], "0,0," + info["screen"])

        first = self.shot_when_drawn("show_first.png")
        time.sleep(1.5)
        later = screenshot("show_later.png")
        self.assertLess(difference(first, later, "300x150+724+0"), 1.0, "a still camera")
        self.assertGreater(difference(first, later, "1024x150+0+618"), 1.5, "the sea moves")
        # Measured: about 80 with the ship mirrored below it (dark hull, pale sails), 3 without.
        self.assertGreater(contrast_under_the_ship(later), 30, "the sea mirrors the ship")
        pixels = rgb(later)
        yellow = [i for i, (r, g, b) in enumerate(pixels) if r > 200 and g > 200 and b < 90]
        self.assertGreater(len(yellow), 40, "the yellow frame-rate text")
        self.assertTrue(all(i % 1024 < 200 and 10 <= i // 1024 < 60 for i in yellow), "only where the text is")
        self.assertGreater(sum(1 for r, g, b in pixels if r > 180 and g < 90 and b > 180), 60, "the custom flag flies")

        xdotool("key", "F10")
        xdotool("key", "alt+x")
        self.assertIsNone(ends_within(p, 1.5), "F10 and Alt combinations end nothing")
        time.sleep(max(0.0, self.started + 12 - time.time()))
        xdotool("key", "a")
        pressed = time.monotonic()
        levels = self.heard(p)
        self.assertLess(time.monotonic() - pressed, 5.0, "within a frame or two (slow here) of the key")

        sounding = [t for t, r in levels if r > SILENCE]
        self.assertTrue(sounding and sounding[0] < 20.0, "heard once the scene has loaded")
        for second in range(int(sounding[0]) + 1, int(levels[-1][0]) - 1):
            window = [r for t, r in levels if second <= t < second + 1]
            if window:
                self.assertGreater(max(window), SILENCE * 5, f"the two loops never stop: silence at {second} s")
        self.assertIsNone(stored("DisableSound"), "nothing written")

    def test_the_sound_device_plays_a_sound_once_or_in_a_loop_as_asked(self):
        p = self.launch(HARNESS, "sound", env=self.env)  # as a shot, then as the ship's loops
        info = fields(p.communicate(timeout=60)[0])
        self.assertEqual((p.returncode, info.get("once"), info.get("loop")), (0, "1,0", "1,1"), "playing then, later")

    def test_sound_off_opens_no_device_and_losing_activation_ends_the_show(self):
        set_settings(DisableSound=1, DisableOnMouseActivate=1)
        p = self.show()
        for x in (200, 210, 420, 600):
            xdotool("mousemove", str(x), "300")
            time.sleep(0.2)
        self.assertIsNone(ends_within(p, 1.0), "mouse moves ignored as the user said")
        self.launch(HARNESS, "activate", "3000")
        self.assertEqual(self.heard(p), [], "no sound device opened")
        self.assertEqual(stored("DisableSound"), "2: 1")

    def test_without_an_audio_driver_the_show_runs_and_a_mouse_move_ends_it(self):
        audio_driver("")
        set_settings(DisableSound=0)
        p = self.show()
        self.shot_when_drawn("show_without_sound.png")
        self.assertIsNone(p.poll(), "runs without sound")
        xdotool("mousemove", "300", "300")
        time.sleep(0.3)
        xdotool("mousemove_relative", "1", "0")
        self.assertEqual(self.heard(p), [])
        self.assertEqual(stored("DisableSound"), "2: 0", "the user's choice kept")
