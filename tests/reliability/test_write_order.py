#!/usr/bin/python3
"""A power cut is not a crash: what is not flushed may vanish. Under strace,
through the program's writes, every replacement must write its temporary
file, fsync it, rename it over the file and fsync the folder, in that order,
before the next write begins."""

import glob
import os
import re
import sys

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "e2e"))
sys.path.insert(0, HERE)
from crash_sweep import (LEDGER, MAIN, OPTIONS, RESET, REMINDER, UP_ARROW, WARN_BOX,  # noqa: E402
                         YES, ledger)
from harness import Desktop, run_tests  # noqa: E402

CALL = re.compile(r'^(\w+)\((.*)\)\s+= (-?\d+)')
STRING = re.compile(r'"((?:[^"\\]|\\.)*)"')


def check_trace(lines, folder):  # one thread's calls; returns the files replaced
    fds = {}  # fd -> path
    written = {}  # temporary path -> flushed since its last write
    replaced = []
    unflushed_folder = None  # a rename whose folder is not flushed yet
    for line in lines:
        m = CALL.match(line)
        if not m:
            continue
        call, args, result = m.group(1), m.group(2), int(m.group(3))
        paths = STRING.findall(args)
        if call in ("open", "openat") and result >= 0 and paths:
            fds[result] = paths[0]
            if ".tmp-" in paths[0] and "O_CREAT" in args:
                if unflushed_folder:
                    raise AssertionError("a new write began before the folder was flushed after %s"
                                  % unflushed_folder)
                written[paths[0]] = False
        elif call == "write" and result > 0:
            path = fds.get(int(args.split(",", 1)[0]))
            if path in written:
                written[path] = False
        elif call in ("fsync", "fdatasync") and result == 0:
            path = fds.get(int(args))
            if path in written:
                written[path] = True
            elif path == folder:
                unflushed_folder = None
        elif call in ("rename", "renameat", "renameat2") and len(paths) == 2 and os.path.dirname(paths[1]) == folder:
            if paths[0] not in written:
                raise AssertionError("%s renamed from %s, which was not written as a temporary file"
                              % (paths[1], paths[0]))
            if not written.pop(paths[0]):
                raise AssertionError("%s renamed over %s before it was flushed" % (paths[0], paths[1]))
            if result == 0:
                replaced.append(os.path.basename(paths[1]))
                unflushed_folder = paths[1]
    if unflushed_folder:
        raise AssertionError("the folder was never flushed after %s" % unflushed_folder)
    return replaced


def test_write_order(binary):
    with Desktop(faketime="@2004-03-01 10:00:00 x60") as d:
        folder = d.data_dir()
        os.makedirs(folder)
        with open(os.path.join(folder, LEDGER), "wb") as f:
            f.write(ledger(b"Minutes=59\nHours=7\nWarnOverTime=0\n"))
        profile = d.add_profile("Office", number="555-0100")
        device = d.add_device("modem0", "ttyUSB0", d.DEVICE_MODEM)
        prefix = os.path.join(d.tmp, "trace")
        # -ff: one file per thread, so no call is split across lines.
        proc = d.start_program("strace", ["-ff", "-qq", "-s", "8", "-o", prefix,
                                          "-e", "trace=%file,write,fsync,fdatasync", binary])

        def minutes():
            return d.ledger().get("Office", {}).get("Minutes")

        # A carry and a counted minute, then Yes.
        reminder = d.wait_for_window(REMINDER, timeout=60)
        active = d.add_active([device], profile, state=d.AC_ACTIVATED)
        d.wait_for(lambda: minutes() == "1", timeout=60, what="a carry and a minute")
        d.remove_active(device, active)
        d.click_in(reminder, *YES)
        d.wait_for(lambda: minutes() == "0", timeout=30, what="the reset of all entries")

        # The main window's writes: the limit's arrow, the warning switch, Reset count.
        main_window = d.open_from_tray(MAIN)
        for point, done in ((UP_ARROW, lambda: d.ledger()["Office"].get("WarnHourCount") == "1"),
                            (WARN_BOX, lambda: d.ledger()["Office"].get("WarnOverTime") == "1")):
            d.click_in(main_window, *point)
            d.wait_for(done, timeout=30, what="the click's write")
        # The count is 0 already: the new file shows by its inode.
        inode = os.stat(os.path.join(folder, LEDGER)).st_ino
        d.click_in(main_window, *RESET)
        d.wait_for(lambda: os.stat(os.path.join(folder, LEDGER)).st_ino != inode, timeout=30,
                   what="Reset count")
        d.stop_program()
        proc.wait(30)

        replaced = []
        for trace in sorted(glob.glob(prefix + ".*")):
            with open(trace, errors="replace") as f:
                replaced += check_trace(f.read().splitlines(), folder)
    counts = {name: replaced.count(name) for name in (LEDGER, OPTIONS)}
    # carry, minute, Yes's reset, limit, switch, Reset count: at least six.
    if counts[LEDGER] < 6 or counts[OPTIONS] < 1:
        raise AssertionError("too few replacements seen: %s" % counts)


if __name__ == "__main__":
    run_tests(test_write_order)
