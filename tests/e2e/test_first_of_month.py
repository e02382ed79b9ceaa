#!/usr/bin/python3
"""The first-of-month reminder of the real program, answered with the mouse.

Three starts on 1 March 2004 (key Notify2008): "remind me on next run" writes
"1" and the next start asks again; Yes writes "0" and resets every section of
the ledger; the third start shows nothing.

Usage: test_first_of_month.py path/to/brantle-vantrel
"""

import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from harness import Desktop  # noqa: E402

TITLE = "^Brantle Vantrel - notification$"
KEY = "Notify2008"  # 1 + 3 + 2004
# Button centres in client coordinates, from the dialog's layout.
YES = (18 + 65 // 2, 80 + 23 // 2)
REMIND = (90 + 191 // 2, 80 + 23 // 2)


def option(d):
    return d.options().get("General", {}).get(KEY)


def answer(d, button, expected):
    window = d.wait_for_window(TITLE, timeout=30)
    assert d.window_geometry(window)[2:] == (292, 141), d.window_geometry(window)
    d.click_in(window, *button)
    d.wait_for(lambda: option(d) == expected, timeout=20, what="%s=%s" % (KEY, expected))
    d.wait_for(lambda: not d.find_windows(TITLE), timeout=20, what="the reminder to close")


def restart(d, binary):
    d.stop_program()
    d.start_program(binary)


def main(binary):
    # The clock runs 60 times as fast: the one-shot check comes about 17 ms
    # after the start, a counted minute about every second.
    with Desktop(binary=None, faketime="@2004-03-01 10:00:00 x60") as d:
        os.makedirs(d.data_dir())
        with open(os.path.join(d.data_dir(), "Vantrel Data.ini"), "w") as f:
            f.write("[Office]\nHours=5\nMinutes=3\nWarnHourCount=0\n[Gone]\nHours=2\nMinutes=9\n")
        device = d.add_device("modem0", "ttyUSB0", d.DEVICE_MODEM)
        office = d.add_profile("Office", number="555-0100")

        d.start_program(binary)
        answer(d, REMIND, "1")

        restart(d, binary)
        answer(d, YES, "0")
        ledger = d.ledger()
        for section in ("Office", "Gone"):
            assert ledger[section]["Hours"] == "0" and ledger[section]["Minutes"] == "0", ledger

        # Silence is shown by a later event: once a minute has been counted,
        # the check (one second after the start) is long past.
        restart(d, binary)
        active = d.add_active([device], office, state=d.AC_ACTIVATING)
        d.set_active_state(active, d.AC_ACTIVATED)
        d.wait_for(lambda: d.ledger()["Office"]["Minutes"] != "0", timeout=60,
                   what="a counted minute")
        assert not d.find_windows(TITLE), "reminded although told not to"
        assert d.program_running()
    print("1 passed, 0 failed")


if __name__ == "__main__":
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    main(sys.argv[1])
