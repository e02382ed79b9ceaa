#!/usr/bin/python3
"""Counting online time against the NetworkManager mock, with the clock sped
up 60 times: a counted minute comes about every real second."""

import os
import sys
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from harness import Desktop, run_tests  # noqa: E402


def minutes(d, entry):
    return d.ledger().get(entry, {}).get("Minutes")


def total(d, entry):  # for the scripts that import it from here
    return d.total(entry)


def stays(d, condition, seconds):
    """Observes for a bounded time that the condition keeps holding."""
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        assert condition(), "changed while it should not have"
        time.sleep(0.1)


def settled(d, value, window=1.5, timeout=15):
    """Waits until value() has not changed for `window` seconds; returns it."""
    deadline = time.monotonic() + timeout
    last, since = value(), time.monotonic()
    while time.monotonic() < deadline:
        time.sleep(0.1)
        now = value()
        if now != last:
            last, since = now, time.monotonic()
        elif time.monotonic() - since >= window:
            return last
    raise AssertionError("still changing: %r" % last)


def test_two_profiles_one_connected(binary):
    with Desktop() as d:
        office = d.add_profile("Office", number="555-0100")
        d.add_profile("Home", number="555-0199")
        dev = d.add_device("modem0", "ttyUSB0", d.DEVICE_MODEM)
        d.start_program(binary)
        d.wait_for(d.tray_icons, what="the tray icon")
        ac = d.add_active([dev], office, state=d.AC_ACTIVATED)
        d.wait_for(lambda: minutes(d, "Office") == "3", timeout=30, what="three minutes")
        d.set_active_state(ac, d.AC_DEACTIVATED)
        d.remove_active(dev, ac)
        counted = settled(d, lambda: minutes(d, "Office"))
        stays(d, lambda: minutes(d, "Office") == counted, 3)
        assert "Home" not in d.ledger(), d.ledger()
        assert "Hours" not in d.ledger()["Office"], "no carry yet"


def test_carry_and_overtime(binary):
    with Desktop() as d:
        office = d.add_profile("Office", number="555-0100")
        dev = d.add_device("eth0", "eth0")
        d.seed_ledger("[Office]\nMinutes=59\nHours=1\nWarnHourCount=2\nWarnOverTime=1\n")
        d.start_program(binary)
        d.wait_for(d.tray_icons, what="the tray icon")
        d.add_active([dev], office, state=d.AC_ACTIVATED)
        d.wait_for_window("^Brantle Vantrel - warning$", timeout=30)
        ledger = d.ledger()["Office"]
        # The warning opens in the tick that carries into the limit.
        assert (ledger["Hours"], ledger["Minutes"]) in (("2", "0"), ("2", "1")), ledger


def test_connecting_counts_nothing_until_connected(binary):
    with Desktop() as d:
        office = d.add_profile("Office", number="555-0100")
        dev = d.add_device("modem0", "ttyUSB0", d.DEVICE_MODEM)
        d.start_program(binary)
        d.wait_for(d.tray_icons, what="the tray icon")
        ac = d.add_active([dev], office, state=d.AC_ACTIVATING)
        for state in (d.DEV_PREPARE, d.DEV_CONFIG, d.DEV_NEED_AUTH, d.DEV_IP_CONFIG,
                      d.DEV_IP_CHECK):
            d.set_device_state(dev, state)
            stays(d, lambda: minutes(d, "Office") is None, 1.2)
        d.set_active_state(ac, d.AC_ACTIVATED)
        d.wait_for(lambda: minutes(d, "Office") == "2", timeout=30, what="counting")
        d.set_active_state(ac, d.AC_DEACTIVATING)
        counted = settled(d, lambda: minutes(d, "Office"))
        stays(d, lambda: minutes(d, "Office") == counted, 3)


def test_networkmanager_lost_and_back(binary):
    with Desktop(start_mock=False) as d:
        d.start_program(binary)
        d.wait_for(d.tray_icons, what="the tray icon")
        stays(d, lambda: d.program_running() and d.ledger() == {}, 2)
        d.start_mock()
        office = d.add_profile("Office")
        dev = d.add_device("eth0", "eth0")
        d.add_active([dev], office, state=d.AC_ACTIVATED)
        d.wait_for(lambda: d.total("Office") >= 2, timeout=30, what="counting to start")
        # The daemon goes away while connected: counting stops, silently.
        d.stop_mock()
        counted = settled(d, lambda: d.total("Office"))
        stays(d, lambda: d.total("Office") == counted, 3)
        assert d.program_running()
        # And back again.
        d.start_mock()
        office = d.add_profile("Office")
        dev = d.add_device("eth0", "eth0")
        d.add_active([dev], office, state=d.AC_ACTIVATED)
        d.wait_for(lambda: d.total("Office") >= counted + 2, timeout=30, what="counting again")


if __name__ == "__main__":
    run_tests(test_two_profiles_one_connected, test_carry_and_overtime,
              test_connecting_counts_nothing_until_connected, test_networkmanager_lost_and_back)
