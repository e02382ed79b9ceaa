#!/usr/bin/python3
"""--help, --version, wrong arguments and no display: answered without a
display, in one line, and nothing written."""

import os
import re
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from harness import run_tests  # noqa: E402


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


if __name__ == "__main__":
    run_tests()
