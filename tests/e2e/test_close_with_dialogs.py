#!/usr/bin/python3
"""The tray menu's "Close program" ends the process with 0 whatever is open,
and nothing open then writes; what window managers are told of each window."""

import os
import re
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from harness import MAIN, REMINDER, WARNING, Desktop, run_tests  # noqa: E402


def without_counts(data):
    return re.sub(rb"(?m)^(Minutes|Hours)=\d+", rb"\1=#", data)


def check_names(d, window, caption):
    """What a window manager shows: the bare caption, and the program's icon."""
    name = d.x_property(window, "_NET_WM_NAME")
    assert name == caption, "_NET_WM_NAME %r, expected %r" % (name, caption)
    icon = d.x_property(window, "_NET_WM_ICON")
    assert icon and icon[0] > 0 and icon[1] > 0, "%r carries no icon" % caption


def close_from_tray(d, before=None):
    """Close program: status 0, the lock gone, nothing written but counted minutes."""
    assert d.close_from_menu() == 0
    assert not os.path.exists(d.data_file(".Vantrel.lock")), "the lock outlived the program"
    if before is not None:
        assert without_counts(d.ledger_bytes()) == without_counts(before), d.ledger_bytes()


def test_warning_open(binary):
    with Desktop() as d:
        dev = d.add_device("modem0", "ttyUSB0", d.DEVICE_MODEM)
        office = d.add_profile("Office", number="555-0100")
        d.seed_ledger(b"[Office]\r\nMinutes=59\r\nHours=0\r\nWarnHourCount=1\r\n")
        before = d.ledger_bytes()
        d.start_program(binary)
        d.wait_for(d.tray_icons, timeout=30, what="the tray icon")
        d.add_active([dev], office, state=d.AC_ACTIVATED)
        warning = d.wait_for_window(WARNING, timeout=60)
        # It opens in the tick that carries into the limit.
        counts = d.ini()["Office"]
        assert (counts["Hours"], counts["Minutes"]) in (("1", "0"), ("1", "1")), counts
        check_names(d, warning, "Brantle Vantrel - warning")
        # Ticks "Disable overtime warning": an open warning stores nothing.
        d.click_in(warning, 8 + 8, 96 + 8)
        close_from_tray(d, before)
        assert "WarnOverTime" not in d.ini()["Office"], d.ini()


def test_reminder_open(binary):
    with Desktop(faketime="@2010-06-01 10:00:00 x60") as d:
        d.add_profile("Office", number="555-0100")
        d.seed_ledger(b"[Office]\nMinutes=3\nHours=2\n")
        before = d.ledger_bytes()
        d.start_program(binary)
        reminder = d.wait_for_window(REMINDER, timeout=30)
        check_names(d, reminder, "Brantle Vantrel - notification")
        close_from_tray(d, before)
        assert d.ini("Vantrel Options.ini") == {}, d.ini("Vantrel Options.ini")


def test_error_box_open(binary):
    # The ledger is a folder: the first counted minute cannot be written.
    with Desktop() as d:
        dev = d.add_device("modem0", "ttyUSB0", d.DEVICE_MODEM)
        office = d.add_profile("Office", number="555-0100")
        os.makedirs(d.data_file())
        d.start_program(binary)
        d.wait_for(d.tray_icons, timeout=30, what="the tray icon")
        d.add_active([dev], office, state=d.AC_ACTIVATED)
        # The main window is hidden: the visible "Brantle Vantrel" is the box.
        box = d.wait_for_window(MAIN, timeout=60)
        check_names(d, box, "Brantle Vantrel")
        close_from_tray(d)
        assert os.path.isdir(d.data_file())


def test_ledger_folder_is_a_file(binary):
    # Nothing can be written: the icon still docks and the window opens.
    with Desktop() as d:
        d.add_profile("Office", number="555-0100")
        with open(d.data_dir(), "w") as f:
            f.write("not a folder")
        d.start_program(binary)
        window = d.open_from_tray(MAIN)
        assert d.window_geometry(window)[2:] == (321, 189)
        close_from_tray(d)


if __name__ == "__main__":
    run_tests()
