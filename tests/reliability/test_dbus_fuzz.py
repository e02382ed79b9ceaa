#!/usr/bin/python3
"""Calls to the program's bus interfaces as any neighbour may make them: the
known attacks, each with its expected answer, then random calls with
arguments of every type, mixed with the attacks. Each must be answered well
before the bus's timeout, and the item stays registered."""

import argparse
import os
import random
import sys
import time

import dbus
import dbus.lowlevel

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "e2e"))
from harness import Desktop  # noqa: E402
from test_status_notifier import ITEM, MENU, PROPS, Panel, item_id, no_warnings  # noqa: E402

INTERFACES = [ITEM, MENU, PROPS, "org.freedesktop.DBus.Introspectable",
              "org.freedesktop.DBus.Peer", "org.example.Nothing"]
METHODS = ["Activate", "SecondaryActivate", "ContextMenu", "Scroll", "ProvideXdgActivationToken",
           "GetLayout", "GetGroupProperties", "GetProperty", "Event", "EventGroup",
           "AboutToShow", "AboutToShowGroup", "Get", "GetAll", "Set", "Introspect", "Ping",
           "GetMachineId", "NoSuchMethod"]
PATHS = ["/StatusNotifierItem", "/MenuBar", "/", "/MenuBar/1", "/org/example"]
WORDS = ["", "clicked", "hovered", "opened", "closed", "label", "enabled", "visible", "type",
         "children-display", "toggle-state", "Menu", "IconPixmap", "ToolTip", "Status", "\u00e9",
         "x" * 5000]
BASIC = "ybnqiuxtdsogh"
INTEGERS = {"y": (dbus.Byte, 8, False), "n": (dbus.Int16, 16, True),
            "q": (dbus.UInt16, 16, False), "i": (dbus.Int32, 32, True),
            "u": (dbus.UInt32, 32, False), "x": (dbus.Int64, 64, True),
            "t": (dbus.UInt64, 64, False)}
# The real methods' signatures: random values of the right types reach the code.
KNOWN = [(ITEM, m, sig) for m, sig in (("Activate", "ii"), ("SecondaryActivate", "ii"),
                                       ("ContextMenu", "ii"), ("Scroll", "is"),
                                       ("ProvideXdgActivationToken", "s"))] + \
        [(MENU, m, sig) for m, sig in (("GetLayout", "iias"), ("GetGroupProperties", "aias"),
                                       ("GetProperty", "is"), ("Event", "isvu"),
                                       ("AboutToShow", "i"), ("AboutToShowGroup", "ai"))] + \
        [(PROPS, m, sig) for m, sig in (("Get", "ss"), ("GetAll", "s"), ("Set", "ssv"))]


def rss_kib(pid):
    with open("/proc/%d/status" % pid) as f:
        return int(next(l for l in f if l.startswith("VmRSS:")).split()[1])


def answer_time(panel, item):  # the best of three GetLayout round trips
    menu = panel.menu(item)
    times = []
    for _ in range(3):
        t = time.monotonic()
        menu.GetLayout(0, -1, NO_NAMES, dbus_interface=MENU, timeout=10)
        times.append(time.monotonic() - t)
    return min(times)


NO_NAMES = dbus.Array([], signature="s")


def hostile_calls(ids):  # (method, arguments, the error expected or a check)
    huge = dbus.Array(range(1000000), signature="i")
    click = (0, "clicked", dbus.Int32(0, variant_level=1), dbus.UInt32(0))

    def each_known_once(answer):
        return sorted(int(i) for i, _ in answer) == sorted(ids)

    return [
        ("GetGroupProperties", (huge, NO_NAMES), "LimitsExceeded"),
        ("GetGroupProperties", (dbus.Array(ids * 20 + [9999, -1], signature="i"), NO_NAMES),
         each_known_once),
        ("GetLayout", (0, -1, dbus.Array(["label"] * 100000, signature="s")), "LimitsExceeded"),
        ("GetProperty", (9999, "label"), "InvalidArgs"),
        ("GetProperty", (ids[0], "no-such-property"), "InvalidArgs"),
        ("GetProperty", (ids[0], "label"), lambda a: str(a) == "_Show window"),
        ("EventGroup", (dbus.Array([click] * 1000, signature="(isvu)"),), "LimitsExceeded"),
        ("AboutToShowGroup", (huge,), "LimitsExceeded"),
        ("Event", (-5, "clicked", dbus.Int32(0, variant_level=1), dbus.UInt32(0)),
         lambda a: True),
    ]


def known_attacks(d, proc, panel, item, attacks):
    """Each answered as expected, with memory kept bounded."""
    answer_time(panel, item)
    rss_before = rss_kib(proc.pid)
    menu = panel.menu(item)
    for method, args, expected in attacks:
        try:
            answer = menu.get_dbus_method(method, MENU)(*args, timeout=10)
            assert callable(expected) and expected(answer), (method, expected, answer)
        except dbus.DBusException as e:
            assert isinstance(expected, str) and expected in e.get_dbus_name(), \
                (method, e.get_dbus_name(), str(e)[:200])
        assert proc.poll() is None, method
    # No token is taken beyond a sane size, no point is out of reach.
    panel.call(item, "ProvideXdgActivationToken", "x" * (4 << 20))
    panel.call(item, "Scroll", 2**31 - 1, "diagonal")
    assert answer_time(panel, item) < 0.1
    if "ASAN_OPTIONS" not in os.environ:  # the sanitizer keeps freed memory
        assert rss_kib(proc.pid) - rss_before < 5 * 1024
    no_warnings(d)


class Fuzzer:
    def __init__(self, rng):
        self.rng = rng
        self.devnull = os.open(os.devnull, os.O_RDONLY)

    def signature(self, depth=0):
        r = self.rng.random()
        if depth < 3 and r < 0.15:
            return "a" + self.signature(depth + 1)
        if depth < 3 and r < 0.22:
            return "a{%s%s}" % (self.rng.choice(BASIC[:-1]), self.signature(depth + 1))
        if depth < 3 and r < 0.3:
            return "(%s)" % "".join(self.signature(depth + 1)
                                    for _ in range(self.rng.randint(1, 4)))
        if depth < 3 and r < 0.38:
            return "v"
        # One file descriptor per argument at most: a list of them would
        # use up the test's own.
        return self.rng.choice(BASIC if depth == 0 else BASIC[:-1])

    def length(self):
        r = self.rng.random()
        return self.rng.randint(0, 3) if r < 0.9 else self.rng.choice([256, 257, 5000, 100000])

    def number(self, bits, signed):
        lo, hi = (-(1 << (bits - 1)), (1 << (bits - 1)) - 1) if signed else (0, (1 << bits) - 1)
        return self.rng.choice([lo, hi, 0, 1, -1 if signed else 2, self.rng.randint(lo, hi)])

    def value(self, sig):
        rng = self.rng
        c = sig[0]
        if c in INTEGERS:
            kind, bits, signed = INTEGERS[c]
            return kind(self.number(bits, signed))
        if c == "b":
            return dbus.Boolean(rng.random() < 0.5)
        if c == "d":
            return dbus.Double(rng.choice([0.0, -1e308, 1e308, float("inf"), float("nan"),
                                           rng.uniform(-1e6, 1e6)]))
        if c == "s":
            return dbus.String(rng.choice(WORDS))
        if c == "o":
            return dbus.ObjectPath(rng.choice(PATHS))
        if c == "g":
            return dbus.Signature(self.signature())
        if c == "h":
            return dbus.types.UnixFd(self.devnull)
        if c == "v":
            inner = self.signature(rng.randint(1, 3)).replace("h", "i").replace("v", "s")
            v = self.value(inner)
            if isinstance(v, (dbus.Array, dbus.Struct, dbus.Dictionary)):
                return type(v)(v, signature=v.signature, variant_level=1)
            return type(v)(v, variant_level=1)
        if sig.startswith("a{"):
            key, val = sig[2], sig[3:-1]
            return dbus.Dictionary({self.value(key): self.value(val)
                                    for _ in range(min(self.length(), 1000))},
                                   signature=key + val)
        if c == "a":
            inner = sig[1:]
            n = self.length()
            if inner in "ybnqiuxt" and n > 3:  # long lists, cheaply
                return dbus.Array([self.value(inner)] * n, signature=inner)
            return dbus.Array([self.value(inner) for _ in range(min(n, 300))], signature=inner)
        if c == "(":
            return dbus.Struct([self.value(s) for s in split(sig[1:-1])], signature=sig[1:-1])
        raise ValueError(sig)


def split(sig):  # the complete types of a signature
    return [str(t) for t in dbus.Signature(sig)]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("binary")
    parser.add_argument("--seconds", type=float, default=30)
    parser.add_argument("--seed", type=int, default=int(time.time()))
    args = parser.parse_args()
    print("seed", args.seed, flush=True)
    rng = random.Random(args.seed)
    fuzz = Fuzzer(rng)
    with Desktop(trayer=False) as d:
        panel = Panel(d).start_watcher()
        proc = d.start_program(os.path.abspath(args.binary))
        item = panel.wait_for_item()
        layout = panel.layout(item)
        ids = [i for i, _ in layout]
        close_id = item_id(layout, "_Close program")
        attacks = hostile_calls(ids)
        known_attacks(d, proc, panel, item, attacks)
        calls = dropped = 0
        slowest = (0.0, None)
        deadline = time.monotonic() + args.seconds
        while time.monotonic() < deadline:
            if rng.random() < 0.05:
                method, values, _ = rng.choice(attacks)
                path, interface = "/MenuBar", MENU
            elif rng.random() < 0.4:
                interface, method, sig = rng.choice(KNOWN)
                path = "/MenuBar" if interface == MENU else rng.choice(PATHS[:2])
                values = [fuzz.value(s) for s in split(sig)]
                if method in ("Get", "Set", "GetAll"):
                    values[0] = dbus.String(rng.choice([ITEM, MENU, "x"]))
            else:
                method = rng.choice(METHODS)
                path = rng.choice(PATHS)
                interface = rng.choice(INTERFACES)
                values = [fuzz.value(s) for s in
                          (fuzz.signature() for _ in range(rng.randint(0, 4)))]
            # "Close program" would end the run; every other item may be clicked.
            if any(isinstance(v, (dbus.Int32, int)) and v == close_id for v in values) and \
                    method in ("Event", "EventGroup"):
                continue
            if method == "EventGroup" and values and isinstance(values[0], dbus.Array):
                continue  # its events may name "Close program"
            msg = dbus.lowlevel.MethodCallMessage(item[0], path, interface, method)
            try:
                msg.append(*values)
            except (TypeError, ValueError, OverflowError):
                continue
            t = time.monotonic()
            try:
                panel.bus.send_message_with_reply_and_block(msg, 5)
            except dbus.DBusException as e:
                assert "NoReply" not in e.get_dbus_name(), (method, path, interface, str(e)[:300])
                if "Disconnected" in e.get_dbus_name():
                    # The bus dropped our connection, not the program's.
                    print("the bus dropped the test's connection after %s(%s)" % (
                        method, msg.get_signature()), flush=True)
                    dropped += 1
                    assert dropped < 20
                    panel = Panel(d)
            took = time.monotonic() - t
            slowest = max(slowest, (took, method))
            calls += 1
            if calls % 200 == 0:
                assert proc.poll() is None, proc.returncode
        print("%d calls, slowest %.2f s (%s)" % (calls, *slowest), flush=True)
        assert proc.poll() is None, proc.returncode
        assert panel.items() == ["%s%s" % item], panel.items()
        took = answer_time(panel, item)
        assert took < 0.1, took
    print("1 passed, 0 failed")


if __name__ == "__main__":
    main()
