"""The settings tree in the real registry, written and read back by the program's code."""
from winenv import HARNESS, SETTINGS_KEY, WineCase, reg, run, unescape

REG_SZ = 1


class RegistryTests(WineCase):
    def test_the_saved_tree_is_stored_as_exact_texts_and_loads_back(self):
        self.assertEqual(run(HARNESS, "settings", "load"), (0, "ShowFPS\t2\t0\n"),
                         "no key: nothing loads, and that is fine")
        self.assertEqual(run(HARNESS, "settings", "save")[0], 0)
        code, out = run(HARNESS, "regdump", SETTINGS_KEY)
        self.assertEqual(code, 0)
        stored = [line[len("value="):].split("|", 3) for line in out.splitlines() if line.startswith("value=")]
        flag = "3: C:\\" + "f" * 300 + "\\flag.jpg"
        expected = {"DeviceNum": "2: 0", "FlagPath": flag, "Level": "1: 0.500000", "MasterVolume": "2: -2500",
                    "SwitchPeriod": "2: 21"}
        # In key order; no value for the empty text or the child node.
        self.assertEqual([name for name, *_ in stored], sorted(expected))
        for name, kind, size, data in stored:
            text = expected[name]
            # The program counts no terminator; the system adds one of its own.
            self.assertEqual((int(kind), unescape(data).removesuffix("\0")), (REG_SZ, text), name)
            self.assertIn(int(size), (2 * len(text), 2 * len(text) + 2), name)
        code, out = reg("query", "HKCU\\" + SETTINGS_KEY + "\\Group")
        self.assertRegex(out, r"Inner\s+REG_SZ\s+2: 4", "a child node is a sub-key")

        code, out = run(HARNESS, "settings", "load")
        self.assertEqual(code, 0)
        cells = {path: (int(tag), value) for path, tag, value in (line.split("\t", 2) for line in out.splitlines())}
        self.assertEqual(cells, {"SwitchPeriod": (2, "21"), "DeviceNum": (2, "0"), "MasterVolume": (2, "-2500"),
                                 "Level": (1, "0.500000"), "FlagPath": (3, flag[3:]), "Group/Inner": (2, "4"),
                                 "ShowFPS": (2, "0")}, "a long path comes back whole")
