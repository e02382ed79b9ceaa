#!/usr/bin/python3
"""The program in the notification area: the icon docks, a double-click opens
the main window, the menu's "Close program" ends the process and leaves the
ledger as it was; without a notification area the window shows at start and
closing it ends the program."""

import os
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from harness import Desktop, HarnessError  # noqa: E402

MAIN = "^Brantle Vantrel$"


def send_close(d, window):
    """What a window manager does for the close box: WM_DELETE_WINDOW."""
    from Xlib import X, display, protocol
    disp = display.Display(d.display if str(d.display).startswith(":") else ":%s" % d.display)
    win = disp.create_resource_object("window", window)
    wm_protocols = disp.intern_atom("WM_PROTOCOLS")
    wm_delete = disp.intern_atom("WM_DELETE_WINDOW")
    event = protocol.event.ClientMessage(window=win, client_type=wm_protocols,
                                         data=(32, [wm_delete, X.CurrentTime, 0, 0, 0]))
    win.send_event(event)
    disp.flush()
    disp.close()


def close_until(d, window, done, what):
    """Sends the close until done() holds. Under load, Qt can miss a close
    that comes the moment a window is first mapped; a user would click again.
    A repeated close is harmless: the window hides, or the program ends."""
    deadline = time.monotonic() + 20

    def closed():
        send_close(d, window)
        try:
            return d.wait_for(done, timeout=min(3, max(0.0, deadline - time.monotonic())),
                              what=what)
        except HarnessError:
            if time.monotonic() >= deadline:
                raise
            return False

    d.wait_for(closed, timeout=25, interval=0, what=what)


def close_program_from_menu(d, proc, icon):
    """The menu's "Close program" (accelerator C). The key is pressed until the
    menu, once open, takes it and the program ends."""
    x, y, w, h = icon
    d.click(x + w // 2, y + h // 2, button=3)

    def close_chosen():
        d.key("c")
        return proc.poll() is not None

    d.wait_for(close_chosen, timeout=20, interval=0.2, what="the program to end")


def test_tray_icon_window_and_close(binary):
    with Desktop() as d:
        d.add_profile("Office", number="555-0100")
        d.seed_ledger(b"; kept as it is\r\n[Office]\r\nMinutes=7\r\nHours=2\r\nWarnOverTime=1\r\n")
        before = d.ledger_bytes()
        started = time.monotonic()
        d.start_program(binary)
        icons = d.wait_for(d.tray_icons, what="the tray icon")
        print("tray icon at %s after %.0f ms" % (icons[0], (time.monotonic() - started) * 1000))
        assert not d.find_windows(MAIN), "the main window starts hidden"
        assert not d.find_windows("^Starting...$"), "the startup window is never seen"

        window = d.open_from_tray(MAIN)
        gx, gy, gw, gh = d.window_geometry(window)
        assert (gw, gh) == (321, 189), (gw, gh)

        # Closing the window only hides it while the icon is there.
        close_until(d, window, lambda: not d.find_windows(MAIN), "the window to hide")
        assert d.program_running()

        proc = d._procs["program"]
        close_program_from_menu(d, proc, icons[0])
        assert proc.returncode == 0, proc.returncode
        assert d.ledger_bytes() == before, "the ledger must be left as it was"


def test_without_notification_area(binary):
    with Desktop() as d:
        d._kill("trayer")
        d.start_program(binary)
        window = d.wait_for_window(MAIN)
        proc = d._procs["program"]
        close_until(d, window, lambda: proc.poll() is not None, "the program to end")
        assert proc.returncode == 0, proc.returncode


def test_notification_area_late_and_gone(binary):
    """A notification area that comes after the start takes the icon; from
    then on closing the window only hides it. When the area goes for good,
    the hidden window comes back."""
    with Desktop(faketime=None) as d:  # the grace period is measured in real time
        d._kill("trayer")
        d.start_program(binary)
        window = d.wait_for_window(MAIN)
        d._start_trayer()
        d.wait_for(d.tray_icons, timeout=30, what="the icon in the late tray")
        close_until(d, window, lambda: not d.find_windows(MAIN), "the window to hide")
        assert d.program_running()
        d._kill("trayer")
        t = time.monotonic()
        d.wait_for_window(MAIN, timeout=30)
        assert time.monotonic() - t > 4, "a tray that restarts would pop the window up"


def test_menu_opens_as_the_right_button_comes_up(binary):
    with Desktop() as d:
        d.add_profile("Office", number="555-0100")
        d.start_program(binary)
        x, y, w, h = d.wait_for(d.tray_icons, what="the tray icon")[0]
        pid = str(d._procs["program"].pid)

        def shown():
            """The program's mapped windows: the icon's, then the menu's."""
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
    binary = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else "build/brantle-vantrel")
    tests = (test_tray_icon_window_and_close, test_without_notification_area,
             test_notification_area_late_and_gone, test_menu_opens_as_the_right_button_comes_up)
    for test in tests:
        print("==", test.__name__, flush=True)
        test(binary)
    print("%d passed, 0 failed" % len(tests))
