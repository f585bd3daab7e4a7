// Owned RENDER pictures and pixmaps, transforms and fills.
#include "platform/x11/RenderPicture.h"

#include <cmath>
#include <cstring>

namespace mirano::x11 {

namespace {
void freePixmap(xcb_connection_t* c, std::uint32_t id) { xcb_free_pixmap(c, id); }
void freePicture(xcb_connection_t* c, std::uint32_t id) { xcb_render_free_picture(c, id); }
}  // namespace

xcb_render_fixed_t toFixed(double value) {
    return static_cast<xcb_render_fixed_t>(std::lround(value * 65536.0));
}

XResource ownPixmap(xcb_connection_t* connection, xcb_pixmap_t pixmap) {
    return XResource(connection, pixmap, freePixmap);
}

XResource createPixmap(xcb_connection_t* connection, xcb_window_t root, std::uint8_t depth,
                       int width, int height) {
    const xcb_pixmap_t pixmap = xcb_generate_id(connection);
    xcb_create_pixmap(connection, depth, pixmap, root, std::uint16_t(width), std::uint16_t(height));
    return ownPixmap(connection, pixmap);
}

XResource createPicture(xcb_connection_t* connection, xcb_drawable_t drawable,
                        xcb_render_pictformat_t format, bool padded) {
    const xcb_render_picture_t picture = xcb_generate_id(connection);
    const std::uint32_t repeat = XCB_RENDER_REPEAT_PAD;
    xcb_render_create_picture(connection, picture, drawable, format,
                              padded ? XCB_RENDER_CP_REPEAT : 0, padded ? &repeat : nullptr);
    return XResource(connection, picture, freePicture);
}

XResource createSolidPicture(xcb_connection_t* connection, const xcb_render_color_t& colour) {
    const xcb_render_picture_t picture = xcb_generate_id(connection);
    xcb_render_create_solid_fill(connection, picture, colour);
    return XResource(connection, picture, freePicture);
}

void setSampling(xcb_connection_t* connection, xcb_render_picture_t picture, double sx, double sy,
                 double dx, double dy) {
    const xcb_render_transform_t transform{toFixed(sx), 0, toFixed(dx), 0,           toFixed(sy),
                                           toFixed(dy), 0, 0,           toFixed(1.0)};
    xcb_render_set_picture_transform(connection, picture, transform);
    // One to one on whole pixels, bilinear would give the same pixels, more slowly.
    const bool exact = sx == 1.0 && sy == 1.0 && dx == std::floor(dx) && dy == std::floor(dy);
    const char* filter = exact ? "nearest" : "bilinear";
    xcb_render_set_picture_filter(connection, picture, std::uint16_t(std::strlen(filter)), filter,
                                  0, nullptr);
}

void fillBlack(xcb_connection_t* connection, xcb_render_picture_t picture, const QRect& area,
               std::uint16_t alpha) {
    const xcb_render_color_t colour{0, 0, 0, alpha};
    const xcb_rectangle_t rect{std::int16_t(area.x()), std::int16_t(area.y()),
                               std::uint16_t(area.width()), std::uint16_t(area.height())};
    xcb_render_fill_rectangles(connection, XCB_RENDER_PICT_OP_SRC, picture, colour, 1, &rect);
}

}  // namespace mirano::x11
