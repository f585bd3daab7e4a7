#!/usr/bin/env python3
"""A client window of a known portrait shape: three bands, red over green over blue, the green
one with white ends, without decorations, so its picture is exactly the window. SIGUSR1 turns the bottom band yellow (a
change the mirror must show). Usage: pattern_window.py TITLE WIDTH HEIGHT"""
import signal
import sys

import gi

gi.require_version("Gtk", "3.0")
from gi.repository import GLib, Gtk  # noqa: E402

title, width, height = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
bottom = [(0.0, 0.0, 1.0)]


def draw(widget, cr):
    w, h = widget.get_allocated_width(), widget.get_allocated_height()
    for i, colour in enumerate([(1.0, 0.0, 0.0), (0.0, 0.8, 0.0), bottom[0]]):
        cr.set_source_rgb(*colour)
        cr.rectangle(0, h * i / 3, w, h / 3 + 1)
        cr.fill()
    cr.set_source_rgb(1.0, 1.0, 1.0)
    for x in (0, w * 7 / 8):
        cr.rectangle(x, h / 3, w / 8, h / 3)
        cr.fill()
    return False


def turn_yellow():
    bottom[0] = (1.0, 1.0, 0.0)
    area.queue_draw()
    return GLib.SOURCE_CONTINUE


window = Gtk.Window(title=title)
window.set_decorated(False)
window.set_default_size(width, height)
window.set_resizable(False)
area = Gtk.DrawingArea()
area.set_size_request(width, height)
area.connect("draw", draw)
window.add(area)
window.connect("destroy", Gtk.main_quit)
GLib.unix_signal_add(GLib.PRIORITY_DEFAULT, signal.SIGUSR1, turn_yellow)
GLib.unix_signal_add(GLib.PRIORITY_DEFAULT, signal.SIGTERM, Gtk.main_quit)
window.show_all()
Gtk.main()
