#!/usr/bin/env python3
"""Stands in for the person at GNOME's Screen Share dialog, through the accessibility bus.

  dialog.py windows TIMEOUT       the titles the open dialog offers, one a line
  dialog.py count                 how many Share dialogs are open now
  dialog.py share TITLE TIMEOUT   picks the window TITLE and presses Share
  dialog.py cancel TIMEOUT        presses Cancel
Every wait ends after TIMEOUT seconds with one line on standard error and exit code 1."""
import sys
import time

import pyatspi


def walk(node, depth=0):
    if node is None or depth > 40:
        return
    yield node
    for i in range(node.childCount):
        try:
            child = node.getChildAtIndex(i)
        except Exception:  # a node that went away while we looked
            continue
        yield from walk(child, depth + 1)


def portal_apps():
    desktop = pyatspi.Registry.getDesktop(0)
    for i in range(desktop.childCount):
        app = desktop.getChildAtIndex(i)
        if app is not None and "portal" in (app.name or "").lower():
            yield app


def named(node, role, name):
    # GTK 4 names a button with a mnemonic by both its labels: "_Share Share".
    return node.getRole() == role and (node.name or "").split(" ")[-1:] == [name]


def dialogs():
    """The portal's windows holding a Share button."""
    found = []
    for app in portal_apps():
        for i in range(app.childCount):
            window = app.getChildAtIndex(i)
            if window is not None and any(
                named(n, pyatspi.ROLE_PUSH_BUTTON, "Share") for n in walk(window)
            ):
                found.append(window)
    return found


def wait_for(what, probe, timeout):
    end = time.monotonic() + timeout
    while time.monotonic() < end:
        try:
            result = probe()
        except Exception:  # the tree changed under us: look again
            result = None
        if result:
            return result
        time.sleep(0.25)
    sys.exit(f"dialog.py: no {what} within {timeout:g} s")


def rows(dialog):
    """The dialog's window rows with the title each shows."""
    for node in walk(dialog):
        if node.getRole() != pyatspi.ROLE_LIST_ITEM:
            continue
        labels = [n.name for n in walk(node) if n.getRole() == pyatspi.ROLE_LABEL and n.name]
        yield node, (node.name or (labels[0] if labels else ""))


def button(dialog, name):
    return next((n for n in walk(dialog) if named(n, pyatspi.ROLE_PUSH_BUTTON, name)), None)


def press(node):
    action = node.queryAction()
    names = [action.getName(i) for i in range(action.nActions)]
    action.doAction(names.index("click") if "click" in names else 0)


def pick(dialog, title):
    for row, shown in rows(dialog):
        if shown != title:
            continue
        parent = row.parent
        try:
            if parent.querySelection().selectChild(row.getIndexInParent()):
                return True
        except NotImplementedError:
            pass
        press(row)
        return True
    return False


def enabled(node):
    return node.getState().contains(pyatspi.STATE_SENSITIVE)


def main(argv):
    command = argv[1]
    if command == "count":
        print(len(dialogs()))
        return
    timeout = float(argv[-1])
    dialog = wait_for("Share dialog", lambda: (dialogs() or [None])[0], timeout)
    if command == "windows":
        wait_for("window in the dialog", lambda: list(rows(dialog)), timeout)
        for _, shown in rows(dialog):
            print(shown)
    elif command == "share":
        title = argv[2]
        wait_for(f"row '{title}' to pick in the dialog", lambda: pick(dialog, title), timeout)
        share = wait_for("enabled Share button", lambda: (b := button(dialog, "Share")) and
                         enabled(b) and b, timeout)
        press(share)
    elif command == "cancel":
        press(wait_for("Cancel button", lambda: button(dialog, "Cancel"), timeout))
    else:
        sys.exit(f"dialog.py: unknown command {command}")


main(sys.argv)
