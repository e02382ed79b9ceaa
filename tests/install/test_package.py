#!/usr/bin/python3
"""The Debian package built by CPack: its name, control fields, files and
documentation. Usage: test_package.py <folder with the .deb> <version>"""

import gzip
import os
import re
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import layout  # noqa: E402


def field(deb, name):
    return subprocess.run(["dpkg-deb", "-f", deb, name], capture_output=True, text=True,
                          check=True).stdout.strip()


def main(folder, version):
    debs = [f for f in os.listdir(folder) if f.endswith(".deb")]
    # Named from its Package, Version and Architecture fields.
    assert debs == ["brantle-vantrel_%s_amd64.deb" % version], debs
    deb = os.path.join(folder, debs[0])

    assert field(deb, "Section") == "net"
    assert re.fullmatch(r".+ <[^@ ]+@[^@ ]+>", field(deb, "Maintainer")), field(deb, "Maintainer")
    assert len(field(deb, "Description").splitlines()) >= 3
    depends = [d.strip().split(" ")[0] for d in field(deb, "Depends").split(",")]
    for needed in ("qt6-qpa-plugins", "libqt6widgets6", "libqt6dbus6", "libc6"):
        assert needed in depends, (needed, depends)
    assert field(deb, "Recommends") == "qt6-wayland, qt6-translations-l10n"

    with tempfile.TemporaryDirectory() as tmp:
        subprocess.run(["dpkg-deb", "-x", deb, tmp], check=True)
        found = ["/" + f for f in layout.files_under(tmp)]
        assert found == layout.PACKAGED, "packaged:\n  %s\nexpected:\n  %s" % (
            "\n  ".join(found), "\n  ".join(layout.PACKAGED))
        subprocess.run(["dpkg-deb", "-e", deb, os.path.join(tmp, "DEBIAN")], check=True)
        with open(os.path.join(tmp, "DEBIAN", "conffiles")) as f:
            assert f.read().split() == ["/etc/xdg/autostart/brantle-vantrel.desktop"]

        # One version everywhere: the changelog's latest entry, the AppStream
        # data's latest release, the program itself.
        with gzip.open(os.path.join(tmp, "usr/share/doc/brantle-vantrel/changelog.gz"), "rt") as f:
            assert f.readline().startswith("brantle-vantrel (%s) " % version)
        with open(os.path.join(tmp, "usr/share/metainfo/brantle-vantrel.metainfo.xml")) as f:
            releases = re.findall(r'<release version="([^"]+)"', f.read())
        assert releases and releases[0] == version, releases
        binary = os.path.join(tmp, "usr/bin/brantle-vantrel")
        out = subprocess.run([binary, "--version"], capture_output=True, text=True, check=True)
        assert out.stdout == "brantle-vantrel %s\n" % version, out.stdout
        kind = subprocess.run(["file", "-b", binary], capture_output=True, text=True).stdout
        assert ", stripped" in kind, kind
    print("package passed")


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2])
