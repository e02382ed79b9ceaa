#!/usr/bin/python3
"""The program in an XEmbed notification area (trayer), and without one."""

import os
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from harness import MAIN, Desktop, run_tests, stays  # noqa: E402


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
        d.close_until(window, lambda: not d.program_running(), "the program to end")
        assert d.exit_status() == 0


def test_menu_opens_as_the_right_button_comes_up(binary):
    with Desktop() as d:
        d.add_profile("Office", number="555-0100")
        d.start_program(binary)
        x, y, w, h = d.wait_for(d.tray_icons, what="the tray icon")[0]
        pid = str(d._procs["program"].pid)

        def shown():  # the icon's window, then the menu's
            return d.xdotool("search", "--onlyvisible", "--pid", pid).split()

        assert len(shown()) == 1, "with a tray the window starts hidden: %r" % shown()
        d.xdotool("mousemove", str(x + w // 2), str(y + h // 2))
        d.xdotool("mousedown", "3")
        stays(lambda: len(shown()) == 1, 1.5)  # no menu while the button is held
        d.xdotool("mouseup", "3")
        d.wait_for(lambda: len(shown()) == 2, what="the menu on the release")


if __name__ == "__main__":
    run_tests()
