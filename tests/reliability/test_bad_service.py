#!/usr/bin/python3
"""NetworkManager answering badly, as the whole program meets it: 8,000 listed
profiles read at the start and shown in the main window, and a name of 10,000
bytes counted in the ledger under its first 256. Each kind of bad answer
(wrong types, missing objects, a hung daemon) is checked on the service itself
in tests/core/test_networkmanager.cpp."""

import os
import sys

import dbus

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
from harness import MOCK_IFACE, NM, SETTINGS_PATH, Desktop, parse_strict, run_tests  # noqa: E402

HUGE = "n" * 10000
SETTINGS_IFACE = NM + ".Settings"


def check_alive_and_well_formed(d, what):
    assert d.program_running(), "the program died after %s:\n%s" % (what, d.log("program")[-3000:])
    parse_strict(d.ledger_bytes())


def test_bad_answers(binary):
    with Desktop(env={"QT_LOGGING_RULES": "bv.networkmanager.debug=true"}) as d:
        d.add_profile("Good", number="555-0100")
        huge = d.add_profile(HUGE, number="9" * 10000)
        # 8,000 listed profiles: the two above again and again.
        dbus.Interface(d._obj(SETTINGS_PATH), MOCK_IFACE).AddMethod(
            SETTINGS_IFACE, "ListConnections", "", "ao",
            "ret = list(self.Get('%s', 'Connections')) * 4000" % SETTINGS_IFACE)

        d.start_program(binary)
        d.wait_for(d.tray_icons, timeout=60, what="the tray icon")
        check_alive_and_well_formed(d, "reading 8,000 profiles")
        # The whole list is read in time; under the sanitizers the clock's 60-fold
        # speed leaves the 5 s start-up bound at about 80 ms, too short for that.
        if not os.environ.get("ASAN_OPTIONS"):
            assert "cut short" not in d.log("program"), d.log("program")[-2000:]
        d.open_from_tray("^Brantle Vantrel$", timeout=60)
        check_alive_and_well_formed(d, "showing the list")

        # A connection of the huge profile, on a device with a huge name.
        d.add_active([d.add_device("eth0", HUGE)], huge, state=d.AC_ACTIVATED)
        d.wait_for(lambda: d.total(HUGE[:256]) >= 2, timeout=30,
                   what="the huge entry counted under its first 256 bytes")
        check_alive_and_well_formed(d, "counting the huge entry")
        assert list(parse_strict(d.ledger_bytes())) == [HUGE[:256].encode()], d.ledger_bytes()


if __name__ == "__main__":
    run_tests()
