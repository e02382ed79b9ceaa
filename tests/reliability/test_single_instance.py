#!/usr/bin/python3
"""One copy counts: a second start for the same ledger folder brings the
running copy's main window forward and exits with status 0; a lock left by a
copy killed with SIGKILL does not block the next start; another folder gets
its own copy."""

import os
import signal
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "e2e"))
from harness import Desktop  # noqa: E402
from crash_test import counted, kill_group  # noqa: E402

MAIN = "^Brantle Vantrel$"


def total(d):
    try:
        with open(os.path.join(d.data_dir(), "Vantrel Data.ini"), "rb") as f:
            return counted(f.read())
    except FileNotFoundError:
        return 0


def lock_pid(d):
    with open(os.path.join(d.data_dir(), ".Vantrel.lock")) as f:
        return int(f.readline())


def rate_over(d, seconds):
    """Minutes counted in `seconds` real seconds (one a second at x60)."""
    start, begin = total(d), time.monotonic()
    while time.monotonic() - begin < seconds:
        time.sleep(0.1)
    return total(d) - start


def test_second_start_shows_the_first(binary):
    with Desktop() as d:
        office = d.add_profile("Office", number="555-0100")
        dev = d.add_device("modem0", "ttyUSB0", d.DEVICE_MODEM)
        d.add_active([dev], office, state=d.AC_ACTIVATED)
        first = d.start_program(binary)
        d.wait_for(d.tray_icons, what="the tray icon")
        d.wait_for(lambda: total(d) >= 1, timeout=30, what="counting")
        assert lock_pid(d) == first.pid
        assert not d.find_windows(MAIN), "the main window starts hidden"

        for attempt in range(3):
            second = d.run([binary], timeout=60)
            assert second.returncode == 0, (second.returncode, second.stderr)
            window = d.wait_for_window(MAIN, timeout=15)
            assert first.poll() is None and lock_pid(d) == first.pid
            d.click_in(window, 116, 171)  # Hide
            d.wait_for(lambda: not d.find_windows(MAIN), what="the window hidden")
        # Still one minute a real second, not two.
        assert rate_over(d, 4) <= 5

        # A copy killed outright leaves its lock; the next start takes it over.
        kill_group(d, first)
        assert os.path.exists(os.path.join(d.data_dir(), ".Vantrel.lock"))
        before = total(d)
        again = d.start_program(binary)
        d.wait_for(lambda: total(d) > before, timeout=30, what="counting after the kill")
        assert lock_pid(d) == again.pid
        assert d.run([binary], timeout=60).returncode == 0
        assert again.poll() is None


def test_other_folder_runs_its_own_copy(binary):
    with Desktop() as d:
        first = d.start_program(binary)
        d.wait_for(lambda: os.path.exists(os.path.join(d.data_dir(), ".Vantrel.lock")),
                   what="the first copy's lock")
        with tempfile.TemporaryDirectory() as other:
            env = d.program_env()
            env["XDG_CONFIG_HOME"] = other
            lock = os.path.join(other, "brantle-vantrel", ".Vantrel.lock")
            proc = subprocess.Popen([binary], env=env, stdin=subprocess.DEVNULL,
                                    stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                                    start_new_session=True)
            try:
                d.wait_for(lambda: os.path.exists(lock) or proc.poll() is not None,
                           what="the second folder's lock")
                assert proc.poll() is None, "the copy for another folder gave up"
            finally:
                os.killpg(proc.pid, signal.SIGKILL)
                proc.wait(10)
        assert first.poll() is None


if __name__ == "__main__":
    binary = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else "build/brantle-vantrel")
    tests = (test_second_start_shows_the_first, test_other_folder_runs_its_own_copy)
    for test in tests:
        print("==", test.__name__, flush=True)
        test(binary)
    print("%d passed, 0 failed" % len(tests))
