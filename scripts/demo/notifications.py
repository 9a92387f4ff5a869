#!/usr/bin/env python3
"""A desktop notification service for a session bus without a desktop: answers
Notify like a real one and writes each notification as one line
("summary: body") to the file given, so the headless demo can show them."""
import sys

import dbus
import dbus.service
from dbus.mainloop.glib import DBusGMainLoop
from gi.repository import GLib

NAME = "org.freedesktop.Notifications"
PATH = "/org/freedesktop/Notifications"


class Notifications(dbus.service.Object):
    def __init__(self, bus, out):
        super().__init__(bus, PATH)
        self.out = out
        self.last_id = 0

    @dbus.service.method(NAME, in_signature="susssasa{sv}i", out_signature="u")
    def Notify(self, app_name, replaces_id, app_icon, summary, body, actions, hints, timeout):
        self.last_id += 1
        line = f"{summary}: {body}".replace("\n", " ")
        with open(self.out, "a", encoding="utf-8") as f:
            f.write(f"{line}  [{app_name}]\n")
        return dbus.UInt32(self.last_id)

    @dbus.service.method(NAME, in_signature="", out_signature="as")
    def GetCapabilities(self):
        return ["body"]

    @dbus.service.method(NAME, in_signature="", out_signature="ssss")
    def GetServerInformation(self):
        return ("zvit-demo-notifications", "zvit", "1.0", "1.2")

    @dbus.service.method(NAME, in_signature="u", out_signature="")
    def CloseNotification(self, notification_id):
        pass


def main():
    if len(sys.argv) != 2:
        print("usage: notifications.py OUTPUT_FILE", file=sys.stderr)
        return 2
    DBusGMainLoop(set_as_default=True)
    bus = dbus.SessionBus()
    if bus.request_name(NAME, dbus.bus.NAME_FLAG_DO_NOT_QUEUE) != dbus.bus.REQUEST_NAME_REPLY_PRIMARY_OWNER:
        print("another notification service runs on this bus", file=sys.stderr)
        return 1
    Notifications(bus, sys.argv[1])
    GLib.MainLoop().run()
    return 0


if __name__ == "__main__":
    sys.exit(main())
