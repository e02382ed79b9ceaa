#!/usr/bin/python3
"""The program's arguments, as a user or the session gives them: --help,
--version and a wrong argument answer without a display and write nothing; a
start without a display says so in one line;
--autostart, the login start, leaves a running copy alone, while a start by
hand still brings its window forward."""

import os
import re
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from harness import Desktop, HarnessError  # noqa: E402

MAIN = "^Brantle Vantrel$"


def test_answers_without_display(binary):
    with tempfile.TemporaryDirectory() as home:
        env = {k: v for k, v in os.environ.items()
               if k not in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM",
                            "DBUS_SESSION_BUS_ADDRESS")}
        env.update(HOME=home, XDG_CONFIG_HOME=os.path.join(home, "config"),
                   XDG_RUNTIME_DIR=os.path.join(home, "runtime"))

        def run(*args):
            return subprocess.run([binary] + list(args), env=env, capture_output=True,
                                  text=True, timeout=60)

        for args in (["--help"], ["-h"]):
            r = run(*args)
            assert r.returncode == 0, (args, r.returncode, r.stderr)
            assert r.stdout.startswith("Usage: brantle-vantrel [options]\n"), r.stdout
            assert "--autostart" in r.stdout and r.stderr == "", (r.stdout, r.stderr)
        r = run("--version")
        assert r.returncode == 0 and r.stderr == "", (r.returncode, r.stderr)
        assert re.fullmatch(r"brantle-vantrel \d+\.\d+(\.\d+)*\n", r.stdout), r.stdout
        for args in (["--frob"], ["Office"], ["--autostart", "now"], ["--"]):
            r = run(*args)
            assert r.returncode == 2, (args, r.returncode, r.stderr)
            assert r.stdout == "", r.stdout
            assert r.stderr.startswith("brantle-vantrel: ") and "Usage:" in r.stderr, r.stderr
        # A start without a display, or with one that cannot be reached: one
        # line and status 1, not an abort.
        for display in (None, ":%d" % (9000 + os.getpid() % 500)):
            if display:
                env["DISPLAY"] = display
            r = run()
            assert r.returncode == 1, (display, r.returncode, r.stderr)
            assert r.stdout == "" and r.stderr.count("\n") == 1, r.stderr
            assert r.stderr.startswith("brantle-vantrel: cannot open"), r.stderr
        assert os.listdir(home) == [], "nothing may be written: %s" % os.listdir(home)


def none_shown_for(d, seconds):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        if d.find_windows(MAIN):
            return False
        time.sleep(0.1)
    return True


def test_login_start_leaves_a_running_copy_alone(binary):
    with Desktop() as d:
        d.add_profile("Office", number="555-0100")
        # The login start of the first copy is an ordinary start.
        first = d.start_program(binary, ["--autostart"])
        d.wait_for(d.tray_icons, what="the tray icon")
        lock = os.path.join(d.data_dir(), ".Vantrel.lock")
        d.wait_for(lambda: os.path.exists(lock), what="the lock")

        again = d.run([binary, "--autostart"], timeout=60)
        assert again.returncode == 0, (again.returncode, again.stderr)
        assert none_shown_for(d, 3), "a login start showed the running copy's window"
        assert first.poll() is None

        # A start by hand still brings the window forward.
        by_hand = d.run([binary], timeout=60)
        assert by_hand.returncode == 0, (by_hand.returncode, by_hand.stderr)
        try:
            d.wait_for_window(MAIN, timeout=15)
        except HarnessError:
            raise AssertionError("a start by hand did not show the window")
        assert first.poll() is None


if __name__ == "__main__":
    binary = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else "build/brantle-vantrel")
    tests = (test_answers_without_display, test_login_start_leaves_a_running_copy_alone)
    for test in tests:
        print("==", test.__name__, flush=True)
        test(binary)
    print("%d passed, 0 failed" % len(tests))
