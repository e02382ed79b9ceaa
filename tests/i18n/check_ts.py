#!/usr/bin/python3
"""Fails when a translation is missing or stale: lupdate is run over the
sources into copies of translations/*.ts (the tree's files stay as they are),
and every message must then be finished, none vanished or obsolete. A
translation keeps its source's %1..%n, its leading and trailing blanks and
line breaks, and an accelerator where the source has one.
Usage: check_ts.py LUPDATE SOURCE_DIR"""

import glob
import os
import re
import shutil
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ET


def problems(ts):
    for context in ET.parse(ts).getroot().iter("context"):
        name = context.findtext("name")
        for m in context.iter("message"):
            source = m.findtext("source") or ""
            t = m.find("translation")
            text = t.text or ""
            where = "%s: %s %r" % (os.path.basename(ts), name, source)
            kind = t.get("type")
            if kind:
                yield "%s is %s" % (where, kind)
            elif sorted(re.findall(r"%\d", source)) != sorted(re.findall(r"%\d", text)):
                yield "%s: placeholders differ in %r" % (where, text)
            elif (re.match(r"\s*", source).group() != re.match(r"\s*", text).group()
                  or re.search(r"\s*$", source).group() != re.search(r"\s*$", text).group()):
                yield "%s: leading or trailing blanks differ in %r" % (where, text)
            elif ("&" in source.replace("&&", "")) != ("&" in text.replace("&&", "")):
                yield "%s: accelerator differs in %r" % (where, text)


def main():
    lupdate, root = sys.argv[1], sys.argv[2]
    files = sorted(glob.glob(os.path.join(root, "translations", "*.ts")))
    assert files, "no .ts files"
    found = []
    with tempfile.TemporaryDirectory() as tmp:
        copies = []
        for f in files:
            copies.append(os.path.join(tmp, os.path.basename(f)))
            shutil.copy(f, copies[-1])
        subprocess.run([lupdate, "-silent", "-locations", "none", "-extensions", "cpp,h", "-I", ".",
                        "ui", "accounting", "-ts"] + copies, cwd=root, check=True)
        for ts in copies:
            found.extend(problems(ts))
    for p in found:
        print(p)
    print("%d .ts files, %d problems" % (len(files), len(found)))
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main())
