#!/usr/bin/python3
"""A StatusNotifierWatcher and host for tests, on the session bus. --queue
waits in line for the name (a panel replaced without a gap); --sticky-host
says a host is registered from the first one on, also after it left;
--host-only is such a host."""

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

PROPERTIES = """    <property name="RegisteredStatusNotifierItems" type="as" access="read"/>
    <property name="IsStatusNotifierHostRegistered" type="b" access="read"/>
    <property name="ProtocolVersion" type="i" access="read"/>
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

    @dbus.service.method("org.freedesktop.DBus.Introspectable", out_signature="s",
                         path_keyword="object_path", connection_keyword="connection")
    def Introspect(self, object_path, connection):
        # The generated description lacks the properties, which Qt reads from it.
        tag = '<interface name="%s">\n' % IFACE
        return super().Introspect(object_path, connection).replace(tag, tag + PROPERTIES)

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


def main():
    DBusGMainLoop(set_as_default=True)
    bus = dbus.SessionBus()
    host = "org.kde.StatusNotifierHost-%d" % os.getpid()
    if "--host-only" in sys.argv:
        kept = [dbus.service.BusName(host, bus)]
        bus.get_object(IFACE, PATH).RegisterStatusNotifierHost(host, dbus_interface=IFACE)
    else:
        sticky = "--sticky-host" in sys.argv
        kept = [Watcher(bus, not sticky)]
        # The name last: a client that sees it can use the watcher at once.
        kept.append(dbus.service.BusName(IFACE, bus, do_not_queue="--queue" not in sys.argv))
        if not sticky:
            kept.append(dbus.service.BusName(host, bus))
    loop = GLib.MainLoop()
    GLib.unix_signal_add(GLib.PRIORITY_DEFAULT, signal.SIGTERM, loop.quit)
    loop.run()
    del kept


if __name__ == "__main__":
    main()
