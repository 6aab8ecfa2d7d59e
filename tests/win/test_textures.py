"""Texture surfaces the program's texture code makes on Wine's 3D device."""
import unittest

from winenv import driver, fields, run

DDSCAPS_TEXTURE, DDSCAPS_3DDEVICE, DDSCAPS2_TEXTUREMANAGE = 0x1000, 0x2000, 0x10


class TextureTests(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        code, out = run(driver("texture_driver"), timeout=120)
        assert code == 0, f"texture_driver failed with {code}: {out}"
        cls.info = fields(out)

    def surface(self, name):
        w, h, _, alpha, caps, caps2, depth, distinct, red, *renders = self.info[name].split("|")
        return {"size": [int(w), int(h)], "alpha": int(alpha, 16), "caps": int(caps, 16), "caps2": int(caps2, 16),
                "depth": depth == "1", "distinct": int(distinct), "red": float(red), "renders": renders == ["1"]}

    def sized(self, width, height):
        """The size rules: powers of two and square where the caps ask, within the largest texture."""
        most = [int(v) or 256 for v in self.info["maxtexture"].split("x")]
        size = [1 << (v - 1).bit_length() if self.info["pow2"] == "1" else v for v in (width, height)]
        size = [min(v, m) for v, m in zip(size, most)]
        return [min(max(size), *most)] * 2 if self.info["square"] == "1" else size

    def test_sizes_formats_and_placement_by_kind(self):
        self.assertNotEqual(int(self.info["alphaformat"], 16), 0, "an alpha format was found")
        for kind in range(5):
            s = self.surface(f"kind{kind}")
            self.assertEqual(s["size"], self.sized(152, 112), kind)
            self.assertEqual(s["alpha"] != 0, kind in (1, 3), f"kind {kind}: alpha only where the kind has it")
        for kind in (0, 2):
            s = self.surface(f"kind{kind}")
            self.assertTrue(s["caps"] & DDSCAPS_TEXTURE)
            self.assertTrue(s["caps2"] & DDSCAPS2_TEXTUREMANAGE, "managed on a hardware device")
            self.assertFalse(s["depth"])
        for name in ("kind4", "target4", "target5"):
            s = self.surface(name)
            self.assertTrue(s["caps"] & DDSCAPS_3DDEVICE, name)
            self.assertEqual(s["depth"], name != "target5", f"{name}: a render-target texture's own z-buffer")
        for name in ("target4", "target5"):
            self.assertEqual(self.surface(name)["size"], self.sized(300, 100), name)
            self.assertTrue(self.surface(name)["renders"], f"{name} can be rendered into")

    def test_pixels_hold_the_picture_and_a_camera_sized_one_is_reduced(self):
        for kind in (0, 2, 3, 4):
            s = self.surface(f"kind{kind}")
            self.assertGreater(s["distinct"], 100, f"kind {kind} is a picture, not a flat fill")
            self.assertGreater(s["red"], 5.0, kind)
        self.assertEqual(self.surface("kind1")["red"], 0.0, "alpha from luminance replaces the colour")
        self.assertEqual(self.info["garbage"], "none")
        self.assertNotEqual(self.info["camera"], "none", "a 6000 x 4000 picture is reduced, not refused")
        # Decoded at the largest of 1, 1/2, 1/4 and 1/8 that fits the device and 2048 a side.
        fit = [min(int(v) or 256, 2048) for v in self.info["maxtexture"].split("x")]
        scale = next((s for s in (1, 2, 4) if -(-6000 // s) <= fit[0] and -(-4000 // s) <= fit[1]), 8)
        camera = self.surface("camera")
        self.assertEqual(camera["size"], self.sized(-(-6000 // scale), -(-4000 // scale)))
        self.assertGreater(camera["red"], 20.0, "the picture's grey, not an empty texture")
