"""The files an installation lays out, relative to its prefix."""

ICON_SIZES = (16, 22, 24, 32, 48, 64, 128, 256)

INSTALLED = sorted([
    "bin/brantle-vantrel",
    "share/applications/brantle-vantrel.desktop",
    "share/metainfo/brantle-vantrel.metainfo.xml",
    "share/man/man1/brantle-vantrel.1",
    "etc/xdg/autostart/brantle-vantrel.desktop",
] + ["share/icons/hicolor/%dx%d/apps/brantle-vantrel.png" % (s, s) for s in ICON_SIZES])

# The package installs into /usr, with the login start in /etc and Debian's
# documentation added.
PACKAGED = sorted(
    ["/etc/" + f[len("etc/"):] if f.startswith("etc/") else "/usr/" + f for f in INSTALLED
     if f != "share/man/man1/brantle-vantrel.1"] + [
        "/usr/share/man/man1/brantle-vantrel.1.gz",
        "/usr/share/doc/brantle-vantrel/copyright",
        "/usr/share/doc/brantle-vantrel/changelog.gz",
        "/usr/share/lintian/overrides/brantle-vantrel",
    ])


def files_under(root):
    import os
    return sorted(os.path.relpath(os.path.join(folder, name), root)
                  for folder, _, names in os.walk(root) for name in names)


def png_size(path):
    import struct
    with open(path, "rb") as f:
        head = f.read(24)
    assert head[:8] == b"\x89PNG\r\n\x1a\n", path
    return struct.unpack(">II", head[16:24])


def desktop_entry(path):
    values = {}
    with open(path, encoding="utf-8") as f:
        for line in f:
            if "=" in line and not line.startswith("#"):
                key, value = line.rstrip("\n").split("=", 1)
                values[key] = value
    return values
