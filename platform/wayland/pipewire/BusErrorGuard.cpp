#include "platform/wayland/pipewire/BusErrorGuard.h"

#include <sys/mman.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstdint>
#include <mutex>

namespace mirano::wayland {

namespace {

// The guarded range of this thread; plain values, as a signal handler may read them.
thread_local std::uintptr_t guardedBegin = 0;
thread_local std::uintptr_t guardedEnd = 0;
thread_local volatile sig_atomic_t guardedFault = 0;

struct sigaction previousAction {};

void passOn(int signal, siginfo_t* info, void* context) {
    if (previousAction.sa_flags & SA_SIGINFO)
        return previousAction.sa_sigaction(signal, info, context);
    if (previousAction.sa_handler != SIG_DFL && previousAction.sa_handler != SIG_IGN)
        return previousAction.sa_handler(signal);
    // The default: the faulting read runs again on return and kills the process as it should.
    struct sigaction fallback {};
    fallback.sa_handler = SIG_DFL;
    sigaction(SIGBUS, &fallback, nullptr);
}

void onBusError(int signal, siginfo_t* info, void* context) {
    const auto address = reinterpret_cast<std::uintptr_t>(info->si_addr);
    if (address < guardedBegin || address >= guardedEnd) return passOn(signal, info, context);
    const auto page = std::uintptr_t(sysconf(_SC_PAGESIZE));
    void* start = reinterpret_cast<void*>(address & ~(page - 1));
    // Zeros in place of the bytes that are gone; if even that fails, nothing is left to try.
    if (mmap(start, page, PROT_READ, MAP_FIXED | MAP_PRIVATE | MAP_ANONYMOUS, -1, 0) == MAP_FAILED)
        return passOn(signal, info, context);
    guardedFault = 1;
}

void installOnce() {
    static std::once_flag installed;
    std::call_once(installed, [] {
        struct sigaction action {};
        action.sa_sigaction = onBusError;
        action.sa_flags = SA_SIGINFO | SA_NODEFER;
        sigemptyset(&action.sa_mask);
        sigaction(SIGBUS, &action, &previousAction);
    });
}

}  // namespace

BusErrorGuard::BusErrorGuard(const void* data, std::size_t size) {
    installOnce();
    guardedFault = 0;
    guardedBegin = reinterpret_cast<std::uintptr_t>(data);
    guardedEnd = guardedBegin + size;
    // The range is in place before the reads that follow, which the compiler may inline.
    std::atomic_signal_fence(std::memory_order_seq_cst);
}

BusErrorGuard::~BusErrorGuard() {
    std::atomic_signal_fence(std::memory_order_seq_cst);
    guardedBegin = guardedEnd = 0;
}

bool BusErrorGuard::failed() const { return guardedFault != 0; }

}  // namespace mirano::wayland
