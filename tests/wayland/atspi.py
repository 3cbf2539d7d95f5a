#!/usr/bin/python3
"""Works the program as a screen reader does, over AT-SPI: atspi.py press NAME... presses the
menu items, buttons or links of that name in turn, without waiting for what they do; atspi.py
wait TITLE waits until a window of that title is shown; atspi.py names TITLE prints the role and
name of every control in that window. Needs python3-gi; the program runs with
QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 on the same session bus."""
import sys
import time

from gi.repository import Gio, GLib

ACCESSIBLE = "org.a11y.atspi.Accessible"


def connect():
    session = Gio.bus_get_sync(Gio.BusType.SESSION)
    address = session.call_sync("org.a11y.Bus", "/org/a11y/bus", "org.a11y.Bus", "GetAddress",
                                None, GLib.VariantType("(s)"), 0, 5000).unpack()[0]
    flags = (Gio.DBusConnectionFlags.AUTHENTICATION_CLIENT |
             Gio.DBusConnectionFlags.MESSAGE_BUS_CONNECTION)
    return Gio.DBusConnection.new_for_address_sync(address, flags)


BUS = connect()


def call(node, interface, method, args=None, reply="()"):
    return BUS.call_sync(node[0], node[1], interface, method, args, GLib.VariantType(reply), 0,
                         5000).unpack()


def name(node):
    return call(node, "org.freedesktop.DBus.Properties", "Get",
                GLib.Variant("(ss)", (ACCESSIBLE, "Name")), "(v)")[0]


def children(node):
    return call(node, ACCESSIBLE, "GetChildren", reply="(a(so))")[0]


def role(node):
    return call(node, ACCESSIBLE, "GetRoleName", reply="(s)")[0]


def application():
    root = ("org.a11y.atspi.Registry", "/org/a11y/atspi/accessible/root")
    for app in children(root):
        if name(app) == "Quennor":
            return app
    return None


def window(title):
    app = application()
    return next((w for w in children(app) if name(w) == title), None) if app else None


def walk(node, depth=0):
    yield node, depth
    for child in children(node):
        yield from walk(child, depth + 1)


def find(text, kinds=("menu item", "push button", "link")):
    app = application()
    if app:
        for node, _ in walk(app):
            if name(node) == text and role(node) in kinds:
                return node
    return None


def wait_for(check, seconds=20):
    deadline = time.time() + seconds
    while time.time() < deadline:
        found = check()
        if found:
            return found
        time.sleep(0.2)
    sys.exit(f"atspi.py: gave up waiting ({sys.argv[1:]})")


def main():
    command, args = sys.argv[1], sys.argv[2:]
    if command == "press":
        for text in args:
            node = wait_for(lambda: find(text))
            # The program answers once the item's work is done, which may be a modal dialog.
            BUS.call(node[0], node[1], "org.a11y.atspi.Action", "DoAction",
                     GLib.Variant("(i)", (0,)), None, Gio.DBusCallFlags.NONE, -1, None, None)
            BUS.flush_sync(None)
    elif command == "wait":
        wait_for(lambda: window(args[0]))
    elif command == "names":
        for node, depth in walk(wait_for(lambda: window(args[0]))):
            print("  " * depth + f"{role(node)}: {name(node)}")


main()
