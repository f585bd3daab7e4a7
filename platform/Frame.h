// A captured frame: a reference-counted BGRA image shown without copying.
#pragma once

#include <QImage>
#include <cstddef>
#include <cstdint>
#include <memory>

namespace mirano {

/// Pixel memory of one frame, 32-bit BGRA (byte order B, G, R, A; premultiplied, opaque
/// when the source has no alpha). The memory stays valid and unchanged for as long as any
/// reference to the frame exists; the implementation recycles it after the last one goes.
class FrameBuffer {
public:
    virtual ~FrameBuffer() = default;
    virtual int width() const = 0;
    virtual int height() const = 0;
    virtual std::size_t bytesPerRow() const = 0;
    virtual const std::uint8_t* data() const = 0;
};

/// What the capture hands to the main thread and the view displays.
using Frame = std::shared_ptr<const FrameBuffer>;

/// The frame's pixels as an image that wraps its memory without copying: the frame must outlive
/// the image (and its shallow copies).
inline QImage imageOf(const FrameBuffer& frame) {
    return QImage(frame.data(), frame.width(), frame.height(),
                  static_cast<qsizetype>(frame.bytesPerRow()), QImage::Format_ARGB32_Premultiplied);
}

}  // namespace mirano
