#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
# The client as a screen reader meets it, over AT-SPI: finds the connect
# dialog's four boxes by their names, fills them in and presses "Verbinden...",
# then hears the line another user says arrive in the transcript as a
# text-inserted event. Every wait is bounded; exit status 0 only when all held.
#
#   ConnectAndHear.py <port>    (a chat server listens on 127.0.0.1:<port>)
import socket
import sys
import time

import pyatspi
from gi.repository import GLib

PORT = int(sys.argv[1])
LINE = "hallo voor de schermlezer"
BOXES = ["Nickname", "Wachtwoord", "Verbinden met", "Poort"]


def fail(message):
    print("atspi: FAIL: " + message, flush=True)
    sys.exit(1)


def walk(node, depth=0):
    if node is None or depth > 40:
        return
    yield node
    for i in range(node.childCount):
        try:
            child = node.getChildAtIndex(i)
        except Exception:
            continue
        yield from walk(child, depth + 1)


def client_app():
    desktop = pyatspi.Registry.getDesktop(0)
    for i in range(desktop.childCount):
        app = desktop.getChildAtIndex(i)
        if app is not None and app.name == "ZindleChat":
            return app
    return None


def find(app, name, role):
    for node in walk(app):
        try:
            if node.name == name and node.getRole() == role:
                return node
        except Exception:
            continue
    return None


def poll(what, seconds, check):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        found = check()
        if found:
            return found
        time.sleep(0.2)
    fail(what)


class Speaker:
    """A second user, speaking the client's own bytes on the loopback address."""

    def __init__(self, port):
        self.sock = socket.create_connection(("127.0.0.1", port), timeout=5)
        self.sock.sendall(b"\xff\xffCACKspreker##0.2 build \\#0013\x00")
        self.wait_for(b"\xff\xffSACK")
        self.sock.sendall(b"\xff\xffACKD\x00")

    def wait_for(self, needle):
        data = b""
        deadline = time.monotonic() + 5
        while needle not in data:
            if time.monotonic() > deadline:
                fail("the second user got no answer from the server")
            try:
                data += self.sock.recv(4096)
            except socket.timeout:
                pass

    def say(self, text):
        self.sock.sendall(("spreker> " + text + "\\r\\n").encode("latin-1") + b"\x00")


app = poll("the client never appeared on the accessibility bus", 30, client_app)
boxes = {}
for name in BOXES:
    box = poll('no text box named "%s" in the connect dialog' % name, 10,
               lambda name=name: find(app, name, pyatspi.ROLE_TEXT) or find(app, name, pyatspi.ROLE_PASSWORD_TEXT))
    boxes[name] = box
print("atspi: found the connect dialog's boxes: " + ", ".join(BOXES), flush=True)

for name, value in (("Nickname", "lezer"), ("Verbinden met", "127.0.0.1"), ("Poort", str(PORT))):
    boxes[name].queryEditableText().setTextContents(value)
join = poll('no "Verbinden..." button', 5, lambda: find(app, "Verbinden...", pyatspi.ROLE_PUSH_BUTTON))
join.queryAction().doAction(0)

transcript = poll("the main window's transcript (\"Gesprek\") never appeared", 20,
                  lambda: find(app, "Gesprek", pyatspi.ROLE_TEXT) if find(app, "Invoerregel", pyatspi.ROLE_TEXT)
                  and find(app, "Invoerregel", pyatspi.ROLE_TEXT).getState().contains(pyatspi.STATE_ENABLED)
                  else None)
print("atspi: logged in; the transcript is named \"Gesprek\"", flush=True)

heard = []


def on_insert(event):
    try:
        if event.source.name == "Gesprek" and LINE in str(event.any_data):
            heard.append(event.any_data)
            pyatspi.Registry.stop()
    except Exception:
        pass


pyatspi.Registry.registerEventListener(on_insert, "object:text-changed:insert")
speaker = None


def speak():
    global speaker
    speaker = Speaker(PORT)
    speaker.say(LINE)
    return False


def give_up():
    pyatspi.Registry.stop()
    return False


GLib.timeout_add(500, speak)
GLib.timeout_add(15000, give_up)
pyatspi.Registry.start()
if not heard:
    fail("no text-inserted event for the line that arrived")
print("atspi: heard the new line: %r" % heard[0], flush=True)
print("atspi: OK", flush=True)
