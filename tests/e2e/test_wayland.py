#!/usr/bin/python3
"""The program as a native Wayland client (weston's headless backend, and
cage), with a test watcher; what it does is read from its protocol log."""

import os
import re
import shutil
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from harness import Desktop, run_tests  # noqa: E402
from test_status_notifier import Panel, item_id  # noqa: E402

SOCKET = "wl-test"


def titles(d):
    return re.findall(r'xdg_toplevel@\d+\.set_title\("([^"]*)"\)', d.log("program"))


def mapped(d, title):  # Qt appends the program's name to other captions
    return any(t == title or t.startswith(title + " \u2014 ") for t in titles(d))


def popups(d):
    return len(re.findall(r"get_popup\(", d.log("program")))


def stderr_lines(d):  # not the protocol log, not our debug
    return [line for line in d.log("program").splitlines()
            if line.strip() and not re.match(r"\s*\[\s*\d+\.\d+\]", line)
            and not line.startswith("bv.")]


def start_weston(d):
    env = d._base_env()
    env.pop("DISPLAY", None)
    d._spawn("weston", ["weston", "--backend=headless-backend.so", "--socket=" + SOCKET,
                        "--width=1024", "--height=768", "--idle-time=0"], env=env)
    d.wait_for(lambda: os.path.exists(os.path.join(d.runtime_dir, SOCKET)), timeout=30,
               what="weston's socket")


def test_wayland_client(binary):
    if not shutil.which("weston"):
        print("weston is not installed: skipped")
        return
    env = {"QT_QPA_PLATFORM": "wayland", "WAYLAND_DISPLAY": SOCKET, "WAYLAND_DEBUG": "client",
           "DISPLAY": ""}
    # The first of a month, an entry past its limit: the reminder and the
    # warning come by themselves.
    with Desktop(faketime="@2010-06-01 10:00:00 x60", env=env, trayer=False) as d:
        start_weston(d)
        panel = Panel(d).start_watcher()
        dev = d.add_device("modem0", "ttyUSB0", d.DEVICE_MODEM)
        office = d.add_profile("Office", number="555-0100")
        d.seed_ledger(b"[Office]\nMinutes=0\nHours=3\nWarnHourCount=1\nWarnOverTime=1\n")
        d.start_program(binary)
        item = panel.wait_for_item()
        d.wait_for(lambda: mapped(d, "Brantle Vantrel - notification"), timeout=30,
                   what="the first-of-month reminder")
        assert not mapped(d, "Brantle Vantrel"), "with a tray the window starts hidden"
        panel.call(item, "Activate", 0, 0)
        d.wait_for(lambda: mapped(d, "Brantle Vantrel"), timeout=20,
                   what="the window after Activate")
        # weston draws no frames for its clients: the window draws its own,
        # in a buffer larger than the 321 x 189 it holds.
        d.wait_for(lambda: any(int(w) > 321 and int(h) > 189 for w, h in re.findall(
            r"create_buffer\(new id wl_buffer@\d+, \d+, (\d+), (\d+),", d.log("program"))),
            timeout=20, what="a framed window")

        # Hosts on Wayland draw the exported menu; the program opens none.
        before = popups(d)
        panel.call(item, "ContextMenu", 10, 10)
        panel.layout(item)  # a round trip after the call
        assert popups(d) == before, "a menu of our own opened"

        # A second start while the window is shown: with no seat here, the window is
        # never active and no one could raise it, so it is mapped anew.
        shown = titles(d).count("Brantle Vantrel")
        assert d.run([binary], timeout=60).returncode == 0
        d.wait_for(lambda: titles(d).count("Brantle Vantrel") > shown, timeout=20,
                   what="the window mapped again by a second start")
        d.add_active([dev], office, state=d.AC_ACTIVATED)
        d.wait_for(lambda: mapped(d, "Brantle Vantrel - warning"), timeout=30,
                   what="the overtime warning")
        panel.click(item, item_id(panel.layout(item), "_About..."))
        d.wait_for(lambda: mapped(d, "About..."), timeout=20, what="the about box")
        assert not stderr_lines(d), "\n".join(stderr_lines(d))


def graphics_libraries(pid):
    with open("/proc/%d/maps" % pid) as f:
        return sorted({os.path.basename(line.split()[-1]) for line in f
                       if re.search(r"EGL_mesa|_dri\.so|libLLVM", line)})


def start_cage(d):  # drawing the frames (-d); as nobody, which cannot enter the harness's folder
    folder = tempfile.mkdtemp(prefix="bv-cage-")
    d.cage_folder = folder
    os.chmod(folder, 0o700)
    shutil.chown(folder, "nobody", "nogroup")
    env = d._base_env()
    env.pop("DISPLAY", None)
    env.update({"XDG_RUNTIME_DIR": folder, "HOME": folder, "WLR_BACKENDS": "headless",
                "WLR_LIBINPUT_NO_DEVICES": "1", "WLR_RENDERER": "pixman"})
    d._spawn("cage", ["setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups",
                      "cage", "-d", "--", "sleep", "infinity"], env=env)

    def socket():
        return [n for n in os.listdir(folder) if n.startswith("wayland-") and "." not in n]
    return os.path.join(folder, d.wait_for(socket, timeout=30, what="cage's socket")[0])


def test_frames_drawn_by_the_compositor(binary):
    if not (shutil.which("cage") and shutil.which("Xwayland")):
        print("cage or Xwayland is not installed: skipped")
        return
    env = {"QT_QPA_PLATFORM": "wayland", "WAYLAND_DEBUG": "client", "DISPLAY": ""}
    with Desktop(faketime=None, env=env, trayer=False) as d:
        try:
            d.extra_env["WAYLAND_DISPLAY"] = start_cage(d)
            panel = Panel(d).start_watcher()
            d.start_program(binary)
            item = panel.wait_for_item()
            panel.call(item, "Activate", 0, 0)
            d.wait_for(lambda: mapped(d, "Brantle Vantrel"), timeout=20, what="the window")
            d.wait_for(lambda: re.search(r"zxdg_toplevel_decoration_v1@\d+\.configure\(2\)",
                                         d.log("program")), what="the frame left to cage")
            # Drawn and shown: no EGL came with the first show.
            d.wait_for(lambda: "create_buffer" in d.log("program"), what="the window's buffer")
            loaded = graphics_libraries(d._procs["program"].pid)
            assert not loaded, loaded
            assert not stderr_lines(d), "\n".join(stderr_lines(d))
        finally:
            d._kill("cage")
            shutil.rmtree(d.cage_folder, ignore_errors=True)


if __name__ == "__main__":
    run_tests()
