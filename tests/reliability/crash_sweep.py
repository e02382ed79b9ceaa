#!/usr/bin/python3
"""Kills the program at every step of every write, one step per start: each
file is its old bytes until its replacement's rename, the dry run's after it; a
temporary file is left only between its creation and its rename; a restart
counts on and clears it. faultinject.c numbers the calls, a dry run counts them."""

import argparse
import os
import re
import signal
import socket
import sys
import time
import types

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
from harness import (DEVICE_IFACE, FAKETIME_LIB, LEDGER, MAIN, PLANS_DIALOG,  # noqa: E402
                     REMINDER, WARNING, Desktop, HarnessError, counted, parse_strict, settled)

ENTRY = "Office"
OPTIONS = "Vantrel Options.ini"
HISTORY = "Vantrel History.csv"  # appended, not replaced
PLANS = "Vantrel Plans.ini"
FILES = (LEDGER, OPTIONS, HISTORY, PLANS)
LOCK = ".Vantrel.lock"
FIRST_OF_MONTH = "@2004-03-01 10:00:00"

# Client coordinates of what the paths click, from the windows' layouts.
UP_ARROW = (8 + 153 + 7, 48 + 78 + 5)  # the limit's up-down control, upper half
RESET = (8 + 216 + 40, 48 + 42 + 12)  # "Reset count"
DISABLE_WARNING = (8 + 6, 96 + 8)  # the overtime warning's check box
CLOSE_WARNING = (112 + 32, 128 + 11)
YES = (18 + 32, 80 + 11)
NO_NO_REMIND = (18 + 131, 112 + 11)
ALLOWANCE = (115, 44)  # the first row's allowance in the data plans dialog

# A history record of the counted profile: local time to the minute and offset.
# ...with the minute's bytes, after a history of the old two-column form.
STAMPED = re.compile(rb"^\d{4}-\d\d-\d\dT\d\d:\d\d[+-]\d\d:\d\d,%s,\d+,\d+$" % ENTRY.encode())
HISTORY_SEED = b"time,entry\n2010-05-12T09:59+00:00,Office\n"
# 2 MB used of a 1 MB plan: the first counted minute records the notice.
PLAN_HISTORY_SEED = b"time,entry,received,sent\n2010-05-10T09:59+00:00,Office,2000000,0\n"
PLANS_SEED = b"[Home]\nDataAllowanceMB=5\n[Office]\nDataAllowanceMB=1\nBillingDay=1\n"


def ledger(office):
    """The swept entry's section among others varied on purpose: a comment
    first, an encoded name, odd blanks, a blank line ending a section, and a
    last line without a line break."""
    return (b"; kept by hand\n[Home]\nMinutes = 12 \nHours=3\nWarnHourCount=10\n\n"
            b"[%ENC%x%5D%0AMinutes%3D999]\nMinutes=7\n[" + ENTRY.encode() + b"]\n" + office +
            b"\n[\xff\xfe bytes]\nMinutes=1\n[Last]\nHours=2")


def Path(name, seed, **given):
    """`prepare` brings the program to just before the write, `trigger` makes
    it; `answer` answers again a reminder that a restart shows again; not
    `armed`: counted from the process's start; `speed`: 120 is a minute in 0.5 s."""
    values = dict(prepare=None, trigger=None, armed=True, faketime=None, answer=None,
                  options=None, history=None, plans=None, speed=120)
    values.update(given)
    return types.SimpleNamespace(name=name, seed=seed, **values)


def connect_for_one_tick(sweep, proc):
    sweep.connect()
    sweep.d.wait_for(lambda: sweep.renames_logged(LEDGER) or proc.poll() is not None,
                     timeout=30, interval=0.01, what="a counted minute")
    sweep.disconnect()


def show_main(sweep, proc):
    # What a second start of the program sends to the running one.
    with socket.socket(socket.AF_UNIX, socket.SOCK_DGRAM) as s:
        s.sendto(b"show", os.path.join(sweep.folder, ".Vantrel.socket"))
    return sweep.d.wait_for_window(MAIN, timeout=30)


def clicker(point, window=MAIN):
    def trigger(sweep, proc):
        target = sweep.d.wait_for_window(window, timeout=30)
        sweep.d.click_in(target, *point)
    return trigger


def pixels(sweep, window, x, y):  # around (x, y), the pointer away
    sweep.d.xdotool("mousemove", 0, 0)
    return sweep.d.image(window, x - 5, y - 5, 10, 10)


def overtime_warning(sweep, proc):
    sweep.connect()
    warning = sweep.d.wait_for_window(WARNING, timeout=30)
    sweep.disconnect()
    # The box is ticked when its picture changes; a click on a window that
    # has only just appeared can get lost.
    clear = pixels(sweep, warning, *DISABLE_WARNING)
    for _ in range(5):
        sweep.d.click_in(warning, *DISABLE_WARNING)
        try:
            sweep.d.wait_for(lambda: pixels(sweep, warning, *DISABLE_WARNING) != clear,
                             timeout=2, what="the box ticked")
            return
        except HarnessError:
            pass
    raise AssertionError("the warning's box could not be ticked")


def close_warning(sweep, proc):
    warning = sweep.d.find_windows(WARNING)[0]
    sweep.d.click_in(warning, *CLOSE_WARNING)


def set_allowance(sweep, proc):
    sweep.d.click_in(sweep.d.wait_for_window(PLANS_DIALOG, timeout=30), *ALLOWANCE)
    sweep.d.xdotool("type", "2")


def wait_for_reminder(sweep, proc):
    sweep.d.wait_for_window(REMINDER, timeout=30)


# The seeds store what the main window shows before its first refresh (no
# limit, the warning off), so that the start itself writes nothing back.
# Where the program must know the profile, the clock runs 60 times as fast:
# faster, its reading of NetworkManager's answers would time out.
PATHS = [
    Path("lock file", ledger(b"Minutes=50\nWarnOverTime=0\n"), armed=False),
    Path("counted minute", ledger(b"Minutes=50\nHours=7\nWarnOverTime=0\n"),
         history=HISTORY_SEED, trigger=connect_for_one_tick),
    Path("data plan notice", ledger(b"Minutes=50\nHours=7\nWarnOverTime=0\n"),
         history=PLAN_HISTORY_SEED, plans=PLANS_SEED, trigger=connect_for_one_tick),
    Path("set an allowance", ledger(b"Minutes=5\nWarnOverTime=0\n"), plans=PLANS_SEED,
         prepare=lambda sweep, proc: sweep.d.open_from_menu("d", PLANS_DIALOG),
         trigger=set_allowance, speed=60),
    Path("carry", ledger(b"Minutes=59\nHours=7\nWarnOverTime=0\n"),
         trigger=connect_for_one_tick),
    Path("limit edit", ledger(b"Minutes=5\nWarnHourCount=0\nWarnOverTime=0\n"),
         prepare=show_main, trigger=clicker(UP_ARROW), speed=60),
    Path("overtime warning's close",
         ledger(b"Minutes=0\nHours=2\nWarnHourCount=2\nWarnOverTime=1\n"),
         prepare=overtime_warning, trigger=close_warning, speed=60),
    Path("Reset count", ledger(b"Minutes=5\nHours=9\nWarnOverTime=0\n"), prepare=show_main,
         trigger=clicker(RESET), speed=60),
    Path("first-of-month Yes", ledger(b"Minutes=5\nHours=9\nWarnOverTime=0\n"),
         options=b"[General]\nNotify2007=0\n", faketime=FIRST_OF_MONTH,
         prepare=wait_for_reminder, trigger=clicker(YES, REMINDER), answer=YES),
    Path("first-of-month No", ledger(b"Minutes=5\nHours=9\nWarnOverTime=0\n"),
         faketime=FIRST_OF_MONTH, prepare=wait_for_reminder,
         trigger=clicker(NO_NO_REMIND, REMINDER), answer=NO_NO_REMIND),
]


class Calls:
    """The injector's log: [(n, call, path)]."""

    def __init__(self, path):
        self.entries = []
        try:
            with open(path) as f:
                for line in f:
                    n, call, rest = line.rstrip("\n").split(" ", 2)
                    self.entries.append((int(n), call, re.sub(r" (kill|torn)$", "", rest)))
        except FileNotFoundError:
            pass

    def committed_at(self, name):
        """The rename of a file's replacement, or an appended file's first write."""
        for n, call, path in self.entries:
            if call in ("rename", "write") and os.path.basename(path) == name:
                return n
        return None

    def describe(self):
        return " ".join(call if not path.endswith(("/", "brantle-vantrel")) else call + "(folder)"
                        for _, call, path in self.entries)


def check_order(calls, folder):
    """What a power cut, unlike a kill, needs: a replacement writes and flushes
    its temporary file, renames it over the file and flushes the folder, all
    before the next one begins."""
    flushed = {}  # temporary file -> flushed since its last write
    unflushed_folder = None  # a rename whose folder is not flushed yet
    for n, call, path in calls.entries:
        name = os.path.basename(path)
        if path.rstrip("/") == folder.rstrip("/"):
            if call in ("fsync", "fdatasync"):
                unflushed_folder = None
        elif ".tmp-" in name:
            if call == "open" and unflushed_folder:
                raise AssertionError("call %d: a write began before the folder was flushed "
                                     "after %s" % (n, unflushed_folder))
            flushed[name] = call in ("fsync", "fdatasync")
        elif call == "rename":
            temps = [t for t in flushed if t.startswith("." + name + ".tmp-")]
            if not temps or not all(flushed.pop(t) for t in temps):
                raise AssertionError("call %d: %s replaced by no flushed temporary file" % (n, name))
            unflushed_folder = name
    if unflushed_folder:
        raise AssertionError("the folder was never flushed after %s" % unflushed_folder)


class Sweep:
    def __init__(self, d, binary, injector, torn):
        self.d = d
        self.binary = binary
        self.injector = injector
        self.torn = torn
        self.folder = d.data_dir()
        self.arm = os.path.join(d.tmp, "arm")
        self.log = os.path.join(d.tmp, "calls.log")
        self.profile = d.add_profile(ENTRY, number="555-0100")
        self.device = d.add_device("modem0", "ttyUSB0", d.DEVICE_MODEM)
        # Real counters: the counted minute's line carries its bytes.
        d.set_property(self.device, DEVICE_IFACE, "IpInterface", "lo")
        self.active = None

    def connect(self):
        if self.active is None:
            self.active = self.d.add_active([self.device], self.profile, state=self.d.AC_ACTIVATED)

    def disconnect(self):
        if self.active is not None:
            self.d.remove_active(self.device, self.active)
            self.active = None

    def renames_logged(self, name):
        return any(call == "rename" and os.path.basename(path) == name
                   for _, call, path in Calls(self.log).entries)

    def read(self, name):
        return self.d.read_file(name)

    def temps(self):
        return sorted(n for n in os.listdir(self.folder) if ".tmp-" in n)

    def seed(self, path):
        if os.path.isdir(self.folder):
            for name in os.listdir(self.folder):
                os.unlink(os.path.join(self.folder, name))
        else:
            os.makedirs(self.folder)
        for name, data in ((LEDGER, path.seed), (OPTIONS, path.options),
                           (HISTORY, path.history), (PLANS, path.plans)):
            if data is not None:
                with open(os.path.join(self.folder, name), "wb") as f:
                    f.write(data)
        for name in (self.arm, self.log):
            if os.path.exists(name):
                os.unlink(name)

    def start(self, path, kill_at=None, speed=None, wait=True):
        self.d.faketime = "%s x%d" % (path.faketime or "@2010-05-12 10:00:00",
                                     speed or path.speed)
        self.d.extra_env = {}
        if kill_at is not None:
            self.d.extra_env = {
                "LD_PRELOAD": self.injector + " " + FAKETIME_LIB,
                "BV_FI_DIR": self.folder,
                "BV_FI_KILL_AT": str(kill_at),
                "BV_FI_LOG": self.log,
                "BV_FI_TORN": "1" if self.torn else "0",
            }
            if path.armed:
                self.d.extra_env["BV_FI_ARM"] = self.arm
        proc = self.d.start_program(self.binary)
        if wait:
            # The lock names this process once it has been taken: the killed
            # copy's icon may linger in the panel a moment longer.
            self.d.wait_for(lambda: proc.poll() is not None or
                            (self.d.lock_pid() == proc.pid and self.d.tray_icons()),
                            timeout=30, what="the program to start")
        return proc

    def stop(self):
        self.d.stop_program()
        self.disconnect()

    def stable_log(self):  # no call logged for a second
        settled(lambda: os.path.getsize(self.log) if os.path.exists(self.log) else 0, 1.0, 30)
        return Calls(self.log)

    def run_path(self, path, kill_at):  # returns (proc, the files before)
        self.seed(path)
        proc = self.start(path, kill_at)
        if path.prepare:
            path.prepare(self, proc)
        old = {name: self.read(name) for name in FILES}
        if path.armed:
            open(self.arm, "w").close()
        if path.trigger is connect_for_one_tick:
            path.trigger(self, proc)
        elif path.trigger:
            # A click on a window just mapped can get lost; a user would click again.
            for _ in range(3):
                path.trigger(self, proc)
                try:
                    self.d.wait_for(lambda: proc.poll() is not None or Calls(self.log).entries,
                                    timeout=3, what="the click to take")
                    break
                except HarnessError:
                    pass
        return proc, old

    def dry_run(self, path):  # the calls the path makes and the files it leaves
        for _ in range(3):
            proc, old = self.run_path(path, 0)
            calls = self.stable_log()
            new = {name: self.read(name) for name in FILES}
            self.stop()
            if not path.armed:
                calls.entries = [e for e in calls.entries if os.path.basename(e[2]) == LOCK]
            # A tick may slip in before the connection is gone, a click may
            # get lost: then again.
            one_tick = path.trigger is not connect_for_one_tick or \
                counted(new[LEDGER]) == counted(old[LEDGER]) + 1
            if calls.entries and one_tick and (new != old or not path.armed):
                check_order(calls, self.folder)
                return calls, old, new
        raise AssertionError("%s: no clean dry run: %s" % (path.name, calls.describe()))

    def point(self, path, n, calls, old, new):
        proc, before = self.run_path(path, n)
        if before != old:
            return False  # the preparation raced a tick; the caller tries again
        if proc.poll() is None and not Calls(self.log).entries:
            return False  # the click did not take, e.g. the profile list came up empty
        try:
            proc.wait(30)
        except Exception:
            shot = os.path.join(os.environ.get("TMPDIR", "/tmp"), "crash_sweep_failure.png")
            self.d.screenshot(shot)
            raise AssertionError("%s, call %d: the program was not killed (screen: %s)" % (
                path.name, n, shot))
        if proc.returncode != -signal.SIGKILL:
            raise AssertionError("%s, call %d: the program ended with %s" % (path.name, n, proc.returncode))
        self.d.kill_program()
        self.disconnect()

        after = {}
        for name in FILES:
            committed = calls.committed_at(name)
            expected = new[name] if committed is not None and committed < n else old[name]
            if committed == n and self.torn and calls.entries[n - 1][1] == "write":
                # Half of the appended bytes.
                added = new[name][len(old[name] or b""):]
                expected = (old[name] or b"") + added[:len(added) // 2]
            after[name] = self.read(name)
            opened = any(call == "open" and os.path.basename(p) == name
                         for _, call, p in calls.entries[:n - 1])
            if expected is None and after[name] == b"" and opened:
                pass  # an appended file made, its first write not yet done
            elif after[name] != expected:
                raise AssertionError("%s, call %d (%s): %s is\n%r\nexpected\n%r" % (
                    path.name, n, calls.entries[n - 1][1], name, after[name], expected))
            if after[name] is not None and name != HISTORY:
                parse_strict(after[name])
        opened = [e for e in calls.entries[:n - 1] if e[1] == "open" and ".tmp-" in e[2]]
        renamed = [e for e in calls.entries[:n - 1] if e[1] == "rename"]
        pending = len(opened) - len(renamed)
        temps = self.temps()
        if len(temps) != pending:
            raise AssertionError("%s, call %d: temporary files %s, expected %d" % (
                path.name, n, temps, pending))

        # The restart counts on, and the next write removes the temporary file.
        self.connect()
        proc = self.start(path, speed=120, wait=False)
        if path.answer and self.read(OPTIONS) != new[OPTIONS]:
            reminder = self.d.wait_for_window(REMINDER, timeout=30)
            self.d.click_in(reminder, *path.answer)
            self.d.wait_for(lambda: self.read(OPTIONS) == new[OPTIONS], timeout=30,
                            what="the answer again")
        base = counted(self.read(LEDGER))
        self.d.wait_for(lambda: counted(self.read(LEDGER)) > base or proc.poll() is not None,
                        timeout=30, what="counting after the restart")
        if proc.poll() is not None:
            raise AssertionError("%s, call %d: the restart ended:\n%s" % (
                path.name, n, self.d.log("program")[-2000:]))
        self.d.wait_for(lambda: not self.temps(), timeout=10,
                        what="the temporary files %s to go" % self.temps())
        if self.read(HISTORY) is not None:
            # The minute counted after the restart ends the history, whole.
            self.d.wait_for(lambda: self.read(HISTORY).endswith(b"\n") and
                            STAMPED.match(self.read(HISTORY).split(b"\n")[-2]),
                            timeout=10, what="a whole record at the history's end")
        self.stop()
        return True


def sweep_path(sweep, path):
    calls, old, new = sweep.dry_run(path)
    total = len(calls.entries)
    print("  %s: %d calls: %s" % (path.name, total, calls.describe()), flush=True)
    for n in range(1, total + 1):
        for _ in range(3):
            if sweep.point(path, n, calls, old, new):
                break
            sweep.stop()
        else:
            raise AssertionError("%s, call %d: the preparation never matched the dry run" % (path.name, n))
    return total


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("binary")
    parser.add_argument("injector")
    parser.add_argument("--torn", action="store_true")
    parser.add_argument("--repeat", type=int, default=1)
    parser.add_argument("--path", action="append", help="sweep only this path (repeatable)")
    args = parser.parse_args()
    paths = [p for p in PATHS if not args.path or p.name in args.path]
    if not paths:
        sys.exit("no such path; the paths are: " + ", ".join(p.name for p in PATHS))
    started = time.monotonic()
    points = 0
    with Desktop() as d:
        sweep = Sweep(d, os.path.abspath(args.binary), os.path.abspath(args.injector), args.torn)
        for round_ in range(args.repeat):
            for path in paths:
                points += sweep_path(sweep, path)
    print("swept %d injection points on %d paths%s in %.0f s" % (
        points, len(paths) * args.repeat, " (torn writes)" if args.torn else "",
        time.monotonic() - started))
    print("1 passed, 0 failed")


if __name__ == "__main__":
    main()
