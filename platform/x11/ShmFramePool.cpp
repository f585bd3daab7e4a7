#include "platform/x11/ShmFramePool.h"

#include <sys/ipc.h>
#include <sys/shm.h>

#include <cerrno>
#include <cstring>

#include "platform/x11/XConnection.h"

namespace mirano::x11 {

std::unique_ptr<ShmSegment> ShmSegment::create(std::shared_ptr<XConnection> connection,
                                               std::size_t size, QString* error) {
    auto fail = [error](const QString& why) {
        if (error) *error = why;
        return nullptr;
    };
    if (!connection || !connection->isValid()) return fail(QStringLiteral("no X connection"));
    // Owner read/write only: no other user may read captured pixels.
    const int shmid = shmget(IPC_PRIVATE, size, IPC_CREAT | 0600);
    if (shmid < 0) return fail(QStringLiteral("shmget: %1").arg(std::strerror(errno)));
    void* address = shmat(shmid, nullptr, 0);
    if (address == reinterpret_cast<void*>(-1)) {
        const int saved = errno;
        shmctl(shmid, IPC_RMID, nullptr);
        return fail(QStringLiteral("shmat: %1").arg(std::strerror(saved)));
    }
    // Marked for removal at once, before the round trip to the server: a process killed
    // from here on leaves nothing behind. Linux still lets the server attach the id.
    shmctl(shmid, IPC_RMID, nullptr);
    xcb_connection_t* c = connection->get();
    const xcb_shm_seg_t seg = xcb_generate_id(c);
    auto attachError = reply(xcb_request_check(c, xcb_shm_attach_checked(c, seg, shmid, 0)));
    if (attachError) {
        shmdt(address);
        return fail(QStringLiteral("the X server could not attach shared memory (error %1)")
                        .arg(attachError->error_code));
    }
    std::unique_ptr<ShmSegment> segment(new ShmSegment());
    segment->connection_ = std::move(connection);
    segment->seg_ = seg;
    segment->data_ = static_cast<std::uint8_t*>(address);
    segment->size_ = size;
    return segment;
}

ShmSegment::~ShmSegment() {
    // XCB connections may be used from any thread; this may run on the thread that dropped
    // the last frame.
    if (connection_ && connection_->isValid()) {
        xcb_shm_detach(connection_->get(), seg_);
        xcb_flush(connection_->get());
    }
    if (data_) shmdt(data_);
}

ShmFrameBuffer::ShmFrameBuffer(std::unique_ptr<ShmSegment> segment, int width, int height)
    : segment_(std::move(segment)), width_(width), height_(height) {}

std::shared_ptr<ShmFramePool> ShmFramePool::create(std::shared_ptr<XConnection> connection,
                                                   int width, int height, int maxBuffers) {
    return std::make_shared<ShmFramePool>(std::move(connection), width, height, maxBuffers);
}

ShmFramePool::ShmFramePool(std::shared_ptr<XConnection> connection, int width, int height,
                           int maxBuffers)
    : connection_(std::move(connection)),
      width_(width),
      height_(height),
      buffers_(BufferRecycler<ShmFrameBuffer>::create(maxBuffers)) {}

ShmFramePool::~ShmFramePool() = default;

std::shared_ptr<ShmFrameBuffer> ShmFramePool::acquire() {
    return buffers_->acquire([this]() -> std::unique_ptr<ShmFrameBuffer> {
        QString error;
        auto segment = ShmSegment::create(connection_, std::size_t(width_) * height_ * 4, &error);
        if (!segment) {
            std::lock_guard lock(mutex_);
            lastError_ = error;
            return nullptr;
        }
        return std::make_unique<ShmFrameBuffer>(std::move(segment), width_, height_);
    });
}

QString ShmFramePool::lastError() const {
    std::lock_guard lock(mutex_);
    return lastError_;
}

}  // namespace mirano::x11
