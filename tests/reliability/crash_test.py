#!/usr/bin/python3
"""SIGKILLs the counting program at random instants, half of them aimed at a
write, and checks the ledger and the history after every kill."""

import argparse
import os
import random
import re
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
from harness import DEVICE_IFACE, LEDGER, Desktop, counted  # noqa: E402

ENTRY = "Office"
TEMP_PREFIX = "." + LEDGER + ".tmp-"
HISTORY = "Vantrel History.csv"
# With the bytes of the minute: the modem's IP interface is the loopback.
RECORD = re.compile(rb"\d{4}-\d\d-\d\dT\d\d:\d\d[+-]\d\d:\d\d," + ENTRY.encode() +
                    rb",\d+,\d+\Z")


def ledger(office):
    """The counted entry's section among others varied on purpose: a comment
    first, an encoded name, odd blanks, a blank line ending a section, and a
    last line without a line break."""
    return (b"; kept by hand\n[Home]\nMinutes = 12 \nHours=3\nWarnHourCount=10\n\n"
            b"[%ENC%x%5D%0AMinutes%3D999]\nMinutes=7\n[" + ENTRY.encode() + b"]\n" + office +
            b"\n[\xff\xfe bytes]\nMinutes=1\n[Last]\nHours=2")


SEED_LEDGER = ledger(b"Minutes=50\nHours=7\nWarnOverTime=0\n")


def chunks(raw):
    """{section name, or None for the preamble: its bytes}."""
    result, name, start = {}, None, 0
    lines = raw.split(b"\n")
    offset = 0
    for line in lines:
        stripped = line.strip(b" \t\r")
        if stripped.startswith(b"[") and b"]" in stripped:
            result.setdefault(name, raw[start:offset])
            name, start = stripped[1:stripped.index(b"]")], offset
        offset += len(line) + 1
    result.setdefault(name, raw[start:])
    return result


def history_state(folder):
    """(minutes recorded, whether the last line is torn, sealed torn lines)."""
    try:
        with open(os.path.join(folder, HISTORY), "rb") as f:
            raw = f.read()
    except FileNotFoundError:
        return 0, False, 0
    lines = raw.split(b"\n")
    tail = lines.pop()  # what follows the last line break: empty unless torn
    if lines and lines[0] == b"time,entry,received,sent":
        lines.pop(0)
    records = sealed = 0
    for number, line in enumerate(lines, 1):
        if RECORD.match(line):
            records += 1
        elif line.endswith(b"\0"):
            sealed += 1
        else:
            raise AssertionError("history line %d is torn or wrong: %r" % (number, line))
    return records, tail != b"", sealed


def temp_files(folder):
    return {n for n in os.listdir(folder) if n.startswith(TEMP_PREFIX)}


def next_tick(path, started, rng):
    """Just around the next write: a second after the one seen (a tick a second)."""
    first = os.stat(path).st_mtime_ns
    while time.monotonic() < started + 4.0:
        if os.stat(path).st_mtime_ns != first:
            return time.monotonic() + 1.0 + rng.uniform(-0.02, 0.02)
        time.sleep(0.002)
    return time.monotonic()


def run(binary, kills, seed):
    rng = random.Random(seed)
    print("crash test: %d kills, seed %d" % (kills, seed), flush=True)
    with Desktop() as d:
        folder, path = d.data_dir(), d.data_file()
        d.seed_ledger(SEED_LEDGER)
        fixed = {k: v for k, v in chunks(SEED_LEDGER).items() if k != ENTRY.encode()}
        profile = d.add_profile(ENTRY, number="555-0100")
        device = d.add_device("modem0", "ttyUSB0", d.DEVICE_MODEM)
        # Real counters: every minute's line carries its bytes.
        d.set_property(device, DEVICE_IFACE, "IpInterface", "lo")
        d.add_active([device], profile, state=d.AC_ACTIVATED)

        total = counted(SEED_LEDGER)
        torn_tails = 0
        leftovers = set()
        mid_write = carries = 0
        for kill in range(1, kills + 1):
            aimed = kill % 2 == 0
            started = time.monotonic()
            proc = d.start_program(binary)
            if aimed:
                at = next_tick(path, started, rng)
            else:
                at = started + rng.uniform(0.0, 2.5)
            while time.monotonic() < at and proc.poll() is None:
                time.sleep(0.001)
            alive = time.monotonic() - started
            if proc.poll() is not None:
                raise AssertionError("kill %d: the program ended by itself (status %s):\n%s"
                              % (kill, proc.returncode, d.log("program")[-2000:]))
            d.kill_program()

            with open(path, "rb") as f:
                raw = f.read()
            now = counted(raw)
            for name, text in fixed.items():
                if chunks(raw).get(name) != text:
                    raise AssertionError("kill %d: section %r changed:\n%r" % (kill, name, raw))
            if now < total:
                raise AssertionError("kill %d: total went down from %d to %d" % (kill, total, now))
            if now - total > alive + 1:
                raise AssertionError("kill %d: %d minutes in %.2f s" % (kill, now - total, alive))
            recorded, torn, sealed = history_state(folder)
            gain = now - counted(SEED_LEDGER)
            if not gain - kill <= recorded <= gain:
                raise AssertionError("kill %d: %d minutes in the history, %d counted in the ledger"
                              % (kill, recorded, gain))
            if sealed > torn_tails:
                raise AssertionError("kill %d: %d sealed lines, %d torn" % (kill, sealed, torn_tails))
            torn_tails = sealed + torn
            temps = temp_files(folder)
            if len(temps) > 1:
                raise AssertionError("kill %d: temporary files pile up: %s" % (kill, sorted(temps)))
            if now > total and leftovers & temps:
                raise AssertionError("kill %d: %s survived a write" % (kill, sorted(leftovers & temps)))
            mid_write += bool(temps - leftovers)
            carries += now // 60 - total // 60
            leftovers, total = temps, now
            if kill % 20 == 0:
                print("  %d kills, total %d min, %d inside a write" % (kill, total, mid_write),
                      flush=True)

        # A last start after the last kill still counts.
        d.start_program(binary)
        before = total
        d.wait_for(lambda: counted(open(path, "rb").read()) > before, timeout=30,
                   what="counting after the last kill")
        d.stop_program()
        total = counted(open(path, "rb").read())
        if temp_files(folder):
            raise AssertionError("a temporary file outlived the last write")
        recorded, _, _ = history_state(folder)
    print("counted %d minutes across %d kills (%d carries, %d kills inside a write), seed %d"
          % (total - counted(SEED_LEDGER), kills, carries, mid_write, seed))
    print("history: %d minutes, %d behind the ledger" % (recorded, total - counted(SEED_LEDGER) - recorded))
    print("1 passed, 0 failed")


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("binary", nargs="?", default="build/brantle-vantrel")
    parser.add_argument("--kills", type=int, default=200)
    parser.add_argument("--seed", type=int, default=None)
    args = parser.parse_args()
    seed = args.seed if args.seed is not None else random.SystemRandom().randrange(1 << 31)
    run(os.path.abspath(args.binary), args.kills, seed)


if __name__ == "__main__":
    main()
