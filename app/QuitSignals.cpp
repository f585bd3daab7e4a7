#include "app/QuitSignals.h"

#include <sys/socket.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <csignal>
#include <ctime>

namespace mirano {

namespace {

int gSignalPipe[2] = {-1, -1};
volatile std::sig_atomic_t gQuitSignal = 0;
timer_t gGraceTimer{};

// Only async-signal-safe calls below.
void onGraceOver(int) { ::_exit(128 + gQuitSignal); }

void onQuitSignal(int sig) {
    if (gQuitSignal != 0) ::_exit(128 + sig);
    gQuitSignal = sig;
    const char c = 1;
    [[maybe_unused]] const auto n = ::write(gSignalPipe[1], &c, 1);
    itimerspec grace{};
    grace.it_value.tv_sec = kQuitGraceMs / 1000;
    grace.it_value.tv_nsec = (kQuitGraceMs % 1000) * 1000000L;
    ::timer_settime(gGraceTimer, 0, &grace, nullptr);
}

void install(int sig, void (*handler)(int)) {
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(sig, &action, nullptr);
}

}  // namespace

void quitOnSignals(QObject* context, std::function<void()> quit) {
    if (gSignalPipe[0] >= 0) return;
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, gSignalPipe) != 0) return;
    sigevent event{};
    event.sigev_notify = SIGEV_SIGNAL;
    event.sigev_signo = SIGALRM;
    if (::timer_create(CLOCK_MONOTONIC, &event, &gGraceTimer) != 0) return;
    auto* notifier = new QSocketNotifier(gSignalPipe[0], QSocketNotifier::Read, context);
    QObject::connect(notifier, &QSocketNotifier::activated, context, [quit = std::move(quit)] {
        char c;
        [[maybe_unused]] const auto n = ::read(gSignalPipe[0], &c, 1);
        quit();
    });
    install(SIGALRM, onGraceOver);
    for (int sig : {SIGTERM, SIGINT, SIGHUP}) install(sig, onQuitSignal);
}

}  // namespace mirano
