"""The scene viewer behind ./run cameras: the generated ship scene rendered
off screen through each camera by the program's own renderer under Wine."""
import os
import subprocess
import tempfile
import unittest

from test_resources import assets_dir
from winenv import WINE, colours, rgb

SCENE_VIEW = os.environ.get("BRISANE_SCENE_VIEW", "")


class SceneViewTests(unittest.TestCase):
    def view(self, out, *args, scene=None):
        p = subprocess.run([WINE, SCENE_VIEW, scene or os.path.join(assets_dir(), "scene_147.sss"), out, *args],
                           capture_output=True, text=True, timeout=180)
        pictures = dict(line[len("picture="):].split("|", 1) for line in p.stdout.splitlines()
                        if line.startswith("picture="))
        return p.returncode, pictures, p.stderr

    def test_every_camera_upright_and_textured_and_bad_input_refused(self):
        with tempfile.TemporaryDirectory() as out:
            code, pictures, err = self.view(out, "--size", "320x240")
            self.assertEqual(code, 0, err)
            self.assertEqual(sorted(pictures), [f"Camera0{i}" for i in range(1, 8)])
            self.assertEqual(sorted(os.listdir(out)), [f"Camera0{i}.bmp" for i in range(1, 8)])
            first = os.path.join(out, "Camera01.bmp")
            self.assertEqual(pictures["Camera01"].split("|")[:2], ["320", "240"])
            self.assertGreater(colours(first), 1000, "the scene's textures, not flat fills")
            # Through the first camera by day: sky above, sea below.
            top, bottom = rgb(first, "320x24+0+0"), rgb(first, "320x24+0+216")
            self.assertGreater(sum(b - r for r, _, b in top) / len(top), 15, "a blue sky on top")
            self.assertGreater(sum(g - r for r, g, _ in bottom) / len(bottom), 15, "a green sea below")

            for args, code, message in ((["--camera"], 2, "usage"), (["--look", "1,2:3,4,5"], 2, "usage"),
                                        (["--camera", "Camera09"], 4, 'no camera "Camera09"')):
                got, pictures, err = self.view(out, *args)
                self.assertEqual((got, pictures), (code, {}), args)
                self.assertIn(message, err)
            got, _, err = self.view(out, scene=os.path.join(out, "missing.sss"))
            self.assertEqual(got, 3)
            self.assertIn("does not load", err)
