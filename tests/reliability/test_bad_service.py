#!/usr/bin/python3
"""NetworkManager answering badly (10,000 profiles, names of 10,000 bytes,
wrong types, missing objects) or not at all: the program runs on, counts the
good connection, and the ledger stays well-formed."""

import os
import signal
import sys
import time

import dbus

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
from harness import (ACTIVE_IFACE, MOCK_IFACE, NM, NM_PATH, SETTINGS_PATH, Desktop,  # noqa: E402
                     parse_strict, run_tests)

HUGE = "n" * 10000
SETTINGS_IFACE = NM + ".Settings"


def add_raw_profile(d, settings):
    iface = dbus.Interface(d._obj(SETTINGS_PATH), SETTINGS_IFACE)
    return str(iface.AddConnection(settings))


def check_alive_and_well_formed(d, what):
    assert d.program_running(), "the program died after %s:\n%s" % (what, d.log("program")[-3000:])
    parse_strict(d.ledger_bytes())


def test_bad_answers(binary):
    with Desktop(env={"QT_LOGGING_RULES": "bv.networkmanager.debug=true"}) as d:
        good = d.add_profile("Good", number="555-0100")
        huge = d.add_profile(HUGE, number="9" * 10000)
        add_raw_profile(d, {"connection": {"id": dbus.UInt32(7), "type": "gsm",
                                           "uuid": "uuid-int-id"}})
        add_raw_profile(d, {"connection": {"id": dbus.Array([dbus.Byte(1)], signature="y"),
                                           "type": dbus.Int32(3), "uuid": "uuid-array-id"}})
        broken = d.add_profile("Broken")
        dbus.Interface(d._obj(broken), MOCK_IFACE).AddMethod(
            NM + ".Settings.Connection", "GetSettings", "", "s", "ret = 'not a dict'")
        # 10,000 listed profiles: the five above again and again, and a path
        # that leads nowhere.
        dbus.Interface(d._obj(SETTINGS_PATH), MOCK_IFACE).AddMethod(
            SETTINGS_IFACE, "ListConnections", "", "ao",
            "ret = (list(self.Get('%s', 'Connections')) * 2000)[:9999] + "
            "['/org/freedesktop/NetworkManager/Settings/Nowhere']" % SETTINGS_IFACE)

        d.start_program(binary)
        d.wait_for(d.tray_icons, timeout=60, what="the tray icon")
        check_alive_and_well_formed(d, "reading 10,000 profiles")
        # The whole list is read in time; under the sanitizers the clock's 60-fold
        # speed leaves the 5 s start-up bound at about 80 ms, too short for that.
        if not os.environ.get("ASAN_OPTIONS"):
            assert "cut short" not in d.log("program"), d.log("program")[-2000:]
        # The main window with its list of 8,000 good entries.
        d.open_from_tray("^Brantle Vantrel$", timeout=60)
        check_alive_and_well_formed(d, "showing the list")

        # A connection of the huge profile, on a device with a huge name,
        # then properties of the wrong types and objects that do not exist.
        dev = d.add_device("eth0", HUGE)
        ac = d.add_active([dev], huge, state=d.AC_ACTIVATED)
        d.wait_for(lambda: any(len(name) == 256 for name in parse_strict(d.ledger_bytes())),
                   timeout=30, what="the huge entry counted under its first 256 bytes")
        for name, value in (("Id", HUGE), ("State", "up"), ("Type", dbus.UInt32(5)),
                            ("Vpn", "yes"), ("Devices", "none")):
            d.set_property(ac, ACTIVE_IFACE, name, value)
            check_alive_and_well_formed(d, "a wrong %s" % name)
        d.set_property(NM_PATH, NM, "ActiveConnections",
                       dbus.Array([ac, "/", "/org/freedesktop/NetworkManager/Nowhere"],
                                  signature="o"))
        d.set_property(NM_PATH, NM, "ActiveConnections", dbus.UInt32(42))
        check_alive_and_well_formed(d, "ActiveConnections of the wrong type")

        # Right answers after all that still count.
        d.set_property(NM_PATH, NM, "ActiveConnections", dbus.Array([], signature="o"))
        dev2 = d.add_device("modem0", "ttyUSB0", d.DEVICE_MODEM)
        d.add_active([dev2], good, state=d.AC_ACTIVATED)
        d.wait_for(lambda: int(parse_strict(d.ledger_bytes()).get(b"Good", {})
                               .get(b"Minutes", b"0")) >= 2,
                   timeout=30, what="the good profile counted")
        check_alive_and_well_formed(d, "the good connection")
        sections = parse_strict(d.ledger_bytes())
        assert set(sections) <= {b"Good", HUGE[:256].encode()}, sorted(sections)


def test_hung_at_start(binary):
    # Hung while the program starts, a connection up: found once it answers,
    # with no change signal to tell.
    with Desktop() as d:
        dev = d.add_device("modem0", "ttyUSB0", d.DEVICE_MODEM)
        office = d.add_profile("Office", number="555-0100")
        d.add_active([dev], office, state=d.AC_ACTIVATED)
        os.killpg(d._procs["mock"].pid, signal.SIGSTOP)  # keeps its name, answers nothing
        try:
            d.start_program(binary)
            d.wait_for(d.tray_icons, timeout=60, what="the tray icon")
            # Its first questions time out meanwhile (ten seconds of its clock).
            time.sleep(2)
        finally:
            os.killpg(d._procs["mock"].pid, signal.SIGCONT)
        d.wait_for(lambda: d.total("Office") >= 2, timeout=60,
                   what="the connection counted after the daemon came back")
        assert d.program_running()


if __name__ == "__main__":
    run_tests()
