"""The Debian package made from the native tree: where each file lands, who
owns it, what it depends on, that the packaged command runs, and lintian's
verdict (no errors)."""
import os
import re
import shutil
import subprocess
import tempfile
import unittest

BUILD = os.environ.get("BRISANE_NATIVE_BUILD", "")


def run(*args, **kwargs):
    return subprocess.run(args, capture_output=True, text=True, timeout=240, **kwargs)


class PackageTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.work = tempfile.mkdtemp(prefix="brisane-deb-")
        config = os.path.join(BUILD, "CPackConfig.cmake")
        if not os.path.exists(config):
            raise AssertionError(f"no CPackConfig.cmake in {BUILD!r}: the native tree without the program")
        made = run("cpack", "-G", "DEB", "--config", config, "-B", cls.work)
        if made.returncode != 0:
            raise AssertionError("cpack failed:\n" + made.stdout + made.stderr)
        debs = [f for f in os.listdir(cls.work) if f.endswith(".deb")]
        if len(debs) != 1:
            raise AssertionError(f"cpack wrote {debs}")
        cls.deb = os.path.join(cls.work, debs[0])

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.work, ignore_errors=True)

    def test_files_land_where_debian_looks_and_belong_to_root(self):
        listing = run("dpkg-deb", "--contents", self.deb)
        self.assertEqual(listing.returncode, 0, listing.stderr)
        entries = {}
        for line in listing.stdout.splitlines():
            mode, owner, _size, _day, _time, path = line.split(None, 5)
            entries[path] = (mode, owner)
            self.assertEqual(owner, "root/root", line)
        self.assertEqual(entries["./usr/libexec/xscreensaver/brisane"][0], "-rwxr-xr-x")
        self.assertIn("./usr/bin/brisane -> ../libexec/xscreensaver/brisane", entries)
        for path in ("./usr/share/xscreensaver/config/brisane.xml", "./usr/share/applications/brisane.desktop",
                     "./usr/share/man/man6/brisane.6.gz", "./usr/share/doc/brisane/copyright",
                     "./usr/share/doc/brisane/changelog.gz"):
            self.assertIn(path, entries)
            self.assertEqual(entries[path][0], "-rw-r--r--", path)

    def test_depends_on_the_libraries_the_program_links(self):
        depends = run("dpkg-deb", "--field", self.deb, "Depends").stdout
        for library in ("libc6", "libsdl2-2.0-0", "libopenal1", "libepoxy0", "libgl1", "libstdc++6"):
            self.assertRegex(depends, r"(^|, )" + re.escape(library) + r"( \(|,|$)", depends)

    def test_packaged_command_runs(self):
        root = os.path.join(self.work, "root")
        extracted = run("dpkg-deb", "--extract", self.deb, root)
        self.assertEqual(extracted.returncode, 0, extracted.stderr)
        shown = run(os.path.join(root, "usr/bin/brisane"), "--help")
        self.assertEqual(shown.returncode, 0, shown.stderr)
        self.assertIn("-window-id ID", shown.stdout)

    def test_lintian_finds_no_errors(self):
        if not shutil.which("lintian"):
            self.fail("lintian is missing (./run setup installs it)")
        checked = run("lintian", "--tag-display-limit", "0", self.deb)
        print(checked.stdout + checked.stderr)
        errors = [line for line in checked.stdout.splitlines() if line.startswith("E:")]
        self.assertEqual(errors, [])


if __name__ == "__main__":
    unittest.main()
