// RENDER pictures and pixmaps owned on the server, and how a picture is sampled.
#pragma once

#include <xcb/render.h>

#include <QRect>
#include <cstdint>

#include "platform/x11/XResource.h"

namespace mirano::x11 {

/// A RENDER fixed-point number (16.16).
xcb_render_fixed_t toFixed(double value);

/// Takes ownership of a pixmap made elsewhere (e.g. named by Composite).
XResource ownPixmap(xcb_connection_t* connection, xcb_pixmap_t pixmap);
/// A new pixmap of `depth` on the screen of `root`, owned.
XResource createPixmap(xcb_connection_t* connection, xcb_window_t root, std::uint8_t depth,
                       int width, int height);
/// A new picture of `drawable` in `format`, owned. Padded: sampling past the edges repeats the
/// edge pixels instead of blending in transparent black.
XResource createPicture(xcb_connection_t* connection, xcb_drawable_t drawable,
                        xcb_render_pictformat_t format, bool padded = false);
/// A new picture of one colour everywhere, owned.
XResource createSolidPicture(xcb_connection_t* connection, const xcb_render_color_t& colour);

/// Makes destination pixel (x, y) sample `picture` at (sx x + dx, sy y + dy): nearest when that
/// lands on whole pixels one to one, else bilinear.
void setSampling(xcb_connection_t* connection, xcb_render_picture_t picture, double sx, double sy,
                 double dx, double dy);
/// Replaces `area` of `picture` with black of `alpha`.
void fillBlack(xcb_connection_t* connection, xcb_render_picture_t picture, const QRect& area,
               std::uint16_t alpha = 0xffff);

}  // namespace mirano::x11
