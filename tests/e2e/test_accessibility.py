#!/usr/bin/python3
"""What a screen reader finds over AT-SPI: the controls of the windows and
dialogs, each with its role and name, and where the focus is."""

import os
import sys

import dbus

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from harness import MAIN, Desktop, run_tests  # noqa: E402

LAUNCHER = "/usr/libexec/at-spi-bus-launcher"

# (role, name) of the main window's controls; their tab order: test_main_window.cpp.
MAIN_CONTROLS = [("combo box", "Choose dialup:"), ("push button", "Reset count"),
                 ("text", "Hour limit"), ("check box", "Warn me after"),
                 ("push button", "Hide"), ("push button", "About")]
HISTORY_CONTROLS = [("combo box", "Month:"), ("table", "Per entry"),
                    ("table", "Sessions of the month, newest first"),
                    ("push button", "Export CSV..."), ("push button", "Close")]

# The first row's editable fields, at their client coordinates.
PLANS_FIELDS = [((115, 44), ("text", "Office: allowance")),
                ((260, 44), ("spin button", "Office: billing day")),
                ((325, 44), ("spin button", "Office: warn at"))]


def start_accessibility_bus(d):  # and its registry; returns its address
    d._spawn("a11y", [LAUNCHER, "--launch-immediately"])
    bus = dbus.bus.BusConnection(d.session_bus_address)
    d.wait_for(lambda: bus.name_has_owner("org.a11y.Bus"), what="the accessibility bus")
    address = str(bus.get_object("org.a11y.Bus", "/org/a11y/bus").GetAddress(
        dbus_interface="org.a11y.Bus"))
    # The registry first: Qt embeds its application only where one answers.
    dbus.bus.BusConnection(address).activate_name_owner("org.a11y.atspi.Registry")
    return address


def walk(acc):
    yield acc
    for i in range(acc.childCount):
        child = acc.getChildAtIndex(i)
        if child is not None:
            yield from walk(child)


class Reader:
    def __init__(self, d, address):
        # Set for this process only, after the program started: Qt 6.4 misses
        # the bus when it is given this way.
        os.environ["AT_SPI_BUS_ADDRESS"] = address
        import pyatspi
        self.pyatspi = pyatspi
        self.d = d

    def app(self):
        for app in self.pyatspi.Registry.getDesktop(0):
            if app is not None and app.name == "brantle-vantrel":
                return app
        return None

    def window(self, title):
        def find():
            app = self.app()
            for w in (app or []):
                if w is not None and w.name == title and self.showing(w):
                    return w
            return None
        return self.d.wait_for(find, timeout=20, what="the window %r over AT-SPI" % title)

    def listen_for_focus(self):
        self.focus_events = []
        self.pyatspi.Registry.registerEventListener(
            lambda e: e.detail1 and self.focus_events.append((e.source.getRoleName(), e.source.name)),
            "object:state-changed:focused")

    def last_focus(self):
        # What a reader speaks on a focus change, also of a table cell's editor.
        from gi.repository import GLib
        while GLib.MainContext.default().iteration(False):
            pass
        return self.focus_events[-1] if self.focus_events else None

    def showing(self, acc):
        return acc.getState().contains(self.pyatspi.STATE_SHOWING)

    def spoken(self, acc):
        # A list's name is its current item: a reader speaks its label.
        if acc.getRoleName() != "combo box":
            return acc.name
        for relation in acc.getRelationSet():
            if relation.getRelationType() == self.pyatspi.RELATION_LABELLED_BY:
                for i in range(relation.getNTargets()):
                    if relation.getTarget(i).getRoleName() == "label":
                        return relation.getTarget(i).name
        return ""

    def controls(self, window):  # (role, spoken name) the keyboard reaches
        return [(a.getRoleName(), self.spoken(a)) for a in walk(window)
                if a.getState().contains(self.pyatspi.STATE_FOCUSABLE) and self.showing(a)
                and a.getRoleName() not in ("list", "list item", "table cell",
                                            "table column header", "table row header")]

    def focused(self, window):
        for a in walk(window):
            if a.getState().contains(self.pyatspi.STATE_FOCUSED):
                return a.getRoleName(), self.spoken(a)
        return None


def expect_controls(reader, window, expected):
    found = reader.controls(window)
    for control in expected:
        assert control in found, "%r missing from %r" % (control, found)
    unnamed = [c for c in found if not c[1].strip()]
    assert not unnamed, "controls without a name: %r" % unnamed


def test_screen_reader_and_keyboard(binary):
    if not os.path.exists(LAUNCHER):
        print("at-spi2-core is not installed: skipped")
        return
    env = {"QT_LINUX_ACCESSIBILITY_ALWAYS_ON": "1"}
    with Desktop(faketime=None, env=env) as d:
        d.add_profile("Office", number="555-0100")
        d.add_profile("Home", number="555-0199")
        address = start_accessibility_bus(d)
        d.start_program(binary)
        xwindow = d.open_from_tray(MAIN)
        reader = Reader(d, address)
        main = reader.window("Brantle Vantrel")
        expect_controls(reader, main, MAIN_CONTROLS)

        d.wait_for(lambda: reader.focused(main) == MAIN_CONTROLS[0], what="focus on the list")

        # The about box by keyboard alone: Alt+A opens it, Return on Close closes it.
        d.key("alt+a", window=xwindow)
        about = reader.window("About...")
        expect_controls(reader, about, [("push button", "Close")])
        box = d.wait_for_window("^About...$")
        d.xdotool("windowfocus", "--sync", box)  # what a window manager does on a click
        d.wait_for(lambda: reader.focused(about) == ("push button", "Close"),
                   what="the focus on Close")
        d.key("Return")
        d.wait_for(lambda: not d.find_windows("^About...$"), what="the about box to close")

        d.open_from_menu("h", "^Brantle Vantrel - history$")
        history = reader.window("Brantle Vantrel - history")
        expect_controls(reader, history, HISTORY_CONTROLS)

        dialog = d.open_from_menu("d", "^Brantle Vantrel - data plans$")
        plans = reader.window("Brantle Vantrel - data plans")
        expect_controls(reader, plans, [("table", "Data plans")])
        reader.listen_for_focus()
        for point, control in PLANS_FIELDS:
            d.click_in(dialog, *point)
            d.wait_for(lambda: reader.last_focus() == control, timeout=5,
                       what="%r focused (last: %r)" % (control, reader.last_focus()))


if __name__ == "__main__":
    run_tests()
