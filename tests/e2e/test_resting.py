#!/usr/bin/python3
"""The program rests while nothing changes, and still follows every change:
counting, the status label, and NetworkManager leaving and coming back.
Against the NetworkManager mock, the clock 60 times as fast."""

import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from harness import Desktop  # noqa: E402
from test_counting import settled, stays, total  # noqa: E402

from Xlib import X, display  # noqa: E402

# The status label's row in the main window, right of "Current status:".
LABEL = (144, 22, 176, 20)


class Label:
    """The status label's pixels, read from the X server."""

    def __init__(self, d, window):
        self.dpy = display.Display(d.display)
        self.window = self.dpy.create_resource_object("window", window)

    def image(self):
        x, y, w, h = LABEL
        return self.window.get_image(x, y, w, h, X.ZPixmap, 0xFFFFFFFF).data

    def close(self):
        self.dpy.close()


def connect_through_the_states(d, dev, profile, label, not_connected):
    ac = d.add_active([dev], profile, state=d.AC_ACTIVATING)
    for state in (d.DEV_PREPARE, d.DEV_CONFIG, d.DEV_NEED_AUTH, d.DEV_IP_CONFIG):
        d.set_device_state(dev, state)
        # Each state is a new status, shown as "Not connected." as before.
        stays(d, lambda: label.image() == not_connected, 0.5)
    before = total(d, "Office")
    d.set_device_state(dev, d.DEV_ACTIVATED)
    d.set_active_state(ac, d.AC_ACTIVATED)
    return ac, before


def test_counting_and_label_follow_every_change(binary):
    with Desktop() as d:
        office = d.add_profile("Office", number="555-0100")
        d.add_profile("Home", number="555-0199")
        dev = d.add_device("modem0", "ttyUSB0", d.DEVICE_MODEM)
        d.start_program(binary)
        label = Label(d, d.open_from_tray())
        try:
            not_connected = settled(d, label.image)
            stays(d, lambda: label.image() == not_connected, 1)
            assert total(d, "Office") == 0, d.ledger()

            ac, before = connect_through_the_states(d, dev, office, label, not_connected)
            assert before == 0, d.ledger()
            d.wait_for(lambda: label.image() != not_connected, what="the label to change")
            connected = label.image()
            d.wait_for(lambda: total(d, "Office") == 3, timeout=30, what="three minutes")
            assert label.image() == connected

            d.set_active_state(ac, d.AC_DEACTIVATED)
            d.remove_active(dev, ac)
            d.wait_for(lambda: label.image() == not_connected, what="Not connected.")
            counted = settled(d, lambda: total(d, "Office"))
            stays(d, lambda: total(d, "Office") == counted, 3)

            ac, before = connect_through_the_states(d, dev, office, label, not_connected)
            assert before == counted, "counted while connecting: %r" % d.ledger()
            d.wait_for(lambda: label.image() == connected, what="Connected again")
            d.wait_for(lambda: total(d, "Office") >= counted + 2, timeout=30,
                       what="counting again")
            assert "Home" not in d.ledger(), d.ledger()
        finally:
            label.close()


def test_networkmanager_leaving_and_returning_at_rest(binary):
    with Desktop() as d:
        office = d.add_profile("Office")
        dev = d.add_device("eth0", "eth0")
        d.start_program(binary)
        label = Label(d, d.open_from_tray())
        try:
            not_connected = settled(d, label.image)
            d.add_active([dev], office, state=d.AC_ACTIVATED)
            d.wait_for(lambda: total(d, "Office") >= 2, timeout=30, what="counting")
            connected = label.image()
            assert connected != not_connected

            # At rest by now; the daemon goes away.
            d.stop_mock()
            d.wait_for(lambda: label.image() == not_connected, what="Not connected.")
            counted = settled(d, lambda: total(d, "Office"))
            stays(d, lambda: total(d, "Office") == counted, 3)

            d.start_mock()
            office = d.add_profile("Office")
            dev = d.add_device("eth0", "eth0")
            d.add_active([dev], office, state=d.AC_ACTIVATED)
            d.wait_for(lambda: label.image() == connected, what="Connected again")
            d.wait_for(lambda: total(d, "Office") >= counted + 2, timeout=30,
                       what="counting again")
        finally:
            label.close()


if __name__ == "__main__":
    binary = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else "build/brantle-vantrel")
    tests = (test_counting_and_label_follow_every_change,
             test_networkmanager_leaving_and_returning_at_rest)
    for test in tests:
        print("==", test.__name__, flush=True)
        test(binary)
    print("%d passed, 0 failed" % len(tests))
