#!/usr/bin/python3
"""NetworkManager hangs while the program starts, with a connection already
up. Once it answers again, the program finds the connection by itself (no
change signal comes) and counts its minutes."""

import os
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "e2e"))
from harness import Desktop, run_tests  # noqa: E402


def test_hung_at_start(binary):
    with Desktop() as d:
        dev = d.add_device("modem0", "ttyUSB0", d.DEVICE_MODEM)
        office = d.add_profile("Office", number="555-0100")
        d.add_active([dev], office, state=d.AC_ACTIVATED)
        d.pause_mock()
        try:
            d.start_program(binary)
            d.wait_for(d.tray_icons, timeout=60, what="the tray icon")
            # Its first questions time out meanwhile (the clock runs 60 times
            # as fast: ten seconds of the program's are a sixth of a second).
            time.sleep(2)
        finally:
            d.resume_mock()
        d.wait_for(lambda: int(d.ledger().get("Office", {}).get("Minutes", "0")) >= 2,
                   timeout=60, what="the connection counted after the daemon came back")
        assert d.program_running()


if __name__ == "__main__":
    run_tests(test_hung_at_start)
