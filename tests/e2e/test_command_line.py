#!/usr/bin/python3
"""The program's arguments, answered by the real binary without a display:
which ones start it, which ones print and end it, what a wrong one does; and
a start without a display. One line or the usage, and nothing written."""

import os
import re
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from harness import run_tests  # noqa: E402

USAGE = "Usage: brantle-vantrel [options]\n"


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

        for args in (["--help"], ["-h"], ["--autostart", "--help"], ["-hv"]):
            r = run(*args)
            assert r.returncode == 0, (args, r.returncode, r.stderr)
            assert r.stdout.startswith(USAGE), (args, r.stdout)
            assert "--autostart" in r.stdout and r.stderr == "", (r.stdout, r.stderr)
        for args in (["--version"], ["-v"]):
            r = run(*args)
            assert r.returncode == 0 and r.stderr == "", (args, r.returncode, r.stderr)
            assert re.fullmatch(r"brantle-vantrel \d+\.\d+(\.\d+)*\n", r.stdout), r.stdout
        for args in (["--bogus"], ["-x"], ["file.ini"], ["--autostart=1"], ["--version=2"],
                     ["--autostart", "extra"], ["-session", "10abc"], ["--"],
                     ["--autostart", "--"]):
            r = run(*args)
            assert r.returncode == 2, (args, r.returncode, r.stderr)
            assert r.stdout == "", r.stdout
            assert r.stderr.startswith("brantle-vantrel: ") and "\n" + USAGE in r.stderr, \
                (args, r.stderr)
        # Starts, with no display or one that cannot be reached: one line and
        # status 1, not an abort.
        for args, display in (([], None), (["--autostart"], None),
                              ([], ":%d" % (9000 + os.getpid() % 500))):
            if display:
                env["DISPLAY"] = display
            r = run(*args)
            assert r.returncode == 1, (args, display, r.returncode, r.stderr)
            assert r.stdout == "" and r.stderr.count("\n") == 1, r.stderr
            assert r.stderr.startswith("brantle-vantrel: cannot open"), r.stderr
        assert os.listdir(home) == [], "nothing may be written: %s" % os.listdir(home)


if __name__ == "__main__":
    run_tests()
