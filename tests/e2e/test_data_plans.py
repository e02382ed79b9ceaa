#!/usr/bin/python3
"""Data plan notices through a test notification server, and the box without
one."""

import os
import re
import sys

import dbus

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from harness import DEVICE_IFACE, HISTORY_WINDOW, Desktop, push_bytes, run_tests  # noqa: E402

NOTIFY = "org.freedesktop.Notifications"
NOTIFY_PATH = "/org/freedesktop/Notifications"
BOX = "^Brantle Vantrel - data plan$"


def seed(d, plans, history_lines):
    os.makedirs(d.data_dir(), exist_ok=True)
    with open(os.path.join(d.data_dir(), "Vantrel Plans.ini"), "w") as f:
        f.write(plans)
    with open(os.path.join(d.data_dir(), "Vantrel History.csv"), "w") as f:
        f.writelines(line + "\n" for line in ["time,entry,received,sent"] + history_lines)


def start_server(d):
    env = dict(os.environ, DBUS_SESSION_BUS_ADDRESS=d.session_bus_address)
    d._spawn("notify", ["/usr/bin/python3", "-m", "dbusmock", "--template", "notification_daemon",
                        "-p", '{"capabilities": "body actions"}'], env=env)
    bus = dbus.bus.BusConnection(d.session_bus_address)
    d.wait_for(lambda: bus.name_has_owner(NOTIFY), what="the notification server")
    return bus, dbus.Interface(bus.get_object(NOTIFY, NOTIFY_PATH), "org.freedesktop.DBus.Mock")


def notices(mock):
    # Notify's arguments: app, replaces, icon, summary, body, actions, hints, timeout.
    return [(str(a[3]), str(a[4]), [str(x) for x in a[5]])
            for _, method, a in mock.GetCalls() if method == "Notify"]


def connect(d, binary):
    profile = d.add_profile("Office", number="*99#")
    device = d.add_device("modem0", "ttyUSB0", d.DEVICE_MODEM)
    # Loopback: its counters are ours to move with a local socket.
    d.set_property(device, DEVICE_IFACE, "IpInterface", "lo")
    d.start_program(binary)
    d.wait_for(d.tray_icons, what="the tray icon")
    d.add_active([device], profile, state=d.AC_ACTIVATED)


def test_notices_once_per_period_and_level(binary):
    # 10 MB renewing on the 17th; 8 MB used in the period so far.
    with Desktop(faketime="@2010-05-12 10:00:00 x60") as d:
        bus, mock = start_server(d)
        seed(d, "[Office]\nDataAllowanceMB=10\nBillingDay=17\n",
             ["2010-04-16T10:00+00:00,Office,5000000,0",  # the period before
              "2010-05-01T10:00+00:00,Office,7000000,1000000"])
        connect(d, binary)
        d.wait_for(lambda: notices(mock), timeout=30, what="the warning")
        (summary, body, actions), = notices(mock)
        assert summary == "Data plan", summary
        # Loopback's own traffic may add a few bytes to the 8 MB.
        assert re.fullmatch(r"Office: 8\.[01] MB of 10 MB used; the plan renews on 17 May\.", body), body
        assert actions == ["default", "History..."], actions
        assert d.ini("Vantrel Plans.ini")["Office"]["WarnSentFor"] == "2010-04-17"

        # The action opens the history window.
        mock.EmitSignal(NOTIFY, "ActionInvoked", "us", [dbus.UInt32(1), "default"])
        d.wait_for_window(HISTORY_WINDOW)

        # Past the allowance, live: the next minute's bytes cross it.
        push_bytes(2_000_000)
        d.wait_for(lambda: len(notices(mock)) == 2, timeout=30, what="the notice at 100 %")
        summary, body, _ = notices(mock)[1]
        assert summary == "Data plan used up", summary
        assert body.startswith("Office: 1") and "of 10 MB used; the plan renews on 17 May." in body, body
        assert d.ini("Vantrel Plans.ini")["Office"]["LimitSentFor"] == "2010-04-17"
        mark = d.total("Office")
        d.wait_for(lambda: d.total("Office") >= mark + 3, timeout=30, what="three more minutes")
        assert len(notices(mock)) == 2, notices(mock)


def test_box_without_a_server(binary):
    with Desktop(env={"QT_LOGGING_RULES": "brantle.notify.info=true"}) as d:
        seed(d, "[Office]\nDataAllowanceMB=10\nBillingDay=17\n",
             ["2010-05-01T10:00+00:00,Office,9500000,0"])
        connect(d, binary)
        d.wait_for_window(BOX, timeout=30)
        d.wait_for(lambda: "Office: 9.5 MB of 10 MB used; the plan renews on 17 May."
                   in d.log("program"), what="the box's text")
        # Not modal: the tray's menu and counting go on.
        mark = d.total("Office")
        d.wait_for(lambda: d.total("Office") >= mark + 2, timeout=30, what="counting on")
        assert len(d.find_windows(BOX)) == 1


if __name__ == "__main__":
    run_tests()
