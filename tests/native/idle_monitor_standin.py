"""GNOME's idle monitor as a program sees it on the session bus: an idle watch
fires half a second after it is added, a user-active watch when the file named
on the command line appears. Says "ready", then each idle watch's interval."""
import os
import sys

import dbus
import dbus.service
from dbus.mainloop.glib import DBusGMainLoop
from gi.repository import GLib

NAME = "org.gnome.Mutter.IdleMonitor"


class IdleMonitor(dbus.service.Object):
    def __init__(self, bus, touched):
        super().__init__(bus, "/org/gnome/Mutter/IdleMonitor/Core")
        self.touched, self.next_id, self.active = touched, 1, None
        GLib.timeout_add(50, self.look_for_touch)

    @dbus.service.method(NAME, in_signature="t", out_signature="u")
    def AddIdleWatch(self, interval):
        print(f"idle watch {interval} ms", flush=True)
        watch = self.new_id()
        GLib.timeout_add(500, lambda: self.WatchFired(watch) and False)
        return watch

    @dbus.service.method(NAME, in_signature="", out_signature="u")
    def AddUserActiveWatch(self):
        self.active = self.new_id()
        return self.active

    @dbus.service.signal(NAME, signature="u")
    def WatchFired(self, watch):
        pass

    def new_id(self):
        self.next_id += 1
        return self.next_id

    def look_for_touch(self):
        if self.active and os.path.exists(self.touched):
            os.remove(self.touched)
            active, self.active = self.active, None
            self.WatchFired(active)
        return True


DBusGMainLoop(set_as_default=True)
bus = dbus.SessionBus()
name = dbus.service.BusName(NAME, bus)
monitor = IdleMonitor(bus, sys.argv[1])
print("ready", flush=True)
GLib.MainLoop().run()
