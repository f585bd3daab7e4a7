#!/usr/bin/python3
"""The KDE suite's hands and eyes: what KWin sees (its scripts), what the screen shows (KWin's
screenshot interface) and the portal's dialog, answered through AT-SPI as a person would.

  driver.py kwin EXPRESSION         prints the JSON of a JavaScript expression evaluated in KWin
  driver.py dialogs                 prints how many of the portal's dialogs are open
  driver.py share TITLE             picks the window TITLE in the open dialog, lets the consent
                                    be restored and presses Share
  driver.py cancel                  presses Cancel in the open dialog
  driver.py shows APP_ID COLOUR     exit 0 when, outside the window APP_ID, a picture of COLOUR
                                    in the window's shape is in the screen's bottom-right corner
                                    (the PiP), 1 when nothing of COLOUR is on the screen's right
                                    side, 3 when something else is; prints what it saw
  driver.py active                  prints the application id of the active window
Each call is bounded and exits with 2 and one line on stderr when it cannot do its part.
"""
import json
import os
import subprocess
import sys
import tempfile
import time

import dbus
import dbus.service
from dbus.mainloop.glib import DBusGMainLoop
from gi.repository import GLib

DBusGMainLoop(set_as_default=True)
BUS = dbus.SessionBus()
PORTAL_APP = "xdg-desktop-portal-kde"


def fail(line):
    print(line, file=sys.stderr)
    sys.exit(2)


class Answer(dbus.service.Object):
    """Receives what a script sends back."""

    def __init__(self, path):
        super().__init__(BUS, path)
        self.text = None

    @dbus.service.method("org.mirano.DesktopTest", in_signature="s")
    def answer(self, text):
        self.text = str(text)


def kwin(expression):
    """The value of a JavaScript expression inside KWin."""
    path = "/org/mirano/DesktopTest"
    answer = Answer(path)
    name = "mirano-desktop-test-%d" % os.getpid()
    source = ('callDBus(%s, %s, "org.mirano.DesktopTest", "answer", '
              'JSON.stringify([(function() { return %s; })()]));'
              % (json.dumps(BUS.get_unique_name()), json.dumps(path), expression))
    scripting = dbus.Interface(BUS.get_object("org.kde.KWin", "/Scripting"),
                               "org.kde.kwin.Scripting")
    with tempfile.NamedTemporaryFile("w", suffix=".js") as script:
        script.write(source)
        script.flush()
        if scripting.loadScript(script.name, name, signature="ss") < 0:
            fail("KWin refused a script")
        try:
            scripting.start()
            loop = GLib.MainLoop()
            GLib.timeout_add(100, lambda: answer.text is None or loop.quit())
            GLib.timeout_add(10000, loop.quit)
            loop.run()
        finally:
            scripting.unloadScript(name)
    if answer.text is None:
        fail("KWin's script did not answer within 10 s")
    return json.loads(answer.text)[0]


def window_of(app_id):
    return ("workspace.clientList().find(w => String(w.resourceClass) == %s)"
            % json.dumps(app_id))


def screenshot():
    """The whole screen as (width, height, stride, bytes), 32-bit pixels B, G, R, A."""
    shots = dbus.Interface(BUS.get_object("org.kde.KWin", "/org/kde/KWin/ScreenShot2"),
                           "org.kde.KWin.ScreenShot2")
    read, write = os.pipe()
    try:
        info = shots.CaptureActiveScreen({"native-resolution": True}, dbus.types.UnixFd(write),
                                         timeout=10)
    except dbus.DBusException as error:
        fail("KWin took no screenshot: %s" % error.get_dbus_message())
    finally:
        os.close(write)
    with os.fdopen(read, "rb") as pipe:
        data = pipe.read()
    width, height, stride = int(info["width"]), int(info["height"]), int(info["stride"])
    # QImage formats 4, 5 (RGB32, ARGB32) and 6 (premultiplied) keep B, G, R, A in memory.
    if int(info["format"]) not in (4, 5, 6) or len(data) < stride * height:
        fail("KWin's screenshot is not what was asked (%s)" % dict(info))
    return width, height, stride, data


# The width of the screen's right side, where the suite's PiP is (bottom right) and nothing else
# of a window's colour can be: the dialog's thumbnails of the windows are left of it.
SIDE = 400


def shows(app_id, colour):
    """0 when the PiP, of COLOUR and in the shape of the window, is in the screen's bottom-right
    corner; 1 when nothing of COLOUR is on the screen's right side; 3 when something else is."""
    geometry = kwin("(w => w ? [w.x, w.y, w.width, w.height] : null)(%s)" % window_of(app_id))
    if not geometry:
        fail("no window %s in KWin" % app_id)
    wx, wy, ww, wh = geometry
    want = (int(colour[1:3], 16), int(colour[3:5], 16), int(colour[5:7], 16))
    width, height, stride, data = screenshot()
    # The bounding box of the pixels of that colour on the right side, outside the window.
    left, top, right, bottom, count = width, height, -1, -1, 0
    for y in range(height):
        row = data[y * stride:y * stride + width * 4]
        inside = wy <= y < wy + wh
        for x in range(width - SIDE, width):
            if inside and wx <= x < wx + ww:
                continue
            b, g, r = row[4 * x], row[4 * x + 1], row[4 * x + 2]
            if abs(r - want[0]) < 12 and abs(g - want[1]) < 12 and abs(b - want[2]) < 12:
                count += 1
                left, top = min(left, x), min(top, y)
                right, bottom = max(right, x), max(bottom, y)
    if count < 50:
        print("nothing of %s on the screen's right side" % colour)
        return 1
    box_w, box_h = right - left + 1, bottom - top + 1
    filled = count / (box_w * box_h)
    print("%dx%d of %s at %d,%d, %.0f %% filled; the window %dx%d" %
          (box_w, box_h, colour, left, top, 100 * filled, ww, wh))
    # In the corner, in the window's own shape (within a pixel or two of rounding and rounded
    # corners) and filled with it.
    pip = (right >= width - 48 and bottom >= height - 48 and
           abs(box_w / box_h - ww / wh) < 0.03 * ww / wh and filled > 0.93)
    return 0 if pip else 3


def portal_dialogs():
    import pyatspi
    found = []
    for app in pyatspi.Registry.getDesktop(0):
        if app is None or app.name != PORTAL_APP:
            continue
        for window in app:
            if window is not None and window.getState().contains(pyatspi.STATE_SHOWING) and \
                    window.getRole() in (pyatspi.ROLE_FRAME, pyatspi.ROLE_DIALOG):
                found.append(window)
    return found


def walk(node, depth=0):
    yield node, depth
    for child in node:
        if child is not None:
            yield from walk(child, depth + 1)


def share(title):
    import pyatspi
    dialogs = portal_dialogs()
    if len(dialogs) != 1:
        fail("%d dialogs of the portal are open, not one" % len(dialogs))
    # A person takes a moment to read: the portal crashed (SIGSEGV) when it was answered at
    # once, while its windows' thumbnails were still being set up.
    time.sleep(2)
    nodes = [n for n, _ in walk(dialogs[0])]
    items = [n for n in nodes if n.getRole() == pyatspi.ROLE_LIST_ITEM and
             any(c is not None and c.name == title for c in n)]
    if not items:
        fail("the dialog lists no window %s" % title)
    # A list's item has no action: a click in its middle, where KWin shows the dialog (Qt on
    # Wayland tells extents within the window).
    origin = kwin("(w => w ? [w.x, w.y] : null)(workspace.clientList().find("
                  "w => String(w.resourceClass) == 'org.freedesktop.impl.portal.desktop.kde'))")
    if not origin:
        fail("KWin shows no dialog of the portal")
    box = items[0].queryComponent().getExtents(pyatspi.WINDOW_COORDS)
    x, y = origin[0] + box.x + box.width // 2, origin[1] + box.y + box.height // 2
    if subprocess.run([os.environ["DRIVER_CLICK"], str(x), str(y)], timeout=10).returncode:
        fail("the click on %s in the dialog failed" % title)
    if not wait(lambda: items[0].getState().contains(pyatspi.STATE_CHECKED)):
        fail("the click did not pick %s in the dialog" % title)
    for node in nodes:
        if node.getRole() == pyatspi.ROLE_CHECK_BOX and "restor" in (node.name or "").lower():
            if not node.getState().contains(pyatspi.STATE_CHECKED):
                press(node)
    press(button(dialogs[0], "Share"))


def cancel():
    dialogs = portal_dialogs()
    if len(dialogs) != 1:
        fail("%d dialogs of the portal are open, not one" % len(dialogs))
    time.sleep(2)  # as before Share
    press(button(dialogs[0], "Cancel"))


def button(dialog, name):
    import pyatspi
    found = [n for n, _ in walk(dialog) if n.getRole() == pyatspi.ROLE_PUSH_BUTTON and
             (n.name or "").replace("&", "") == name]
    if not found:
        fail("the dialog has no %s button" % name)
    return found[0]


def wait(condition, seconds=5):
    end = time.monotonic() + seconds
    while not condition():
        if time.monotonic() > end:
            return False
        time.sleep(0.1)
    return True


def press(node):
    action = node.queryAction()
    names = [action.getName(i) for i in range(action.nActions)]
    for wanted in ("press", "click", "toggle", "activate"):
        if wanted in [n.lower() for n in names]:
            action.doAction([n.lower() for n in names].index(wanted))
            return
    fail("%s %r has no action to press (%s)" % (node.getRoleName(), node.name, names))


def main():
    command, args = sys.argv[1], sys.argv[2:]
    if command == "kwin":
        print(json.dumps(kwin(args[0])))
    elif command == "active":
        print(kwin("(w => w ? String(w.resourceClass) : '')(workspace.activeClient)"))
    elif command == "dialogs":
        print(len(portal_dialogs()))
    elif command == "share":
        share(args[0])
    elif command == "cancel":
        cancel()
    elif command == "shows":
        sys.exit(shows(args[0], args[1]))
    else:
        fail("no command %s" % command)


if __name__ == "__main__":
    main()
