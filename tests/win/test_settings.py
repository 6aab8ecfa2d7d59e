"""The settings tree in the real registry, written and read by the program's code."""
import unittest

from winenv import (HARNESS, SETTINGS_DRIVER, SETTINGS_KEY, clear_settings, reg, run, set_setting,
                    unescape)

REG_SZ = 1


def load():
    """The stored settings as the program loads them: {path: (tag, text)}."""
    code, out = run(SETTINGS_DRIVER, "load")
    if code != 0:
        raise AssertionError(f"load failed with {code}")
    cells = {}
    for line in out.splitlines():
        path, tag, value = line.split("\t", 2)
        cells[path] = (int(tag), value)
    return cells


class RegistryTests(unittest.TestCase):
    def setUp(self):
        clear_settings()

    def test_saved_tree_is_stored_as_exact_texts(self):
        self.assertEqual(run(SETTINGS_DRIVER, "save")[0], 0)
        code, out = run(HARNESS, "regdump", SETTINGS_KEY)
        self.assertEqual(code, 0)
        self.assertIn("open=1", out)
        values = {}
        order = []
        for line in out.splitlines():
            if line.startswith("value="):
                name, vtype, size, data = line[len("value="):].split("|", 3)
                values[name] = (int(vtype), int(size), unescape(data))
                order.append(name)
        flag = "3: C:\\" + "f" * 300 + "\\flag.jpg"
        expected = {
            "DeviceNum": "2: 0",
            "FlagPath": flag,
            "Level": "1: 0.500000",
            "MasterVolume": "2: -2500",
            "SwitchPeriod": "2: 21",
        }
        self.assertEqual(set(values), set(expected), "no value for the empty text or the child node")
        for name, text in expected.items():
            vtype, size, data = values[name]
            self.assertEqual(vtype, REG_SZ, name)
            # The program counts no terminator; the system adds one of its own.
            self.assertEqual(data.removesuffix("\0"), text, name)
            self.assertIn(size, (2 * len(text), 2 * len(text) + 2), name)
        self.assertEqual(order, sorted(expected), "written in key order")

        code, out = reg("query", "HKCU\\" + SETTINGS_KEY)
        self.assertEqual(code, 0)
        self.assertRegex(out, r"SwitchPeriod\s+REG_SZ\s+2: 21")
        self.assertRegex(out, r"Level\s+REG_SZ\s+1: 0\.500000")
        code, out = reg("query", "HKCU\\" + SETTINGS_KEY + "\\Group")
        self.assertRegex(out, r"Inner\s+REG_SZ\s+2: 4", "a child node is a sub-key")

    def test_saved_tree_loads_back(self):
        run(SETTINGS_DRIVER, "save")
        cells = load()
        self.assertEqual(cells["SwitchPeriod"], (2, "21"))
        self.assertEqual(cells["MasterVolume"], (2, "-2500"))
        self.assertEqual(cells["Level"], (1, "0.500000"))
        self.assertEqual(cells["FlagPath"], (3, "C:\\" + "f" * 300 + "\\flag.jpg"), "a long path comes back whole")
        self.assertEqual(cells["Group/Inner"], (2, "4"))

    def test_values_added_by_hand_load_by_the_parsing_rules(self):
        set_setting("Hex", "2: 0x10")
        set_setting("Octal", "2: 010")
        set_setting("Tabbed", "3: abc\tmore")
        set_setting("ShowFPS", "7: 5")
        set_setting("Broken", "2:")
        set_setting("Volume", "1: 0.25")
        set_setting("Padded", "2:    -7")
        cells = load()
        self.assertEqual(cells["Hex"], (2, "16"))
        self.assertEqual(cells["Octal"], (2, "8"))
        self.assertEqual(cells["Tabbed"], (3, "abc"))
        self.assertEqual(cells["ShowFPS"], (2, "0"), "an unknown tag keeps the default")
        self.assertNotIn("Broken", cells)
        self.assertEqual(cells["Volume"], (1, "0.250000"))
        self.assertEqual(cells["Padded"], (2, "-7"))

    def test_missing_key_loads_nothing_and_succeeds(self):
        self.assertEqual(load(), {"ShowFPS": (2, "0")})


if __name__ == "__main__":
    unittest.main()
