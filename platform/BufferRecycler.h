// Frame buffers that are made once and reused after the last reference to a frame goes.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <vector>

namespace mirano {

/// At most `maxBuffers` buffers, each made by the caller's `make` and handed out as a shared
/// pointer that gives it back instead of deleting it. acquire() is for one capture thread; frames
/// may be released on any thread. The recycler lives as long as any buffer it handed out.
template <typename Buffer>
class BufferRecycler : public std::enable_shared_from_this<BufferRecycler<Buffer>> {
public:
    static std::shared_ptr<BufferRecycler> create(int maxBuffers) {
        return std::shared_ptr<BufferRecycler>(new BufferRecycler(maxBuffers));
    }

    /// A free buffer, else a new one from `make` while fewer than `maxBuffers` exist; null when
    /// all are in use (a frame is dropped rather than memory grown behind a slow reader) or
    /// `make` gave none.
    std::shared_ptr<Buffer> acquire(const std::function<std::unique_ptr<Buffer>()>& make) {
        std::unique_ptr<Buffer> buffer;
        {
            std::lock_guard lock(mutex_);
            if (!free_.empty()) {
                buffer = std::move(free_.back());
                free_.pop_back();
            } else if (made_ >= maxBuffers_) {
                return nullptr;
            }
        }
        if (!buffer) {
            buffer = make();
            if (!buffer) return nullptr;
            std::lock_guard lock(mutex_);
            ++made_;
        }
        auto self = this->shared_from_this();
        return std::shared_ptr<Buffer>(buffer.release(), [self](Buffer* b) { self->giveBack(b); });
    }

    /// Buffers made so far.
    int made() const {
        std::lock_guard lock(mutex_);
        return made_;
    }

private:
    explicit BufferRecycler(int maxBuffers) : maxBuffers_(maxBuffers) {}
    void giveBack(Buffer* buffer) {
        std::lock_guard lock(mutex_);
        free_.emplace_back(buffer);
    }

    const int maxBuffers_;
    mutable std::mutex mutex_;
    std::vector<std::unique_ptr<Buffer>> free_;
    int made_ = 0;
};

}  // namespace mirano
