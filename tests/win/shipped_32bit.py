"""The shipped 32-bit program through the named Wine tests, where this machine
runs Wine's 32-bit loader. Where it cannot (a kernel without IA-32 emulation,
or with it switched off), it says why in one line and exits with SKIPPED,
which ctest reports as skipped, never as passed.

    python3 shipped_32bit.py TEST_NAME...
"""
import os
import subprocess
import sys
import unittest

SKIPPED = 77
LOADER = os.environ.get("BRISANE_WINE32_LOADER", "/usr/lib/wine/wine")


def why_not_runnable(loader):
    """None when the loader starts and answers, else the reason it does not."""
    if not os.path.exists(loader):
        return f"{loader} is not installed"
    try:
        p = subprocess.run([loader, "--version"], capture_output=True, text=True, timeout=60)
    except OSError as e:
        return f"{loader}: {e.strerror}"
    except subprocess.TimeoutExpired:
        return f"{loader} --version did not answer within 60 s"
    if p.returncode != 0:
        said = (p.stderr or p.stdout).strip().splitlines()
        return f"{loader} --version ended with {p.returncode}" + (f": {said[-1]}" if said else "")
    return None


def main(names):
    reason = why_not_runnable(LOADER)
    if reason:
        line = (f"wine32.shipped_program skipped: this machine cannot run Wine's 32-bit loader ({reason}); "
                "run the tests on a kernel that runs 32-bit programs (IA-32 emulation built in and not "
                "switched off with ia32_emulation=0) to test the shipped 32-bit program")
        print(line)
        log = os.environ.get("BRISANE_SKIP_LOG")
        if log:
            with open(log, "a", encoding="utf-8") as f:
                f.write(line + "\n")
        return SKIPPED
    suite = unittest.defaultTestLoader.loadTestsFromNames(names)
    return 0 if unittest.TextTestRunner(verbosity=2).run(suite).wasSuccessful() else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
