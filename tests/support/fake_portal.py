#!/usr/bin/env python3
"""A stand-in for the desktop's GlobalShortcuts portal on the session bus.

usage: fake_portal.py LOG [ok|refuse|partial|silent]

Answers CreateSession, BindShortcuts and ListShortcuts as the portal does:
each call returns a Request object path at once, and the answer follows as
that Request's Response signal. "refuse" answers BindShortcuts with code 1
(the user said no), "partial" binds all but the last shortcut asked for,
"silent" never answers BindShortcuts (a confirmation dialog left open).

Every call is appended to LOG, one line each:
  CreateSession
  BindShortcuts <id>=<preferred_trigger>=<description>;...
  ListShortcuts
  Close <session>

The test fires a shortcut through /test, interface org.quorbix.test.Portal:
  Activate(s id, s activation_token)   emits Activated on the last session
"""
import sys

import dbus
import dbus.service
from dbus.mainloop.glib import DBusGMainLoop
from gi.repository import GLib

PORTAL = "org.freedesktop.portal.GlobalShortcuts"
REQUEST = "org.freedesktop.portal.Request"
SESSION = "org.freedesktop.portal.Session"
ROOT = "/org/freedesktop/portal/desktop"

LOG = sys.argv[1]
MODE = sys.argv[2] if len(sys.argv) > 2 else "ok"


def log(line):
    with open(LOG, "a", encoding="utf-8") as f:
        f.write(line + "\n")


def sender_part(sender):
    return sender[1:].replace(".", "_")


class Request(dbus.service.Object):
    @dbus.service.signal(REQUEST, signature="ua{sv}")
    def Response(self, code, results):
        pass


class Session(dbus.service.Object):
    def __init__(self, bus, path):
        super().__init__(bus, path)
        self.path = path
        self.bound = []

    @dbus.service.method(SESSION, in_signature="", out_signature="")
    def Close(self):
        log("Close " + self.path)
        self.remove_from_connection()


class Portal(dbus.service.Object):
    def __init__(self, bus):
        super().__init__(bus, ROOT)
        self.bus = bus
        self.sessions = []
        self.requests = []

    def answer(self, sender, token, code, results):
        path = "%s/request/%s/%s" % (ROOT, sender_part(sender), token)
        req = Request(self.bus, path)
        self.requests.append(req)
        # After the method's reply, as the portal does.
        GLib.idle_add(lambda: (req.Response(dbus.UInt32(code), results), False)[1])
        return dbus.ObjectPath(path)

    @dbus.service.method(PORTAL, in_signature="a{sv}", out_signature="o", sender_keyword="sender")
    def CreateSession(self, options, sender=None):
        log("CreateSession")
        spath = "%s/session/%s/%s" % (ROOT, sender_part(sender), options["session_handle_token"])
        self.sessions.append(Session(self.bus, spath))
        return self.answer(sender, options["handle_token"], 0,
                           dbus.Dictionary({"session_handle": dbus.String(spath)}, signature="sv"))

    @dbus.service.method(PORTAL, in_signature="oa(sa{sv})sa{sv}", out_signature="o", sender_keyword="sender")
    def BindShortcuts(self, session, shortcuts, parent, options, sender=None):
        log("BindShortcuts " + ";".join(
            "%s=%s=%s" % (sid, props.get("preferred_trigger", ""), props.get("description", ""))
            for sid, props in shortcuts))
        s = next((x for x in self.sessions if x.path == session), None)
        if s is None:
            raise dbus.exceptions.DBusException("no such session", name="org.freedesktop.DBus.Error.InvalidArgs")
        token = options["handle_token"]
        if MODE == "silent":
            path = "%s/request/%s/%s" % (ROOT, sender_part(sender), token)
            self.requests.append(Request(self.bus, path))
            return dbus.ObjectPath(path)
        if MODE == "refuse":
            return self.answer(sender, token, 1, dbus.Dictionary({}, signature="sv"))
        granted = list(shortcuts)[:-1] if MODE == "partial" else list(shortcuts)
        s.bound = [(sid, dict(props, trigger_description=props.get("preferred_trigger", "")))
                   for sid, props in granted]
        return self.answer(sender, token, 0, self.result(s))

    @dbus.service.method(PORTAL, in_signature="oa{sv}", out_signature="o", sender_keyword="sender")
    def ListShortcuts(self, session, options, sender=None):
        log("ListShortcuts")
        s = next((x for x in self.sessions if x.path == session), None)
        return self.answer(sender, options["handle_token"], 0 if s else 2,
                           self.result(s) if s else dbus.Dictionary({}, signature="sv"))

    @staticmethod
    def result(s):
        items = dbus.Array([dbus.Struct((dbus.String(sid), dbus.Dictionary(
            {k: dbus.String(v) for k, v in props.items()}, signature="sv"))) for sid, props in s.bound],
            signature="(sa{sv})")
        return dbus.Dictionary({"shortcuts": items}, signature="sv")

    @dbus.service.signal(PORTAL, signature="osta{sv}")
    def Activated(self, session, shortcut_id, timestamp, options):
        pass


class Control(dbus.service.Object):
    def __init__(self, bus, portal):
        super().__init__(bus, "/test")
        self.portal = portal

    @dbus.service.method("org.quorbix.test.Portal", in_signature="ss", out_signature="b")
    def Activate(self, shortcut_id, token):
        if not self.portal.sessions:
            return False
        opts = dbus.Dictionary({"activation_token": dbus.String(token)} if token else {}, signature="sv")
        self.portal.Activated(dbus.ObjectPath(self.portal.sessions[-1].path), shortcut_id, dbus.UInt64(0), opts)
        return True


def main():
    DBusGMainLoop(set_as_default=True)
    bus = dbus.SessionBus()
    portal = Portal(bus)
    Control(bus, portal)
    # The name last: whoever waits for it finds the objects in place.
    name = dbus.service.BusName("org.freedesktop.portal.Desktop", bus)
    GLib.MainLoop().run()
    del name


if __name__ == "__main__":
    main()
