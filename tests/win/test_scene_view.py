"""The scene viewer behind ./run cameras: the generated ship scene rendered
off screen through each camera by the program's own renderer under Wine."""
import os
import subprocess
import tempfile
import unittest

from test_resources import assets_dir
from winenv import WINE, colours, mean_colour


class SceneViewTests(unittest.TestCase):
    def test_every_camera_is_rendered_textured_and_upright(self):
        with tempfile.TemporaryDirectory() as out:
            p = subprocess.run([WINE, os.environ["BRISANE_SCENE_VIEW"], os.path.join(assets_dir(), "scene_147.sss"),
                                out, "--size", "320x240"], capture_output=True, text=True, timeout=180)
            self.assertEqual(p.returncode, 0, p.stderr)
            self.assertEqual(sorted(os.listdir(out)), [f"Camera0{i}.bmp" for i in range(1, 8)])
            first = os.path.join(out, "Camera01.bmp")
            self.assertGreater(colours(first), 1000, "the scene's textures, not flat fills")
            # Through the first camera by day: a blue sky above, a green-blue sea below.
            (r, _, b), (sr, sg, _) = mean_colour(first, "320x24+0+0"), mean_colour(first, "320x24+0+216")
            self.assertTrue(b > r + 15 and sg > sr + 15, (r, b, sr, sg))
