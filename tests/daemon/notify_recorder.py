#!/usr/bin/python3
# Notification service for tests: records every Notify call with the D-Bus
# signature of its arguments as one JSON line, and answers with a new id.
# With --actions it offers actions and, as a user would, clicks the default
# action of each notification that has one.
# Usage: notify_recorder.py OUTPUT_FILE READY_FILE [--fail] [--actions]
import json
import sys

import dbus
import dbus.service
from dbus.mainloop.glib import DBusGMainLoop
from gi.repository import GLib

BUS_NAME = "org.freedesktop.Notifications"
PATH = "/org/freedesktop/Notifications"


def plain(value):
    if isinstance(value, (dbus.Dictionary, dict)):
        return {str(k): plain(v) for k, v in value.items()}
    if isinstance(value, (dbus.Array, list)):
        return [plain(v) for v in value]
    if isinstance(value, (dbus.Int32, dbus.UInt32, dbus.Int64, dbus.UInt64, int)):
        return int(value)
    return str(value)


class Recorder(dbus.service.Object):
    def __init__(self, bus, output, fail, actions):
        super().__init__(bus, PATH)
        self.output = output
        self.fail = fail
        self.actions = actions
        self.next_id = 1

    @dbus.service.method(BUS_NAME, in_signature="susssasa{sv}i", out_signature="u",
                         message_keyword="message")
    def Notify(self, app_name, replaces_id, app_icon, summary, body, actions, hints, expire_timeout,
               message=None):
        record = {
            "signature": message.get_signature(),
            "app_name": plain(app_name),
            "replaces_id": plain(replaces_id),
            "app_icon": plain(app_icon),
            "summary": plain(summary),
            "body": plain(body),
            "actions": plain(actions),
            "hints": plain(hints),
            "hint_types": {str(k): type(v).__name__ for k, v in hints.items()},
            "expire_timeout": plain(expire_timeout),
        }
        with open(self.output, "a", encoding="utf-8") as out:
            out.write(json.dumps(record, ensure_ascii=False) + "\n")
        if self.fail:
            raise dbus.exceptions.DBusException("recorder refuses", name="org.zvit.Test.Refused")
        self.next_id += 1
        if self.actions and "default" in [str(a) for a in actions[::2]]:
            clicked = self.next_id - 1
            GLib.timeout_add(100, lambda: self.ActionInvoked(dbus.UInt32(clicked), "default") and False)
        return dbus.UInt32(self.next_id - 1)

    @dbus.service.signal(BUS_NAME, signature="us")
    def ActionInvoked(self, notification_id, action_key):
        pass

    @dbus.service.method(BUS_NAME, in_signature="", out_signature="as")
    def GetCapabilities(self):
        return ["body", "actions"] if self.actions else ["body"]


def main():
    output, ready = sys.argv[1], sys.argv[2]
    fail = "--fail" in sys.argv[3:]
    actions = "--actions" in sys.argv[3:]
    DBusGMainLoop(set_as_default=True)
    bus = dbus.SessionBus()
    name = dbus.service.BusName(BUS_NAME, bus)
    Recorder(bus, output, fail, actions)
    with open(ready, "w") as f:
        f.write("ready\n")
    GLib.MainLoop().run()
    del name


if __name__ == "__main__":
    main()
