#!/usr/bin/python3
"""Counting against the NetworkManager mock, the clock 60 times as fast: the
count and the status label follow every change."""

import os
import sys
from functools import partial

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from harness import Desktop, run_tests, settled, stays  # noqa: E402

# The status label's row in the main window, right of "Current status:".
LABEL = (144, 22, 176, 20)


def connect_through_the_states(d, dev, profile, label, not_connected):
    ac = d.add_active([dev], profile, state=d.AC_ACTIVATING)
    for state in (d.DEV_PREPARE, d.DEV_CONFIG, d.DEV_NEED_AUTH, d.DEV_IP_CONFIG, d.DEV_IP_CHECK):
        d.set_device_state(dev, state)
        # Each state is a new status, shown as "Not connected." as before.
        stays(lambda: label() == not_connected, 0.5)
    before = d.total("Office")
    d.set_device_state(dev, d.DEV_ACTIVATED)
    d.set_active_state(ac, d.AC_ACTIVATED)
    return ac, before


def test_counting_and_label_follow_every_change(binary):
    with Desktop() as d:
        office = d.add_profile("Office", number="555-0100")
        d.add_profile("Home", number="555-0199")
        dev = d.add_device("modem0", "ttyUSB0", d.DEVICE_MODEM)
        d.start_program(binary)
        label = partial(d.image, d.open_from_tray(), *LABEL)
        not_connected = settled(label)
        stays(lambda: label() == not_connected, 1)
        assert d.total("Office") == 0, d.ini()

        ac, before = connect_through_the_states(d, dev, office, label, not_connected)
        assert before == 0, "counted while connecting: %r" % d.ini()
        d.wait_for(lambda: label() != not_connected, what="the label to change")
        connected = label()
        d.wait_for(lambda: d.total("Office") == 3, timeout=30, what="three minutes")
        assert label() == connected

        # Deactivating already stops the count.
        d.set_active_state(ac, d.AC_DEACTIVATING)
        counted = settled(lambda: d.total("Office"))
        stays(lambda: d.total("Office") == counted, 3)
        d.set_active_state(ac, d.AC_DEACTIVATED)
        d.remove_active(dev, ac)
        d.wait_for(lambda: label() == not_connected, what="Not connected.")

        ac, before = connect_through_the_states(d, dev, office, label, not_connected)
        assert before == counted, "counted while connecting: %r" % d.ini()
        d.wait_for(lambda: label() == connected, what="Connected again")
        d.wait_for(lambda: d.total("Office") >= counted + 2, timeout=30,
                   what="counting again")
        assert "Home" not in d.ini(), d.ini()


def test_networkmanager_absent_then_leaving(binary):
    with Desktop(start_mock=False) as d:
        d.start_program(binary)
        d.wait_for(d.tray_icons, what="the tray icon")
        stays(lambda: d.program_running() and d.ini() == {}, 2)
        d.start_mock()
        dev = d.add_device("eth0", "eth0")
        d.add_active([dev], d.add_profile("Office"), state=d.AC_ACTIVATED)
        d.wait_for(lambda: d.total("Office") >= 2, timeout=30, what="counting")
        # At rest by now; the daemon goes away: counting stops, silently.
        d.stop_mock()
        counted = settled(lambda: d.total("Office"))
        stays(lambda: d.total("Office") == counted, 3)
        assert d.program_running()


if __name__ == "__main__":
    run_tests()
