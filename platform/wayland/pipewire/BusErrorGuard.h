// Reads of memory that another process can shrink under us, such as a producer's memfd that it
// truncates while we copy from it.
#pragma once

#include <cstddef>

namespace mirano::wayland {

/// While one is alive on a thread, a SIGBUS from a read of `size` bytes at `data` (a mapping of
/// a file that has shrunk) does not kill the process: zero pages are mapped over the faulting
/// page, the read goes on with zeros, and failed() turns true so that the caller drops what it
/// read. Faults elsewhere go to the handler that was there before. One per thread at a time;
/// the guarded mapping must be one that its owner may find replaced by private zero pages.
class BusErrorGuard {
public:
    BusErrorGuard(const void* data, std::size_t size);
    ~BusErrorGuard();
    BusErrorGuard(const BusErrorGuard&) = delete;
    BusErrorGuard& operator=(const BusErrorGuard&) = delete;

    /// A read in the range faulted since the guard began.
    bool failed() const;
};

}  // namespace mirano::wayland
