// Finds the picture formats capture needs among those the server lists.
#include "platform/x11/PictFormats.h"

#include "platform/x11/XConnection.h"

namespace mirano::x11 {

namespace {

bool isArgb32(const xcb_render_pictforminfo_t& f) {
    const auto& d = f.direct;
    return f.type == XCB_RENDER_PICT_TYPE_DIRECT && f.depth == 32 && d.alpha_shift == 24 &&
           d.alpha_mask == 0xff && d.red_shift == 16 && d.red_mask == 0xff && d.green_shift == 8 &&
           d.green_mask == 0xff && d.blue_shift == 0 && d.blue_mask == 0xff;
}

bool isA8(const xcb_render_pictforminfo_t& f) {
    const auto& d = f.direct;
    return f.type == XCB_RENDER_PICT_TYPE_DIRECT && f.depth == 8 && d.alpha_mask == 0xff &&
           d.red_mask == 0 && d.green_mask == 0 && d.blue_mask == 0;
}

}  // namespace

std::optional<PictFormats> PictFormats::query(xcb_connection_t* c) {
    auto formats =
        reply(xcb_render_query_pict_formats_reply(c, xcb_render_query_pict_formats(c), nullptr));
    if (!formats) return std::nullopt;
    PictFormats result;
    for (auto it = xcb_render_query_pict_formats_formats_iterator(formats.get()); it.rem;
         xcb_render_pictforminfo_next(&it)) {
        const xcb_render_pictforminfo_t& f = *it.data;
        result.depths_[f.id] = f.depth;
        if (isArgb32(f)) result.argb32_ = f.id;
        if (isA8(f)) result.a8_ = f.id;
    }
    for (auto screens = xcb_render_query_pict_formats_screens_iterator(formats.get()); screens.rem;
         xcb_render_pictscreen_next(&screens)) {
        for (auto depths = xcb_render_pictscreen_depths_iterator(screens.data); depths.rem;
             xcb_render_pictdepth_next(&depths)) {
            for (auto visuals = xcb_render_pictdepth_visuals_iterator(depths.data); visuals.rem;
                 xcb_render_pictvisual_next(&visuals))
                result.visuals_[visuals.data->visual] = visuals.data->format;
        }
    }
    return result;
}

xcb_render_pictformat_t PictFormats::forVisual(xcb_visualid_t visual) const {
    const auto it = visuals_.find(visual);
    return it == visuals_.end() ? 0 : it->second;
}

std::uint8_t PictFormats::depth(xcb_render_pictformat_t format) const {
    const auto it = depths_.find(format);
    return it == depths_.end() ? 0 : it->second;
}

}  // namespace mirano::x11
