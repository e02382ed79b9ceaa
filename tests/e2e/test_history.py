#!/usr/bin/python3
"""The usage history: what counting writes, what --report makes of it, and a
reset that leaves it alone."""

import json
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from harness import REMINDER, Desktop, run_tests, settled  # noqa: E402

YES = (18 + 65 // 2, 80 + 23 // 2)


def count(d, device, profile, entry, at_least):
    active = d.add_active([device], profile, state=d.AC_ACTIVATED)
    d.wait_for(lambda: d.total(entry) >= at_least, timeout=60, what="%s counting" % entry)
    d.set_active_state(active, d.AC_DEACTIVATED)
    d.remove_active(device, active)
    return settled(lambda: d.total(entry))


def test_counting_report_and_reset(binary):
    # The first of a month: the reminder comes at the start and is answered
    # at the end, after the counting.
    with Desktop(faketime="@2010-06-01 10:00:00 x60") as d:
        office = d.add_profile("Office", number="555-0100")
        home = d.add_profile("Home", number="555-0199")
        device = d.add_device("modem0", "ttyUSB0", d.DEVICE_MODEM)
        d.start_program(binary)
        d.wait_for(d.tray_icons, what="the tray icon")

        at_office = count(d, device, office, "Office", 3)
        at_home = count(d, device, home, "Home", 2)
        lines = d.history_lines()
        assert lines[0] == "time,entry,received,sent", lines
        entries = [line.split(",", 1)[1] for line in lines[1:]]
        assert entries == ["Office"] * at_office + ["Home"] * at_home, lines
        assert all(line.startswith("2010-06-01T10:") for line in lines[1:]), lines

        # While the program runs, with no display.
        data = json.loads(d.report(binary, "--json"))
        assert data["month"] == "2010-06" and data["skipped_lines"] == 0, data
        sessions = [(s["entry"], s["minutes"]) for s in data["sessions"]]
        assert sessions == [("Home", at_home), ("Office", at_office)], data["sessions"]
        assert data["month_minutes"] == at_office + at_home, data

        # Yes resets the ledger; the history keeps the month's minutes.
        window = d.wait_for_window(REMINDER, timeout=30)
        d.click_in(window, *YES)
        d.wait_for(lambda: d.total("Office") == 0 and d.total("Home") == 0, timeout=20,
                   what="the reset")
        assert len(d.history_lines()) == 1 + at_office + at_home
        assert d.program_running()


if __name__ == "__main__":
    run_tests()
