#!/usr/bin/python3
"""The icon in a real panel, xfce4-panel's notification area (a
StatusNotifierItem host and watcher), clicked as a user would."""

import os
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from harness import MAIN, Desktop, run_tests  # noqa: E402
from test_status_notifier import Panel, no_warnings  # noqa: E402

XFCONFD = "/usr/lib/x86_64-linux-gnu/xfce4/xfconf/xfconfd"
PANEL_HEIGHT = 30
PANEL_XML = """<?xml version="1.0" encoding="UTF-8"?>
<channel name="xfce4-panel" version="1.0">
  <property name="configver" type="int" value="2"/>
  <property name="panels" type="array">
    <value type="int" value="1"/>
    <property name="panel-1" type="empty">
      <property name="position" type="string" value="p=6;x=0;y=0"/>
      <property name="length" type="uint" value="100"/>
      <property name="position-locked" type="bool" value="true"/>
      <property name="size" type="uint" value="%d"/>
      <property name="plugin-ids" type="array">
        <value type="int" value="1"/>
        <value type="int" value="2"/>
      </property>
    </property>
  </property>
  <property name="plugins" type="empty">
    <property name="plugin-1" type="string" value="separator">
      <property name="expand" type="bool" value="true"/>
      <property name="style" type="uint" value="0"/>
    </property>
    <property name="plugin-2" type="string" value="systray">
      <property name="square-icons" type="bool" value="true"/>
    </property>
  </property>
</channel>
""" % PANEL_HEIGHT


def start_panel(d):
    config = os.path.join(d.tmp, "panel-config")
    folder = os.path.join(config, "xfce4", "xfconf", "xfce-perchannel-xml")
    os.makedirs(folder)
    with open(os.path.join(folder, "xfce4-panel.xml"), "w") as f:
        f.write(PANEL_XML)
    env = dict(d._base_env(), XDG_CONFIG_HOME=config)
    panel = Panel(d)
    # Our own settings daemon: one the bus starts would not see the folder.
    d._spawn("xfconfd", [XFCONFD], env=env)
    d.wait_for(lambda: panel.bus.name_has_owner("org.xfce.Xfconf"), timeout=30,
               what="xfconfd on the bus")
    d._spawn("panel", ["xfce4-panel", "--disable-wm-check"], env=env)
    # The watcher's name comes first; the host registers seconds later.
    d.wait_for(panel.host_registered, timeout=60, what="the panel's host")
    return panel


def icon_position(d, shot):
    """The centre of the rightmost thing drawn unlike the panel's background."""
    d.screenshot(shot)
    out = subprocess.run(["convert", shot, "-crop", "x%d+0+0" % PANEL_HEIGHT, "+repage",
                          "-depth", "8", "txt:-"], capture_output=True, text=True).stdout
    pixels = {}
    for line in out.splitlines()[1:]:
        at, _, rest = line.partition(":")
        x, y = (int(v) for v in at.split(","))
        pixels[(x, y)] = rest.split()[1] if len(rest.split()) > 1 else rest
    background = pixels[(2, PANEL_HEIGHT // 2)]
    width = max(x for x, _ in pixels) + 1
    columns = [x for x in range(width) if any(pixels[(x, y)] != background
                                              for y in range(PANEL_HEIGHT))]
    # The panel's right edge may carry a border: ignore the last few columns.
    columns = [x for x in columns if x < width - 3 and x > width // 2]
    if not columns:
        return None
    right = max(columns)
    left = right
    while left - 1 in columns:
        left -= 1
    return ((left + right) // 2, PANEL_HEIGHT // 2)


def test_left_and_right_click_in_xfce_panel(binary):
    with Desktop(faketime=None, trayer=False) as d:
        panel = start_panel(d)
        shot = os.path.join(d.tmp, "panel.png")
        empty = icon_position(d, shot)
        d.start_program(binary)
        panel.wait_for_item()

        at = d.wait_for(lambda: (lambda p: p if p != empty else None)(icon_position(d, shot)),
                        timeout=30, what="the icon drawn in the panel")

        d.click(*at)
        window = d.wait_for_window(MAIN)
        d.close_until(window, lambda: not d.find_windows(MAIN), "the window to hide")

        # The right button: the panel draws our exported menu at the icon.
        d.click(*at, button=3)
        x, y, w, h = d.wait_for(lambda: menu_geometry(d), timeout=20, what="the menu")
        # Our four items and the separator, not the panel's own menu.
        assert 60 < h < 150, (w, h)
        shot_to = os.environ.get("BV_MENU_SHOT")
        if shot_to:
            d.screenshot(shot_to)
        no_warnings(d)
        d.click(x + w // 2, y + h - 14)  # "Close program", the last item
        assert d.exit_status() == 0


def menu_geometry(d):  # a mapped window of the plug-in below the panel
    for window in d.find_windows("^wrapper-2.0$"):
        x, y, w, h = d.window_geometry(window)
        if y >= PANEL_HEIGHT and h > 40:
            return (x, y, w, h)
    return None


if __name__ == "__main__":
    run_tests()
