"""The generated scene, pictures, sounds and icon, read back from the built program file's resource tree."""
import os
import re
import struct
import unittest

from winenv import ASSETS, SCR

RT_ICON, RT_GROUP_ICON = 3, 14
with open(os.path.join(os.path.dirname(__file__), "..", "..", "resources", "resource_list.inc"), encoding="utf-8") as f:
    LISTED = re.findall(r"^BRISANE_([A-Z]+)\((\d+)", f.read(), re.M)
FILES = {"SCENE": ("SSSFILE", "scene_{}.sss"), "JPEG": ("JPEGFILE", "jpeg_{}.jpg"),
         "FLAG": ("JPEGFILE", "jpeg_{}.jpg"), "WAV": ("WAVFILE", "wav_{}.wav")}


def read(name):
    with open(os.path.join(ASSETS, name), "rb") as f:
        return f.read()


def resources(path):
    """{(type, number): bytes} of a program file's resources; a type is its name or its number."""
    with open(path, "rb") as f:
        pe = f.read()
    head = struct.unpack_from("<I", pe, 0x3C)[0]
    sections, optional_size = struct.unpack_from("<H", pe, head + 6)[0], struct.unpack_from("<H", pe, head + 20)[0]
    optional = head + 24
    directories = optional + (96 if struct.unpack_from("<H", pe, optional)[0] == 0x10B else 112)
    table = [struct.unpack_from("<8xIIII", pe, optional + optional_size + 40 * i) for i in range(sections)]

    def offset(rva):
        return next(raw + rva - va for size, va, raw_size, raw in table if va <= rva < va + max(size, raw_size))
    root = offset(struct.unpack_from("<I", pe, directories + 2 * 8)[0])

    def entries(at):
        named, numbered = struct.unpack_from("<HH", pe, at + 12)
        for i in range(named + numbered):
            name, target = struct.unpack_from("<II", pe, at + 16 + 8 * i)
            if name & 0x80000000:
                text = root + (name & 0x7FFFFFFF)
                name = pe[text + 2:text + 2 + 2 * struct.unpack_from("<H", pe, text)[0]].decode("utf-16-le")
            yield name, root + (target & 0x7FFFFFFF)
    found = {}
    for kind, numbers in entries(root):
        for number, languages in entries(numbers):
            for _, leaf in entries(languages):
                rva, size = struct.unpack_from("<II", pe, leaf)
                found[kind, number] = pe[offset(rva):offset(rva) + size]
    return found


class ResourceTests(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.found = resources(SCR)

    def test_every_listed_file_is_embedded_byte_for_byte_under_its_type_and_number_and_nothing_else(self):
        expected = {(FILES[kind][0], int(n)): FILES[kind][1].format(n) for kind, n in LISTED if kind != "ICON"}
        named = {key: data for key, data in self.found.items() if isinstance(key[0], str)}
        self.assertEqual(sorted(named), sorted(expected))
        for key, name in expected.items():
            data = read(name)
            self.assertTrue(named[key] == data, f"{key}: {len(named[key])} bytes, not the {len(data)} of {name}")

    def test_icon_group_holds_the_generated_files_four_images(self):
        ico, group = read("icon_100.ico"), self.found[RT_GROUP_ICON, 100]
        files = [struct.unpack_from("<BBBBHHII", ico, 6 + 16 * k) for k in range(struct.unpack_from("<H", ico, 4)[0])]
        images = [struct.unpack_from("<BBBBHHIH", group, 6 + 14 * k)
                  for k in range(struct.unpack_from("<H", group, 4)[0])]
        self.assertEqual([e[:7] for e in images], [e[:7] for e in files], "width, height, colours, planes, bits, size")
        for image, (*_, size, at) in zip(images, files):
            self.assertTrue(self.found[RT_ICON, image[7]] == ico[at:at + size], image)
        self.assertEqual(sorted(e[0] or 256 for e in images), [16, 32, 48, 256])
