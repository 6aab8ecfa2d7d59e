"""The preview in the display settings' little window (Brisane.scr /p HWND)."""
import os
import subprocess

from winenv import ASSETS, HARNESS, SCR, SHOW_WINDOW, WineCase, ends_within, finish, x_windows

WS_POPUP, WS_CHILD = 0x80000000, 0x40000000


class PreviewTests(WineCase):
    def test_preview_is_a_child_of_the_host_and_paints_the_picture_from_the_top_left(self):
        info = finish(HARNESS, "preview", SCR, "320", "240", "152", "112")[1]
        self.assertEqual((info["found"], info["child.class"]), ("1", "WindowsScreenSaverClass"))
        self.assertEqual(info["child.getparent"], info["host"])
        self.assertEqual(int(info["child.style"], 16) & (WS_CHILD | WS_POPUP), WS_CHILD)
        # Fills the host, survives repainting, no full-screen window; closing the host ends it.
        self.assertEqual([info[k] for k in ("child.client", "alive", "exit")], ["320,240", "1", "0"])
        self.assertEqual(x_windows(SHOW_WINDOW), [])
        # The preview code's own pixels against another decoder's (rounding may differ a little).
        self.assertEqual((info["own.client"], info.get("own.exit")), ("320,240", "0"))
        shown = bytes.fromhex(info["own.pixels"])
        expected = subprocess.run(["convert", os.path.join(ASSETS, "jpeg_150.jpg"), "-depth", "8", "bgr:-"],
                                  check=True, capture_output=True).stdout
        self.assertEqual(len(expected), len(shown), "152 x 112, the picture's own size")
        self.assertLess(sum(abs(a - b) for a, b in zip(shown, expected)) / len(shown), 4.0)

    def test_preview_of_a_window_that_does_not_exist_is_fatal(self):
        p = self.launch(SCR, "/p", "1234567")
        self.answer_fatal("FATAL ERROR in InitWindow(): CreateWindow return NULL")
        self.assertEqual(ends_within(p, 10), 1)
