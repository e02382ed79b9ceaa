#!/usr/bin/python3
"""The bytes a counted minute carries, on real kernel counters: a known number
pushed through a veth pair into a network namespace of the test's own. Needs
root; exits 77 (skipped) where namespaces cannot be made."""

import os
import subprocess
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from harness import DEVICE_IFACE, Desktop, push_bytes, run_tests, settled  # noqa: E402

SKIP = 77
# Documentation addresses; nothing else on this machine uses them.
HOST_ADDR, PEER_ADDR = "198.51.100.1", "198.51.100.2"
PUSHED = 4_000_000  # bytes of payload in the counted minute
TAIL = 1_000_000  # bytes of payload after the session's last tick


def run(*args, check=True):
    return subprocess.run(list(args), capture_output=True, text=True, check=check, timeout=30)


class Veth:
    def __init__(self):
        tag = "%d" % (os.getpid() % 100000)
        self.ns, self.host, self.peer = "bvdata" + tag, "bvh" + tag, "bvp" + tag

    def __enter__(self):
        run("ip", "netns", "add", self.ns)
        try:
            run("ip", "link", "add", self.host, "type", "veth", "peer", "name", self.peer)
            run("ip", "link", "set", self.peer, "netns", self.ns)
            for ns, link, addr in ((None, self.host, HOST_ADDR), (self.ns, self.peer, PEER_ADDR)):
                pre = ["ip", "netns", "exec", ns] if ns else []
                # No IPv6: its neighbour discovery would add traffic of its own.
                run(*pre, "sysctl", "-qw", "net.ipv6.conf.%s.disable_ipv6=1" % link, check=False)
                run(*pre, "ip", "addr", "add", addr + "/30", "dev", link)
                run(*pre, "ip", "link", "set", link, "up")
            run("ip", "netns", "exec", self.ns, "ip", "link", "set", "lo", "up")
        except Exception:
            self.__exit__()
            raise
        return self

    def __exit__(self, *exc):
        run("ip", "link", "del", self.host, check=False)
        run("ip", "netns", "del", self.ns, check=False)

    def counters(self):
        base = "/sys/class/net/%s/statistics/" % self.host
        with open(base + "rx_bytes") as rx, open(base + "tx_bytes") as tx:
            return int(rx.read()), int(tx.read())


def test_bytes_through_a_veth_pair(binary):
    # Ten times real speed: a minute every six seconds, time for the pushes between two ticks.
    with Veth() as veth, Desktop(faketime="@2010-05-12 10:00:00 x10") as d:
        profile = d.add_profile("Phone", number="*99#")
        device = d.add_device("modem0", "ttyUSB0", d.DEVICE_MODEM)
        d.set_property(device, DEVICE_IFACE, "IpInterface", veth.host)
        d.start_program(binary)
        d.wait_for(d.tray_icons, what="the tray icon")
        active = d.add_active([device], profile, state=d.AC_ACTIVATED)

        d.wait_for(lambda: d.total("Phone") >= 1, timeout=30, what="the first minute")
        first = d.total("Phone")
        before = veth.counters()
        push_bytes(PUSHED, PEER_ADDR, veth.ns)
        after = veth.counters()
        d.wait_for(lambda: d.total("Phone") >= first + 1, timeout=30, what="the next minute")
        counted = d.total("Phone")

        # After the session's last tick: lost with the session.
        push_bytes(TAIL, PEER_ADDR, veth.ns)
        d.set_active_state(active, d.AC_DEACTIVATED)
        d.remove_active(device, active)
        # No line comes after the disconnect: one tick's time without a change.
        settled(lambda: len(d.history_lines()), window=7, timeout=30)

        rows = [line.split(",") for line in d.history_lines()[1:]]
        lines = [(int(f[2]), int(f[3])) for f in rows if len(f) == 4]  # (received, sent)
        assert len(lines) == counted, (lines, counted)
        received = sum(r for r, _ in lines)
        sent = sum(s for _, s in lines)
        wire_rx, wire_tx = after[0] - before[0], after[1] - before[1]
        # The kernel's own counters over the push, give or take stray packets.
        assert wire_tx <= sent <= wire_tx + 20_000, (sent, wire_tx)
        assert wire_rx <= received <= wire_rx + 20_000, (received, wire_rx)
        # Headers, handshake, ACKs, and under load smaller segments and retransmissions.
        assert PUSHED <= wire_tx <= PUSHED * 1.25, (wire_tx, PUSHED)
        assert sent + received < PUSHED + TAIL, "the tail after the last tick is not counted"


if __name__ == "__main__":
    probe = run("ip", "netns", "add", "bvprobe%d" % os.getpid(), check=False)
    if probe.returncode != 0:
        print("SKIPPED: network namespaces cannot be made here: " + probe.stderr.strip())
        sys.exit(SKIP)
    run("ip", "netns", "del", "bvprobe%d" % os.getpid())
    run_tests()
