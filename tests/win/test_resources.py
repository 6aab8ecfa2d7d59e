"""The generated pictures, sounds and icon, read back from the built program file."""
import os
import re
import struct
import unittest

from winenv import SCR, driver, run

RESOURCE_DRIVER = driver("resource_driver")

with open(os.path.join(os.path.dirname(__file__), "..", "..", "resources", "resource_list.inc"), encoding="utf-8") as f:
    LISTED = re.findall(r"^BRISANE_([A-Z]+)\((\d+)", f.read(), re.M)
JPEGS = [int(n) for kind, n in LISTED if kind in ("JPEG", "FLAG")]
WAVS = [int(n) for kind, n in LISTED if kind == "WAV"]


def assets_dir():
    """Where the build took the generated files from."""
    build = os.path.dirname(os.path.abspath(SCR))
    try:
        with open(os.path.join(build, "CMakeCache.txt"), encoding="utf-8") as cache:
            for line in cache:
                m = re.match(r"BRISANE_ASSETS_DIR:\w+=(.*)", line.strip())
                if m:
                    return m.group(1)
    except OSError:
        pass
    return os.path.join(os.path.dirname(build), "assets")


def fnv1a(data):
    h = 0xcbf29ce484222325
    for b in data:
        h = ((h ^ b) * 0x100000001b3) & 0xFFFFFFFFFFFFFFFF
    return f"{h:016x}"


def read(name):
    with open(os.path.join(assets_dir(), name), "rb") as f:
        return f.read()


def lines(out, key):
    return [line[len(key) + 1:].split("|") for line in out.splitlines() if line.startswith(key + "=")]


class ResourceTests(unittest.TestCase):
    def query(self, *args):
        code, out = run(RESOURCE_DRIVER, SCR, *args)
        self.assertEqual(code, 0, out)
        self.assertNotIn("error=", out)
        return out

    def test_every_picture_and_sound_is_embedded_byte_for_byte(self):
        for type_name, ids, pattern in (("JPEGFILE", JPEGS, "jpeg_{}.jpg"), ("WAVFILE", WAVS, "wav_{}.wav")):
            out = self.query(type_name, *map(str, ids))
            found = {int(i): (int(size), digest) for _, i, size, digest in lines(out, "res")}
            self.assertEqual((lines(out, "missing"), sorted(found)), ([], sorted(ids)))
            for i in ids:
                data = read(pattern.format(i))
                self.assertEqual(found[i], (len(data), fnv1a(data)), f"{type_name} {i}")

    def test_resources_are_found_by_number_and_type_only(self):
        out = self.query("JPEGFILE", "151", "1125", "99")
        self.assertEqual(sorted(int(i) for _, i in lines(out, "missing")), [99, 151, 1125])
        out = self.query("WAVFILE", "150")
        self.assertEqual(lines(out, "missing"), [["WAVFILE", "150"]])

    def test_icon_has_four_sizes_from_the_generated_file(self):
        out = self.query("icon", "100")
        self.assertIn("loaded=1", out, "the system makes an icon from it")
        images = lines(out, "icon")
        ico = read("icon_100.ico")
        count = struct.unpack_from("<H", ico, 4)[0]
        expected = set()
        for k in range(count):
            w, h, _, _, _, bits, size, offset = struct.unpack_from("<BBBBHHII", ico, 6 + 16 * k)
            body = ico[offset:offset + size]
            expected.add((w or 256, h or 256, bits, len(body), fnv1a(body)))
        got = {(int(w), int(h), int(b), int(s), d) for w, h, b, s, d in images}
        self.assertEqual(got, expected)
        self.assertEqual({w for w, *_ in got}, {16, 32, 48, 256})
