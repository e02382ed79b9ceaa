#!/usr/bin/python3
"""The program in an XEmbed notification area (trayer), and without one."""

import os
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from harness import MAIN, Desktop, run_tests  # noqa: E402


def test_tray_icon_window_and_close(binary):
    with Desktop() as d:
        d.add_profile("Office", number="555-0100")
        d.seed_ledger(b"; kept as it is\r\n[Office]\r\nMinutes=7\r\nHours=2\r\nWarnOverTime=1\r\n")
        before = d.ledger_bytes()
        d.start_program(binary)
        d.wait_for(d.tray_icons, what="the tray icon")
        assert not d.find_windows(MAIN), "the main window starts hidden"
        assert not d.find_windows("^Starting...$"), "the startup window is never seen"

        window = d.open_from_tray(MAIN)
        assert d.window_geometry(window)[2:] == (321, 189)
        # Closing the window only hides it while the icon is there.
        d.close_until(window, lambda: not d.find_windows(MAIN), "the window to hide")
        assert d.program_running()

        assert d.close_from_menu() == 0
        assert d.ledger_bytes() == before, "the ledger must be left as it was"


def test_notification_area_late_and_gone(binary):
    with Desktop(faketime=None, trayer=False) as d:  # the grace period is measured in real time
        d.start_program(binary)
        window = d.wait_for_window(MAIN)
        d.start_trayer()
        d.wait_for(d.tray_icons, timeout=30, what="the icon in the late tray")
        d.close_until(window, lambda: not d.find_windows(MAIN), "the window to hide")
        assert d.program_running()
        d._kill("trayer")
        t = time.monotonic()
        window = d.wait_for_window(MAIN, timeout=30)
        assert time.monotonic() - t > 4, "a tray that restarts would pop the window up"
        # Without a tray, closing the window ends the program.
        proc = d._procs["program"]
        d.close_until(window, lambda: proc.poll() is not None, "the program to end")
        assert proc.returncode == 0, proc.returncode


def test_menu_opens_as_the_right_button_comes_up(binary):
    with Desktop() as d:
        d.add_profile("Office", number="555-0100")
        d.start_program(binary)
        x, y, w, h = d.wait_for(d.tray_icons, what="the tray icon")[0]
        pid = str(d._procs["program"].pid)

        def shown():  # the icon's window, then the menu's
            return d.xdotool("search", "--onlyvisible", "--pid", pid).split()

        assert len(shown()) == 1, shown()
        d.xdotool("mousemove", str(x + w // 2), str(y + h // 2))
        d.xdotool("mousedown", "3")
        end = time.monotonic() + 1.5  # no menu while the button is held
        while time.monotonic() < end:
            assert len(shown()) == 1, "the menu opened on the press"
            time.sleep(0.1)
        d.xdotool("mouseup", "3")
        d.wait_for(lambda: len(shown()) == 2, what="the menu on the release")


if __name__ == "__main__":
    run_tests()
