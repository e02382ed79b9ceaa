#!/usr/bin/python3
"""One copy per ledger folder counts; a lock held by a stranger, or replaced by
something else, never stops a start or signals anyone. The kinds of things in
the lock's place are in tests/ui/test_single_instance.cpp; a lock left by a
killed copy is taken over at every restart of the crash sweep."""

import fcntl
import os
import stat
import signal
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
from harness import MAIN, Desktop, run_tests, stays  # noqa: E402


def test_second_start_shows_the_first(binary):
    with Desktop() as d:
        office = d.add_profile("Office", number="555-0100")
        dev = d.add_device("modem0", "ttyUSB0", d.DEVICE_MODEM)
        d.add_active([dev], office, state=d.AC_ACTIVATED)
        # The login start of the first copy is an ordinary start.
        first = d.start_program(binary, ["--autostart"])
        d.wait_for(d.tray_icons, what="the tray icon")
        d.wait_for(lambda: d.total() >= 1, timeout=30, what="counting")
        assert d.lock_pid() == first.pid
        assert not d.find_windows(MAIN), "the main window starts hidden"

        # A second login start leaves the running copy alone; one by hand shows it.
        again = d.run([binary, "--autostart"], timeout=60)
        assert again.returncode == 0, (again.returncode, again.stderr)
        stays(lambda: not d.find_windows(MAIN), 3)
        for attempt in range(3):
            second = d.run([binary], timeout=60)
            assert second.returncode == 0, (second.returncode, second.stderr)
            window = d.wait_for_window(MAIN, timeout=15)
            assert first.poll() is None and d.lock_pid() == first.pid
            d.click_in(window, 116, 171)  # Hide
            d.wait_for(lambda: not d.find_windows(MAIN), what="the window hidden")
        # Still one minute a real second, not two.
        start = d.total()
        time.sleep(4)
        assert d.total() - start <= 5


def test_stranger_holding_the_lock_is_not_signalled(binary):
    """Held by a stranger, naming a live process, it plus 2^32, and 2^32 minus
    a group leader (kill(-P) would reach the group): exit 1, nobody signalled."""
    with Desktop() as d:
        os.makedirs(d.data_dir(), mode=0o700)
        lock = os.path.join(d.data_dir(), ".Vantrel.lock")
        victim = subprocess.Popen(["sleep", "600"], start_new_session=True)
        fd = os.open(lock, os.O_RDWR | os.O_CREAT, 0o600)
        try:
            fcntl.flock(fd, fcntl.LOCK_EX)
            for number in (victim.pid, 2**32 + victim.pid, 2**32 - victim.pid):
                os.ftruncate(fd, 0)
                os.pwrite(fd, b"%d\nbrantle-vantrel\nhost\n" % number, 0)
                second = subprocess.Popen([binary], env=d.program_env(), stdin=subprocess.DEVNULL,
                                          stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                                          text=True, start_new_session=True)
                try:
                    box = d.wait_for_window(MAIN, timeout=30)
                    d.close_until(box, lambda: second.poll() is not None, "the start to end")
                    _, err = second.communicate(timeout=30)
                finally:
                    if second.poll() is None:
                        os.killpg(second.pid, signal.SIGKILL)
                assert second.returncode == 1, (number, second.returncode, err)
                assert "does not answer" in err, err
                assert victim.poll() is None, "signalled %d: %s" % (number, victim.returncode)
        finally:
            os.close(fd)
            victim.kill()
            victim.wait()


def test_stranger_in_place_of_the_lock_is_moved_aside(binary):
    """The start runs, and tells the user in a box (the main window starts hidden)."""
    with Desktop() as d:
        os.makedirs(d.data_dir(), mode=0o700)
        lock = os.path.join(d.data_dir(), ".Vantrel.lock")
        os.mkfifo(lock)
        proc = d.start_program(binary)
        box = d.wait_for_window(MAIN, timeout=30)
        assert stat.S_ISFIFO(os.lstat(lock + ".moved-1").st_mode)
        assert d.lock_pid() == proc.pid
        d.close_until(box, lambda: not d.find_windows(MAIN), "the notice closed")
        assert proc.poll() is None


if __name__ == "__main__":
    run_tests()
