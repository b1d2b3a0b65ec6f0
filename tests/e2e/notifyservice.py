# SPDX-License-Identifier: MIT
# A desktop's notification service on a test's session bus: writes each notification it is
# asked to show to standard error as "<id> <title>|<body>", and stands for the user's click on
# one when its own method io.github.orvane.Test.Click(id) is called.
import sys

import dbus
import dbus.service
from dbus.mainloop.glib import DBusGMainLoop
from gi.repository import GLib

NAME = 'org.freedesktop.Notifications'


class Notifications(dbus.service.Object):
    shown = 0

    @dbus.service.method(NAME, in_signature='susssasa{sv}i', out_signature='u')
    def Notify(self, app, replaces, icon, title, body, actions, hints, timeout):
        self.shown += 1
        print(f'{self.shown} {title}|{body}', file=sys.stderr, flush=True)
        return self.shown

    @dbus.service.method(NAME, out_signature='as')
    def GetCapabilities(self):
        return ['actions', 'body']

    @dbus.service.signal(NAME, signature='us')
    def ActionInvoked(self, id, action):
        pass

    @dbus.service.method('io.github.orvane.Test', in_signature='u')
    def Click(self, id):
        self.ActionInvoked(id, 'default')


DBusGMainLoop(set_as_default=True)
bus = dbus.SessionBus()
service = Notifications(bus, '/org/freedesktop/Notifications')
name = dbus.service.BusName(NAME, bus)
print('ready', flush=True)
GLib.MainLoop().run()
