// Where a window stream's pictures go straight from the capture thread, with no frame between.
#pragma once

#include <QRect>
#include <memory>

#include "platform/PictureSurface.h"
#include "platform/wayland/pipewire/FrameCopy.h"

namespace mirano::wayland {

/// Takes each picture of a stream on the consumer's thread and shows it.
class FrameSink {
public:
    virtual ~FrameSink() = default;
    /// `shown` (buffer pixels of `image`) is the part of the window to show. The image is valid
    /// during the call only. False when the picture was not shown (nowhere to show it, or no
    /// buffer free): it is dropped.
    virtual bool show(const MappedImage& image, const QRect& shown) = 0;
};

/// A picture surface whose pictures come from a sink: a stream presenting into it hands every
/// picture to the sink instead of making frames.
class SinkSurface : public PictureSurface {
public:
    virtual std::shared_ptr<FrameSink> sink() const = 0;
};

}  // namespace mirano::wayland
