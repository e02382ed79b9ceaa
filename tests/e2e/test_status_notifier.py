#!/usr/bin/python3
"""The icon as a StatusNotifierItem, driven as a panel drives it, against
the test's own watcher (sni_watcher.py) on the private session bus."""

import os
import re
import sys
import time

import dbus

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from harness import MAIN, Desktop, run_tests, stays  # noqa: E402

WATCHER = "org.kde.StatusNotifierWatcher"
ITEM = "org.kde.StatusNotifierItem"
MENU = "com.canonical.dbusmenu"
PROPS = "org.freedesktop.DBus.Properties"
WATCHER_SCRIPT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "sni_watcher.py")


class Panel:
    """A watcher to kill and restart, and calls on the item as a host makes them."""

    def __init__(self, desktop):
        self.d = desktop
        self.bus = dbus.bus.BusConnection(desktop.session_bus_address)

    def start_watcher(self, *args):
        self.d._spawn("watcher", ["/usr/bin/python3", WATCHER_SCRIPT, *args])
        self.d.wait_for(lambda: self.bus.name_has_owner(WATCHER), timeout=20,
                        what="the watcher on the bus")
        return self

    def start_host(self):  # apart from a --sticky-host watcher
        self.d._spawn("host", ["/usr/bin/python3", WATCHER_SCRIPT, "--host-only"])
        self.d.wait_for(self.host_registered, timeout=20, what="the host")

    def host_registered(self):
        return bool(self.bus.get_object(WATCHER, "/StatusNotifierWatcher").Get(
            WATCHER, "IsStatusNotifierHostRegistered", dbus_interface=PROPS))

    def queue_watcher(self):  # a second watcher, in line for the name
        self.d._spawn("next-watcher", ["/usr/bin/python3", WATCHER_SCRIPT, "--queue"])
        daemon = self.bus.get_object("org.freedesktop.DBus", "/org/freedesktop/DBus")
        self.d.wait_for(lambda: len(daemon.ListQueuedOwners(WATCHER)) == 2, timeout=20,
                        what="the next watcher in line")

    def replace_watcher(self):  # the one in line takes over at once
        old = self.bus.get_name_owner(WATCHER)
        self.d._kill("watcher")
        self.d._procs["watcher"] = self.d._procs.pop("next-watcher")
        self.d.wait_for(lambda: self.bus.get_name_owner(WATCHER) != old, timeout=10,
                        what="the next watcher taking over")

    def stop_watcher(self):
        self.d._kill("watcher")
        self.d.wait_for(lambda: not self.bus.name_has_owner(WATCHER), timeout=10,
                        what="the watcher leaving the bus")

    def items(self):
        return [str(i) for i in self.bus.get_object(WATCHER, "/StatusNotifierWatcher").Get(
            WATCHER, "RegisteredStatusNotifierItems", dbus_interface=PROPS)]

    def wait_for_item(self, timeout=20):  # (bus name, object path)
        item = self.d.wait_for(self.items, timeout=timeout, what="the item's registration")[0]
        name, _, path = item.partition("/")
        return name, "/" + path

    def item_props(self, item):
        return self.bus.get_object(*item).GetAll(ITEM, dbus_interface=PROPS)

    def call(self, item, method, *args):
        return self.bus.get_object(*item).get_dbus_method(method, ITEM)(*args)

    def menu(self, item):
        path = str(self.item_props(item)["Menu"])
        return self.bus.get_object(item[0], path)

    def layout(self, item):  # [(id, properties)] of the top level
        _, (_, _, children) = self.menu(item).GetLayout(0, -1, dbus.Array([], signature="s"),
                                                         dbus_interface=MENU)
        return [(int(c[0]), dict(c[1])) for c in children]

    def click(self, item, item_id):
        menu = self.menu(item)
        menu.AboutToShow(0, dbus_interface=MENU)
        menu.Event(item_id, "clicked", dbus.Int32(0, variant_level=1), dbus.UInt32(0),
                   dbus_interface=MENU)


def item_id(layout, label):
    return next(i for i, p in layout if str(p.get("label", "")) == label)


def no_warnings(d):
    text = "\n".join(l for l in d.log("program").splitlines() if not l.startswith("bv."))
    assert not text, "the program wrote to stderr:\n" + text


def test_item_properties_and_menus(binary):
    with Desktop(trayer=False) as d:
        panel = Panel(d).start_watcher()
        d.add_profile("Office", number="555-0100")
        d.start_program(binary)
        item = panel.wait_for_item()
        assert item[0].startswith(ITEM + "-"), item

        props = panel.item_props(item)
        assert props["Title"] == "Brantle Vantrel", props["Title"]
        assert props["Id"] == "brantle-vantrel", props["Id"]
        assert props["Category"] == "ApplicationStatus" and props["Status"] == "Active"
        assert props["ToolTip"][2] == "Brantle Vantrel", props["ToolTip"]
        sizes = sorted((int(w), int(h), len(b)) for w, h, b in props["IconPixmap"])
        assert sizes == [(n, n, n * n * 4) for n in (16, 22, 24, 32, 48, 64)], sizes

        layout = panel.layout(item)
        entries = ["-" if p.get("type") == "separator" else str(p["label"]) for _, p in layout]
        assert entries == ["_Show window", "_History...", "_Data plans...", "_About...", "-",
                           "_Close program"], entries
        assert all(p.get("enabled", True) and p.get("visible", True) for _, p in layout)
        assert not d.find_windows(MAIN), "with a tray the window starts hidden"

        panel.call(item, "SecondaryActivate", 10, 10)  # Activate: test_xfce_panel.py
        d.wait_for_window(MAIN)
        no_warnings(d)

        # A host that draws no menu asks for ours at a point (X11).
        panel.call(item, "ContextMenu", 300, 200)

        def menu_at_point():
            for w in d.xdotool("search", "--onlyvisible", "--class", "brantle-vantrel").split():
                geometry = d.window_geometry(int(w))
                if geometry[:2] == (300, 200):
                    return geometry
            return None

        d.wait_for(menu_at_point, timeout=20, what="the menu at the host's point")
        d.key("Escape")
        d.wait_for(lambda: not menu_at_point(), timeout=20, what="the menu to close")


def shown_reports(d):
    return d.log("program").count("bv.tray: shown true")


def grace(d):  # the window, shown only after a grace period
    t = time.monotonic()
    window = d.wait_for_window(MAIN, timeout=30)
    assert time.monotonic() - t > 4, "shown at once: a panel that restarts would pop it up"
    return window


def test_panels_late_restarted_and_gone(binary):
    # The real clock: the grace period is measured here.
    with Desktop(faketime=None, env={"QT_LOGGING_RULES": "bv.tray.debug=true"},
                 trayer=False) as d:
        panel = Panel(d)
        started = time.monotonic()
        d.start_program(binary)
        # No tray of any kind: the window is the way in.
        window = d.wait_for_window(MAIN)
        time.sleep(max(0.0, 3 - (time.monotonic() - started)))  # the panel starts 3 s late
        no_warnings(d)
        panel.start_watcher()
        t = time.monotonic()
        panel.wait_for_item()
        assert time.monotonic() - t < 2
        d.close_until(window, lambda: not d.find_windows(MAIN), "the window to hide")

        # Replaced without a gap: registered with the new one, the window stays hidden.
        panel.queue_watcher()
        panel.replace_watcher()
        panel.wait_for_item()
        time.sleep(1)  # time for a wrongly shown window to appear
        assert not d.find_windows(MAIN), "a panel restart does not bring the window up"
        # Crashed and back (slower than a real one, so the window may come meanwhile).
        panel.stop_watcher()
        panel.start_watcher()
        panel.wait_for_item()
        for window in d.find_windows(MAIN):
            d.close_until(window, lambda: not d.find_windows(MAIN), "the window to hide")
        panel.stop_watcher()  # gone for good
        window = grace(d)

        # A panel whose host dies while its watcher stays and still says "registered".
        panel.start_watcher("--sticky-host")
        shown = shown_reports(d)
        panel.start_host()
        panel.wait_for_item()
        d.wait_for(lambda: shown_reports(d) > shown, what="the icon shown")
        d.close_until(window, lambda: not d.find_windows(MAIN), "the window to hide")
        d._kill("host")
        window = grace(d)
        assert panel.host_registered(), "the watcher still claims a host"
        shown = shown_reports(d)
        panel.start_host()
        d.wait_for(lambda: shown_reports(d) > shown, what="the icon shown again")
        d.close_until(window, lambda: not d.find_windows(MAIN), "the window to hide")
        assert d.program_running()
        no_warnings(d)


def test_login_start_waits_for_the_panel(binary):
    # (clock, the watcher's arguments at the start, real seconds without a
    # window, whether a panel comes then); x5: 15 s of waiting are 3 s.
    for faketime, watcher, quiet, panel_comes in (
            (None, None, 3, True), ("@2010-05-12 10:00:00 x60", None, 0, False),
            ("@2010-05-12 10:00:00 x5", ["--sticky-host"], 2, False)):  # a host not up yet
        with Desktop(faketime=faketime, trayer=False) as d:
            panel = Panel(d)
            if watcher:
                panel.start_watcher(*watcher)
            d.start_program(binary, args=["--autostart"])
            stays(lambda: not d.find_windows(MAIN), quiet)
            if panel_comes:
                panel.start_watcher()
                panel.wait_for_item()
                assert not d.find_windows(MAIN) and d.program_running()
            else:
                d.wait_for_window(MAIN, timeout=30)


def test_session_bus_lost_and_back(binary):
    # The real clock: the program tries again after seconds.
    with Desktop(faketime=None, trayer=False) as d:
        # A real session bus's address names no server GUID; a restarted
        # test bus has a new one.
        address = re.sub(r",guid=[0-9a-f]+", "", d.session_bus_address)
        d.extra_env["DBUS_SESSION_BUS_ADDRESS"] = address
        Panel(d).start_watcher()
        proc = d.start_program(binary)
        Panel(d).wait_for_item()
        d._kill("watcher")
        d._kill("session-bus")
        d.wait_for_window(MAIN, timeout=30)
        assert proc.poll() is None

        d.session_bus_address = d._spawn_bus("session-bus", address)
        panel = Panel(d).start_watcher()
        panel.wait_for_item(timeout=90)
        assert proc.poll() is None


if __name__ == "__main__":
    run_tests()
