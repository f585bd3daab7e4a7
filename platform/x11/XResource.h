// An owned server-side X resource (pixmap, picture, damage, ...) freed with its own request.
#pragma once

#include <xcb/xcb.h>

#include <cstdint>
#include <utility>

namespace mirano::x11 {

/// Frees the resource when it goes. The connection must outlive it.
class XResource {
public:
    using Free = void (*)(xcb_connection_t*, std::uint32_t);

    XResource() = default;
    XResource(xcb_connection_t* connection, std::uint32_t id, Free free)
        : connection_(connection), id_(id), free_(free) {}
    ~XResource() { reset(); }
    XResource(XResource&& other) noexcept { *this = std::move(other); }
    XResource& operator=(XResource&& other) noexcept {
        if (this != &other) {
            reset();
            connection_ = std::exchange(other.connection_, nullptr);
            id_ = std::exchange(other.id_, 0);
            free_ = std::exchange(other.free_, nullptr);
        }
        return *this;
    }
    XResource(const XResource&) = delete;
    XResource& operator=(const XResource&) = delete;

    std::uint32_t get() const { return id_; }
    explicit operator bool() const { return id_ != 0; }

    /// Frees the resource now (if any).
    void reset() {
        if (id_ && connection_ && free_ && !xcb_connection_has_error(connection_))
            free_(connection_, id_);
        id_ = 0;
    }
    /// Forgets the resource without freeing it (the server already did, e.g. with its window).
    void release() { id_ = 0; }

private:
    xcb_connection_t* connection_ = nullptr;
    std::uint32_t id_ = 0;
    Free free_ = nullptr;
};

}  // namespace mirano::x11
