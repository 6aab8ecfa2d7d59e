"""The fatal report: its box, its text and the exit code."""
import unittest

from winenv import FATAL_DRIVER, SUPPORT_LINE, answer, ends_within, start, stop, unescape


class FatalTests(unittest.TestCase):
    def run_fatal(self, kind):
        p = start(FATAL_DRIVER, kind)
        try:
            box = answer("Error!")
            self.assertEqual(box["found"], "1", "the box appears")
            self.assertEqual(box["icon"], "1", "with the error icon")
            self.assertEqual(box["button"], "OK")
            return box, ends_within(p, 10)
        finally:
            stop(p)

    def test_report_shows_the_message_and_ends_with_one(self):
        box, code = self.run_fatal("hr")
        self.assertEqual(unescape(box["text"]),
                         "FATAL ERROR in InitDirectDraw(): SetDisplayMode call failed, hr = 2147500037"
                         + SUPPORT_LINE)
        self.assertEqual(code, 1)

    def test_long_messages_are_cut_at_496_characters(self):
        box, code = self.run_fatal("long")
        message = "FATAL ERROR in Test(): " + "a" * 480 + "b" * 200
        self.assertEqual(unescape(box["text"]), message[:496] + SUPPORT_LINE)
        self.assertEqual(code, 1)


if __name__ == "__main__":
    unittest.main()
