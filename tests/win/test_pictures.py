"""The program file's resources, the millisecond clock and the preview bitmap, through the program's own code."""
import unittest

from test_resources import fnv1a, read
from winenv import SCR, driver, fields, run

PICTURE_DRIVER = driver("picture_driver")


def query(*args):
    code, out = run(PICTURE_DRIVER, *args)
    if code != 0:
        raise AssertionError(f"picture_driver {args} failed with {code}: {out}")
    return out


class PictureTests(unittest.TestCase):
    def test_resources_are_found_by_number_and_type(self):
        data = read("jpeg_150.jpg")
        self.assertEqual(fields(query("find", SCR, "JPEGFILE", "150"))["found"], f"{len(data)}|{fnv1a(data)}")
        self.assertEqual(fields(query("find", SCR, "WAVFILE", "150")), {"missing": "1"})
        self.assertEqual(fields(query("find", SCR, "JPEGFILE", "9999")), {"missing": "1"})

    def test_preview_bitmap_keeps_the_picture_size(self):
        width, height, _ = fields(query("bitmap", SCR, "150"))["bitmap"].split("|")
        self.assertEqual((width, height), ("152", "112"))

    def test_missing_or_damaged_pictures_give_no_bitmap(self):
        self.assertEqual(fields(query("bitmap", SCR, "151")), {"none": "1"}, "151 is a sound")
        self.assertEqual(query("broken").split(), ["none=1", "none=1"])

    def test_clock_counts_milliseconds(self):
        elapsed = int(fields(query("clock"))["elapsed"])
        self.assertGreaterEqual(elapsed, 190)
        self.assertLess(elapsed, 2000)


if __name__ == "__main__":
    unittest.main()
