#!/usr/bin/python3
"""A throwaway desktop: Xvfb, trayer, private buses with python-dbusmock's
NetworkManager, the program under libfaketime; every process in its own group."""

import contextlib
import itertools
import os
import random
import re
import shutil
import signal
import socket
import stat
import subprocess
import sys
import tempfile
import time

import dbus

NM = "org.freedesktop.NetworkManager"
NM_PATH = "/org/freedesktop/NetworkManager"
SETTINGS_PATH = NM_PATH + "/Settings"
MOCK_IFACE = "org.freedesktop.DBus.Mock"
ACTIVE_IFACE = NM + ".Connection.Active"
DEVICE_IFACE = NM + ".Device"

FAKETIME_LIB = "/usr/lib/x86_64-linux-gnu/faketime/libfaketime.so.1"
LEDGER = "Vantrel Data.ini"
MAIN = "^Brantle Vantrel$"
WARNING = "^Brantle Vantrel - warning$"
REMINDER = "^Brantle Vantrel - notification$"
PLANS_DIALOG = "^Brantle Vantrel - data plans$"
HISTORY_WINDOW = "^Brantle Vantrel - history$"


class HarnessError(RuntimeError):
    pass


def settled(value, window=1.5, timeout=15):
    """Waits until value() has not changed for `window` seconds; returns it."""
    deadline = time.monotonic() + timeout
    last, since = value(), time.monotonic()
    while time.monotonic() < deadline:
        time.sleep(0.1)
        now = value()
        if now != last:
            last, since = now, time.monotonic()
        elif time.monotonic() - since >= window:
            return last
    raise AssertionError("still changing: %r" % last)


def stays(condition, seconds):
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        assert condition(), "changed while it should not have"
        time.sleep(0.1)


def parse_strict(raw):
    """{section: {key: value}} of INI bytes; fails on a line of no known kind."""
    result, section = {}, None
    for number, line in enumerate(raw.split(b"\n"), 1):
        text = line.rstrip(b"\r").strip(b" \t")
        if not text or text.startswith(b";"):
            continue
        if text.startswith(b"[") and b"]" in text:
            section = result.setdefault(text[1:text.index(b"]")], {})
        elif b"=" in text and section is not None:
            key, value = text.split(b"=", 1)
            section.setdefault(key.strip(b" \t"), value.strip(b" \t"))
        else:
            raise AssertionError("line %d does not parse: %r" % (number, line))
    return result


def counted(raw, entry="Office"):
    values = parse_strict(raw or b"").get(entry.encode(), {})
    try:
        minutes, hours = int(values.get(b"Minutes", b"0")), int(values.get(b"Hours", b"0"))
    except ValueError:
        raise AssertionError("counts are not numbers: %r" % values)
    assert 0 <= minutes <= 59, "Minutes out of range: %r" % values
    return hours * 60 + minutes


SINK = """import socket, sys
s = socket.create_server((sys.argv[1], 0))
print(s.getsockname()[1], flush=True)
c, _ = s.accept()
while c.recv(65536):
    pass
"""


def push_bytes(count, address="127.0.0.1", netns=None):
    # Returns once the sink (in netns, if given) has them all and closed.
    sink = subprocess.Popen((["ip", "netns", "exec", netns] if netns else []) +
                            ["/usr/bin/python3", "-c", SINK, address], stdout=subprocess.PIPE,
                            text=True)
    try:
        port = int(sink.stdout.readline())
        with socket.create_connection((address, port), timeout=20) as c:
            c.sendall(b"\x5a" * count)
            c.shutdown(socket.SHUT_WR)
            assert c.recv(1) == b""
    finally:
        sink.wait(20)


class Desktop:
    # NMActiveConnectionState
    AC_UNKNOWN, AC_ACTIVATING, AC_ACTIVATED, AC_DEACTIVATING, AC_DEACTIVATED = range(5)
    # NMDeviceState
    DEV_DISCONNECTED, DEV_PREPARE, DEV_CONFIG, DEV_NEED_AUTH = 30, 40, 50, 60
    DEV_IP_CONFIG, DEV_IP_CHECK, DEV_ACTIVATED, DEV_FAILED = 70, 80, 100, 120
    # NMDeviceType
    DEVICE_ETHERNET, DEVICE_MODEM = 1, 8

    def __init__(self, faketime="@2010-05-12 10:00:00 x60", env=None, start_mock=True,
                 trayer=True):
        self.faketime = faketime
        self.trayer = trayer
        self.extra_env = dict(env or {})
        self.start_mock_at_entry = start_mock
        self.tmp = self.display = self.bus_address = self.session_bus_address = self.bus = None
        self._procs = {}  # name -> Popen, each the leader of its own process group
        self._logs = {}
        self._ids = itertools.count(1)  # of profiles and active connections

    def __enter__(self):
        try:
            self.tmp = tempfile.mkdtemp(prefix="bv-e2e-")
            self.config_home = os.path.join(self.tmp, "config")
            os.makedirs(self.config_home)
            self.runtime_dir = os.path.join(self.tmp, "runtime")
            os.makedirs(self.runtime_dir, mode=0o700)
            self._start_xvfb()
            if self.trayer:
                self.start_trayer()
            # A private session bus too: libdbus would otherwise autolaunch one
            # for the display, outside every process group.
            self.session_bus_address = self._spawn_bus("session-bus")
            self.bus_address = self._spawn_bus("system-bus")
            self.bus = dbus.bus.BusConnection(self.bus_address)
            if self.start_mock_at_entry:
                self.start_mock()
        except BaseException:
            self.close()
            raise
        return self

    def __exit__(self, exc_type, exc, tb):
        if exc_type is not None:
            sys.stderr.write(self.diagnostics())
        self.close()

    def close(self):
        for name in reversed(list(self._procs)):
            self._kill(name)
        if self.bus is not None:
            with contextlib.suppress(Exception):
                self.bus.close()
            self.bus = None
        for f in self._logs.values():
            f.close()
        self._logs.clear()
        if self.tmp:
            shutil.rmtree(self.tmp, ignore_errors=True)

    def _spawn(self, name, argv, env=None, pass_fds=(), stdout=None):
        if name in self._logs:
            self._logs.pop(name).close()
        log = self._logs[name] = open(os.path.join(self.tmp, name + ".log"), "ab")
        proc = subprocess.Popen(argv, env=env if env is not None else self._base_env(),
                                stdin=subprocess.DEVNULL, stdout=stdout or log,
                                stderr=log if stdout else subprocess.STDOUT,
                                start_new_session=True, pass_fds=pass_fds)
        self._procs[name] = proc
        return proc

    def _kill(self, name, timeout=5):
        proc = self._procs.pop(name, None)
        if proc is None:
            return
        for sig in (signal.SIGCONT, signal.SIGTERM, signal.SIGKILL):
            with contextlib.suppress(ProcessLookupError):
                os.killpg(proc.pid, sig)
            if sig != signal.SIGCONT:
                with contextlib.suppress(subprocess.TimeoutExpired):
                    proc.wait(timeout)

    def _base_env(self):
        env = dict(os.environ)
        # Nothing of the developer's own desktop leaks in.
        for key in ("DBUS_SESSION_BUS_ADDRESS", "WAYLAND_DISPLAY", "PYTHONPATH", "PYTHONHOME",
                    "LD_PRELOAD", "FAKETIME", "XDG_CONFIG_HOME"):
            env.pop(key, None)
        env["XDG_RUNTIME_DIR"] = self.runtime_dir
        if self.display:
            env["DISPLAY"] = self.display
        if self.bus_address:
            env["DBUS_SYSTEM_BUS_ADDRESS"] = self.bus_address
        if self.session_bus_address:
            env["DBUS_SESSION_BUS_ADDRESS"] = self.session_bus_address
        return env

    def _start_xvfb(self):
        # A random high display, so parallel runs never meet. -noreset: the
        # server would refuse connections while resetting after its last client.
        rng = random.Random()
        for _ in range(20):
            number = str(rng.randrange(200, 900))
            if os.path.exists("/tmp/.X%s-lock" % number):
                continue
            read_fd, write_fd = os.pipe()
            try:
                self._spawn("xvfb", ["Xvfb", ":" + number, "-displayfd", str(write_fd), "-screen",
                                     "0", "1024x768x24", "-nolisten", "tcp", "-noreset"],
                            pass_fds=(write_fd,))
            finally:
                os.close(write_fd)
            with os.fdopen(read_fd) as pipe:
                reported = pipe.readline().strip()  # written once the server is ready
            if reported == number and subprocess.run(
                    ["xdpyinfo"], env=dict(os.environ, DISPLAY=":" + number),
                    capture_output=True, timeout=15).returncode == 0:
                self.display = ":" + number
                return
            self._kill("xvfb")
        raise HarnessError("Xvfb did not start:\n" + self.log("xvfb"))

    def start_trayer(self):
        self._spawn("trayer", ["trayer", "--edge", "bottom", "--widthtype", "pixel",
                               "--width", "200"])
        self.wait_for(lambda: '"panel"' in self._tree(), timeout=15, what="trayer's panel")

    def _spawn_bus(self, name, address=None):
        proc = self._spawn(name, ["dbus-daemon", "--session", "--nofork", "--print-address=1"] +
                           (["--address=" + address] if address else []), stdout=subprocess.PIPE)
        address = proc.stdout.readline().decode().strip()
        if not address:
            raise HarnessError("dbus-daemon gave no address:\n" + self.log(name))
        return address

    def start_mock(self):
        self._spawn("mock", ["/usr/bin/python3", "-m", "dbusmock", "--system", "--template",
                             "networkmanager"])
        self.wait_for(lambda: self.bus.name_has_owner(NM), timeout=20, what="the mock on the bus")

    def stop_mock(self):
        self._kill("mock")
        self.wait_for(lambda: not self.bus.name_has_owner(NM), timeout=10,
                      what="the mock leaving the bus")

    def _obj(self, path):
        return self.bus.get_object(NM, path)

    def _mock(self):
        return dbus.Interface(self._obj(NM_PATH), MOCK_IFACE)

    def add_device(self, name, interface, device_type=DEVICE_ETHERNET, state=DEV_DISCONNECTED):
        path = self._mock().AddEthernetDevice(name, interface, state)
        if device_type != self.DEVICE_ETHERNET:
            self.set_property(path, DEVICE_IFACE, "DeviceType", dbus.UInt32(device_type))
        return str(path)

    def add_profile(self, name, number=None):
        s = {"connection": {"id": name, "type": "gsm", "uuid": "uuid-%d" % next(self._ids)}}
        if number is not None:
            s["gsm"] = {"number": number}
        return str(dbus.Interface(self._obj(SETTINGS_PATH), NM + ".Settings").AddConnection(s))

    def add_active(self, devices, profile, state=AC_ACTIVATING):
        return str(self._mock().AddActiveConnection(
            dbus.Array(devices, signature="s"), profile, "/", "ac%d" % next(self._ids), state))

    def remove_active(self, device, active):
        self._mock().RemoveActiveConnection(device, active)

    def set_property(self, path, interface, name, value):
        self._mock().SetProperty(path, interface, name, value)

    def set_active_state(self, active, state):
        self.set_property(active, ACTIVE_IFACE, "State", dbus.UInt32(state))
        dbus.Interface(self._obj(active), MOCK_IFACE).EmitSignal(
            ACTIVE_IFACE, "StateChanged", "uu", [dbus.UInt32(state), dbus.UInt32(0)])

    def set_device_state(self, device, state):
        old = self._obj(device).Get(DEVICE_IFACE, "State",
                                    dbus_interface="org.freedesktop.DBus.Properties")
        self.set_property(device, DEVICE_IFACE, "State", dbus.UInt32(state))
        dbus.Interface(self._obj(device), MOCK_IFACE).EmitSignal(
            DEVICE_IFACE, "StateChanged", "uuu", [dbus.UInt32(state), old, dbus.UInt32(0)])

    def program_env(self):
        env = self._base_env()
        env["XDG_CONFIG_HOME"] = self.config_home
        env["QT_QPA_PLATFORM"] = "xcb"
        if self.faketime:
            env["LD_PRELOAD"] = FAKETIME_LIB
            env["FAKETIME"] = self.faketime
            env["FAKETIME_NO_CACHE"] = "1"
        env.update(self.extra_env)
        return env

    def start_program(self, binary, args=()):
        return self._spawn("program", [binary, *args], env=self.program_env())

    def stop_program(self):
        self._kill("program")

    def kill_program(self):  # as a crash; also reaps one already dead
        proc = self._procs.pop("program")
        with contextlib.suppress(ProcessLookupError):
            os.killpg(proc.pid, signal.SIGKILL)
        proc.wait(30)
        log = self._logs.pop("program", None)
        if log:
            log.close()

    def program_running(self):
        proc = self._procs.get("program")
        return proc is not None and proc.poll() is None

    def exit_status(self, timeout=30):  # of a program told to end
        proc = self._procs["program"]
        self.wait_for(lambda: proc.poll() is not None, timeout=timeout, what="the program to end")
        return proc.returncode

    def run(self, argv, timeout=30):
        return subprocess.run(argv, env=self.program_env(), capture_output=True, text=True,
                              timeout=timeout, start_new_session=True)

    def data_dir(self):
        return os.path.join(self.config_home, "brantle-vantrel")

    def data_file(self, name=LEDGER):
        return os.path.join(self.data_dir(), name)

    def read_file(self, name):  # None while there is none
        with contextlib.suppress(FileNotFoundError), open(self.data_file(name), "rb") as f:
            return f.read()

    def seed_ledger(self, data):
        os.makedirs(self.data_dir(), exist_ok=True)
        with open(self.data_file(), "wb") as f:
            f.write(data.encode() if isinstance(data, str) else data)

    def ledger_bytes(self):
        return self.read_file(LEDGER) or b""

    def history_lines(self):
        return (self.read_file("Vantrel History.csv") or b"").decode().splitlines()

    def lock_pid(self):  # None while the lock is no regular file
        try:
            fd = os.open(self.data_file(".Vantrel.lock"), os.O_RDONLY | os.O_NONBLOCK | os.O_NOFOLLOW)
        except OSError:
            return None
        try:
            if not stat.S_ISREG(os.fstat(fd).st_mode):
                return None
            first = os.read(fd, 32).split(b"\n")[0]
            return int(first) if first.isdigit() else None
        finally:
            os.close(fd)

    def report(self, binary, *args):  # run without a display, as it needs none
        env = self.program_env()
        env.pop("DISPLAY", None)
        out = subprocess.run([binary, "--report"] + list(args), env=env, capture_output=True,
                             text=True, timeout=30)
        assert out.returncode == 0, (out.returncode, out.stderr)
        return out.stdout

    def total(self, entry="Office"):
        return counted(self.ledger_bytes(), entry)

    def ini(self, name=LEDGER):  # {section: {key: value}} as text; no file reads as {}
        def text(b):
            return b.decode("utf-8", "surrogateescape")

        return {text(name): {text(k): text(v) for k, v in keys.items()}
                for name, keys in parse_strict(self.read_file(name) or b"").items()}

    def wait_for(self, condition, timeout=10, interval=0.05, what="the condition"):
        deadline = time.monotonic() + timeout
        last_error = None
        while True:
            try:
                value = condition()
                if value:
                    return value
            except Exception as e:  # noqa: BLE001 - keep polling until the deadline
                last_error = e
            if time.monotonic() >= deadline:
                raise HarnessError("timed out waiting for %s%s" % (
                    what, "" if last_error is None else " (last error: %r)" % last_error))
            time.sleep(interval)

    def retry(self, act, done, what, timeout, patience, interval=0.05):
        # act(), then done() for `patience`, again until `timeout`: under load a click is lost.
        deadline = time.monotonic() + timeout
        while True:
            act()
            try:
                return self.wait_for(done, min(patience, max(0.0, deadline - time.monotonic())),
                                     interval, what)
            except HarnessError:
                if time.monotonic() >= deadline:
                    raise

    def xdotool(self, *args):
        out = subprocess.run(["xdotool"] + [str(a) for a in args], env=self._base_env(),
                             capture_output=True, text=True, timeout=30)
        return out.stdout

    def find_windows(self, title):
        return [int(w) for w in self.xdotool("search", "--onlyvisible", "--name", title).split()]

    def wait_for_window(self, title, timeout=15):
        return self.wait_for(lambda: self.find_windows(title), timeout=timeout,
                             what="a window titled %r" % title)[0]

    def window_geometry(self, window):
        values = dict(line.split("=", 1) for line in
                      self.xdotool("getwindowgeometry", "--shell", window).split())
        return (int(values["X"]), int(values["Y"]), int(values["WIDTH"]), int(values["HEIGHT"]))

    def click(self, x, y, button=1, repeat=1):
        self.xdotool("mousemove", x, y, "click", "--repeat", repeat, "--delay", 100, button)

    def click_in(self, window, x, y, button=1, repeat=1):
        wx, wy, _, _ = self.window_geometry(window)
        self.click(wx + x, wy + y, button, repeat)

    def key(self, *keys, window=None):
        args = ["key"] + (["--window", window] if window else []) + list(keys)
        self.xdotool(*args)

    def _tree(self):
        return subprocess.run(["xwininfo", "-root", "-tree"], env=self._base_env(),
                              capture_output=True, text=True, timeout=30).stdout

    def tray_icons(self):
        lines = self._tree().splitlines()
        icons = []
        for i, line in enumerate(lines):
            if '"panel"' not in line:
                continue
            depth = len(line) - len(line.lstrip())
            for child in lines[i + 1:]:
                child_depth = len(child) - len(child.lstrip())
                if child_depth <= depth or not child.strip():
                    break
                m = re.search(r"(\d+)x(\d+)\+-?\d+\+-?\d+\s+\+(-?\d+)\+(-?\d+)\s*$", child)
                if m:
                    w, h, x, y = (int(v) for v in m.groups())
                    # Not trayer's 1x1 helper; an icon's embedder and client share one.
                    if w > 1 and h > 1 and (x, y, w, h) not in icons:
                        icons.append((x, y, w, h))
        return icons

    def open_from_tray(self, title=MAIN, timeout=30):
        # A pair of clicks lost to the double-click time is tried again, but only
        # after a while, lest a late window reappear after the test closed it.
        x, y, w, h = self.wait_for(self.tray_icons, timeout=timeout, what="the tray icon")[0]
        return self.retry(lambda: self.click(x + w // 2, y + h // 2, repeat=2),
                          lambda: self.find_windows(title), "a double-click to open %r" % title,
                          timeout, patience=5)[0]

    def open_from_menu(self, key, title, timeout=40):  # an item's key in the tray menu
        x, y, w, h = self.wait_for(self.tray_icons, timeout=30, what="the tray icon")[0]

        def opened():
            # The key goes to the menu the click of the round before opened.
            self.key(key)
            if not self.find_windows(title):
                self.click(x + w // 2, y + h // 2, button=3)
            return self.find_windows(title)

        return self.wait_for(opened, timeout=timeout, interval=2,
                             what="a window titled %r from the menu" % title)[0]

    def close_until(self, window, done, what):
        # WM_DELETE_WINDOW, as a close box sends it: Qt can miss one that comes
        # as the window is mapped, and a repeated one is harmless.
        from Xlib import X, display, protocol

        def send():
            disp = display.Display(self.display)
            win = disp.create_resource_object("window", window)
            win.send_event(protocol.event.ClientMessage(
                window=win, client_type=disp.intern_atom("WM_PROTOCOLS"),
                data=(32, [disp.intern_atom("WM_DELETE_WINDOW"), X.CurrentTime, 0, 0, 0])))
            disp.close()

        self.retry(send, done, what, timeout=20, patience=3)

    def close_from_menu(self):  # the tray menu's "Close program" (key C); the exit status
        proc = self._procs["program"]
        x, y, w, h = self.wait_for(self.tray_icons, timeout=30, what="the tray icon")[0]

        def chosen():
            self.key("c")  # pressed until the menu, once open, takes it
            return proc.poll() is not None

        self.retry(lambda: self.click(x + w // 2, y + h // 2, button=3), chosen,
                   "the tray menu's Close program to end it", timeout=40, patience=8, interval=0.3)
        return proc.returncode

    def x_property(self, window, name):
        from Xlib import display
        disp = display.Display(self.display)
        try:
            prop = disp.create_resource_object("window", window).get_full_property(
                disp.intern_atom(name), 0)
            if prop is None:
                return None
            if prop.format == 8:
                return prop.value.decode("utf-8") if isinstance(prop.value, bytes) else prop.value
            return list(prop.value)
        finally:
            disp.close()

    def image(self, window, x, y, w, h):  # the window's pixels in that rectangle
        from Xlib import X, display
        disp = display.Display(self.display)
        try:
            return disp.create_resource_object("window", window).get_image(
                x, y, w, h, X.ZPixmap, 0xFFFFFFFF).data
        finally:
            disp.close()

    def screenshot(self, path):
        subprocess.run(["import", "-window", "root", path], env=self._base_env(),
                       capture_output=True, timeout=30)

    def log(self, name):
        try:
            with open(os.path.join(self.tmp, name + ".log"), "rb") as f:
                return f.read().decode("utf-8", "replace")
        except (OSError, TypeError):
            return ""

    def diagnostics(self):
        return "".join("---- %s log (last 40 lines) ----\n%s\n" % (
            name, "\n".join(self.log(name).splitlines()[-40:]))
            for name in ("program", "mock", "trayer", "xvfb") if self.log(name))


def run_tests():  # the script's test_ functions, in their order
    binary = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else "build/brantle-vantrel")
    tests = [f for n, f in vars(sys.modules["__main__"]).items() if n.startswith("test_")]
    for test in tests:
        print("==", test.__name__, flush=True)
        test(binary)
    print("%d passed, 0 failed" % len(tests))
