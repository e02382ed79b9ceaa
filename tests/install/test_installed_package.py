#!/usr/bin/python3
"""The program as the package installs it, extracted into a temporary root:
it docks, its window carries the theme icon's sizes, and Close program ends it.
Usage: test_installed_package.py <folder with the .deb>"""

import glob
import os
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "e2e"))
from harness import MAIN, Desktop  # noqa: E402


def icon_sizes(d, window):  # of a window's _NET_WM_ICON
    data = d.x_property(window, "_NET_WM_ICON") or []
    sizes, i = [], 0
    while i + 2 <= len(data):
        w, h = data[i], data[i + 1]
        sizes.append((w, h))
        i += 2 + w * h
    return sizes


def main(folder):
    (deb,) = glob.glob(os.path.join(folder, "brantle-vantrel_*.deb"))
    with tempfile.TemporaryDirectory() as root:
        subprocess.run(["dpkg-deb", "-x", deb, root], check=True)
        binary = os.path.join(root, "usr", "bin", "brantle-vantrel")
        with Desktop() as d:
            d.add_profile("Office", number="555-0100")
            d.start_program(binary)
            d.wait_for(d.tray_icons, what="the tray icon")
            window = d.open_from_tray(MAIN)
            sizes = d.wait_for(lambda: icon_sizes(d, window), what="the window's icon")
            assert (256, 256) in sizes and (16, 16) in sizes, sizes
            assert d.close_from_menu() == 0
    print("installed package passed")


if __name__ == "__main__":
    main(sys.argv[1])
