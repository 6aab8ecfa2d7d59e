"""Texture surfaces made from the preview picture on Wine's 3D device."""
import unittest

from winenv import SCR, driver, fields, run

TEXTURE_DRIVER = driver("texture_driver")
DDSCAPS_TEXTURE, DDSCAPS_3DDEVICE, DDSCAPS_SYSTEMMEMORY = 0x1000, 0x2000, 0x800
DDSCAPS2_TEXTUREMANAGE = 0x10


class TextureTests(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        code, out = run(TEXTURE_DRIVER, SCR, timeout=120)
        if code != 0:
            raise AssertionError(f"texture_driver failed with {code}: {out}")
        cls.info = fields(out)

    def surface(self, kind):
        width, height, bits, alpha, caps, caps2, depth, distinct, red = self.info[f"kind{kind}"].split("|")
        return {"size": (int(width), int(height)), "bits": int(bits), "alpha": int(alpha, 16),
                "caps": int(caps, 16), "caps2": int(caps2, 16), "depth": depth == "1",
                "distinct": int(distinct), "red": float(red)}

    def test_sizes_follow_the_device_caps(self):
        expected = (256, 128) if self.info["pow2"] == "1" else (152, 112)
        if self.info["square"] == "1":
            expected = (max(expected), max(expected))
        for kind in range(5):
            self.assertEqual(self.surface(kind)["size"], expected, kind)

    def test_formats_and_placement_by_kind(self):
        self.assertNotEqual(int(self.info["alphaformat"].split("|")[0], 16), 0, "an alpha format was found")
        for kind in (0, 2):
            s = self.surface(kind)
            self.assertEqual(s["alpha"], 0)
            self.assertTrue(s["caps"] & DDSCAPS_TEXTURE)
            self.assertTrue(s["caps2"] & DDSCAPS2_TEXTUREMANAGE, "managed on a hardware device")
            self.assertFalse(s["depth"])
        for kind in (1, 3):
            self.assertNotEqual(self.surface(kind)["alpha"], 0, kind)
        target = self.surface(4)
        self.assertTrue(target["caps"] & DDSCAPS_3DDEVICE)
        self.assertTrue(target["depth"], "a render-target texture gets its own z-buffer")

    def test_render_targets_asked_for_by_kind_take_the_device(self):
        expected = "512x128" if self.info["pow2"] == "1" else "300x100"
        for kind in (4, 5):
            size, renders = self.info[f"target{kind}"].split("|")
            self.assertEqual(size, expected, kind)
            self.assertEqual(renders, "1", f"kind {kind} can be rendered into")

    def test_a_camera_sized_picture_becomes_a_texture_the_device_takes(self):
        self.assertNotEqual(self.info["camera"], "none", "a 6000 x 4000 picture is reduced, not refused")
        size, grey = self.info["camera"].split("|")
        width, height = (int(v) for v in size.split("x"))
        max_w, max_h = (int(v) or 256 for v in self.info["maxtexture"].split("x"))
        # Decoded at the largest of 1, 1/2, 1/4 and 1/8 that fits the device and
        # 2048 a side, then the size rules.
        fit_w, fit_h = min(max_w, 2048), min(max_h, 2048)
        scale = next((s for s in (1, 2, 4) if -(-6000 // s) <= fit_w and -(-4000 // s) <= fit_h), 8)
        expected = [-(-6000 // scale), -(-4000 // scale)]
        if self.info["pow2"] == "1":
            expected = [1 << (v - 1).bit_length() for v in expected]
        expected = [min(expected[0], max_w), min(expected[1], max_h)]
        if self.info["square"] == "1":
            expected = [min(max(expected), max_w, max_h)] * 2
        self.assertEqual([width, height], expected)
        self.assertGreater(float(grey), 20.0, "the picture's grey, not an empty texture")

    def test_pixels_hold_the_picture(self):
        for kind in (0, 2, 3, 4):
            s = self.surface(kind)
            self.assertGreater(s["distinct"], 100, f"kind {kind} is a picture, not a flat fill")
            self.assertGreater(s["red"], 5.0, kind)
        self.assertEqual(self.surface(1)["red"], 0.0, "alpha from luminance replaces the colour")
        self.assertEqual(self.info["garbage"], "none")


if __name__ == "__main__":
    unittest.main()
