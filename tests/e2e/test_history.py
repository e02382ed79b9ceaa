#!/usr/bin/python3
"""The usage history: what counting writes, what --report makes of it, a
reset that leaves it alone, and the history window. --shot path.png keeps a
picture of the window (docs/history-window.png)."""

import json
import os
import random
import subprocess
import sys
import time
from datetime import datetime, timedelta

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from harness import HISTORY_WINDOW, REMINDER, Desktop, run_tests, settled  # noqa: E402

HISTORY = "Vantrel History.csv"
YES = (18 + 65 // 2, 80 + 23 // 2)


def count(d, device, profile, entry, at_least):
    active = d.add_active([device], profile, state=d.AC_ACTIVATED)
    d.wait_for(lambda: d.total(entry) >= at_least, timeout=60, what="%s counting" % entry)
    d.set_active_state(active, d.AC_DEACTIVATED)
    d.remove_active(device, active)
    return settled(lambda: d.total(entry))


def test_counting_report_and_reset(binary):
    # The first of a month: the reminder comes at the start and is answered
    # at the end, after the counting.
    with Desktop(faketime="@2010-06-01 10:00:00 x60") as d:
        office = d.add_profile("Office", number="555-0100")
        home = d.add_profile("Home", number="555-0199")
        device = d.add_device("modem0", "ttyUSB0", d.DEVICE_MODEM)
        d.start_program(binary)
        d.wait_for(d.tray_icons, what="the tray icon")

        at_office = count(d, device, office, "Office", 3)
        at_home = count(d, device, home, "Home", 2)
        lines = d.history_lines()
        assert lines[0] == "time,entry,received,sent", lines
        entries = [line.split(",", 1)[1] for line in lines[1:]]
        assert entries == ["Office"] * at_office + ["Home"] * at_home, lines
        assert all(line.startswith("2010-06-01T10:") for line in lines[1:]), lines

        # While the program runs, with no display.
        data = json.loads(d.report(binary, "--json"))
        assert data["month"] == "2010-06" and data["skipped_lines"] == 0, data
        sessions = [(s["entry"], s["minutes"]) for s in data["sessions"]]
        assert sessions == [("Home", at_home), ("Office", at_office)], data["sessions"]
        assert data["month_minutes"] == at_office + at_home, data
        ledger = {e["entry"]: e["total_minutes"] for e in data["ledger"]}
        assert ledger == {"Office": at_office, "Home": at_home}, ledger

        # Yes resets the ledger; the history keeps the month's minutes.
        window = d.wait_for_window(REMINDER, timeout=30)
        d.click_in(window, *YES)
        d.wait_for(lambda: d.total("Office") == 0 and d.total("Home") == 0, timeout=20,
                   what="the reset")
        data = json.loads(d.report(binary, "--json"))
        assert [e["total_minutes"] for e in data["ledger"]] == [0, 0], data["ledger"]
        assert data["month_minutes"] == at_office + at_home, data
        assert len(d.history_lines()) == 1 + at_office + at_home
        text = d.report(binary)
        assert "Office: 0 H., %d Min" % at_office in text, text
        assert d.program_running()


def seed_month(path, rng):
    """A May: Office on working days, Home most evenings; bytes from the 8th
    on, in the old two-column form before. Returns (minutes, bytes)."""
    lines = ["time,entry"]
    data = 0

    def minutes(start, count, entry, per_minute):
        nonlocal data
        out = []
        for i in range(count):
            stamp = (start + timedelta(minutes=i)).strftime("%Y-%m-%dT%H:%M+00:00,") + entry
            if start.day >= 8:
                received = rng.randrange(*per_minute)
                sent = received // rng.randrange(8, 30)
                data += received + sent
                stamp += ",%d,%d" % (received, sent)
            out.append(stamp)
        return out

    for day in range(1, 29):
        date = datetime(2010, 5, day)
        if date.weekday() < 5:
            start = date + timedelta(hours=9, minutes=rng.randrange(0, 50))
            lines += minutes(start, rng.randrange(30, 150), "Office", (200_000, 3_000_000))
        if rng.random() < 0.7:
            start = date + timedelta(hours=20, minutes=rng.randrange(0, 30))
            lines += minutes(start, rng.randrange(10, 90), "Home", (2_000_000, 20_000_000))
    with open(path, "w") as f:
        f.write("\n".join(lines) + "\n")
    return len(lines) - 1, data


def test_history_window(binary):
    shot = os.path.abspath(sys.argv[sys.argv.index("--shot") + 1]) if "--shot" in sys.argv else None
    with Desktop(faketime="@2010-05-28 22:00:00 x60", env={"TZ": "UTC"}) as d:
        os.makedirs(d.data_dir())
        total, data_bytes = seed_month(os.path.join(d.data_dir(), HISTORY), random.Random(5))
        d.add_profile("Office", number="555-0100")
        d.start_program(binary)
        window = d.open_from_menu("h", HISTORY_WINDOW)
        time.sleep(1)  # let it paint before the picture
        data = json.loads(d.report(binary, "--json"))
        assert data["month"] == "2010-05" and data["month_minutes"] == total, data["month_minutes"]
        assert data["month_received"] + data["month_sent"] == data_bytes, data
        path = shot or os.path.join(d.tmp, "history.png")
        subprocess.run(["import", "-window", str(window), path], env=d._base_env(), check=True,
                       timeout=30)
        assert os.path.getsize(path) > 0
        # The chart switched to the data per day.
        d.key("alt+d")
        time.sleep(1)
        data_path = path[:-4] + "-data.png"
        subprocess.run(["import", "-window", str(window), data_path], env=d._base_env(),
                       check=True, timeout=30)
        assert os.path.getsize(data_path) > 0
        assert d.program_running()


if __name__ == "__main__":
    run_tests()
