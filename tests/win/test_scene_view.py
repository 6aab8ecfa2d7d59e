"""The scene viewer: a scene archive rendered off screen through its cameras
and free viewpoints by the program's own renderer and textures under Wine."""
import os
import shutil
import struct
import subprocess
import tempfile
import unittest

from test_resources import assets_dir
from winenv import WINE, driver, fields

SCENE_VIEW = os.environ.get("BRISANE_SCENE_VIEW", "")
FIXTURE = driver("scene_fixture")
BLACK = (0, 0, 0)


def windows_path(path):
    return "Z:" + os.path.abspath(path).replace("/", "\\")


def read_bmp(path):
    """(width, height, rows of (r, g, b) from the top) of a 24-bit bottom-up BMP."""
    with open(path, "rb") as f:
        data = f.read()
    magic, _, _, _, offset = struct.unpack_from("<2sIHHI", data, 0)
    _, width, height, planes, bits, compression = struct.unpack_from("<IiiHHI", data, 14)
    if magic != b"BM" or planes != 1 or bits != 24 or compression != 0 or height <= 0:
        raise AssertionError(f"{path} is not a 24-bit bottom-up BMP")
    stride = (width * 3 + 3) & ~3
    rows = []
    for y in range(height):
        start = offset + (height - 1 - y) * stride
        row = data[start:start + width * 3]
        rows.append([(row[i + 2], row[i + 1], row[i]) for i in range(0, len(row), 3)])
    return width, height, rows


def grey_thumbnail(path, crop=None, size="64x48"):
    args = ["convert", path] + (["-crop", crop, "+repage"] if crop else []) + \
        ["-resize", size + "!", "-colorspace", "gray", "-depth", "8", "gray:-"]
    return list(subprocess.run(args, check=True, capture_output=True).stdout)


def correlation(a, b):
    n = len(a)
    ma, mb = sum(a) / n, sum(b) / n
    cov = sum((x - ma) * (y - mb) for x, y in zip(a, b))
    va = sum((x - ma) ** 2 for x in a)
    vb = sum((y - mb) ** 2 for y in b)
    return cov / (va * vb) ** 0.5 if va and vb else 0.0


def lit_columns(row):
    return [x for x, p in enumerate(row) if p != BLACK]


class SceneViewTests(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.work = tempfile.mkdtemp(prefix="scene_view_")
        cls.picture = os.path.join(assets_dir(), "jpeg_150.jpg")
        cls.archive = os.path.join(cls.work, "fixture.sss")
        p = subprocess.run([WINE, FIXTURE, windows_path(cls.archive), windows_path(cls.picture),
                            windows_path(cls.picture)], capture_output=True, text=True, timeout=60)
        if p.returncode != 0:
            raise AssertionError(f"scene_fixture failed with {p.returncode}: {p.stderr}")

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.work, ignore_errors=True)

    def view(self, *args, archive=None):
        """Runs the viewer into a fresh folder; (exit code, pictures printed, folder, stderr)."""
        out = tempfile.mkdtemp(dir=self.work)
        p = subprocess.run([WINE, SCENE_VIEW, archive or self.archive, out, *args], capture_output=True,
                           text=True, timeout=120)
        pictures = {}
        for line in p.stdout.splitlines():
            key, _, value = line.partition("=")
            if key == "picture":
                name, width, height, distinct = value.split("|")
                pictures[name] = (int(width), int(height), int(distinct))
        return p.returncode, pictures, out, p.stderr

    def test_every_camera_of_the_scene_by_default_upright_and_textured(self):
        code, pictures, out, err = self.view()
        self.assertEqual(code, 0, err)
        self.assertEqual(sorted(pictures), ["Camera01", "Camera02"])
        self.assertEqual(sorted(os.listdir(out)), ["Camera01.bmp", "Camera02.bmp"])
        width, height, rows = read_bmp(os.path.join(out, "Camera01.bmp"))
        self.assertEqual((width, height), (800, 600))
        self.assertEqual(pictures["Camera01"], (800, 600, len({p for r in rows for p in r})))
        self.assertGreater(pictures["Camera01"][2], 1000, "the picture's texture, not a flat fill")
        self.assertEqual(rows[5][5], BLACK, "the cleared frame around the board")
        self.assertNotEqual(rows[300][400], BLACK)
        # The board (200 x 150 units at 300 units, 45 degrees) spans about
        # 159..641 x 119..481; its picture is upright.
        shown = grey_thumbnail(os.path.join(out, "Camera01.bmp"), "482x362+159+119")
        source = grey_thumbnail(self.picture)
        flipped = [v for y in range(47, -1, -1) for v in source[y * 64:(y + 1) * 64]]
        upright, upside_down = correlation(shown, source), correlation(shown, flipped)
        self.assertGreater(upright, 0.6)
        self.assertGreater(upright, upside_down + 0.2)

    def test_time_moves_camera_paths_and_leaves_still_cameras(self):
        code, _, early, err = self.view("--time", "0")
        self.assertEqual(code, 0, err)
        code, _, late, err = self.view("--time", "10000")
        self.assertEqual(code, 0, err)
        _, _, rows0 = read_bmp(os.path.join(early, "Camera01.bmp"))
        _, _, rows1 = read_bmp(os.path.join(late, "Camera01.bmp"))
        # 10 s at speed 0.07 is key time 700 of 0..3333: the camera slid
        # 84 of its 400 units to the right, so the board moved left by
        # 84 / 300 x 2.414 x 0.75 x 400 = 203 pixels.
        right0, right1 = lit_columns(rows0[300])[-1], lit_columns(rows1[300])[-1]
        self.assertAlmostEqual(right0, 640, delta=4)
        self.assertAlmostEqual(right1, right0 - 203, delta=6)
        with open(os.path.join(early, "Camera02.bmp"), "rb") as a, open(os.path.join(late, "Camera02.bmp"), "rb") as b:
            self.assertEqual(a.read(), b.read(), "a still camera shows the same picture at any time")

    def test_free_viewpoints(self):
        code, pictures, out, err = self.view("--camera", "Camera01", "--look", "0,-300,0:0,0,0",
                                             "--look", "0,-300,0:0,-600,0", "--look", "0,-300,100:0,0,100")
        self.assertEqual(code, 0, err)
        self.assertEqual(sorted(pictures), ["Camera01", "look1", "look2", "look3"])
        _, _, camera = read_bmp(os.path.join(out, "Camera01.bmp"))
        _, _, same = read_bmp(os.path.join(out, "look1.bmp"))
        # From Camera01's place towards its target with its field of view.
        diff = sum(abs(a - b) for ra, rb in zip(camera, same) for pa, pb in zip(ra, rb) for a, b in zip(pa, pb))
        self.assertLess(diff / (800 * 600 * 3), 1.0)
        self.assertEqual(pictures["look2"][2], 1, "looking away from the board sees nothing")
        # Eye raised 100 units, looking level: the board's top edge, 25 units
        # below the eye, shows 25 / 300 x 2.414 x 300 = 60 pixels below the
        # middle (z is up on screen).
        _, _, raised = read_bmp(os.path.join(out, "look3.bmp"))
        lit_rows = [y for y in range(600) if raised[y][400] != BLACK]
        self.assertAlmostEqual(lit_rows[0], 360, delta=4)
        self.assertEqual(lit_rows[-1], 599, "and runs off the bottom")

    def test_size_option(self):
        code, pictures, out, err = self.view("--camera", "Camera02", "--size", "320x240")
        self.assertEqual(code, 0, err)
        width, height, rows = read_bmp(os.path.join(out, "Camera02.bmp"))
        self.assertEqual((width, height), (320, 240))
        self.assertEqual(os.path.getsize(os.path.join(out, "Camera02.bmp")), 54 + 960 * 240)
        self.assertNotEqual(rows[120][160], BLACK)

    def test_bad_input_is_refused_clearly(self):
        for args, code, message in (
                (["--camera"], 2, "usage"),
                (["--size", "0x10"], 2, "usage"),
                (["--look", "1,2:3,4,5"], 2, "usage"),
                (["--time", "soon"], 2, "usage"),
                (["--time", "-5"], 2, "usage"),
                (["--camera", "Camera09"], 4, 'no camera "Camera09"')):
            with self.subTest(args=args):
                got, pictures, _, err = self.view(*args)
                self.assertEqual(got, code)
                self.assertIn(message, err)
                self.assertEqual(pictures, {})
        missing = os.path.join(self.work, "missing.sss")
        got, _, _, err = self.view(archive=missing)
        self.assertEqual(got, 3)
        self.assertIn("does not load", err)


if __name__ == "__main__":
    unittest.main()
