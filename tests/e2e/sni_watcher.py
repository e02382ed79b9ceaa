#!/usr/bin/python3
"""A StatusNotifierWatcher and host for tests, on the session bus. Its
introspection lists the properties, which Qt reads through it.

    sni_watcher.py [--no-host] [--queue] [--sticky-host] | --host-only

--queue waits in line for the name (a panel replaced without a gap);
--sticky-host hosts nothing but says a host is registered from the first
RegisterStatusNotifierHost on, also after it left; --host-only is that host."""

import os
import signal
import sys

import dbus
import dbus.service
from dbus.mainloop.glib import DBusGMainLoop
from gi.repository import GLib

IFACE = "org.kde.StatusNotifierWatcher"
PATH = "/StatusNotifierWatcher"
PROPS = "org.freedesktop.DBus.Properties"

INTROSPECTION = """<!DOCTYPE node PUBLIC "-//freedesktop//DTD D-BUS Object Introspection 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/introspect.dtd">
<node>
  <interface name="org.freedesktop.DBus.Introspectable">
    <method name="Introspect"><arg name="xml" type="s" direction="out"/></method>
  </interface>
  <interface name="org.freedesktop.DBus.Properties">
    <method name="Get">
      <arg name="interface" type="s" direction="in"/><arg name="name" type="s" direction="in"/>
      <arg name="value" type="v" direction="out"/>
    </method>
    <method name="GetAll">
      <arg name="interface" type="s" direction="in"/>
      <arg name="values" type="a{sv}" direction="out"/>
    </method>
  </interface>
  <interface name="org.kde.StatusNotifierWatcher">
    <method name="RegisterStatusNotifierItem"><arg name="service" type="s" direction="in"/></method>
    <method name="RegisterStatusNotifierHost"><arg name="service" type="s" direction="in"/></method>
    <property name="RegisteredStatusNotifierItems" type="as" access="read"/>
    <property name="IsStatusNotifierHostRegistered" type="b" access="read"/>
    <property name="ProtocolVersion" type="i" access="read"/>
    <signal name="StatusNotifierItemRegistered"><arg type="s"/></signal>
    <signal name="StatusNotifierItemUnregistered"><arg type="s"/></signal>
    <signal name="StatusNotifierHostRegistered"/>
    <signal name="StatusNotifierHostUnregistered"/>
  </interface>
</node>
"""


class Watcher(dbus.service.Object):
    def __init__(self, bus, host):
        super().__init__(bus, PATH)
        self.bus = bus
        self.host = host
        self.items = []  # (owner, "<name><path>")
        bus.add_signal_receiver(self._owner_changed, "NameOwnerChanged",
                                "org.freedesktop.DBus", "org.freedesktop.DBus")

    def _owner_changed(self, name, old, new):
        if new:
            return
        for owner, item in list(self.items):
            if owner == name or item.startswith(name + "/"):
                self.items.remove((owner, item))
                self.StatusNotifierItemUnregistered(item)

    @dbus.service.method("org.freedesktop.DBus.Introspectable", out_signature="s")
    def Introspect(self):
        return INTROSPECTION

    @dbus.service.method(IFACE, in_signature="s", sender_keyword="sender")
    def RegisterStatusNotifierItem(self, service, sender=None):
        if service.startswith("/"):
            owner, item = sender, sender + service
        else:
            owner, item = self.bus.get_name_owner(service), service + "/StatusNotifierItem"
        self.items = [(o, i) for o, i in self.items if i != item]
        self.items.append((owner, item))
        self.StatusNotifierItemRegistered(item)

    @dbus.service.method(IFACE, in_signature="s")
    def RegisterStatusNotifierHost(self, service):
        self.host = True
        self.StatusNotifierHostRegistered()

    @dbus.service.signal(IFACE, signature="s")
    def StatusNotifierItemRegistered(self, item):
        pass

    @dbus.service.signal(IFACE, signature="s")
    def StatusNotifierItemUnregistered(self, item):
        pass

    @dbus.service.signal(IFACE)
    def StatusNotifierHostRegistered(self):
        pass

    @dbus.service.signal(IFACE)
    def StatusNotifierHostUnregistered(self):
        pass

    def _props(self):
        return {
            "RegisteredStatusNotifierItems": dbus.Array([i for _, i in self.items], signature="s"),
            "IsStatusNotifierHostRegistered": dbus.Boolean(self.host),
            "ProtocolVersion": dbus.Int32(0),
        }

    @dbus.service.method(PROPS, in_signature="ss", out_signature="v")
    def Get(self, interface, name):
        return self._props()[name]

    @dbus.service.method(PROPS, in_signature="s", out_signature="a{sv}")
    def GetAll(self, interface):
        return self._props()


def host_only(bus):
    name = "org.kde.StatusNotifierHost-%d" % os.getpid()
    owned = dbus.service.BusName(name, bus)
    bus.get_object(IFACE, PATH).RegisterStatusNotifierHost(name, dbus_interface=IFACE)
    return owned


def main():
    DBusGMainLoop(set_as_default=True)
    bus = dbus.SessionBus()
    loop = GLib.MainLoop()
    GLib.unix_signal_add(GLib.PRIORITY_DEFAULT, signal.SIGTERM, loop.quit)
    if "--host-only" in sys.argv:
        owned = host_only(bus)
        print("host ready", flush=True)
        loop.run()
        del owned
        return
    sticky = "--sticky-host" in sys.argv
    host = "--no-host" not in sys.argv and not sticky
    watcher = Watcher(bus, host)
    # The name last: a client that sees it can use the watcher at once.
    names = [dbus.service.BusName(IFACE, bus, do_not_queue="--queue" not in sys.argv)]
    if host:
        names.append(dbus.service.BusName("org.kde.StatusNotifierHost-%d" % os.getpid(), bus))
    print("watcher ready", flush=True)
    loop.run()
    del watcher, names


if __name__ == "__main__":
    main()
