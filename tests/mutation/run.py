#!/usr/bin/python3
"""Mutation runner: do the fast tests notice a one-line fault in the logic?

Each mutant, found by a snippet of its line (in its own file, else anywhere in
the searched folders; "n.a." when gone), is written, build-mutation/ rebuilt
and the fast tests run: failing tests kill it. The source is always restored.
"""
import argparse
import json
import re
import signal
import subprocess
import sys
import time
from pathlib import Path

ROOT = Path(__file__).resolve().parents[2]
BUILD = ROOT / "build-mutation"
PENDING = BUILD / "mutation-pending.json"  # a file left mutated by a killed run
SEARCHED = ("accounting", "connection", "platform", "ui")
SLOW_LABELS = "e2e|reliability|install|package"

# (file, snippet, replacement, what a user would suffer). A snippet that
# starts with blanks must start its line.
MUTANTS = [
    # The ledger's counting.
    ("accounting/unitUtils.cpp", "if (minutes >= 60)", "if (minutes > 60)",
     "the 60th minute is stored, not carried into an hour"),
    ("accounting/unitUtils.cpp", "if (ini.LoadNumber(section, kMinutes, 0) >= 60)",
     "if (ini.LoadNumber(section, kMinutes, 0) > 60)", "a stored 60 minutes is never carried"),
    ("accounting/unitUtils.cpp", "ini.StoreTexts(section, {{kMinutes, IntToStr(0)},",
     "ini.StoreTexts(section, {{kMinutes, IntToStr(1)},", "the carry leaves a minute behind"),
    ("accounting/unitUtils.cpp", "return value == std::numeric_limits<std::int32_t>::max() ? value : value + 1;",
     "return value + 1;", "a count at the top of the range wraps negative"),
    ("accounting/unitUtils.cpp",
     "ini.StoreTexts(section, {{kHours, IntToStr(0)}, {kMinutes, IntToStr(0)}});",
     "ini.StoreTexts(section, {{kHours, IntToStr(0)}});", "Reset count keeps the minutes"),
    ("accounting/unitUtils.cpp",
     "ini.StoreInEverySection({{kHours, IntToStr(0)}, {kMinutes, IntToStr(0)}});",
     "ini.StoreInEverySection({{kHours, IntToStr(0)}});", "the monthly reset keeps the minutes"),
    # The overtime rule, the limit and the first of the month.
    ("accounting/Statistics.cpp", "if (hours < limit)", "if (hours <= limit)",
     "no warning at exactly the limit"),
    ("accounting/Statistics.cpp", "if (limit <= 0)", "if (limit < 0)",
     "a limit of 0 warns at once"),
    ("accounting/Statistics.cpp", "if (!data.LoadFlag(section, kWarnOverTime, true))",
     "if (!data.LoadFlag(section, kWarnOverTime, false))", "no warning without the switch's key"),
    ("accounting/Statistics.cpp",
     "view.setWarnOverTimeChecked(data.LoadFlag(section, kWarnOverTime, true));",
     "view.setWarnOverTimeChecked(data.LoadFlag(section, kWarnOverTime, false));",
     "the box shows warnings off while they come"),
    ("accounting/Statistics.cpp", "std::clamp<std::int32_t>(stored, 0, kMaxWarnLimit)",
     "std::clamp<std::int32_t>(stored, 0, 65535)", "a large limit shows cut to 16 bits"),
    ("accounting/Statistics.cpp", "if (today.day() != 1)", "if (today.day() != 2)",
     "the reminder comes on the 2nd"),
    ("accounting/Statistics.cpp", "if (!OptionsIni()->LoadFlag(kGeneral, key.toStdString(), true))",
     "if (!OptionsIni()->LoadFlag(kGeneral, key.toStdString(), false))",
     "the reminder never comes"),
    # INI numbers, reading and writing.
    ("accounting/IniFile.cpp", ": negative ? 0x80000000ull", ": negative ? 0x7FFFFFFFull",
     "the lowest number reads as the default"),
    ("accounting/IniFile.cpp", "if (magnitude > limit)", "if (magnitude >= limit)",
     "the highest number reads as the default"),
    ("accounting/IniParser.cpp", "return std::nullopt; // only the first matching section counts",
     "continue;", "a repeated section's key shadows the first"),
    ("accounting/IniParser.cpp",
     "return p.kind == Parsed::Section && p.nameComplete && equalsIgnoringCase(p.name, section);",
     "return p.kind == Parsed::Section && p.nameComplete && p.name == section;",
     "a section in other letter case is not found"),
    ("accounting/IniParser.cpp", "        s.remove_suffix(1);", "        break;",
     "trailing blanks stay on names and values"),
    ("accounting/IniParser.cpp", "if (t[i] == ';') {", "if (t[i] == '#') {",
     "a commented-out key is read"),
    ("accounting/IniParser.cpp", "edit.resumeAt = line.contentEnd;", "edit.resumeAt = line.end;",
     "storing a value joins the next line to it"),
    ("accounting/IniParser.cpp", "const int hi = i + 2 < stored.size() ?",
     "const int hi = i + 3 < stored.size() ?", "an encoded name ending in %XX is lost"),
    ("accounting/IniParser.cpp", "(name.front() == '[' || name.front() == ';')",
     "(name.front() == '[')", "a key starting with ';' is written as a comment"),
    ("accounting/IniParser.cpp", "if (text.substr(0, kBom.size()) == kBom) {", "if (false) {",
     "a file saved with a BOM loses its first section"),
    # The usage history.
    ("accounting/History.cpp", "gap >= 0 && gap <= 2", "gap >= 0 && gap <= 1",
     "a late minute tick splits a session"),
    ("accounting/History.cpp", "&& m_openMonth == key)", ")",
     "a session runs across the month's end"),
    ("accounting/History.cpp", "return m == 2 && isLeap(y) ? 29 : kDays[m - 1];",
     "return kDays[m - 1];", "29 February is read as a bad record"),
    ("accounting/History.cpp", "s.hour > 23", "s.hour > 24", "hour 24 is accepted"),
    # The monitor.
    ("connection/ZorvRasConnect.cpp", "if (m_connStatus != r.group)", "if (false)",
     "OnConnectionStatus fires only once per run"),
    ("connection/ZorvRasConnect.cpp", "const bool entered = m_connStatusCount == 1;",
     "const bool entered = m_connStatusCount == 2;", "OnConnectionStatus comes a poll late"),
    ("connection/ZorvRasConnect.cpp", "if (m_changeListener && settled && !m_changePending)",
     "if (m_changeListener && settled)", "a change during a handler is lost to the parking"),
    ("connection/ZorvRasConnect.cpp", "if (!m_doTimer || m_timer->isActive())",
     "if (m_timer->isActive())", "a change restarts a timer that was switched off"),
    ("connection/ZorvRasConnect.cpp", "const bool settled = !entered && !m_statusChanged &&",
     "const bool settled = !m_statusChanged &&", "parks right after a status was entered"),
    ("connection/ZorvRasConnect.cpp", "if (m_availableEntries.at(i) == m_connectedEntry)",
     "if (m_availableEntries.at(i) != m_connectedEntry)", "the wrong entry's number"),
    ("connection/ZorvRasConnect.cpp", "        m_isConnected = false;\n        m_connectedEntry.clear();",
     "        m_connectedEntry.clear();", "still connected after the connection is gone"),
    ("connection/ZorvRasConnect.cpp", "const bool found = result == SUCCESS && count > 0;",
     "const bool found = result == SUCCESS;", "no connection reads as a nameless one"),
    # NetworkManager.
    ("platform/networkmanager/NmMapping.cpp", "    case AcDeactivating:\n", "",
     "a deactivating connection counts on"),
    ("platform/networkmanager/NmMapping.cpp", "case 60: // need-auth", "case 61: // need-auth",
     "authentication shows as opening the port"),
    ("platform/networkmanager/NmMapping.cpp", "case 120: // failed", "case 121: // failed",
     "a failed device shows as opening the port"),
    ("platform/networkmanager/NmMapping.cpp",
     "& 0xC0) == 0x80)", "& 0xC0) == 0x40)", "a long name is cut inside a character"),
    ("platform/networkmanager/NmMapping.cpp", "|| connectionType == QLatin1String(\"wireguard\")",
     "", "a WireGuard profile is not a VPN"),
    ("platform/networkmanager/NmRetry.cpp", "m_next = std::min(m_next * 2, m_most);",
     "m_next = m_next * 2;", "the retry delay grows without bound"),
    ("platform/networkmanager/NmValues.cpp", "if (ok && n >= 0 &&", "if (ok &&",
     "a negative number from the bus wraps to a huge one"),
    # The window, its controls and the tile.
    ("ui/widgets/ryxTile.cpp", "for (int x = 0; x < width(); x += w)",
     "for (int x = 0; x + w < width(); x += w)", "the last, partial tile of a row is not drawn"),
    ("ui/widgets/ryxTile.cpp", "setGeometry(parentWidget()->contentsRect());",
     "setGeometry(parentWidget()->rect());", "the tile covers the group box's frame"),
    ("ui/widgets/ryxTile.cpp", "image.pixel(0, image.height() - 1)", "image.pixel(0, 0)",
     "the see-through colour is taken from the wrong corner"),
    ("ui/widgets/UpDown.cpp", "m_pos = static_cast<std::int16_t>(std::clamp(value, m_min, m_max));",
     "m_pos = static_cast<std::int16_t>(value);", "the up-down leaves its range"),
    ("ui/unitMain.cpp", "if (c < QLatin1Char('0') || c > QLatin1Char('9'))",
     "if (c < QLatin1Char('0') || c >= QLatin1Char('9'))", "the digit 9 cannot be typed"),
    ("ui/unitMain.cpp", "if (ini.LoadNumber(section, kWarnHourCount, 0) != position)", "if (true)",
     "every start writes the ledger"),
    ("ui/unitMain.cpp", "    CheckOverTime(*this, dataIni());", "    ;",
     "the overtime warning never comes"),
    ("ui/unitMain.cpp", "        SelectEntry(Sender->ConnectedEntry());", "        ;",
     "the window does not follow the connected entry"),
    ("ui/unitMain.cpp", "if (!NotificationAreaAvailable() || !TrayIcon())",
     "if (!NotificationAreaAvailable())", "closing the window without an icon leaves it unreachable"),
    ("ui/unitOvertimeWarning.cpp", "!chkDisableWarning->isChecked());",
     "chkDisableWarning->isChecked());", "closing the warning switches warnings off"),
    ("ui/unit1st_of_Month_Notification.cpp",
     "answer([this] { StoreReminderAnswer(m_reminderKey, true); });",
     "answer([this] { StoreReminderAnswer(m_reminderKey, false); });",
     "\"remind me\" never reminds again"),
]


def find(mutant):
    """(path, text, pattern) of the mutant's one place, or None: its own file, else any."""
    name, snippet = mutant[:2]
    pattern = re.compile(("(?m)^" if snippet[:1].isspace() else "") + re.escape(snippet))
    everywhere = [p for folder in SEARCHED for p in sorted((ROOT / folder).rglob("*"))
                  if p.suffix in (".cpp", ".h")]
    for paths in ([ROOT / name], everywhere):
        hits = []
        for path in paths:
            if path.is_file():
                text = path.read_text(encoding="utf-8", errors="surrogateescape")
                hits += [(path, text)] * len(pattern.findall(text))
        if len(hits) == 1:
            return (*hits[0], pattern)
    return None


def apply(mutant):
    """(path, original text) with the mutant written, or None when it does not apply."""
    found = find(mutant)
    if found is None:
        return None
    path, text, pattern = found
    PENDING.write_text(json.dumps({"path": str(path), "text": text}))
    path.write_text(pattern.sub(lambda _: mutant[2], text, count=1), encoding="utf-8",
                    errors="surrogateescape")
    return path, text


def restore(path, text):
    path.write_text(text, encoding="utf-8", errors="surrogateescape")
    PENDING.unlink(missing_ok=True)


def run(cmd, log):
    with open(log, "w") as out:
        return subprocess.run(cmd, stdout=out, stderr=subprocess.STDOUT, cwd=ROOT).returncode


def build(jobs):
    if not (BUILD / "build.ninja").exists() and run(
        ["cmake", "-S", ROOT, "-B", BUILD, "-G", "Ninja", "-DCMAKE_CXX_COMPILER_LAUNCHER=ccache",
         "-DCMAKE_C_COMPILER_LAUNCHER=ccache"], BUILD / "mutation-configure.log"):
        sys.exit("configuring build-mutation failed")
    return run(["cmake", "--build", BUILD, "-j", str(jobs)], BUILD / "mutation-build.log") == 0


def fast_tests(jobs):
    return run(["ctest", "--test-dir", BUILD, "-LE", SLOW_LABELS, "-j", str(jobs), "--timeout",
                "120", "--stop-on-failure", "--output-on-failure"],
               BUILD / "mutation-test.log") == 0


def outcome(mutant, jobs):
    applied = apply(mutant)
    if applied is None:
        return "n.a."
    try:
        if not build(jobs):
            return "build error"
        return "survived" if fast_tests(jobs) else "killed"
    finally:
        restore(*applied)


def main():
    ap = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    ap.add_argument("--list", action="store_true", help="list the mutants and stop")
    ap.add_argument("--only", type=int, action="append", metavar="N", help="run mutant N only")
    ap.add_argument("-j", "--jobs", type=int, default=2)
    args = ap.parse_args()
    if args.list:
        for n, (name, snippet, replacement, why) in enumerate(MUTANTS, 1):
            where = "n.a." if find(MUTANTS[n - 1]) is None else ""
            print(f"{n:3}  {name}: {why} {where}\n       {snippet!r} -> {replacement!r}")
        return 0
    chosen = args.only or range(1, len(MUTANTS) + 1)
    if any(not 1 <= n <= len(MUTANTS) for n in chosen):
        sys.exit(f"mutants are numbered 1 to {len(MUTANTS)}")

    # Ctrl-C and kill both end in the finally blocks, which restore the source.
    signal.signal(signal.SIGTERM, lambda *_: (_ for _ in ()).throw(KeyboardInterrupt()))
    BUILD.mkdir(exist_ok=True)
    if PENDING.exists():  # left mutated by a run that was killed hard
        pending = json.loads(PENDING.read_text())
        print(f"restoring {pending['path']} left mutated by an earlier run")
        restore(Path(pending["path"]), pending["text"])
    if not (build(args.jobs) and fast_tests(args.jobs)):
        sys.exit(f"the unmutated tree does not pass; see {BUILD}/mutation-*.log")

    results = []
    try:
        for n in chosen:
            began = time.monotonic()
            results.append((n, MUTANTS[n - 1], outcome(MUTANTS[n - 1], args.jobs)))
            print(f"{n:3}  {results[-1][2]:11} {time.monotonic() - began:5.0f}s  "
                  f"{MUTANTS[n - 1][0]}: {MUTANTS[n - 1][3]}", flush=True)
    except KeyboardInterrupt:
        print("interrupted; the source is restored")
    finally:
        build(args.jobs)  # leave the build matching the restored tree

    print("\n| # | file | mutant | outcome |\n|---|---|---|---|")
    for n, (name, _, _, why), result in results:
        print(f"| {n} | {name} | {why} | {result} |")
    counts = {o: sum(r == o for *_, r in results)
              for o in ("killed", "survived", "build error", "n.a.")}
    print("\n" + ", ".join(f"{v} {k}" for k, v in counts.items()))
    return 1 if counts["survived"] else 0


if __name__ == "__main__":
    sys.exit(main())
