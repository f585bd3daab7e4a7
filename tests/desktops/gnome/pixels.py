#!/usr/bin/env python3
"""The colour at points of a picture, as fractions of its width and height: one name a point,
red, green, blue, yellow, white or other. Usage: pixels.py FILE FX,FY..."""
import sys

import gi

gi.require_version("GdkPixbuf", "2.0")
from gi.repository import GdkPixbuf  # noqa: E402

picture = GdkPixbuf.Pixbuf.new_from_file(sys.argv[1])
data, stride, step = picture.get_pixels(), picture.get_rowstride(), picture.get_n_channels()


def name(r, g, b):
    high, low = (lambda v: v > 160), (lambda v: v < 90)
    for label, test in [("white", high(r) and high(g) and high(b)), ("yellow", high(r) and high(g) and low(b)), ("red", high(r) and low(g) and low(b)),
                        ("green", low(r) and high(g) and low(b)), ("blue", low(r) and low(g) and high(b))]:
        if test:
            return label
    return f"other({r},{g},{b})"


for point in sys.argv[2:]:
    fx, fy = (float(v) for v in point.split(","))
    x = min(int(fx * picture.get_width()), picture.get_width() - 1)
    y = min(int(fy * picture.get_height()), picture.get_height() - 1)
    at = y * stride + x * step
    print(name(data[at], data[at + 1], data[at + 2]))
