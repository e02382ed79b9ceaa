#!/usr/bin/python3
"""`cmake --install` into a fresh prefix lays out exactly the program, its
menu and login entries, the theme icons at their sizes, the AppStream data
and the manual page, and every name the entries use resolves there."""

import os
import re
import shutil
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import layout  # noqa: E402


def main(build_dir):
    prefix = tempfile.mkdtemp(prefix="bv-install-")
    try:
        subprocess.run(["cmake", "--install", build_dir, "--prefix", prefix], check=True,
                       stdout=subprocess.DEVNULL)
        found = layout.files_under(prefix)
        assert found == layout.INSTALLED, "installed:\n  %s\nexpected:\n  %s" % (
            "\n  ".join(found), "\n  ".join(layout.INSTALLED))

        binary = os.path.join(prefix, "bin", "brantle-vantrel")  # run below
        for size in layout.ICON_SIZES:
            png = os.path.join(prefix, "share/icons/hicolor/%dx%d/apps/brantle-vantrel.png"
                               % (size, size))
            assert layout.png_size(png) == (size, size), png

        menu = layout.desktop_entry(os.path.join(prefix, "share/applications",
                                                 "brantle-vantrel.desktop"))
        login = layout.desktop_entry(os.path.join(prefix, "etc/xdg/autostart",
                                                  "brantle-vantrel.desktop"))
        assert menu["Exec"] == "brantle-vantrel", menu["Exec"]
        assert login["Exec"] == "brantle-vantrel --autostart", login["Exec"]
        for entry in (menu, login):
            assert entry["Icon"] == "brantle-vantrel"
            assert "NoDisplay" not in entry and "Hidden" not in entry, entry

        with open(os.path.join(prefix, "share/metainfo/brantle-vantrel.metainfo.xml")) as f:
            meta = f.read()
        launchable = re.search(r'<launchable type="desktop-id">([^<]+)</launchable>', meta)
        assert launchable and os.path.exists(
            os.path.join(prefix, "share/applications", launchable.group(1))), launchable
        assert "<binary>brantle-vantrel</binary>" in meta

        # The man page names the installed version.
        version = subprocess.run([binary, "--version"], capture_output=True, text=True,
                                 check=True).stdout.split()[1]
        with open(os.path.join(prefix, "share/man/man1/brantle-vantrel.1")) as f:
            assert '"brantle-vantrel %s"' % version in f.readline()
    finally:
        shutil.rmtree(prefix, ignore_errors=True)
    print("install layout passed")


if __name__ == "__main__":
    main(os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else "build"))
